#!/usr/bin/env bash
# Checks that every tracked C++ source (git ls-files '*.cpp' '*.h') is laid out
# as .clang-format says, and names each file that is not. With --diff it also
# shows the changes clang-format would make; with --fix it makes them.
# CLANG_FORMAT picks the program (default clang-format-14, the Debian one, so
# that every machine formats the same way).
set -euo pipefail
cd "$(dirname "$0")/.."

mode=check
case "${1:-}" in
  "") ;;
  --diff) mode=diff ;;
  --fix) mode=fix ;;
  *) echo "usage: $0 [--diff | --fix]" >&2; exit 2 ;;
esac

clang_format=${CLANG_FORMAT:-clang-format-14}
if ! command -v "$clang_format" >/dev/null; then
  echo "$clang_format not found (bash scripts/install-deps.sh installs it)" >&2
  exit 2
fi
if ! git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  echo "not a git checkout: the format check covers the files git tracks" >&2
  exit 2
fi

mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [ "$mode" = fix ]; then
  printf '%s\0' "${files[@]}" | xargs -0 -n 32 "$clang_format" -i --style=file
  echo "formatted ${#files[@]} files"
  exit 0
fi

differ=0
for file in "${files[@]}"; do
  if ! "$clang_format" --style=file "$file" | cmp -s - "$file"; then
    differ=$((differ + 1))
    echo "$file"
    if [ "$mode" = diff ]; then
      "$clang_format" --style=file "$file" | diff -u --label "$file" --label "$file (formatted)" "$file" - || true
    fi
  fi
done

if ((differ)); then
  echo "$differ of ${#files[@]} files are not formatted; bash scripts/check-format.sh --fix formats them" >&2
  exit 1
fi
echo "format: all ${#files[@]} files follow .clang-format"
