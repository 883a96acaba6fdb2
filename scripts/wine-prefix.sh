#!/usr/bin/env bash
# The project's Wine environment.
#   wine-prefix.sh init        register the i386 emulator, create the prefix
#   wine-prefix.sh run ARGS    run a Windows program under Wine in the prefix
#   wine-prefix.sh stop        stop the prefix's wineserver
# The kernel of these machines runs no 32-bit Linux programs, so 32-bit Wine
# runs under qemu-user through binfmt_misc, and the prefix is 64-bit so that
# Wine's own services run natively.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX=${QUERNWICK_WINEPREFIX:-$here/build/wine}
export WINEDLLOVERRIDES="mscoree,mshtml,winedbg.exe="
export WINEDEBUG=-all

register_emulator() {
  local misc=/proc/sys/fs/binfmt_misc
  [ -e $misc/register ] || mount -t binfmt_misc binfmt_misc $misc
  [ -e $misc/qemu-i386 ] && return 0
  printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' > $misc/register
}

case "${1:-}" in
  init)
    register_emulator
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      echo "setup: creating Wine prefix $WINEPREFIX"
      /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1 || true
      /usr/lib/wine/wineserver64 -w
    fi
    ;;
  run)
    shift
    exec wine "$@"
    ;;
  stop)
    /usr/lib/wine/wineserver64 -k 2>/dev/null || true
    ;;
  *)
    echo "usage: $0 init|run PROGRAM [ARGS...]|stop" >&2; exit 2 ;;
esac
