#!/usr/bin/env bash
# The statements of "@PZ7@" and "@S@" run by the data layer alone, prepared on each use and prepared once:
# requests a second of each (medians of a few rounds) and the gain of keeping the statements. --check fails
# when the gain is below 1.2; --smoke is a short run for CI.
#   bench/database-limit.sh [--seconds 5] [--rounds 3] [--check] [--smoke]
exec "$(dirname "$0")/run.sh" database_limit "$@"
