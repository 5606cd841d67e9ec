#!/usr/bin/env bash
# N terminals (50, 200, 1000) asking "@PZ7@" and "@S@" in a loop: requests a second, p50 and p99 latency,
# beside what the database alone allows for the same statements; the last line is "ratio: 0.NN", the
# service at 200 terminals divided by that limit. --check fails below 0.8; --smoke is a short run for CI;
# --prepared-each-time measures the service as it was before its connections kept their statements.
#   bench/terminal-throughput.sh [--terminals 50,200,1000] [--seconds 5] [--rounds 3] [--prepared-each-time]
#                                [--check] [--smoke]
exec "$(dirname "$0")/run.sh" terminal_throughput "$@"
