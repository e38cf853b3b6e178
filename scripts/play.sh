#!/usr/bin/env bash
# Sets up, builds and starts the game on the sample game folder.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh build
cd build/game
exec ./orvanth
