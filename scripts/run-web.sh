#!/usr/bin/env bash
# Runs an update against the virtual console in a browser, from nothing:
#   scripts/run-web.sh [FIRMWARE.bin]
#   scripts/run-web.sh --picture PNG     (the README's picture: the page amid the sample's update)
# Builds the web page with the virtual console's Web MIDI in front of it (a build for this, never
# released) and a sample firmware file. With a display ($DISPLAY) Chromium opens the page (press
# Browse, pick the file, press Load); without one the update runs in headless Chromium and its
# status texts are printed.
set -eu
picture=()
if [ "${1:-}" = --picture ]; then
  picture=(--picture "$(realpath -m "$2")")
  set --
fi
[ $# -eq 0 ] || set -- "$(realpath "$1")"
cd "$(dirname "$0")/.."
scripts/install-deps.sh

emcmake cmake --no-warn-unused-cli -S . -B build/web -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel -DVU_TESTS=OFF >/dev/null
cmake --build build/web -j "$(nproc)" --target versionup_vconsole_page make_firmware >/dev/null
page="$PWD/build/web/web/versionup-vconsole.html"
firmware="${1:-$PWD/build/web/run/sample.bin}"
if [ $# -eq 0 ]; then
  mkdir -p build/web/run
  node build/web/vconsole/firmware/make-firmware.js "$firmware"
fi

if [ -n "${DISPLAY:-}" ] && [ ${#picture[@]} -eq 0 ]; then
  echo "Opening the page. Press Browse, pick $firmware and press Load."
  # Chromium's sandbox refuses to run as root.
  exec chromium --user-data-dir="$(mktemp -d)" --no-first-run $([ "$(id -u)" -ne 0 ] || echo --no-sandbox) "file://$page"
fi
[ ${#picture[@]} -gt 0 ] || echo "No display (\$DISPLAY is not set): running the update in headless Chromium instead."
(cd tests/web && [ -d node_modules ] || PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --no-audit --no-fund --loglevel=error)
node scripts/run-web.mjs "$page" "$firmware" "${picture[@]}"
