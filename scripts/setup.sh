#!/usr/bin/env bash
# Installs what building and testing Quernwick needs on Debian 12 (run as root),
# registers the i386 emulator for Wine and creates the project's Wine prefix.
# Idempotent: a second run only checks and returns quickly.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)

packages=(cmake make g++ python3 clang libclang-rt-14-dev googletest libgtest-dev libbenchmark-dev
          g++-mingw-w64-i686 binutils-mingw-w64-i686 llvm
          wine wine32:i386 wine64 wine32-preloader:i386 qemu-user-static
          xvfb xdotool xclip python3-xlib imagemagick)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

"$here/scripts/wine-prefix.sh" init
