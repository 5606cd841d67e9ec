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

# The tick must keep time, and memory stay bounded, under a flood of connects on the main port.
bench/tick-under-flood.sh "${FLOOD_SECONDS:-15}" --check
# A minute of the soak: 300 terminals on the real program, memory flat, the database clean at the end.
bench/soak.sh "${SOAK_SECONDS:-60}" --check

# A few seconds of each of the other benchmarks, so that they keep working; their figures come from full
# runs on a quiet machine (bench/RESULTS.md), not from here.
start=$(date +%s)
for bench in database-limit terminal-throughput push-latency footprint; do
  bench/$bench.sh --smoke
done
echo "test: benchmark smoke runs took $(( $(date +%s) - start )) s"

# The same tests once more under AddressSanitizer and UndefinedBehaviorSanitizer. The Firebird
# client keeps a few allocations for the life of the process; those alone are not reported.
start=$(date +%s)
BUILD_DIR=build-asan scripts/build.sh -DTAXI_GPRS_SANITIZE=ON
LSAN_OPTIONS="suppressions=$(pwd)/tests/sanitizers/leak-suppressions.txt:use_tls=0" \
  ctest --test-dir build-asan --output-on-failure --timeout 600
echo "test: sanitizer build and tests took $(( $(date +%s) - start )) s"

scripts/fuzz.sh "${FUZZ_SECONDS:-60}"

# The Debian packages: built, their contents and dependencies checked, installed, and the unit's command
# run as the service's user.
start=$(date +%s)
scripts/package.sh --install
echo "test: packaging took $(( $(date +%s) - start )) s"
