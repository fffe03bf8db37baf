#!/usr/bin/env bash
# The MP3 encoder process next to lame run directly with the same options, on a 10-minute
# stereo 44100 Hz WAV made by sox.
#   bench/bench_mp3.sh [build folder] [seconds of audio, default 600] [runs, default 3]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
seconds=${2:-600}
runs=${3:-3}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target bench_mp3 >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

sox -R -n -r 44100 -c 2 -b 16 "$work/in.wav" synth "$seconds" sine 200-8000 sine 440 brownnoise \
  gain -6
"$build/bin/bench_mp3" "$work/in.wav" "$work" "$runs"
