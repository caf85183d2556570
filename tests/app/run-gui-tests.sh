#!/usr/bin/env bash
# Runs a Windows GUI test program under Wine on an X server of its own:
#   run-gui-tests.sh PREFIX DRIVER_DLL PROGRAM [ARGS...]
# Starts Xvfb on a free display, makes the Wine prefix (virtual console as MIDI driver, one
# virtual desktop so that windows get frames and captions), runs PROGRAM, and always stops
# this prefix's Wine server and the X server again. The program takes screenshots with
# ImageMagick's import.
set -u
prefix="$1" driver="$2"; shift 2
repo="$(cd "$(dirname "$0")/../.." && pwd)"
export WINEPREFIX="$prefix" WINEDEBUG="${WINEDEBUG:--all}" WINEDLLOVERRIDES="mscoree,mshtml="
command -v import >/dev/null || { echo "ImageMagick's import is missing: run scripts/install-deps.sh" >&2; exit 1; }

state="$(mktemp -d)"
xvfb_pid=""
cleanup() {
  wineserver -k >/dev/null 2>&1
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$state"
}
trap cleanup EXIT

# Xvfb picks a free display itself and writes its number once it accepts clients.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$state/display" 2>"$state/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do
  [ -s "$state/display" ] && break
  sleep 0.1
done
if [ ! -s "$state/display" ]; then
  echo "Xvfb did not start:" >&2; cat "$state/xvfb.log" >&2
  exit 1
fi
export DISPLAY=":$(head -n1 "$state/display")"

"$repo/scripts/wine-prefix.sh" "$prefix" "$driver" || exit 1
wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1
# The desktop is made by the first program that needs one: let the one that reg made go away.
wineserver -w

wine "$@"
