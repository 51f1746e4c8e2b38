#!/usr/bin/env bash
# A long fuzzing run outside CI: each harness in turn for SECONDS from its
# committed seeds (on a scratch copy), then what it found that adds coverage is
# merged back into the committed corpus so that CI replays it.
#
#   bash fuzz/campaign.sh BUILD_DIR [SECONDS] [HARNESS...]
#
# BUILD_DIR is a FERNQUILL_FUZZ=ON build (clang). Logs, final statistics and
# any crashing input land in $WORK (default /tmp/fq-fuzz-campaign); a crash
# stops that harness only, and its input is kept as <harness>-crash-*.
set -uo pipefail
cd "$(dirname "$0")/.."

build=${1:?usage: campaign.sh BUILD_DIR [SECONDS] [HARNESS...]}
seconds=${2:-1200}
shift $(( $# >= 2 ? 2 : 1 ))
work=${WORK:-/tmp/fq-fuzz-campaign}
mkdir -p "$work"

declare -A corpus=(
  [fuzz_media_names]=medianames
  [fuzz_manifest_mbdb]=mbdb
  [fuzz_info_plist]=infoplist
  [fuzz_keybag]=keybag
  [fuzz_device_link]=devicelink
  [fuzz_sqlite_reader]=sqlite
  [fuzz_category_readers]=categories
)
harnesses=("$@")
[ ${#harnesses[@]} -eq 0 ] && harnesses=(fuzz_keybag fuzz_manifest_mbdb fuzz_info_plist fuzz_media_names
                                          fuzz_device_link fuzz_sqlite_reader fuzz_category_readers)

summary="$work/summary.tsv"
[ -f "$summary" ] || printf 'harness\tseconds\texecutions\tcov_start\tcov_end\tcorpus_before\tcorpus_added\tcrash\n' > "$summary"

for h in "${harnesses[@]}"; do
  seeds="fuzz/corpus/${corpus[$h]:?unknown harness $h}"
  bin="$build/bin/$h"
  scratch="$work/$h-corpus"
  rm -rf "$scratch" && mkdir -p "$scratch" && cp -r "$seeds"/. "$scratch"/
  log="$work/$h.log"
  echo "== $h for ${seconds}s (log $log)"
  "$bin" -max_len=65536 -rss_limit_mb=2048 -timeout=25 -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="$work/$h-" "$scratch" > "$log" 2>&1
  status=$?
  execs=$(grep -o 'stat::number_of_executed_units: [0-9]*' "$log" | awk '{print $2}' | tail -1)
  covStart=$(grep -m1 -o 'INITED cov: [0-9]*' "$log" | awk '{print $3}')
  covEnd=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | awk '{print $2}')
  before=$(ls "$seeds" | wc -l)
  crash=none
  if [ $status -ne 0 ]; then
    crash=$(ls "$work/$h"-crash-* "$work/$h"-leak-* "$work/$h"-timeout-* "$work/$h"-oom-* 2>/dev/null | head -1)
    crash=${crash:-"exit $status"}
  fi
  # Only inputs that add coverage to the committed seeds are kept.
  "$bin" -merge=1 -max_len=65536 -rss_limit_mb=2048 -timeout=25 "$seeds" "$scratch" > "$work/$h-merge.log" 2>&1
  added=$(( $(ls "$seeds" | wc -l) - before ))
  printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$h" "$seconds" "${execs:-?}" "${covStart:-?}" "${covEnd:-?}" \
    "$before" "$added" "$crash" | tee -a "$summary"
done
