#!/usr/bin/env bash
# The control benchmark (bench/ControlBench.cpp): the program's phases in the
# real tree-view control under Wine, on a virtual display of its own.
# Builds it twice: for 32-bit Windows, the product's build, which Wine runs
# under the i386 emulator on these machines, and for 64-bit Windows, which
# Wine runs natively, as it runs the 32-bit program on a machine that can.
# usage: scripts/bench-control.sh [--runs N] [--quick] [--no-limits] [--case TEXT] [FOLDER]
# FOLDER (a Linux path) holds real DLLs; by default the 32-bit DLLs of Wine.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
bash scripts/setup.sh >&2
if ! command -v x86_64-w64-mingw32-g++-posix >/dev/null; then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    g++-mingw-w64-x86-64-posix >/dev/null
fi

arguments=()
folder=/usr/lib/i386-linux-gnu/wine/i386-windows
while [ $# -gt 0 ]; do
  case "$1" in
    --runs|--case) arguments+=("$1" "$2"); shift 2 ;;
    --*) arguments+=("$1"); shift ;;
    *) folder=$1; shift ;;
  esac
done
# Wine shows the Linux file system as drive Z:.
[ -d "$folder" ] && arguments+=("Z:$(cd "$folder" && pwd | tr / '\\')")

for arch in x86_64 i686; do
  build=build/bench-$arch
  mkdir -p "$build"
  { [ -f "$build/CMakeCache.txt" ] ||
      cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE="cmake/$arch-w64-mingw32.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DQUERNWICK_BENCH=ON -DQUERNWICK_TESTS=OFF &&
    cmake --build "$build" -j "$(nproc)" --target quernwick-control-bench; } >"$build/build.log" 2>&1 ||
    { tail -n 30 "$build/build.log"; exit 1; }
  echo "== $arch"
  scripts/with-display.sh scripts/wine-prefix.sh run "$build/quernwick-control-bench.exe" \
    "${arguments[@]}"
done
