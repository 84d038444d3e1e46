#!/usr/bin/env bash
# Installs the build in BUILD_DIR into a fresh prefix and follows the host
# guide with only that tree: builds a tiny host against it through pkg-config
# and through find_package and runs each on a file; loads the installed module
# by path the way a player does; checks that a host built with another string
# ABI is stopped at compile time; compiles every whole program of the installed
# guide (and the README's) and runs the tag-mask example on MP3 files with and
# without ID3v1, and the CD example against the installed test CDDB server;
# builds the C page's programs against the C layer, installs the Python
# package into virtual environments from the install and from the sources,
# and has those C programs and the package's own tests change an MP3 file
# and name a CD; and checks the run paths of every built and installed binary.
set -euo pipefail
build=${1:?usage: check.sh BUILD_DIR}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
server_pid=
trap 'if [ -n "$server_pid" ]; then kill "$server_pid"; fi; rm -rf "$work"' EXIT
prefix=$work/prefix

cmake --install "$build" --prefix "$prefix" >/dev/null
test -L "$prefix/lib/liblyParser.so.1"
test -f "$prefix/share/man/man1/lytag.1"
"$prefix/bin/lytag" --help >/dev/null
"$prefix/bin/lyparser-cddb-test-server" --help >/dev/null
# The headers point to the installed guide.
docs=$prefix/share/doc/lyparser
for header in lyParser.h lyCenter.h; do
  grep -q "share/doc/lyparser/" "$prefix/include/$header"
done
test -f "$docs/host-guide.md" && test -f "$docs/saving.md" && test -f "$docs/data-protection.md"
echo "sample text" > "$work/note.txt"

export PKG_CONFIG_PATH=$prefix/lib/pkgconfig
# host_build SOURCE OUTPUT: compiled and linked the way the guide says.
host_build() {
  g++ -std=c++17 "$1" $(pkg-config --cflags --libs lyparser) -Wl,-rpath,"$prefix/lib" -o "$2"
}
host_build "$here/host.cpp" "$work/host-pkgconfig"
"$work/host-pkgconfig" "$work/note.txt" | grep -qx "$work/note.txt: type 0, note"

cmake -S "$here" -B "$work/host-build" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/host-build" >/dev/null
"$work/host-build/host" "$work/note.txt" | grep -qx "$work/note.txt: type 0, note"
# A player dlopens the module by path, from elsewhere, with no library path.
g++ -std=c++17 -I"$prefix/include" "$here/dlopen_host.cpp" -ldl -o "$work/dlopen-host"
(cd / && env -u LD_LIBRARY_PATH "$work/dlopen-host" "$prefix/lib/liblyParser.so.1" "$work/note.txt") |
  grep -qx "text %name%, title note"

# The old string ABI must not link silently and crash at the first call.
if g++ -std=c++17 -D_GLIBCXX_USE_CXX11_ABI=0 -I"$prefix/include" -c "$here/host.cpp" -o "$work/old-abi.o" \
  2>"$work/old-abi.err"; then
  echo "a host with the old string ABI compiled" >&2
  exit 1
fi
grep -q "C++11 string ABI" "$work/old-abi.err"

# Every whole program of the installed guide and of the README compiles.
mkdir "$work/examples"
awk -v out="$work/examples/program" '
  /^```cpp$/ { body = ""; inside = 1; next }
  /^```$/ && inside { inside = 0; if (body ~ /int main\(/) print body > (out (++n) ".cpp"); next }
  inside { body = body $0 "\n" }' "$docs/host-guide.md" "$here/../../README.md"
programs=0 mask_example= cd_example=
for source in "$work"/examples/*.cpp; do
  host_build "$source" "${source%.cpp}"
  programs=$((programs + 1))
  grep -q FIELD_HAS_ID3V1 "$source" && grep -q hasID3v1 "$source" && mask_example=${source%.cpp}
  grep -q LYNOTIFY_CD_NAMES_ARRIVED "$source" && cd_example=${source%.cpp}
done
test -n "$mask_example" && test -n "$cd_example"

# The tag-mask example keeps the tags a file has: ID3v1 stays or stays away.
samples=$(TMPDIR=$work "$prefix/bin/lytag" demo --keep | sed -n 's/^Samples kept in //p')
cp "$samples/morning.mp3" "$work/with-v1.mp3"
cp "$samples/morning.mp3" "$work/without-v1.mp3"
"$prefix/bin/lytag" set "$work/without-v1.mp3" --id3v1 N >/dev/null
for file in with-v1 without-v1; do
  "$mask_example" "$work/$file.mp3" | grep -qx "saved and checked"
done
id3v1_marker() { tail -c 128 "$1" | head -c 3 | tr -d '\0'; }
test "$(id3v1_marker "$work/with-v1.mp3")" = TAG
test "$(id3v1_marker "$work/without-v1.mp3")" != TAG

# The CD example against the installed test server, with the guide's database.
(cd "$work" && sed -n '/^mkdir -p cddb/,/^printf .*read\/misc/p' "$docs/host-guide.md" | bash)
"$prefix/bin/lyparser-cddb-test-server" --log "$work/requests.log" "$work/cddb" >"$work/address" &
server_pid=$!
for _ in $(seq 50); do [ -s "$work/address" ] && break; sleep 0.1; done
LYPARSER_CDDB_SERVER=$(cat "$work/address") "$cd_example" | grep -qx "Track 1: Hush"
grep -q "cmd=cddb+read+misc+0d000903" "$work/requests.log"

# The C layer, with the C page's two programs (C, no C++): the first reads,
# changes and saves an MP3 file (mutagen reads what it wrote) and says why it
# refuses others; the second names the CD.
test -f "$prefix/include/lyparser_c.h" && test -L "$prefix/lib/liblyparser_c.so.1"
# extract_programs PAGE LANGUAGE MARK OUT EXTENSION: each block of PAGE in
# LANGUAGE that holds MARK, as OUT1EXTENSION, OUT2EXTENSION, ...
extract_programs() {
  awk -v language="$2" -v mark="$3" -v out="$4" -v extension="$5" '
    $0 == "```" language { body = ""; inside = 1; next }
    /^```$/ && inside { inside = 0; if (index(body, mark)) print body > (out (++n) extension); next }
    inside { body = body $0 "\n" }' "$1"
}
extract_programs "$docs/c-hosts.md" c "int main(" "$work/examples/c-program" .c
for program in 1 2; do
  gcc -std=c99 -Wall -Wextra -Werror -pedantic "$work/examples/c-program$program.c" \
    $(pkg-config --cflags --libs lyparser-c) -Wl,-rpath,"$prefix/lib" -o "$work/c-program$program"
done
cp "$samples/morning.mp3" "$work/c-morning.mp3"
"$work/c-program1" "$work/c-morning.mp3" "From C" | grep -q "^title: ."
/usr/bin/python3 -c 'import sys, mutagen; assert str(mutagen.File(sys.argv[1])["TIT2"]) == "From C"' \
  "$work/c-morning.mp3"
for refused in "$samples/notes.txt" "$work/missing.mp3"; do
  if "$work/c-program1" "$refused" x >/dev/null 2>>"$work/c-program1.err"; then exit 1; fi
done
grep -qx "not saved: REFUSED_VALUE: not an audio file lyParser reads" "$work/c-program1.err"
grep -qx "$work/missing.mp3: no file has this name" "$work/c-program1.err"
# A save the file size limit refuses says why.
if prlimit --fsize=1000 "$work/c-program1" "$work/c-morning.mp3" x >/dev/null 2>"$work/limit.err"
then exit 1; fi
grep -q "^not saved: DISK_FULL: " "$work/limit.err"
LYPARSER_CDDB_SERVER=$(cat "$work/address") "$work/c-program2" | grep -qx "Track 1: Hush"

# The Python package, installed with pip into virtual environments from the
# install (it finds the C layer by the path recorded there) and from the
# sources (through LYPARSER_LIBRARY). Its own tests run on the first: they
# change an MP3 file (checked with mutagen) and name a CD.
/usr/bin/python3 -m venv --system-site-packages "$work/venv"
"$work/venv/bin/pip" install -q --no-build-isolation --no-index "$prefix/share/lyparser/python"
env -u LYPARSER_LIBRARY -u PYTHONPATH PYTHONDONTWRITEBYTECODE=1 LYTAG="$prefix/bin/lytag" \
  LYPARSER_CDDB_TEST_SERVER="$prefix/bin/lyparser-cddb-test-server" \
  "$work/venv/bin/python" -m pytest -q -p no:cacheprovider "$here/../bindings/python" >"$work/pytest.out" ||
  { cat "$work/pytest.out"; exit 1; }
extract_programs "$docs/python.md" python "sys.argv" "$work/examples/python-program" .py
cp "$samples/evening.ogg" "$work/python-page.ogg"
env -u LYPARSER_LIBRARY "$work/venv/bin/python" "$work/examples/python-program1.py" \
  "$work/python-page.ogg" "From Python" | grep -qx "saved: From Python"
/usr/bin/python3 -m venv --system-site-packages "$work/venv-sources"
"$work/venv-sources/bin/pip" install -q --no-build-isolation --no-index "$here/../../bindings/python"
LYPARSER_LIBRARY=$prefix/lib/liblyparser_c.so.1 "$work/venv-sources/bin/python" -c \
  'import lyparser, sys; sys.exit(lyparser.version() != sys.argv[1])' \
  "$(sed -n 's/^#define LYPARSER_VERSION_STRING "\(.*\)"/\1/p' "$prefix/include/lyParser.h")"

pc_version=$(pkg-config --modversion lyparser)
header_version=$(sed -n 's/^#define LYPARSER_VERSION_STRING "\(.*\)"/\1/p' "$prefix/include/lyParser.h")
test "$pc_version" = "$header_version"
test -e "$prefix/lib/liblyParser.so.$header_version"

# No run path of a built or installed binary holds an empty or relative entry.
bash "$here/run_paths.sh" "$build/bin" "$build/lib" "$prefix/bin" "$prefix/lib" >/dev/null
echo "installed tree: pkg-config, find_package and dlopen hosts run; $programs programs of the" \
  "guide and README build, the tag-mask and CD examples behave as written; C programs and the" \
  "Python package (pip-installed from the install and the sources) change an MP3 file and" \
  "name a CD; version $header_version everywhere; run paths hold no empty entry"
