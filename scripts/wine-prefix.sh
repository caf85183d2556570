#!/usr/bin/env bash
# Makes (once) a private Wine prefix whose MIDI devices come from the virtual console driver:
#   wine-prefix.sh PREFIX DRIVER_DLL
# Wine's winmm takes its MIDI devices from the audio driver named by HKCU\Software\Wine\Drivers\Audio;
# "vconsole" makes it load winevconsole.drv from system32.
set -eu
prefix="$1" driver="$2"
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$prefix/system.reg" ]; then
  mkdir -p "$prefix"
  wineboot -i >/dev/null 2>&1
fi
wine reg add 'HKCU\Software\Wine\Drivers' /v Audio /d vconsole /f >/dev/null 2>&1
# No crash debugger: winedbg would end a crashed test with exit code 0, i.e. as passed.
wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /d none /f >/dev/null 2>&1
cp "$driver" "$prefix/drive_c/windows/system32/winevconsole.drv"
# Wine's own fonts (Debian's fonts-wine), Marlett among them, which draws the caption buttons.
# Wine 8 as Debian installs it does not load them from its data folder: the prefix's Fonts folder
# links them.
ln -sf /usr/share/wine/fonts/* "$prefix/drive_c/windows/Fonts/"
wineserver -w
echo "wine prefix ready: $prefix"
