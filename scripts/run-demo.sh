#!/usr/bin/env bash
# Builds Plindar, writes the demo disc image and shows its tracks: printed always, and in the
# window as well when there is a screen.
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
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  "$plindar" --cd-image "$cue"
fi
