#!/usr/bin/env bash
# Builds and runs the benchmarks (measurements, not tests):
#   image assembly against memcpy, write-packet building (native), a whole update through
#   the virtual console under Wine, the dialog program's update beside versionup-cli's, and the
#   web page's in headless Chromium.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh

cmake --no-warn-unused-cli -S . -B build/native -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=g++ -DCMAKE_C_COMPILER=gcc -DVU_BENCHMARKS=ON >/dev/null
cmake --build build/native -j "$(nproc)" --target bench_assemble protocol_bench >/dev/null
build/native/bench/bench_assemble
build/native/bench/protocol_bench

cmake --no-warn-unused-cli -S . -B build/windows -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DVU_BENCHMARKS=ON >/dev/null
cmake --build build/windows -j "$(nproc)" --target bench_update bench_dialog vconsole_driver >/dev/null
prefix="$PWD/build/windows/wineprefix"
scripts/wine-prefix.sh "$prefix" build/windows/vconsole/winevconsole.drv >/dev/null
scripts/wine-exec.sh "$prefix" build/windows/bench/bench_update.exe "$@"
# The dialog needs an X server: a private one, and a prefix of its own, as for the GUI tests.
tests/app/run-gui-tests.sh "$PWD/build/windows/wineprefix-bench-dialog" build/windows/vconsole/winevconsole.drv \
  build/windows/bench/bench_dialog.exe
# The web page's update, in the same run as the programs' above.
emcmake cmake --no-warn-unused-cli -S . -B build/web -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel -DVU_TESTS=OFF >/dev/null
cmake --build build/web -j "$(nproc)" --target versionup_vconsole_page make_firmware >/dev/null
(cd tests/web && [ -d node_modules ] || PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --no-audit --no-fund --loglevel=error)
mkdir -p build/web/run
node build/web/vconsole/firmware/make-firmware.js build/web/run/sample.bin >/dev/null
node bench/BenchPage.mjs build/web/web/versionup-vconsole.html build/web/run/sample.bin
