#!/usr/bin/env bash
# Runs clang-tidy (the Debian clang-tidy-14, checks in .clang-tidy) over every
# engine source through the compile_commands.json of a build tree (default
# build/test), and fails on any finding. Usage: bash scripts/tidy.sh [build-dir]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/test}
if [ ! -f "$build/compile_commands.json" ]; then
  echo "$build/compile_commands.json not found: configure that build first (cmake --preset test)" >&2
  exit 2
fi
run-clang-tidy-14 -quiet -j "$(nproc)" -p "$build" "$PWD/engine/.*\.cpp\$"
echo "clang-tidy: no findings in engine/"
