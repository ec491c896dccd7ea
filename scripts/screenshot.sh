#!/usr/bin/env bash
# Builds the setup program, connects it to the virtual bench, measures for a second and
# saves the main window as screenshots/connected.png (or the file given). Runs on Qt's
# offscreen platform; with --x11 it runs under a virtual X server (xvfb-run) instead.
# Further screenshots follow in their own sections below, in the same folder.
# --bench [DIR], --station [DIR]: the bench's or the station's screenshots instead (the
# section below).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${VESKA_BUILD_DIR:-$root/build}"

# --- The bench: the bench form during a verification run and the report's chart ---------
# `scripts/screenshot.sh --bench [DIR]` builds the debug build (scripts/build-debug.sh) and
# runs a Poverka on the virtual bench with a coarse stage (0.05 mm steps, about a thousand
# increments), writing DIR/bench-run.png (the bench form during the run),
# DIR/bench-run-window.png (the window at that moment) and DIR/report-chart.png (the window
# with the verification report's chart); the run's own files (the report image
# <serial>_Digital_pvk.bmp) stay in DIR/run/. DIR defaults to screenshots/.
#
# `scripts/screenshot.sh --station [DIR]` runs the virtual bench's sensor through
# dist/sequences/verification.toml in the factory window's station panel instead, writing
# DIR/station.png (the panel with the verdict) and DIR/station-window.png; the runs' files
# land in DIR/runs/.
#
# Both keep nothing of the user's: settings and results go below DIR (config/, data/).

# The debug build's factory program on the virtual bench with the coarse stage, started in
# DIR/SUBDIR with the options after the first two.
factory_run() {
  local dir="$1" sub="$2"
  shift 2
  local debug="${VESKA_DEBUG_BUILD_DIR:-$root/build-debug}"
  VESKA_DEBUG_BUILD_DIR="$debug" "$root/scripts/build-debug.sh" >/dev/null
  mkdir -p "$dir/$sub"
  printf '0.05 70 170\r\n0.025 320 1060\r\n' >"$dir/$sub/Motor.dat"
  (cd "$dir/$sub" && QT_QPA_PLATFORM=offscreen XDG_DATA_HOME="$dir/data" \
    XDG_CONFIG_HOME="$dir/config" "$debug/app/veskacfg-factory" --simulate --no-about \
    --language "$root/Language" "$@")
}
case "${1:-}" in
  --bench | --station)
    dir="${2:-$root/screenshots}"
    mkdir -p "$dir"
    dir="$(cd "$dir" && pwd)"
    if [ "$1" = "--bench" ]; then
      factory_run "$dir" run --screenshot-bench "$dir"
      printf '%s\n' "$dir/bench-run.png" "$dir/bench-run-window.png" "$dir/report-chart.png"
    else
      factory_run "$dir" station-run --sequences "$root/dist/sequences" \
        --screenshot-station "$dir"
      printf '%s\n' "$dir/station.png" "$dir/station-window.png"
    fi
    exit 0
    ;;
esac
# --- end of the bench and station section ------------------------------------------

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

# The status bar after a lost sensor and the sensor search with a found sensor: taken by
# their widget tests on the simulated sensor, beside the main screenshot.
link_screenshots() {
  local dir log
  dir="$(cd "$(dirname "$out")" && pwd)"
  log="$(mktemp)"
  cmake --build "$build" --target veska_ui_tests -j 2 >/dev/null
  if ! VESKA_SCREENSHOT_DIR="$dir" QT_QPA_PLATFORM=offscreen "$build/tests/ui/veska_ui_tests" \
    --gtest_filter='MainFormTest.StatusBarSaysWhenTheSensorStoppedAnsweringAndReconnectBringsItBack:SensorSearchTest.FindsTheSensorAtItsRateAndAddressAndClosesThePort' \
    >"$log" 2>&1; then
    cat "$log" >&2
    rm -f "$log"
    return 1
  fi
  rm -f "$log"
  echo "$dir/link-lost.png"
  echo "$dir/sensor-search.png"
}
link_screenshots

# The scenes of tests/ui/ScreenshotScenes.cpp: grid rows whose values are not on the sensor
# (unsent-edits.png), a zoomed stream with its statistics line and zero offset
# (chart-zoomed-stream.png), the window in German (german-window.png), the factory build's
# "Options" -> "Bench form" item and the bench form it shows (bench-menu-item.png,
# bench-form.png), and an entry refused for its range with its message (refused-entry.png).
# `scripts/screenshot.sh build/screenshots/connected.png` puts them all in build/screenshots/.
screenshots_unsent_and_chart() {
  local folder="$1"
  cmake -S "$root" -B "$build" -G Ninja >/dev/null
  cmake --build "$build" --target veska_ui_screenshots -j 2 >/dev/null
  QT_QPA_PLATFORM=offscreen "$build/tests/ui/veska_ui_screenshots" "$folder"
}
screenshots_unsent_and_chart "$(cd "$(dirname "$out")" && pwd)"
