#!/usr/bin/env bash
# The layer check itself, on small source trees: the holes it must not have.
# Usage: check_layers_test.sh CHECK_SCRIPT
set -uo pipefail
check="${1:?check_layers.sh}"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
failures=0

# expect STATUS PATTERN: runs the check on $scratch/tree; STATUS 0 passes, 1 fails; the
# output must contain PATTERN.
expect() {
  local status="$1" pattern="$2" out rc
  out="$(bash "$check" "$scratch/tree" 2>&1)"
  rc=$?
  if [ "$rc" -ne "$status" ] || ! grep -qF -- "$pattern" <<<"$out"; then
    echo "FAIL ($CASE): expected status $status and '$pattern', got $rc:"
    echo "$out"
    failures=$((failures + 1))
  fi
}

tree() {
  rm -rf "$scratch/tree"
  mkdir -p "$scratch/tree/link/sub" "$scratch/tree/main" "$scratch/tree/platform"
  : >"$scratch/tree/main/MainView.h"
  : >"$scratch/tree/platform/Clock.h"
}

CASE="clean tree"; tree
printf '#include "platform/Clock.h"\n#include "Local.h"\n#include "../link/Framing.h"\n' \
  >"$scratch/tree/link/A.cpp"
expect 0 "every include follows"

CASE="relative include upwards"; tree
printf '#include "../main/MainView.h"\n' >"$scratch/tree/link/A.cpp"
expect 1 "link/ may not include main/"

CASE="relative include from a subfolder"; tree
printf '#  include "./../../main/MainView.h"\n' >"$scratch/tree/link/sub/B.h"
expect 1 "link/ may not include main/"

CASE="relative include leaving the tree"; tree
printf '#include "../../outside.h"\n' >"$scratch/tree/link/A.cpp"
expect 1 "outside the source tree"

CASE="README row naming a folder the table forbids"; tree
printf '## Layout\n\n| Folder | Holds | May depend on |\n|---|---|---|\n| `platform/` | x | POSIX |\n| `link/` | y | platform, main |\n| `main/` | z | analog, bench, acquire, params, link, lang, platform |\n\n## Next\n' \
  >"$scratch/tree/README.md"
expect 1 "the row of link/ names main/"

[ "$failures" -eq 0 ] && echo "layer check: every case as expected"
exit $((failures != 0))
