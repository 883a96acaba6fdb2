#!/usr/bin/env bash
# Sets up the machine, builds the Windows programs and lists the imports of
# the files given, or of the program's own quernwick.exe, with quernwick-list
# running under Wine. The listing is the text that the window's copy command
# gives, with CR LF line ends.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
bash scripts/setup.sh >&2
[ -f build/windows/CMakeCache.txt ] ||
  cmake -S . -B build/windows -DCMAKE_TOOLCHAIN_FILE=cmake/i686-w64-mingw32.cmake >/dev/null
cmake --build build/windows -j "$(nproc)" >/dev/null
if [ $# -eq 0 ]; then
  set -- "$here/build/windows/quernwick.exe"
fi
# The lister makes a tree-view window, never shown, so Wine needs a display.
status=0
scripts/with-display.sh scripts/wine-prefix.sh run build/windows/quernwick-list.exe "$@" || status=$?
exit $status
