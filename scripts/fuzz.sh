#!/usr/bin/env bash
# Builds the protocol fuzzer with clang in build-fuzz and runs it for the given seconds (default 60).
# Exits non-zero when the fuzzer finds a crash or a broken rule; the input is left in build-fuzz/.
set -euo pipefail

seconds="${1:-60}"
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build-fuzz"

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ -DTAXI_GPRS_FUZZ=ON -DTAXI_GPRS_BUILD_TESTS=OFF
cmake --build "$build" -j2 --target fuzz_protocol

# New inputs go to a working corpus in the build folder; the committed seeds are only read.
mkdir -p "$build/corpus"
"$build/fuzz/fuzz_protocol" -max_total_time="$seconds" -max_len=4096 -print_final_stats=1 \
  -artifact_prefix="$build/" "$build/corpus" "$root/fuzz/corpus"
