#!/usr/bin/env bash
# Sets up a Debian 12 machine for the tuner, builds it, then runs it on the
# virtual module ("run"), runs the whole test suite headless ("test") or runs
# the benchmarks and prints their table ("bench").
set -euo pipefail
cd "$(dirname "$0")/.."
what="${1:-run}"
case "$what" in
  run | test | bench) ;;
  *)
    echo "usage: $0 run|test|bench" >&2
    exit 2
    ;;
esac

# Building and running need these (help2man and rsvg-convert write the manual
# pages and icons, dpkg-dev's dpkg-shlibdeps the package's dependencies); the
# test suite also needs a virtual X server, QEMU for the kernel test, clang
# with libFuzzer, and for the package checks lintian, the desktop entry and
# metainfo validators, xdotool to open About, and ImageMagick and Tesseract to
# photograph and read it.
packages=(cmake ninja-build g++ pkg-config qt6-base-dev qt6-datavisualization-dev qt6-declarative-dev
          libxkbcommon-dev libhidapi-dev libgl1-mesa-dri help2man librsvg2-bin dpkg-dev)
if [ "$what" != run ]; then
  packages+=(xvfb xauth qemu-system-x86 busybox-static cpio clang libclang-rt-14-dev libfuzzer-14-dev
             lintian desktop-file-utils appstream xdotool imagemagick tesseract-ocr tesseract-ocr-eng)
fi
# Installs the packages named that are missing. Only this step needs root:
# everything else, the tuner included, runs as whoever called the script.
install_missing() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -gt 0 ] || return 0
  echo "Installing: ${missing[*]}"
  local as_root=()
  if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "$0: installing packages needs root or sudo" >&2; exit 1; }
    as_root=(sudo)
  fi
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y -qq --no-install-recommends "${missing[@]}" </dev/null
}
install_missing "${packages[@]}"

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
if [ "$what" = run ]; then
  cmake --build build --target marlow-vgt-tuner
else
  cmake --build build
fi

case "$what" in
  run)
    exec ./build/bin/marlow-vgt-tuner --simulate
    ;;
  test)
    ctest --test-dir build --output-on-failure -j2
    # The whole suite again under AddressSanitizer and UBSan. The kernel test's
    # programs run inside a guest, so it is left to the plain run above.
    cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMARLOW_SANITIZE=ON
    cmake --build build-asan
    ctest --test-dir build-asan --output-on-failure -j2 -LE kernel
    # Each fuzz target for a short while over its corpus; the README has long runs.
    cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ -DMARLOW_FUZZ=ON
    cmake --build build-fuzz --target fuzzers
    ctest --test-dir build-fuzz --output-on-failure -j2 -L fuzz
    ;;
  bench)
    # srec_cat is the reference for the S-record figure.
    install_missing srecord
    exec bash bench/run.sh build "${@:2}"
    ;;
esac
