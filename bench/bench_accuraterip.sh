#!/usr/bin/env bash
# Times a 10-minute rip with and without the AccurateRip and CRC-32 checksums, in one run.
#   bench/bench_accuraterip.sh [runs] [build folder]
source "$(dirname "$0")/bench_common.sh"
build=${2:-build}
build_targets bench_accuraterip
"$build/bin/bench_accuraterip" "${1:-5}"
