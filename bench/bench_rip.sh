#!/usr/bin/env bash
# Times ripping a 10-minute disc image to WAV next to cd-paranoia's burst read and cat.
#   bench/bench_rip.sh [runs] [build folder]
source "$(dirname "$0")/bench_common.sh"
build=${2:-build}
build_targets plindar bench_rip
"$build/bin/bench_rip" "$build/bin/plindar" "${1:-5}"
