#!/usr/bin/env bash
# Installs what is missing, builds the program and starts it on the simulated bridge board.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh
cmake -S . -B build/run -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORIX_TESTS=OFF -DVELMORIX_BENCH=OFF
cmake --build build/run -j "$(nproc)" --target Velmorix_I2C_Comm
VELMORIX_BRIDGE="${VELMORIX_BRIDGE:-sim}" exec ./build/run/qt/program/Velmorix_I2C_Comm "$@"
