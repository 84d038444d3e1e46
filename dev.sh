#!/usr/bin/env bash
# lyParser's one entry point for people and CI on Debian 12.
#
#   ./dev.sh demo    set up, build, and run `lytag demo`
#   ./dev.sh test    set up, build, and run the whole test suite
#   ./dev.sh build   set up and build only
#
# Set-up installs the Debian packages that are missing (as root, with
# apt-get update first) and configures build/ (Release).
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(
  cmake g++ make pkg-config
  libtag1-dev libogg-dev libvorbis-dev libcurl4-openssl-dev libcdio-dev
  libgtest-dev libgmock-dev libbenchmark-dev libssl-dev nlohmann-json3-dev
  python3 python3-mutagen locales strace
  python3-pytest python3-venv python3-setuptools python3-wheel
)
BUILD_DIR=${BUILD_DIR:-build}

install_missing() {
  local missing=()
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
      missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

build() {
  install_missing "${PACKAGES[@]}"
  cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
  cmake --build "$BUILD_DIR" -j "$(nproc)"
}

case "${1:-}" in
  demo)
    build
    "$BUILD_DIR/bin/lytag" demo
    ;;
  test)
    build
    ctest --test-dir "$BUILD_DIR" --output-on-failure -j "$(nproc)"
    ;;
  build)
    shift
    build "$@"
    ;;
  *)
    echo "usage: ./dev.sh demo|test|build" >&2
    exit 2
    ;;
esac
