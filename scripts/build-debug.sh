#!/usr/bin/env bash
# Configures and builds the debug build (the factory bench reachable) into build-debug/ (or
# $VESKA_DEBUG_BUILD_DIR), without tests and benchmarks, so that the debug-only code is
# compiled on every check. Extra arguments go to cmake. Start it on the virtual bench with
#   build-debug/app/veskacfg --simulate
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${VESKA_DEBUG_BUILD_DIR:-$root/build-debug}"
launcher=()
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$root" -B "$build" -G Ninja -DVESKA_DEBUG_BUILD=ON -DVESKA_BUILD_TESTS=OFF \
  -DVESKA_BUILD_BENCHMARKS=OFF "${launcher[@]}" "$@" >/dev/null
cmake --build "$build" -j "$(nproc)"
