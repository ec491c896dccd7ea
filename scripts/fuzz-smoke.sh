#!/usr/bin/env bash
# A short smoke run of every libFuzzer target: configures a clang build with -DVESKA_FUZZ=ON
# in build-fuzz/ (or $VESKA_FUZZ_BUILD_DIR), builds the targets and runs each for
# $VESKA_FUZZ_SECONDS seconds (10 by default). A crash, a leak or a failed assertion fails
# the script; the input that caused it is left in the build folder as crash-* / leak-*.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
"$root/scripts/install-deps.sh"

build_dir=${VESKA_FUZZ_BUILD_DIR:-build-fuzz}
seconds=${VESKA_FUZZ_SECONDS:-10}
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

failed=()
for target in $targets; do
  echo "== $target (${seconds} s)"
  work="$build_dir/fuzz/$target.smoke"
  mkdir -p "$work"
  if ! (cd "$work" && "$root/$build_dir/fuzz/$target" -max_total_time="$seconds" \
        -print_final_stats=1 . 2>&1 | tail -n 12); then
    failed+=("$target")
  fi
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz smoke failed: ${failed[*]}" >&2
  exit 1
fi
echo "fuzz smoke: all targets ran ${seconds} s without a finding"
