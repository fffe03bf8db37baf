#!/usr/bin/env bash
# The WAV reader, the resampler and the IMA ADPCM decoder next to their peers, on a 60-second
# stereo 44100 Hz file made by sox:
#   - TWaveIn against fread on the same PCM file (inside bench_WaveIn);
#   - TFastResampler 44100 -> 22050 and 22050 -> 44100 against sox's quickest rate (rate -q);
#   - TWaveIn's IMA ADPCM decoding against sox decoding the same file.
# Process times are the best of five runs.   bench/bench_WaveIn.sh [build folder]
source "$(dirname "$0")/bench_common.sh"
build=${1:-build}
build_targets bench_WaveIn
bin=$build/bin
make_work

make_music "$work/44k.wav" 60
sox "$work/44k.wav" -r 22050 "$work/22k.wav" rate
sox "$work/44k.wav" -e ima-adpcm "$work/ima.wav"

row() { # name, ours (ms), peer name, peer (ms)
  printf '%-34s %7s ms   %-22s %7s ms   ratio %s\n' "$1" "$2" "$3" "$4" "$(ratio "$2" "$4")"
}

echo "PCM read, 60 s stereo 16-bit:"
"$bin/bench_WaveIn" read "$work/44k.wav"
row "TFastResampler 44100 -> 22050" "$(best_ms cpu "$bin/bench_WaveIn" resample "$work/44k.wav" 22050)" \
  "sox rate -q" "$(best_ms cpu sox "$work/44k.wav" -n rate -q 22050)"
row "TFastResampler 22050 -> 44100" "$(best_ms cpu "$bin/bench_WaveIn" resample "$work/22k.wav" 44100)" \
  "sox rate -q" "$(best_ms cpu sox "$work/22k.wav" -n rate -q 44100)"
row "TWaveIn IMA ADPCM decode" "$(best_ms cpu "$bin/bench_WaveIn" decode "$work/ima.wav")" \
  "sox decode" "$(best_ms cpu sox "$work/ima.wav" -n)"
