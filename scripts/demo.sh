#!/usr/bin/env bash
# Builds Fernquill, writes the demo backup and recovers everything it holds
# into a dated folder under build/release/recovered (or does the same for
# SOURCE, a backup folder or "device", when one is given).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

cmake --preset release
cmake --build --preset release -j "$(nproc)"
bin=build/release/bin

source="${1:-}"
if [ -z "$source" ]; then
  source=build/release/demo-backup
  rm -rf "$source"
  "$bin/fq-mkbackup" --demo "$source"
fi
"$bin/fernquill-cli" scan "$source"
"$bin/fernquill-cli" recover "$source" --out build/release/recovered
