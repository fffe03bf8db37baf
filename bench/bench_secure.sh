#!/usr/bin/env bash
# Times the secure rip of a 10-minute disc image through the CD input next to cd-paranoia.
#   bench/bench_secure.sh [runs] [build folder]
source "$(dirname "$0")/bench_common.sh"
build=${2:-build}
build_targets bench_secure plindar_cdrip
"$build/bin/bench_secure" "${1:-3}"
