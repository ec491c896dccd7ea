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
  [analog]="driver bench params lang platform"
  [main]="station report results analog bench acquire params link lang platform"
  [results]=""
  [station]="results bench acquire params link lang platform"
  [report]="results"
  [sim]="platform"
  [simhost]="analog driver bench acquire params link lang platform sim"
  [ui]="main report results analog bench acquire params lang"
  [tools]="main analog bench acquire params link lang platform sim simhost driver results station report"
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

# The folder an include names: a path with "." or ".." parts is resolved against the
# including file's folder, any other path with a slash is taken from the source root, and a
# bare file name stays in the including file's folder. Prints "" for a path leaving the root.
included_folder() {
  local file="$1" path="$2" resolved
  if [[ "$path" == ./* || "$path" == ../* || "$path" == */./* || "$path" == */../* ]]; then
    resolved="$(realpath -m --relative-to=. "$(dirname "$file")/$path")"
    [[ "$resolved" == ../* || "$resolved" == .. ]] && { echo ""; return; }
  elif [[ "$path" == */* ]]; then
    resolved="$path"
  else
    resolved="$(dirname "$file")/$path"
  fi
  echo "${resolved%%/*}"
}

for folder in "${!allowed[@]}"; do
  [ -d "$folder" ] || continue
  while IFS= read -r line; do
    file="${line%%:*}"
    path="$(sed -E 's/^[^:]*:[[:space:]]*#[[:space:]]*include[[:space:]]*"([^"]+)".*/\1/' <<<"$line")"
    target="$(included_folder "$file" "$path")"
    [ "$target" = "$folder" ] && continue
    if [ -z "$target" ]; then
      echo "$file: $folder/ includes a file outside the source tree: ${line#*:}"
      failures=$((failures + 1))
    elif [[ " ${allowed[$folder]} " != *" $target "* ]]; then
      echo "$file: $folder/ may not include $target/: ${line#*:}"
      failures=$((failures + 1))
    fi
  done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$folder" \
             --include='*.h' --include='*.cpp' --include='*.c' | sed -E 's/^([^:]+):[0-9]+:/\1:/')

  if [[ " $qt_folders " != *" $folder "* ]]; then
    while IFS= read -r line; do
      echo "$line: Qt outside the widget layers"
      failures=$((failures + 1))
    done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*<(Q[A-Za-z]+|qcustomplot\.h|Qt[A-Za-z]*/)' \
               "$folder" --include='*.h' --include='*.cpp')
  fi
done

# The layout table of README.md is the same map: each folder's row names, in its last
# column, exactly the folders of the table above.
if [ -f README.md ]; then
  declare -A documented=()
  while IFS='|' read -r _ name _ deps _; do
    folder="$(sed -E 's/^[[:space:]]*`([a-z]+)\/`.*/\1/' <<<"$name")"
    [[ -n "${allowed[$folder]+set}" ]] || continue
    documented[$folder]=1
    named=""
    for word in $(tr -c 'a-z\n' ' ' <<<"$deps"); do
      [[ -n "${allowed[$word]+set}" && " $named " != *" $word "* ]] && named="$named $word"
    done
    for dep in ${allowed[$folder]}; do
      if [[ " $named " != *" $dep "* ]]; then
        echo "README.md: the row of $folder/ does not name $dep/"
        failures=$((failures + 1))
      fi
    done
    for dep in $named; do
      if [[ " ${allowed[$folder]} " != *" $dep "* ]]; then
        echo "README.md: the row of $folder/ names $dep/, which the table does not allow"
        failures=$((failures + 1))
      fi
    done
  done < <(sed -n '/^## Layout/,/^## /p' README.md | grep -E '^\|[[:space:]]*`[a-z]+/`')
  for folder in "${!allowed[@]}"; do
    if [ -d "$folder" ] && [ -z "${documented[$folder]:-}" ]; then
      echo "README.md: the layout table has no row for $folder/"
      failures=$((failures + 1))
    fi
  done
fi

if [ "$failures" -ne 0 ]; then
  echo "$failures layer violation(s)"
  exit 1
fi
echo "layers: every include follows the layer table"
