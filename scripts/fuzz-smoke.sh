#!/usr/bin/env bash
# A short smoke run of every libFuzzer target: configures a clang build with -DVESKA_FUZZ=ON
# in build-fuzz/ (or $VESKA_FUZZ_BUILD_DIR, relative to the source tree), builds the targets
# and runs each for $VESKA_FUZZ_SECONDS seconds (6 by default), $VESKA_JOBS at a time (2). A
# crash, a leak, a failed assertion or any sanitizer report (the build does not recover from
# them, and a report in a log fails the run even so) fails the script; the input is left in
# the target's folder build-fuzz/fuzz/<target>.smoke/ as crash-* / leak-*, its log beside it.
# On two cores a fresh build takes about a minute and a half of compiling, the runs half a
# minute; with ccache warm the whole script takes well under a minute.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
"$root/scripts/install-deps.sh"

build_dir=${VESKA_FUZZ_BUILD_DIR:-build-fuzz}
seconds=${VESKA_FUZZ_SECONDS:-6}
jobs=${VESKA_JOBS:-2}
launcher=()
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

CC=clang CXX=clang++ cmake -S . -B "$build_dir" -G Ninja -DVESKA_FUZZ=ON -DVESKA_BUILD_UI=OFF \
  -DVESKA_BUILD_TESTS=OFF -DVESKA_BUILD_BENCHMARKS=OFF "${launcher[@]}" >/dev/null
targets=$(sed -n 's/^veska_fuzzer(\([a-z_]*\) .*/\1/p' fuzz/CMakeLists.txt)
# shellcheck disable=SC2086
cmake --build "$build_dir" -j"$jobs" --target $targets

# Each run writes its log and its exit code beside its corpus; up to $jobs run at once.
export ASAN_OPTIONS="halt_on_error=1:${ASAN_OPTIONS:-}"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:${UBSAN_OPTIONS:-}"
run_target() {
  local target=$1
  local work="$root/$build_dir/fuzz/$target.smoke"
  mkdir -p "$work"
  local rc=0
  (cd "$work" && "$root/$build_dir/fuzz/$target" -max_total_time="$seconds" \
      -print_final_stats=1 . >"$work.log" 2>&1) || rc=$?
  echo "$rc" >"$work.rc"
}
for target in $targets; do
  rm -f "$build_dir/fuzz/$target.smoke.rc"
  while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n || true; done
  run_target "$target" &
done
wait

failed=()
for target in $targets; do
  echo "== $target (${seconds} s)"
  tail -n 6 "$build_dir/fuzz/$target.smoke.log" || true
  rc=$(cat "$build_dir/fuzz/$target.smoke.rc" 2>/dev/null || echo missing)
  if [ "$rc" != 0 ] || grep -qE 'runtime error:|ERROR: (Address|Leak|UndefinedBehavior)Sanitizer' \
      "$build_dir/fuzz/$target.smoke.log"; then
    failed+=("$target")
  fi
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz smoke failed: ${failed[*]}" >&2
  exit 1
fi
echo "fuzz smoke: all targets ran ${seconds} s without a finding"
