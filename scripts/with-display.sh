#!/usr/bin/env bash
# Runs a command with DISPLAY set to a virtual X display of its own: starts
# Xvfb on a free display number, and when the command ends, however it ends,
# stops the project's Wine server (its programs are the display's clients)
# and then Xvfb, by its PID. Passes the command's exit status on.
set -uo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
display=""
for number in $(seq 91 190); do
  if [ ! -e "/tmp/.X11-unix/X$number" ] && [ ! -e "/tmp/.X$number-lock" ]; then
    display=$number
    break
  fi
done
[ -n "$display" ] || { echo "with-display: no free display number" >&2; exit 1; }
Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
trap '"$here/scripts/wine-prefix.sh" stop; kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null' EXIT
for _ in $(seq 100); do
  [ -e "/tmp/.X11-unix/X$display" ] && break
  sleep 0.05
done
DISPLAY=":$display" "$@"
