#!/usr/bin/env bash
# Sets up a Debian 12 machine for the tuner, builds it, then runs it on the
# virtual module ("run"), runs the whole test suite headless ("test") or runs
# the benchmarks and prints their table ("bench").
set -euo pipefail
cd "$(dirname "$0")/.."
what="${1:-run}"

packages=(cmake ninja-build g++ pkg-config qt6-base-dev qt6-datavisualization-dev qt6-declarative-dev
          libxkbcommon-dev libhidapi-dev libgl1-mesa-dri xvfb xauth qemu-system-x86 busybox-static cpio
          clang libclang-rt-14-dev libfuzzer-14-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" </dev/null
fi

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build

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
    if ! command -v srec_cat >/dev/null; then
      apt-get update -qq
      DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends srecord </dev/null
    fi
    exec bash bench/run.sh build "${@:2}"
    ;;
  *)
    echo "usage: $0 run|test|bench" >&2
    exit 2
    ;;
esac
