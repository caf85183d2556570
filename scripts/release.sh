#!/usr/bin/env bash
# Builds the release from the commit checked out (HEAD; uncommitted changes are left out), in a
# clean tree of its own, and writes into DIST (a relative one is taken from the folder the
# command runs in; the project's dist/ by default):
#   pq4400-versionup-VERSION-win64.zip   the two programs, the web page and the console owner's guide
#   versionup.html                       the web page alone, to open from disk or to put on a site
#   SHA256SUMS                           their checksums, for sha256sum -c
#   scripts/release.sh [DIST]
# The same commit gives the same bytes, wherever and whenever it is built: the programs carry no
# time stamp, build folder or symbols, and the zip's order and times come from the commit. Every
# input of the release is the commit's: this script archives HEAD and hands over to the archived
# copy of itself, which builds from there.
set -eu
if [ -z "${VU_RELEASE_TREE:-}" ]; then
  dist="$(realpath -m "${1:-$(dirname "$0")/../dist}")"
  cd "$(dirname "$0")/.."
  [ -z "$(git status --porcelain --untracked-files=no)" ] || echo "Uncommitted changes are not in the release." >&2
  work="$(mktemp -d "${TMPDIR:-/tmp}/pq4400-release.XXXXXX")"
  trap 'rm -rf "$work"' EXIT
  mkdir "$work/src"
  git archive HEAD | tar -x -C "$work/src"
  SOURCE_DATE_EPOCH="$(git log -1 --format=%ct HEAD)" VU_RELEASE_TREE="$work" "$work/src/scripts/release.sh" "$dist"
  exit
fi

# The archived commit, in $VU_RELEASE_TREE/src; the build beside it.
work="$VU_RELEASE_TREE"
dist="$1"
cd "$work/src"
scripts/install-deps.sh
version=$(awk '/^#define VU_VERSION_/ { v = v (v == "" ? "" : ".") $3 } END { print v }' app/Version.h)
name="pq4400-versionup-$version-win64"
paths="-ffile-prefix-map=$work/src=. -ffile-prefix-map=$work/build=."
cmake --no-warn-unused-cli -S "$work/src" -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DVU_TESTS=OFF \
  -DCMAKE_C_FLAGS="$paths" -DCMAKE_CXX_FLAGS="$paths" \
  -DCMAKE_EXE_LINKER_FLAGS="-s -Wl,--no-insert-timestamp" >/dev/null
cmake --build "$work/build" -j "$(nproc)" >/dev/null
programs=("$work/build/app/versionup.exe" "$work/build/app/cli/versionup-cli.exe")
tests/app/check-binaries.sh x86_64-w64-mingw32-objdump "${programs[@]}"
emcmake cmake --no-warn-unused-cli -S "$work/src" -B "$work/web" -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel \
  -DVU_TESTS=OFF >/dev/null
cmake --build "$work/web" -j "$(nproc)" --target versionup_page >/dev/null
page="$work/web/web/versionup.html"

mkdir -p "$dist"
rm -f "$dist/$name.zip" "$dist/versionup.html" "$dist/SHA256SUMS"
python3 - "$dist/$name.zip" "$name" docs/guide.txt README.md "${programs[@]}" "$page" <<'PY'
# The zip: one folder, the guide first, in Windows' line ends, every entry dated at the commit.
import os, re, sys, textwrap, time, zipfile
out, folder, guide, readme, *programs = sys.argv[1:]
stamp = time.gmtime(int(os.environ['SOURCE_DATE_EPOCH']))[:6]

def status_table():
    # The README's table of status texts, as plain text: no code marks, links as their text.
    rows = [line.strip().strip('|').split('|') for line in open(readme, encoding='utf-8')
            if line.startswith('| "')]
    def paragraph(text):
        return textwrap.fill(text[:1].upper() + text[1:] + '.', 76, initial_indent='    ',
                             subsequent_indent='    ') + '\n'
    text = ''
    for status, meaning, todo in ([re.sub(r'\[([^]]*)\]\([^)]*\)', r'\1', cell.strip().replace('`', '')) for cell in row]
                                   for row in rows):
        text += status + '\n' + paragraph(meaning) + (paragraph('what to do: ' + todo) if todo else '') + '\n'
    return text.rstrip('\n')

with open(guide, encoding='utf-8') as f:
    text = f.read().replace('@STATUS_TABLE@', status_table())
entries = [('README.txt', text.replace('\n', '\r\n').encode('utf-8'))]
entries += [(os.path.basename(p), open(p, 'rb').read()) for p in programs]
with zipfile.ZipFile(out, 'w') as z:
    for name, data in entries:
        info = zipfile.ZipInfo(folder + '/' + name, date_time=stamp)
        info.create_system = 3                 # Unix, for the permissions: rw-r--r--
        info.external_attr = 0o100644 << 16
        info.compress_type = zipfile.ZIP_DEFLATED
        z.writestr(info, data, compresslevel=9)
PY
cp "$page" "$dist/versionup.html"
(cd "$dist" && sha256sum "$name.zip" versionup.html > SHA256SUMS)
echo "$dist/$name.zip"
