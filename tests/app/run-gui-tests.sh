#!/usr/bin/env bash
# Runs a Windows GUI test program under Wine on an X server of its own and in a Wine prefix of its
# own, with the virtual console as MIDI driver and one virtual desktop (so that windows get frames
# and captions); stops the prefix's Wine server at the end:
#   run-gui-tests.sh PREFIX DRIVER_DLL PROGRAM [ARGS...]
set -u
prefix="$1" driver="$2"; shift 2
export WINEPREFIX="$prefix" WINEDEBUG="${WINEDEBUG:--all}" WINEDLLOVERRIDES="mscoree,mshtml="
command -v import >/dev/null || { echo "ImageMagick's import is missing: run scripts/install-deps.sh" >&2; exit 1; }
trap 'wineserver -k >/dev/null 2>&1' EXIT
"$(dirname "$0")/../../scripts/wine-prefix.sh" "$prefix" "$driver" || exit 1
wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1
# The desktop is made by the first program that needs one: let the one that reg made go away.
wineserver -w
xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" wine "$@"
