#!/usr/bin/env bash
# Runs an update against the virtual console under Wine, from nothing:
#   scripts/run.sh [FIRMWARE.bin]
# With a display ($DISPLAY) the dialog opens, with a generated sample firmware file ready to pick;
# without one the headless front end updates the virtual console with it.
set -eu
[ $# -eq 0 ] || set -- "$(realpath "$1")"
cd "$(dirname "$0")/.."
scripts/install-deps.sh

build=build/windows
cmake --no-warn-unused-cli -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake >/dev/null
cmake --build "$build" -j "$(nproc)" --target versionup versionup_cli make_firmware vconsole_driver >/dev/null

top="$PWD"
prefix="$top/$build/wineprefix"
scripts/wine-prefix.sh "$prefix" "$build/vconsole/winevconsole.drv" >/dev/null
wine_run() { "$top/scripts/wine-exec.sh" "$prefix" "$@"; }

work="$top/$build/run"
mkdir -p "$work"
firmware="${1:-$work/sample.bin}"
if [ $# -eq 0 ]; then
  # Wine maps an absolute Unix path onto its Z: drive.
  wine_run "$build/vconsole/firmware/make-firmware.exe" "$work/sample.bin"
fi
# The virtual console keeps its flash between runs and shows what it received.
cat > "$work/vconsole.txt" <<CFG
flash_load $work/flash.img
flash_dump $work/flash.img
journal $work/journal.txt
CFG
rm -f "$work/journal.txt"
[ -f "$work/flash.img" ] || sed -i '/^flash_load/d' "$work/vconsole.txt"
export VCONSOLE_CONFIG="$work/vconsole.txt"

if [ -n "${DISPLAY:-}" ]; then
  echo "Opening the dialog. Press Browse, pick $firmware and press Load."
  # Started in the sample's folder, so that Browse opens there.
  cd "$(dirname "$firmware")"
  wine_run "$top/$build/app/versionup.exe"
  exit 0
fi
echo "No display (\$DISPLAY is not set): running the headless front end instead."
wine_run "$build/app/cli/versionup-cli.exe" "$firmware"
