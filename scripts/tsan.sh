#!/usr/bin/env bash
# ThreadSanitizer run of the stream: builds the main layer's tests with -DVESKA_TSAN=ON in
# build-tsan/ (or $VESKA_TSAN_BUILD_DIR) and runs the stream tests; any data race report
# stops the run with a non-zero exit. Extra arguments go to the test binary
# (e.g. --gtest_filter='Measurement*').
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${VESKA_TSAN_BUILD_DIR:-$root/build-tsan}"
"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVESKA_TSAN=ON -DVESKA_BUILD_UI=OFF -DVESKA_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$build" --target veska_main_tests -j 2
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 ${TSAN_OPTIONS:-}"
args=("$@")
[ ${#args[@]} -gt 0 ] || args=(--gtest_filter='Stream*')
exec "$build/tests/main/veska_main_tests" "${args[@]}"
