#!/usr/bin/env bash
# Times `plindar --list` on a 99-track image next to cd-info, and the main window's start-up.
#   bench/bench_list.sh [runs] [build folder]
source "$(dirname "$0")/bench_common.sh"
build=${2:-build}
build_targets plindar bench_list
"$build/bin/bench_list" "${1:-20}"
