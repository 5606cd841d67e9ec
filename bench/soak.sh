#!/usr/bin/env bash
# Runs the real program headless under 300 terminals for SECONDS (default 600) with random requests,
# orderly closes and resets, and prints the figures: requests and reply latency, resident memory, and what
# the dispatcher database holds once every terminal has left. --check makes a failed check exit 1.
#   bench/soak.sh [SECONDS] [--check] [--terminals N]
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${BUILD_DIR:-build}
[ -x "$build_dir/bench/soak" ] || scripts/build.sh
scripts/firebird-server.sh >/dev/null
exec "$build_dir/bench/soak" "$@"
