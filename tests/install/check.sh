#!/usr/bin/env bash
# Installs the build in BUILD_DIR into a fresh prefix, then builds a tiny
# host against it both through pkg-config and through find_package, and runs
# each on a file.
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
echo "installed tree: pkg-config and find_package hosts both run"
