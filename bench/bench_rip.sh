#!/usr/bin/env bash
# Times ripping a 10-minute disc image to WAV next to cd-paranoia's burst read and cat.
#   bench/bench_rip.sh [runs]
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target plindar bench_rip
build/bin/bench_rip build/bin/plindar "${1:-5}"
