#!/usr/bin/env bash
# Floods the main port with connects for SECONDS (default 60) and prints the longest gap between two ticks,
# the resident memory and the time the stop takes. --check makes a gap of 2 s or unbounded memory fail.
#   bench/tick-under-flood.sh [SECONDS] [--check]
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${BUILD_DIR:-build}
[ -x "$build_dir/bench/tick_under_flood" ] || scripts/build.sh
scripts/firebird-server.sh >/dev/null
exec "$build_dir/bench/tick_under_flood" "$@"
