#!/usr/bin/env bash
# Installs what is missing, builds and starts the setup program. Without arguments it runs
# on the simulated bench (--simulate); any arguments are passed to the program instead.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
build="${VESKA_BUILD_DIR:-$root/build}"
args=("$@")
[ ${#args[@]} -gt 0 ] || args=(--simulate)
cd "$root"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "No display found: starting under a virtual X server (xvfb-run)."
  exec xvfb-run -a "$build/app/veskacfg" "${args[@]}"
fi
exec "$build/app/veskacfg" "${args[@]}"
