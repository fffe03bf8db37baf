#!/usr/bin/env bash
# Builds Plindar, writes the demo disc image, prints its tracks and rips them to MP3 files in
# build/demo/mp3/; with a screen it then shows the disc in the window.
#   scripts/run-demo.sh
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target plindar
plindar=build/bin/plindar
demo=build/demo
cue=$("$plindar" --make-demo-disc "$demo")
echo "Demo disc: $cue"
echo
printf 'No.\tTitle\tLength(min)\tSize(MB)\n'
"$plindar" --cd-image "$cue" --list
echo
echo "Ripping the demo disc to MP3 into $demo/mp3/:"
"$plindar" --cd-image "$cue" --extract --format mp3 --output "$demo/mp3"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  "$plindar" --cd-image "$cue"
fi
