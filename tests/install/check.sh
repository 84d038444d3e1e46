#!/usr/bin/env bash
# Installs the build in BUILD_DIR into a fresh prefix, then builds a tiny
# host against it both through pkg-config and through find_package, and runs
# each on a file; loads the installed module by path the way a player does;
# and checks that a host built with another string ABI is stopped at compile
# time.
set -euo pipefail
build=${1:?usage: check.sh BUILD_DIR}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

cmake --install "$build" --prefix "$prefix" >/dev/null
test -L "$prefix/lib/liblyParser.so.1"
test -f "$prefix/share/man/man1/lytag.1"
"$prefix/bin/lytag" --help >/dev/null
echo "sample text" > "$work/note.txt"

export PKG_CONFIG_PATH=$prefix/lib/pkgconfig
g++ -std=c++17 "$here/host.cpp" $(pkg-config --cflags --libs lyparser) \
  -Wl,-rpath,"$prefix/lib" -o "$work/host-pkgconfig"
"$work/host-pkgconfig" "$work/note.txt" | grep -qx "$work/note.txt: type 0, note"

cmake -S "$here" -B "$work/host-build" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/host-build" >/dev/null
"$work/host-build/host" "$work/note.txt" | grep -qx "$work/note.txt: type 0, note"
# A player dlopens the module by path, from elsewhere, with no library path.
g++ -std=c++17 -I"$prefix/include" "$here/dlopen_host.cpp" -ldl -o "$work/dlopen-host"
(cd / && env -u LD_LIBRARY_PATH "$work/dlopen-host" "$prefix/lib/liblyParser.so.1" "$work/note.txt") |
  grep -qx "28 exports, title note"

# The old string ABI must not link silently and crash at the first call.
if g++ -std=c++17 -D_GLIBCXX_USE_CXX11_ABI=0 -I"$prefix/include" -c "$here/host.cpp" -o "$work/old-abi.o" \
  2>"$work/old-abi.err"; then
  echo "a host with the old string ABI compiled" >&2
  exit 1
fi
grep -q "C++11 string ABI" "$work/old-abi.err"

pc_version=$(pkg-config --modversion lyparser)
header_version=$(sed -n 's/^#define LYPARSER_VERSION_STRING "\(.*\)"/\1/p' "$prefix/include/lyParser.h")
test "$pc_version" = "$header_version"
test -e "$prefix/lib/liblyParser.so.$header_version"
echo "installed tree: pkg-config, find_package and dlopen hosts run; version $header_version everywhere"
