#!/usr/bin/env bash
# Installs the tests' peers, builds Plindar and runs its tests.
#   scripts/test.sh                    every suite, in build/
#   scripts/test.sh --sanitize thread  the threaded suites under ThreadSanitizer, in build-tsan/
#   scripts/test.sh --sanitize address every suite under AddressSanitizer and UBSan, in build-asan/
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh --tests
sanitize=""
[ "${1:-}" = "--sanitize" ] && sanitize="${2:?address or thread}"
dir=build${sanitize:+-${sanitize:0:1}san}
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPLINDAR_SANITIZE="$sanitize" >/dev/null
cmake --build "$dir" -j"$(nproc)"
export QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=disk
args=(--output-on-failure -j"$(nproc)" --timeout 300)
[ "$sanitize" = "thread" ] && args+=(-L threads)
[ "$sanitize" = "thread" ] && export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1"
cd "$dir" && ctest "${args[@]}"
