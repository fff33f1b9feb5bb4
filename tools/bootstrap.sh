#!/usr/bin/env bash
# Sets up a Debian 12 machine for the tuner, builds it, then runs it on the
# virtual module ("run") or runs the whole test suite headless ("test").
set -euo pipefail
cd "$(dirname "$0")/.."
what="${1:-run}"

packages=(cmake ninja-build g++ pkg-config qt6-base-dev qt6-datavisualization-dev qt6-declarative-dev
          libxkbcommon-dev libhidapi-dev libgl1-mesa-dri xvfb xauth qemu-system-x86 busybox-static cpio)
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
    ;;
  *)
    echo "usage: $0 run|test" >&2
    exit 2
    ;;
esac
