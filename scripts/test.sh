#!/usr/bin/env bash
# Installs what is missing, builds the four builds from nothing and runs every test:
#   native (g++), sanitized native with the fuzz run (clang, ASan+UBSan), Windows under Wine,
#   WebAssembly with the browser tests in headless Chromium;
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

echo "== WebAssembly build (emscripten), tests in headless Chromium"
emcmake cmake --no-warn-unused-cli -S . -B build/web -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel -DVU_TESTS=OFF >/dev/null
cmake --build build/web -j "$jobs"
ctest --test-dir build/web --output-on-failure -j "$jobs"

echo "== release, built twice from the same commit in two folders, a moment apart: the same bytes"
rm -rf build/release-check
mkdir -p build/release-check/a/tmp
TMPDIR="$PWD/build/release-check/a/tmp" scripts/release.sh build/release-check/a/dist >/dev/null
# The second from a clone of the commit whose version is changed but not committed, run from a
# folder of its own with a relative DIST: the release is still the commit's, and lands there.
b=build/release-check/b/deeper/folder
git clone -q --no-checkout . "$b/src"
git -C "$b/src" checkout -q "$(git rev-parse HEAD)"
sed -i 's/^#define VU_VERSION_BUILD .*/#define VU_VERSION_BUILD 99/' "$b/src/app/Version.h"
mkdir "$b/tmp"
(cd "$b" && TMPDIR="$PWD/tmp" src/scripts/release.sh dist >/dev/null)
cd build/release-check
ls a/dist/*.zip >/dev/null
for file in a/dist/*; do cmp "$file" "b/deeper/folder/dist/${file#a/dist/}"; done
python3 - "$(git show HEAD:app/Version.h)" b/deeper/folder/dist/*.zip <<'PY'
# The commit's version, in the zip's name and in the dialog program's version resource alike.
import re, struct, sys, zipfile
header, path = sys.argv[1:]
version = '.'.join(re.findall(r'#define VU_VERSION_\w+ (\d+)', header))
program = zipfile.ZipFile(path).read(f'pq4400-versionup-{version}-win64/versionup.exe')
high, low = struct.unpack_from('<II', program, program.index(struct.pack('<I', 0xFEEF04BD)) + 8)
assert f'{high >> 16}.{high & 0xFFFF}.{low >> 16}.{low & 0xFFFF}' == version, f'not {version}: {path}'
PY
echo "release: $(ls a/dist | wc -l) files, the same bytes from both builds, the commit's version $(ls a/dist/*.zip | sed 's/.*versionup-//; s/-win64.zip//') with another uncommitted"
