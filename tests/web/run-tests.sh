#!/usr/bin/env bash
# The browser tests: pages with the virtual console's Web MIDI in Debian's headless Chromium.
#   tests/web/run-tests.sh [BUILD]    BUILD: the emscripten build tree (default build/web)
# Installs what is missing first (as root on Debian 12): Chromium, and playwright-core from
# package-lock.json without a browser of its own.
set -eu
build=$(realpath "${1:-build/web}")
cd "$(dirname "$0")"
if [ ! -x /usr/bin/chromium ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq && apt-get install -y -qq chromium >/dev/null
fi
if [ ! package-lock.json -ot node_modules/.package-lock.json ]; then
  PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --no-audit --no-fund --loglevel=error
fi
VU_WEB_BUILD="$build" exec node --test
