#!/usr/bin/env bash
# plindar --convert next to the peers that do the same job, on a 5-minute stereo 44100 Hz
# 16-bit file made by sox:
#   - to Ogg Vorbis against oggenc at the same quality (0.2 here is oggenc's -q 2); both run the
#     same codec, so the difference is the program's own overhead;
#   - to 22050 Hz 8-bit mono against sox doing the same (its quickest rate, no dither).
# Process times are the best of five runs.   bench/bench_convert.sh [build folder]
source "$(dirname "$0")/bench_common.sh"
build=${1:-build}
build_targets plindar
bin=$build/bin
make_work

make_music "$work/in.wav" 300

row() { # name, ours (ms), peer name, peer (ms)
  printf '%-34s %7s ms   %-22s %7s ms   ratio %s\n' "$1" "$2" "$3" "$4" "$(ratio "$2" "$4")"
}

row "--convert to .ogg, quality 0.2" \
  "$(best_ms cpu "$bin/plindar" --convert "$work/in.wav" "$work/ours.ogg")" \
  "oggenc -q 2" "$(best_ms cpu oggenc -Q -q 2 -o "$work/peer.ogg" "$work/in.wav")"
row "--convert to 22050 Hz 8-bit mono" \
  "$(best_ms cpu "$bin/plindar" --convert "$work/in.wav" "$work/ours.wav" --rate 22050 \
    --channels 1 --bits 8)" \
  "sox rate -q" "$(best_ms cpu sox "$work/in.wav" -D -r 22050 -c 1 -b 8 "$work/peer.wav" rate -q)"
