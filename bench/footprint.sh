#!/usr/bin/env bash
# Resident memory per bound terminal (1000 terminals) and the start of the distribution (CREATE_PORT) with
# 2000 connection records. --check fails at 16 KiB a terminal or 0.3 s a start; --smoke is a short run for CI.
#   bench/footprint.sh [--terminals 1000] [--records 2000] [--check] [--smoke]
exec "$(dirname "$0")/run.sh" footprint "$@"
