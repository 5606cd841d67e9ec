#!/usr/bin/env bash
# Configures and builds the project into build/ (BUILD_DIR and BUILD_TYPE change that).
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${BUILD_DIR:-build}
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-Debug}" "$@" >/dev/null
cmake --build "$build_dir" -j"$(nproc)"
