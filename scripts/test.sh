#!/usr/bin/env bash
# The whole check on a fresh Debian 12 machine: install, build, start the database server, run the tests.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
start=$(date +%s)
scripts/build.sh
echo "test: build took $(( $(date +%s) - start )) s"
scripts/firebird-server.sh

start=$(date +%s)
ctest --test-dir "${BUILD_DIR:-build}" --output-on-failure --timeout 600
echo "test: tests took $(( $(date +%s) - start )) s"

if [ -x scripts/fuzz.sh ]; then
  scripts/fuzz.sh "${FUZZ_SECONDS:-60}"
fi
