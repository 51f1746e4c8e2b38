#!/usr/bin/env bash
# Checks that the engine's folders form a ladder: each folder includes only
# itself, the engine root and the folders below it, and nothing under engine/
# includes device/, output/, cli/, app/ or tools/. Prints every offending
# include and exits 1 when there is one.
set -euo pipefail
cd "$(dirname "$0")/.."

# Lowest rung first; a folder may include any folder on an earlier line.
ladder=(
  "platform"
  "format"
  "records sqlite"
  "backup"
  "media categories"
  "session"
)

declare -A rung
for i in "${!ladder[@]}"; do
  for folder in ${ladder[$i]}; do rung[$folder]=$i; done
done

status=0
while IFS= read -r -d '' file; do
  from=$(dirname "${file#engine/}")
  [ "$from" = "." ] && from=""
  while IFS= read -r inc; do
    case "$inc" in
      engine/*) ;;
      device/* | output/* | cli/* | app/* | tools/*)
        echo "$file: includes $inc (the engine never includes $(cut -d/ -f1 <<<"$inc")/)"
        status=1
        continue
        ;;
      *) continue ;;
    esac
    to=$(dirname "${inc#engine/}")
    [ "$to" = "." ] && continue           # the engine root: shared by every folder
    [ "$to" = "$from" ] && continue
    if [ -z "$from" ]; then
      echo "$file: the engine root includes $inc"
      status=1
      continue
    fi
    if [ -z "${rung[$from]+x}" ] || [ -z "${rung[$to]+x}" ]; then
      echo "$file: includes $inc (folder not on the ladder in scripts/check-layers.sh)"
      status=1
    elif ((rung[$to] >= rung[$from])); then
      echo "$file: includes $inc ($to is not below $from)"
      status=1
    fi
  done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file")
done < <(find engine \( -name '*.h' -o -name '*.cpp' \) -print0 | sort -z)

((status == 0)) && echo "engine layers: every include points down"
exit $status
