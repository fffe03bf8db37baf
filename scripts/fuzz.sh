#!/usr/bin/env bash
# Builds the fuzz targets with clang into build-fuzz/ and runs one or all of them.
#   scripts/fuzz.sh                every target for 20 seconds
#   scripts/fuzz.sh wav 7200       one target for two hours
#   scripts/fuzz.sh wav 7200 10000000   ... or ten million executions, whichever comes first
# Each target starts from its seeds (fuzz/corpus/<target>/ and the test data named below) and
# keeps what it finds in build-fuzz/corpus/<target>/. A crash, leak, hang or undefined
# behaviour leaves its input in build-fuzz/ and the script ends with status 1.
set -euo pipefail
cd "$(dirname "$0")/.."
target="${1:-all}"
seconds="${2:-20}"
runs="${3:--1}"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPLINDAR_FUZZ=ON >/dev/null
cmake --build build-fuzz -j"$(nproc)" >build-fuzz/build.log 2>&1 || { tail -40 build-fuzz/build.log; exit 1; }

declare -A more_seeds=([cddb]=tests/data/cddb [ini]=data)
targets=()
for t in fuzz/*.cpp; do targets+=("$(basename "$t" .cpp)"); done
[ "$target" = all ] || targets=("$target")

run() {
  local t="$1" seconds="$2" work="build-fuzz/corpus/$1" dict=()
  mkdir -p "$work"
  [ -f "fuzz/$t.dict" ] && dict=(-dict="fuzz/$t.dict")
  if build-fuzz/bin/"fuzz_$t" -max_total_time="$seconds" -runs="$runs" -timeout=10 -rss_limit_mb=4096 \
      -artifact_prefix="build-fuzz/$t-" "${dict[@]}" "$work" "fuzz/corpus/$t" \
      ${more_seeds[$t]:+"${more_seeds[$t]}"} >"build-fuzz/$t.log" 2>&1; then
    echo "$t: $(grep -o 'Done [0-9]* runs in [0-9]* second(s)' "build-fuzz/$t.log")"
  else
    echo "$t: FAILED"
    tail -40 "build-fuzz/$t.log"
    return 1
  fi
}

# One target per core at a time.
failed=0
for ((i = 0; i < ${#targets[@]}; i += $(nproc))); do
  pids=()
  for t in "${targets[@]:i:$(nproc)}"; do
    run "$t" "$seconds" & pids+=($!)
  done
  for p in "${pids[@]}"; do wait "$p" || failed=1; done
done
exit $failed
