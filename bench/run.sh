#!/usr/bin/env bash
# Runs one of the benchmark programs of this folder: builds it when it is missing, makes sure the local
# database server runs, and hands the remaining arguments on.
#   bench/run.sh PROGRAM [ARGUMENTS...]
# BUILD_DIR chooses the build (build by default); figures worth keeping come from a Release build.
set -euo pipefail
cd "$(dirname "$0")/.."
program=$1
shift
build_dir=${BUILD_DIR:-build}
[ -x "$build_dir/bench/$program" ] || scripts/build.sh
scripts/firebird-server.sh >/dev/null
exec "$build_dir/bench/$program" "$@"
