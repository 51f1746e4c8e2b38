#!/usr/bin/env bash
# Builds Fernquill, writes the demo backup and recovers everything it holds
# into a dated folder under build/release/recovered (or does the same for
# SOURCE, a backup folder or "device", when one is given). The demo backup is
# also laid into build/release/demo-data, where the window finds it, and the
# line that opens the window on it is printed at the end.
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

# The window looks for backups under $XDG_DATA_HOME/Apple Computer/MobileSync/backup.
demo_data="$PWD/build/release/demo-data"
demo_root="$demo_data/Apple Computer/MobileSync/backup"
rm -rf "$demo_data"
mkdir -p "$demo_root"
"$bin/fq-mkbackup" --demo "$demo_root/demo-iphone"
echo
echo "Open the window on the demo backup with:"
echo "  XDG_DATA_HOME=\"$demo_data\" $PWD/$bin/fernquill"
