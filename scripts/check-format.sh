#!/usr/bin/env bash
# Fails when a tracked C or C++ file differs from what clang-format makes of it
# (.clang-format at the root). Prints the files to reformat with `clang-format -i`.
set -euo pipefail
cd "$(dirname "$0")/.."
format="${CLANG_FORMAT:-clang-format}"
mapfile -t files < <(git ls-files '*.h' '*.hpp' '*.c' '*.cpp')
bad=()
for f in "${files[@]}"; do
  if ! "$format" --dry-run --Werror "$f" >/dev/null 2>&1; then bad+=("$f"); fi
done
if [ ${#bad[@]} -ne 0 ]; then
  echo "Not formatted (run clang-format -i on them):"
  printf '  %s\n' "${bad[@]}"
  exit 1
fi
echo "format: ${#files[@]} files as clang-format makes them"
