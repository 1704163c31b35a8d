#!/usr/bin/env bash
# Fails when a unit under src/ includes a folder that comes after its own in
# the layer order below: each folder may include only itself and the folders
# before it. Tests beside the code may also include tests/support.
#   tests/include_order_check.sh [SOURCE_DIR]
set -euo pipefail
root="${1:-$(cd "$(dirname "$0")/.." && pwd)}"
order=(common platform config tally agents intake state names report driver)

declare -A rank=()
for i in "${!order[@]}"; do rank[${order[$i]}]=$i; done

status=0
while IFS= read -r -d '' file; do
  relative="${file#"$root"/src/}"
  folder="${relative%%/*}"
  if [ -z "${rank[$folder]+set}" ]; then
    echo "$file: folder '$folder' has no place in the layer order" >&2
    status=1
    continue
  fi
  while IFS= read -r line; do
    number="${line%%:*}"
    included="$(sed -E 's/^[0-9]+:[[:space:]]*#[[:space:]]*include[[:space:]]*"([^"]*)".*/\1/' <<<"$line")"
    target="${included%%/*}"
    [ "$target" = "$included" ] && continue  # a file beside it, no folder
    if [ "$target" = support ] && [[ "$file" == *_test.cpp ]]; then continue; fi
    if [ -z "${rank[$target]+set}" ] || [ "${rank[$target]}" -gt "${rank[$folder]}" ]; then
      echo "$relative:$number: includes \"$included\", against the order ${order[*]}" >&2
      status=1
    fi
  done < <(grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$file" || true)
done < <(find "$root/src" -type f \( -name '*.cpp' -o -name '*.h' \) -print0)

[ "$status" = 0 ] && echo "includes follow the order: ${order[*]}"
exit "$status"
