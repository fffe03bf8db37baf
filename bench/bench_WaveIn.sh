#!/usr/bin/env bash
# The WAV reader, the resampler and the IMA ADPCM decoder next to their peers, on a 60-second
# stereo 44100 Hz file made by sox:
#   - TWaveIn against fread on the same PCM file (inside bench_WaveIn);
#   - TFastResampler 44100 -> 22050 and 22050 -> 44100 against sox's quickest rate (rate -q);
#   - TWaveIn's IMA ADPCM decoding against sox decoding the same file.
# Process times are the best of five runs.   bench/bench_WaveIn.sh [build folder]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target bench_WaveIn >/dev/null
bin=$build/bin
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

sox -R -n -r 44100 -c 2 -b 16 "$work/44k.wav" synth 60 sine 200-8000 sine 440 brownnoise gain -6
sox "$work/44k.wav" -r 22050 "$work/22k.wav" rate
sox "$work/44k.wav" -e ima-adpcm "$work/ima.wav"

# Best processor time (user + system) of five runs of a command, in milliseconds: steadier
# than wall time on a busy machine.
best_ms() {
  python3 - "$@" <<'PY'
import resource, subprocess, sys
best = None
for _ in range(5):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    subprocess.run(sys.argv[1:], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    ms = (after.ru_utime + after.ru_stime - before.ru_utime - before.ru_stime) * 1000
    best = ms if best is None else min(best, ms)
print(f"{best:.1f}")
PY
}

row() { # name, ours (ms), peer name, peer (ms)
  printf '%-34s %7s ms   %-22s %7s ms   ratio %s\n' "$1" "$2" "$3" "$4" \
    "$(awk -v a="$2" -v b="$4" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }')"
}

echo "PCM read, 60 s stereo 16-bit:"
"$bin/bench_WaveIn" read "$work/44k.wav"
row "TFastResampler 44100 -> 22050" "$(best_ms "$bin/bench_WaveIn" resample "$work/44k.wav" 22050)" \
  "sox rate -q" "$(best_ms sox "$work/44k.wav" -n rate -q 22050)"
row "TFastResampler 22050 -> 44100" "$(best_ms "$bin/bench_WaveIn" resample "$work/22k.wav" 44100)" \
  "sox rate -q" "$(best_ms sox "$work/22k.wav" -n rate -q 44100)"
row "TWaveIn IMA ADPCM decode" "$(best_ms "$bin/bench_WaveIn" decode "$work/ima.wav")" \
  "sox decode" "$(best_ms sox "$work/ima.wav" -n)"
