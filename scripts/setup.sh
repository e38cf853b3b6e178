#!/usr/bin/env bash
# Installs what the game needs on a fresh Debian machine and builds it, with the sample
# game folder, into build/ (the program and its folder: build/game).
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(build-essential cmake pkg-config git
  libsdl2-dev libsdl2-image-dev libsdl2-ttf-dev libsdl2-mixer-dev
  libsqlite3-dev libzip-dev fonts-wqy-microhei
  libgtest-dev libgmock-dev libbenchmark-dev xvfb xauth)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -y
  $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi

build_dir=${1:-build}
shift || true
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=Release "$@"
cmake --build "$build_dir" -j"$(nproc)"
