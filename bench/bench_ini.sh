#!/usr/bin/env bash
# Reading and writing INI files (the disc cache of 30,000 discs, a section of 40,000 keys) next
# to Python's configparser and awk reading the same files, and `plindar --list` with that cache.
#   bench/bench_ini.sh [runs] [build folder]
source "$(dirname "$0")/bench_common.sh"
build=${2:-build}
build_targets plindar bench_ini
"$build/bin/bench_ini" "${1:-5}"
