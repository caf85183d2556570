#!/usr/bin/env bash
# Takes the README's pictures again: docs/dialog-during-update.png, the dialog amid an update of
# the virtual console under Wine, on an X server of its own, taken by the GUI test; and
# docs/page-during-update.png, the web page amid the same update in headless Chromium.
#   scripts/readme-picture.sh
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh

build=build/windows
cmake --no-warn-unused-cli -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DVU_TESTS=ON >/dev/null
cmake --build "$build" -j "$(nproc)" --target app_tests >/dev/null
tests/app/run-gui-tests.sh "$PWD/$build/wineprefix-picture" "$build/vconsole/winevconsole.drv" \
  "$build/tests/app/app_tests.exe" --gtest_also_run_disabled_tests --gtest_filter='*ReadmePicture'
# Without the time stamps that ImageMagick writes, so that only a changed picture is a change.
convert "$build/tests/app/screenshots/readme.png" -strip docs/dialog-during-update.png
echo docs/dialog-during-update.png

scripts/run-web.sh --picture build/web/run/readme.png >/dev/null
convert build/web/run/readme.png -strip docs/page-during-update.png
echo docs/page-during-update.png
