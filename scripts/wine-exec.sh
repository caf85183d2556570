#!/usr/bin/env bash
# Runs a Windows program under Wine in the given private prefix: wine-exec.sh PREFIX PROGRAM [ARGS...]
set -eu
export WINEPREFIX="$1"; shift
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
exec wine "$@"
