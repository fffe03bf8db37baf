#!/usr/bin/env bash
# Times `plindar --list` on a 99-track image next to cd-info, and the main window's start-up.
#   bench/bench_list.sh [runs]
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target plindar bench_list
build/bin/bench_list "${1:-20}"
