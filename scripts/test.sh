#!/usr/bin/env bash
# Installs what is missing, builds the three builds from nothing and runs every test:
#   native (g++), sanitized native with the fuzz run (clang, ASan+UBSan), Windows under Wine;
# then builds the release twice and compares.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh

jobs=$(nproc)
configure_and_build() {
  local dir="$1"; shift
  cmake --no-warn-unused-cli -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
}

echo "== native build"
configure_and_build build/native -DCMAKE_CXX_COMPILER=g++ -DCMAKE_C_COMPILER=gcc -DVU_BENCHMARKS=ON
ctest --test-dir build/native --output-on-failure -j "$jobs"

echo "== sanitized native build and fuzz run"
configure_and_build build/sanitize -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang \
  -DVU_SANITIZE=ON -DVU_FUZZ=ON
ctest --test-dir build/sanitize --output-on-failure -j "$jobs"

echo "== Windows build, with min and max as the Windows SDK's macros, tests under Wine"
configure_and_build build/windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DVU_SDK_MINMAX=ON
ctest --test-dir build/windows --output-on-failure -j "$jobs"

echo "== release, built twice from the same commit in two folders, a moment apart: the same bytes"
rm -rf build/release-check
for run in a b/deeper/folder; do
  mkdir -p "build/release-check/$run/tmp"
  TMPDIR="$PWD/build/release-check/$run/tmp" scripts/release.sh "build/release-check/$run/dist" >/dev/null
done
cd build/release-check
ls a/dist/*.zip >/dev/null
for file in a/dist/*; do cmp "$file" "b/deeper/folder/dist/${file#a/dist/}"; done
echo "release: $(ls a/dist | wc -l) files, the same bytes from both builds"
