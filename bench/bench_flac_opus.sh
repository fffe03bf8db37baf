#!/usr/bin/env bash
# plindar --convert to FLAC and Opus next to the codecs' own command-line encoders, on one
# 5-minute stereo 44100 Hz 16-bit file made by sox:
#   - to FLAC (level 5, every frame verified) against flac -5, and against flac -5 --verify,
#     which does the same checking;
#   - to Opus (160 kbit/s VBR, the library resampling to 48 kHz) against opusenc --bitrate 160.
# The same libraries run on both sides, so the difference is the program's own overhead.
# Process times are the best of five runs.   bench/bench_flac_opus.sh [build folder]
source "$(dirname "$0")/bench_common.sh"
build=${1:-build}
build_targets plindar
bin=$build/bin
make_work

make_music "$work/in.wav" 300

row() { # name, ours (ms), peer name, peer (ms)
  printf '%-34s %7s ms   %-22s %7s ms   ratio %s\n' "$1" "$2" "$3" "$4" "$(ratio "$2" "$4")"
}

flac_ms=$(best_ms cpu "$bin/plindar" --convert "$work/in.wav" "$work/ours.flac")
row "--convert to .flac, level 5" "$flac_ms" \
  "flac -5" "$(best_ms cpu flac -s -f -5 -o "$work/peer.flac" "$work/in.wav")"
row "--convert to .flac, level 5" "$flac_ms" \
  "flac -5 --verify" "$(best_ms cpu flac -s -f -5 --verify -o "$work/peer.flac" "$work/in.wav")"
row "--convert to .opus, 160 kbit/s" \
  "$(best_ms cpu "$bin/plindar" --convert "$work/in.wav" "$work/ours.opus")" \
  "opusenc --bitrate 160" \
  "$(best_ms cpu opusenc --quiet --bitrate 160 "$work/in.wav" "$work/peer.opus")"
