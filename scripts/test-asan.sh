#!/usr/bin/env bash
# The whole test suite under AddressSanitizer and UndefinedBehaviorSanitizer: configures
# build-asan/ (or $VESKA_ASAN_BUILD_DIR) with -DVESKA_ASAN=ON, without the Qt program and
# its widget tests and without the benchmarks, builds it and runs every test. Every
# sanitizer report stops the test that made it (-fno-sanitize-recover=all, halt_on_error),
# so any report fails the run.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${VESKA_ASAN_BUILD_DIR:-$root/build-asan}"
jobs="${VESKA_JOBS:-2}"
"$root/scripts/install-deps.sh"
launcher=()
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVESKA_ASAN=ON \
  -DVESKA_BUILD_UI=OFF -DVESKA_BUILD_BENCHMARKS=OFF "${launcher[@]}" >/dev/null
cmake --build "$build" -j "$jobs"
export ASAN_OPTIONS="halt_on_error=1:abort_on_error=1:detect_stack_use_after_return=0:${ASAN_OPTIONS:-}"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:${UBSAN_OPTIONS:-}"
export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:${LSAN_OPTIONS:-}"
ctest --test-dir "$build" --output-on-failure -j "$jobs" --timeout 600
