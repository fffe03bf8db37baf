#!/usr/bin/env bash
# The WAV writer next to its peers:
#   - 16-bit stereo PCM through TWaveOut against a plain fwrite loop of the same bytes, in one
#     process, with the resident memory of a short and an eight times longer run;
#   - IMA ADPCM encoding of a 60-second stereo 44100 Hz recording made by sox, against sox
#     encoding the same audio (whole processes, best wall time of five runs).
#   bench/bench_WaveOut.sh [build folder] [PCM seconds, default 600]
source "$(dirname "$0")/bench_common.sh"
build=${1:-build}
seconds=${2:-600}
build_targets bench_WaveOut
bin=$build/bin
make_work

"$bin/bench_WaveOut" pcm "$seconds" "$work"

make_music "$work/44k.wav" 60
sox "$work/44k.wav" -t raw "$work/44k.raw"

ours=$(best_ms wall "$bin/bench_WaveOut" ima "$work/44k.raw" "$work/ours.wav")
peer=$(best_ms wall sox "$work/44k.wav" -e ima-adpcm "$work/sox.wav")
printf 'IMA ADPCM encode, 60 s stereo:  TWaveOut %s ms   sox %s ms   ratio %s\n' "$ours" "$peer" \
  "$(ratio "$ours" "$peer")"
