#!/usr/bin/env bash
# The WAV writer next to its peers:
#   - 16-bit stereo PCM through TWaveOut against a plain fwrite loop of the same bytes, in one
#     process, with the resident memory of a short and an eight times longer run;
#   - IMA ADPCM encoding of a 60-second stereo 44100 Hz recording made by sox, against sox
#     encoding the same audio (whole processes, best wall time of five runs).
#   bench/bench_WaveOut.sh [build folder] [PCM seconds, default 600]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
seconds=${2:-600}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target bench_WaveOut >/dev/null
bin=$build/bin
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$bin/bench_WaveOut" pcm "$seconds" "$work"

sox -R -n -r 44100 -c 2 -b 16 "$work/44k.wav" synth 60 sine 200-8000 sine 440 brownnoise gain -6
sox "$work/44k.wav" -t raw "$work/44k.raw"

best_ms() { # best wall time of five runs of a command, in milliseconds
  local best=
  for _ in 1 2 3 4 5; do
    local start end
    start=$(date +%s%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s%N)
    local ms=$(((end - start) / 1000000))
    if [[ -z $best || $ms -lt $best ]]; then best=$ms; fi
  done
  echo "$best"
}

ours=$(best_ms "$bin/bench_WaveOut" ima "$work/44k.raw" "$work/ours.wav")
peer=$(best_ms sox "$work/44k.wav" -e ima-adpcm "$work/sox.wav")
printf 'IMA ADPCM encode, 60 s stereo:  TWaveOut %s ms   sox %s ms   ratio %s\n' "$ours" "$peer" \
  "$(awk -v a="$ours" -v b="$peer" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }')"
