#!/usr/bin/env bash
# From a dispatcher's commit of an offer to the terminal's "<Action>RefleshDataZam</Action>@", with 1000
# terminals connected: p50 and p99. --check fails at a p99 of 20 ms or more; --smoke is a short run for CI.
#   bench/push-latency.sh [--terminals 1000] [--offers 200] [--check] [--smoke]
exec "$(dirname "$0")/run.sh" push_latency "$@"
