#!/usr/bin/env bash
# Builds the setup program, connects it to the virtual bench, measures for a second and
# saves the main window as screenshots/connected.png (or the file given). Runs on Qt's
# offscreen platform; with --x11 it runs under a virtual X server (xvfb-run) instead.
# Further scenes are written beside it by the sections below.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${VESKA_BUILD_DIR:-$root/build}"
x11=0
if [ "${1:-}" = "--x11" ]; then
  x11=1
  shift
fi
out="${1:-screenshots/connected.png}"
cmake -S "$root" -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target veskacfg -j 2 >/dev/null
cd "$root"
mkdir -p "$(dirname "$out")"
if [ "$x11" -eq 1 ]; then
  xvfb-run -a -s "-screen 0 1280x1024x24" \
    "$build/app/veskacfg" --simulate --no-about --screenshot "$out"
else
  QT_QPA_PLATFORM=offscreen "$build/app/veskacfg" --simulate --no-about --screenshot "$out"
fi
echo "$root/$out"

# Unsent edits and the chart: grid rows whose values are not on the sensor
# (unsent-edits.png) and a zoomed stream with its statistics line and zero offset
# (chart-zoomed-stream.png), from the scenes of tests/ui/ScreenshotScenes.cpp.
screenshots_unsent_and_chart() {
  local folder="$1"
  cmake -S "$root" -B "$build" -G Ninja >/dev/null
  cmake --build "$build" --target veska_ui_screenshots -j 2 >/dev/null
  QT_QPA_PLATFORM=offscreen "$build/tests/ui/veska_ui_screenshots" "$folder"
}
screenshots_unsent_and_chart "$(cd "$(dirname "$out")" && pwd)"
