# What the benchmark scripts share; sourced by them, after which the working folder is the
# repository's top.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

# Configures the build folder $build and builds the given targets in it, quietly.
build_targets() {
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build" -j"$(nproc)" --target "$@" >/dev/null
}

# A fresh temporary folder in $work, removed when the script ends.
make_work() {
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
}

# FILE SECONDS: music-like stereo 16-bit 44100 Hz test audio made by sox (a sweep, a tone and
# noise).
make_music() {
  sox -R -n -r 44100 -c 2 -b 16 "$1" synth "$2" sine 200-8000 sine 440 brownnoise gain -6
}

# cpu|wall COMMAND...: the best of five runs of a command, in milliseconds, its output thrown
# away; a failed run ends the script. Processor time (user + system) is steadier than wall time
# on a busy machine.
best_ms() {
  python3 - "$@" <<'PY'
import resource, subprocess, sys, time
what, command = sys.argv[1], sys.argv[2:]
best = None
for _ in range(5):
    before, start = resource.getrusage(resource.RUSAGE_CHILDREN), time.perf_counter()
    subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
    wall, after = time.perf_counter() - start, resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu = after.ru_utime + after.ru_stime - before.ru_utime - before.ru_stime
    ms = (cpu if what == "cpu" else wall) * 1000
    best = ms if best is None else min(best, ms)
print(f"{best:.1f}")
PY
}

# A / B with two decimals (0 when B is 0).
ratio() {
  awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }'
}
