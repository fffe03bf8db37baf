#!/usr/bin/env bash
# The MP3 encoder process next to lame run directly with the same options, on a 10-minute
# stereo 44100 Hz WAV made by sox.
#   bench/bench_mp3.sh [build folder] [seconds of audio, default 600] [runs, default 3]
source "$(dirname "$0")/bench_common.sh"
build=${1:-build}
seconds=${2:-600}
runs=${3:-3}
build_targets bench_mp3
make_work

make_music "$work/in.wav" "$seconds"
"$build/bin/bench_mp3" "$work/in.wav" "$work" "$runs"
