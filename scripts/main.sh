#!/usr/bin/env bash
# Sets up the machine, builds the Windows programs and lists what was built.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
bash scripts/setup.sh
cmake -S . -B build/windows -DCMAKE_TOOLCHAIN_FILE=cmake/i686-w64-mingw32.cmake >/dev/null
cmake --build build/windows -j "$(nproc)" >/dev/null
find build/windows -maxdepth 2 -name '*.exe' -printf '%p\t%s bytes\n' | sort
