#!/usr/bin/env bash
# Fails when a source file includes a folder its layer may not depend on, when a Qt header
# is included outside the widget layers, or when the layer table itself has a cycle.
# Usage: check_layers.sh SOURCE_ROOT
set -uo pipefail
root="${1:?source root}"
cd "$root" || exit 2

# Each folder and the project folders it may include (besides itself). Lower layers first.
declare -A allowed=(
  [platform]=""
  [link]="platform"
  [lang]="platform"
  [params]="link lang platform"
  [acquire]="params link lang platform"
  [bench]="acquire params link lang platform"
  [driver]="platform"
  [analog]="driver bench acquire params link lang platform"
  [main]="analog bench acquire params link lang platform"
  [results]=""
  [station]="results bench acquire params link lang platform"
  [sim]="platform"
  [simhost]="analog driver bench acquire params link lang platform sim"
  [ui]="main analog bench acquire params lang"
  [tools]="main analog bench acquire params link lang platform sim simhost driver results station"
  [app]="ui main analog bench acquire params link lang platform sim simhost driver"
)
# Folders whose files may include Qt.
qt_folders="ui app"

failures=0

# The table must be acyclic: a depth-first walk that meets a folder on its own path fails.
declare -A state=()
visit() {
  local folder="$1" dep
  case "${state[$folder]:-}" in
    done) return 0 ;;
    active) echo "layer table: cycle through $folder"; failures=$((failures + 1)); return 0 ;;
  esac
  state[$folder]=active
  for dep in ${allowed[$folder]:-}; do visit "$dep"; done
  state[$folder]=done
}
for folder in "${!allowed[@]}"; do visit "$folder"; done

for folder in "${!allowed[@]}"; do
  [ -d "$folder" ] || continue
  while IFS= read -r line; do
    file="${line%%:*}"
    target="$(sed -E 's/.*#include "([a-zA-Z_]+)\/.*/\1/' <<<"$line")"
    [ "$target" = "$folder" ] && continue
    if [[ " ${allowed[$folder]} " != *" $target "* ]]; then
      echo "$file: $folder/ may not include $target/: ${line#*:}"
      failures=$((failures + 1))
    fi
  done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]+"[a-zA-Z_]+/' "$folder" \
             --include='*.h' --include='*.cpp' --include='*.c' | sed -E 's/^([^:]+):[0-9]+:/\1:/')

  if [[ " $qt_folders " != *" $folder "* ]]; then
    while IFS= read -r line; do
      echo "$line: Qt outside the widget layers"
      failures=$((failures + 1))
    done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*<(Q[A-Za-z]+|qcustomplot\.h|Qt[A-Za-z]*/)' \
               "$folder" --include='*.h' --include='*.cpp')
  fi
done

if [ "$failures" -ne 0 ]; then
  echo "$failures layer violation(s)"
  exit 1
fi
echo "layers: every include follows the layer table"
