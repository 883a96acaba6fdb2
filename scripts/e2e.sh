#!/usr/bin/env bash
# The end-to-end suite (tests/e2e/run_e2e.py): the Windows build's quernwick.exe
# under Wine on a virtual X display of its own, driven from outside through X
# drag and drop, the X keyboard and the clipboard.
# Sets up the machine (setup.sh), builds the Windows build if needed, then
# runs the suite in a Wine prefix of its own (QUERNWICK_WINEPREFIX, by default
# build/wine-e2e). Screenshots and logs go to build/e2e.
# Ends with "E2E: N passed, M failed"; exits non-zero on any failure.
set -uo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"

bash scripts/setup.sh || { echo "setup failed"; echo "E2E: 0 passed, 1 failed"; exit 1; }

mkdir -p build/e2e
if [ ! -f build/windows/CMakeCache.txt ]; then
  cmake -S . -B build/windows -DCMAKE_TOOLCHAIN_FILE=cmake/i686-w64-mingw32.cmake \
    >build/e2e/configure.log 2>&1 ||
    { tail -n 20 build/e2e/configure.log; echo "E2E: 0 passed, 1 failed"; exit 1; }
fi
cmake --build build/windows -j2 >build/e2e/build.log 2>&1 ||
  { tail -n 30 build/e2e/build.log; echo "E2E: 0 passed, 1 failed"; exit 1; }

export QUERNWICK_WINEPREFIX=${QUERNWICK_WINEPREFIX:-$here/build/wine-e2e}
scripts/wine-prefix.sh init || { echo "E2E: 0 passed, 1 failed"; exit 1; }

# Debian's Python, which has python3-xlib, whatever python3 comes first in PATH.
exec /usr/bin/python3 tests/e2e/run_e2e.py
