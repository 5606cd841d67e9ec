#!/usr/bin/env bash
# Floods the main port with connects for SECONDS (default 60) and prints the longest gap between two ticks,
# the resident memory and the time the stop takes. --check makes a gap of 2 s or unbounded memory fail.
#   bench/tick-under-flood.sh [SECONDS] [--check]
exec "$(dirname "$0")/run.sh" tick_under_flood "$@"
