#!/usr/bin/env bash
# Whole-process wall time (median of RUNS) and peak RSS of fernquill-cli
# against reference tools on large generated backups, one row per comparison
# with the ratio (ours / reference) and pass/short against its target.
#
# Usage: bench/run.sh BUILD_DIR   (configured with -DFERNQUILL_BENCH=ON, Release)
# Environment:
#   RUNS=3                    runs per measurement; the median is reported
#   MESSAGES="25000 50000"    backup sizes (messages in sms.db; the rest scales)
#   CRYPTO=0                  1: add key derivation and bulk decryption rows
#   WORK=<temp folder>        where the backups are written (kept when given)
#   PLOT=1                    0: skip the PNG of scan time against size
# Rows go to standard output and to $WORK/results.tsv; the plot to $WORK/scan-time.png.
set -euo pipefail

build=${1:?usage: bench/run.sh BUILD_DIR}
build=$(cd "$build" && pwd)
runs=${RUNS:-3}
sizes=${MESSAGES:-25000 50000}
crypto=${CRYPTO:-0}
plot=${PLOT:-1}
here=$(cd "$(dirname "$0")" && pwd)

cli=$build/bin/fernquill-cli
mkbig=$build/bin/fq-mkbigbackup
scanmem=$build/bin/scan_memory
for bin in "$cli" "$mkbig" "$scanmem" "$build/bin/manifest_bench" "$build/bin/category_readers_bench"; do
  [ -x "$bin" ] || {
    echo "missing $bin: cmake --build $build --target fernquill-cli fq-mkbigbackup scan_memory manifest_bench category_readers_bench" >&2
    exit 2
  }
done

need_package() {  # command package
  command -v "$1" > /dev/null && return 0
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq && DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "$2" > /dev/null
}
[ -x /usr/bin/time ] || need_package /usr/bin/time time
need_package sqlite3 sqlite3
need_package bc bc
[ "$plot" = 1 ] && need_package gnuplot gnuplot-nox

if [ -n "${WORK:-}" ]; then
  work=$WORK
  mkdir -p "$work"
else
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
fi
results=$work/results.tsv
printf 'row\tsize\tours_s\tours_rss_kib\tref\tref_s\tref_rss_kib\tratio\ttarget\tverdict\n' > "$results"

# measure NAME OUT CMD...: runs CMD $runs times with standard output to OUT;
# sets LAST_TIME (median wall seconds) and LAST_RSS (largest peak RSS, KiB).
# $BEFORE_EACH, when set, runs before every run, outside the timing.
measure() {
  local out=$2
  shift 2
  local times=() rss=0 i start end r
  for ((i = 0; i < runs; i++)); do
    [ -z "${BEFORE_EACH:-}" ] || eval "$BEFORE_EACH"
    start=$(date +%s.%N)
    /usr/bin/time -f %M -o "$work/rss" "$@" > "$out" 2> "$work/stderr" || {
      echo "failed: $* (see below)" >&2
      tail -5 "$work/stderr" >&2
      return 1
    }
    end=$(date +%s.%N)
    times+=("$(echo "$end - $start" | bc -l)")
    r=$(tail -1 "$work/rss")
    ((r > rss)) && rss=$r
  done
  LAST_TIME=$(printf '%s\n' "${times[@]}" | sort -g | sed -n "$(((runs + 1) / 2))p")
  LAST_RSS=$rss
}

# row NAME SIZE OURS_T OURS_RSS REF REF_T REF_RSS OP TARGET
# OP "le": ratio ours/ref must be <= TARGET; "ge": throughput ratio >= TARGET; "-": no target.
row() {
  local name=$1 size=$2 ot=$3 orss=$4 ref=$5 rt=$6 rrss=$7 op=$8 target=$9 ratio verdict
  if [ "$op" = ge ]; then ratio=$(echo "$rt / $ot" | bc -l); else ratio=$(echo "$ot / $rt" | bc -l); fi
  ratio=$(printf '%.2f' "$ratio")
  case $op in
    le) verdict=$([ "$(echo "$ratio <= $target" | bc)" = 1 ] && echo pass || echo short); target="<=$target" ;;
    ge) verdict=$([ "$(echo "$ratio >= $target" | bc)" = 1 ] && echo pass || echo short); target=">=$target" ;;
    *) verdict="-"; target="-" ;;
  esac
  printf '%s\t%s\t%.3f\t%s\t%s\t%.3f\t%s\t%s\t%s\t%s\n' "$name" "$size" "$ot" "$orss" "$ref" "$rt" "$rrss" \
    "$ratio" "$target" "$verdict" >> "$results"
  printf '%-22s %8s  ours %8.3f s %7s KiB | %-14s %8.3f s %7s KiB | ratio %6s %-6s %s\n' "$name" "$size" "$ot" \
    "$orss" "$ref" "$rt" "$rrss" "$ratio" "$target" "$verdict"
}

# bench_ms BINARY FILTER: median real time (ms) of one Google Benchmark over $runs repetitions.
bench_ms() {
  if [ "$runs" -ge 2 ]; then
    "$1" --benchmark_filter="$2" --benchmark_repetitions="$runs" --benchmark_report_aggregates_only=true \
      --benchmark_format=csv 2>/dev/null | awk -F, '/_median"?,/ {print $3; exit}'
  else
    "$1" --benchmark_filter="$2" --benchmark_format=csv 2>/dev/null | awk -F, -v name="\"$2\"" '$1 == name {print $3; exit}'
  fi
}

stored() {  # BACKUP DOMAIN PATH -> the stored file of a Manifest.db backup
  local id
  id=$(printf '%s-%s' "$2" "$3" | sha1sum | cut -c1-40)
  echo "$1/${id:0:2}/$id"
}

plotdata=$work/scan-time.dat
: > "$plotdata"
echo "runs per measurement: $runs; load: $(cut -d' ' -f1-3 /proc/loadavg); cores: $(nproc)"
for size in $sizes; do
  backup=$work/backup-$size
  if [ ! -f "$backup/Manifest.db" ]; then
    rm -rf "$backup"
    "$mkbig" --out "$backup" --messages "$size"
  fi
  sms=$(stored "$backup" HomeDomain Library/SMS/sms.db)
  ab=$(stored "$backup" HomeDomain Library/AddressBook/AddressBook.sqlitedb)
  calls=$(stored "$backup" HomeDomain Library/CallHistoryDB/CallHistory.storedata)
  notes=$(stored "$backup" HomeDomain Library/Notes/notes.sqlite)
  wa=$(stored "$backup" AppDomainGroup-group.net.whatsapp.WhatsApp.shared ChatStorage.sqlite)
  dbs=("$sms" "$ab" "$calls" "$notes" "$wa")
  dbbytes=$(cat "${dbs[@]}" | wc -c)
  entries=$(sqlite3 "$backup/Manifest.db" "SELECT count(*) FROM Files")
  echo "== $size messages: databases $((dbbytes >> 10)) KiB, manifest $entries entries"
  cat "${dbs[@]}" "$backup/Manifest.db" > /dev/null  # warm the cache for every contender alike

  # The live rows of every table the categories read, as the sqlite3 shell prints them.
  selects="SELECT * FROM message; SELECT * FROM handle; SELECT * FROM attachment;
    SELECT * FROM message_attachment_join;
    ATTACH '$ab' AS ab; SELECT * FROM ab.ABPersonFullTextSearch_content;
    ATTACH '$calls' AS calls; SELECT * FROM calls.ZCALLRECORD;
    ATTACH '$notes' AS notes; SELECT * FROM notes.ZNOTE; SELECT * FROM notes.ZNOTEBODY;
    ATTACH '$wa' AS wa; SELECT * FROM wa.ZWAMESSAGE; SELECT * FROM wa.ZWACHATSESSION;
    SELECT * FROM wa.ZWAGROUPMEMBER; SELECT * FROM wa.ZWAMEDIAITEM;"

  measure scan "$work/scan.json" "$cli" scan --json "$backup"
  scan_t=$LAST_TIME scan_rss=$LAST_RSS
  json_kib=$(($(wc -c < "$work/scan.json") >> 10))
  measure sqlite /dev/null sqlite3 -readonly "$sms" "$selects"
  sel_t=$LAST_TIME sel_rss=$LAST_RSS
  measure cat /dev/null cat "${dbs[@]}"
  cat_t=$LAST_TIME cat_rss=$LAST_RSS
  row "scan-vs-sqlite3" "$size" "$scan_t" "$scan_rss" "sqlite3-select" "$sel_t" "$sel_rss" le 1.0
  # The same scan printing only its counts: what the engine costs without the JSON document.
  measure scan-counts /dev/null "$cli" scan "$backup"
  row "scan-counts-vs-sqlite3" "$size" "$LAST_TIME" "$LAST_RSS" "sqlite3-select" "$sel_t" "$sel_rss" le 1.0
  row "scan-vs-plain-read" "$size" "$scan_t" "$scan_rss" "cat" "$cat_t" "$cat_rss" - -
  # Peak memory: 64 MiB plus the heap bytes of the result lists, which
  # scan_memory counts after the same scan in its own process.
  read -r _ _ _ result_kib _ beyond_kib _ selection_kib < <("$scanmem" "$backup")
  mem_verdict=$([ "$scan_rss" -le $((65536 + result_kib)) ] && echo pass || echo short)
  printf 'scan-peak-rss\t%s\t-\t%s\tbudget\t-\t%s\t-\t<=64MiB+results\t%s\n' "$size" "$scan_rss" \
    "$((65536 + result_kib))" "$mem_verdict" >> "$results"
  printf '%-22s %8s  peak %7s KiB, budget 64 MiB + %s KiB of results (%s KiB beyond them in-process; JSON %s KiB): %s\n' \
    scan-peak-rss "$size" "$scan_rss" "$result_kib" "$beyond_kib" "$json_kib" "$mem_verdict"
  echo "$size $dbbytes $scan_t $sel_t $cat_t $scan_rss" >> "$plotdata"

  measure files /dev/null "$cli" files "$backup"
  files_t=$LAST_TIME files_rss=$LAST_RSS
  measure manifest /dev/null sqlite3 -readonly "$backup/Manifest.db" "SELECT fileID,domain,relativePath FROM Files"
  row "manifest-vs-sqlite3" "$entries" "$files_t" "$files_rss" "sqlite3-files" "$LAST_TIME" "$LAST_RSS" le 2.0

  # The database part of the scan alone, in one process each: the five
  # category readers against the library's SELECT * of the same tables.
  readers_ms=$(BIG_MESSAGES=$size bench_ms "$build/bin/category_readers_bench" BM_CategoryReaders)
  library_ms=$(BIG_MESSAGES=$size bench_ms "$build/bin/category_readers_bench" BM_LibrarySelectAll)
  row "readers-vs-library" "$size" "$(echo "$readers_ms / 1000" | bc -l)" "-" "library-select" \
    "$(echo "$library_ms / 1000" | bc -l)" "-" le 1.0

  # Recover everything into a fresh folder each run; a plain copy of the
  # backup is the physical floor.
  BEFORE_EACH='rm -rf "$work/out" && mkdir -p "$work/out"'
  measure recover /dev/null "$cli" recover "$backup" --out "$work/out"
  rec_t=$LAST_TIME rec_rss=$LAST_RSS
  BEFORE_EACH='rm -rf "$work/copy"'
  measure copy /dev/null cp -r "$backup" "$work/copy"
  BEFORE_EACH=''
  rm -rf "$work/out" "$work/copy"
  row "recover-vs-copy" "$size" "$rec_t" "$rec_rss" "cp-r-backup" "$LAST_TIME" "$LAST_RSS" - -
  # Peak memory of the recovery: 64 MiB plus the result lists and the
  # selection's entries (one per listed item), as scan_memory counts them.
  rec_budget=$((65536 + result_kib + selection_kib))
  rec_verdict=$([ "$rec_rss" -le "$rec_budget" ] && echo pass || echo short)
  printf 'recover-peak-rss\t%s\t-\t%s\tbudget\t-\t%s\t-\t<=64MiB+results+selection\t%s\n' "$size" "$rec_rss" \
    "$rec_budget" "$rec_verdict" >> "$results"
  printf '%-22s %8s  peak %7s KiB, budget 64 MiB + %s KiB of results + %s KiB of selection: %s\n' \
    recover-peak-rss "$size" "$rec_rss" "$result_kib" "$selection_kib" "$rec_verdict"
done

# Reading 150,000 manifest entries in one process: ReadManifestDb against the
# library stepping through the same query.
manifest_ms=$(bench_ms "$build/bin/manifest_bench" BM_ReadManifestDb)
floor_ms=$(bench_ms "$build/bin/manifest_bench" BM_LibrarySelectFiles)
row "manifest-reader-vs-library" "150000" "$(echo "$manifest_ms / 1000" | bc -l)" "-" "library-select" \
  "$(echo "$floor_ms / 1000" | bc -l)" "-" le 1.2

if [ "$crypto" = 1 ]; then
  for bin in decrypt_bench tool; do
    [ -x "$build/bin/$bin" ] || { echo "missing $build/bin/$bin" >&2; exit 2; }
  done
  # Key derivation: 10,000,000 rounds of PBKDF2-HMAC-SHA256 over the salt
  # DPSL, then 10,000 rounds of PBKDF2-HMAC-SHA1 over SALT, and the unwrap.
  measure kdf /dev/null "$build/bin/decrypt_bench" --benchmark_filter=BM_KeyDerivationTenMillionRounds
  kdf_t=$LAST_TIME kdf_rss=$LAST_RSS
  openssl_kdf() {
    local first
    first=$(openssl kdf -keylen 32 -kdfopt digest:SHA256 -kdfopt pass:hashcat \
      -kdfopt hexsalt:425b4bb4e200b5fd4c66979c9caca31716052063 -kdfopt iter:10000000 PBKDF2 | tr -d ':')
    openssl kdf -keylen 32 -kdfopt digest:SHA1 -kdfopt "hexpass:$first" \
      -kdfopt hexsalt:2353363784073608264337337723324886300850 -kdfopt iter:10000 PBKDF2
  }
  export -f openssl_kdf
  measure openssl-kdf /dev/null bash -c openssl_kdf
  row "kdf-vs-openssl" "1e7" "$kdf_t" "$kdf_rss" "openssl-kdf" "$LAST_TIME" "$LAST_RSS" le 1.1
  # Bulk decryption: MiB/s of both on the same 256 MiB file.
  out=$("$here/decrypt-vs-openssl.sh" "$build")
  ossl=$(echo "$out" | sed -n 's/^openssl enc -d: \([0-9.]*\) MiB\/s/\1/p')
  ours_ms=$(echo "$out" | awk '/^BM_DecryptOneFile/ {print $2; exit}')
  ours=$(echo "256 * 1000 / $ours_ms" | bc -l)
  # Seconds for the 256 MiB; throughputs compare the other way round: ours / openssl >= 0.8.
  row "decrypt-vs-openssl" "256MiB" "$(echo "256 / $ours" | bc -l)" "-" "openssl-enc" \
    "$(echo "256 / $ossl" | bc -l)" "-" ge 0.8
  printf '%-22s ours %.0f MiB/s, openssl %.0f MiB/s\n' "" "$ours" "$ossl"

  # A whole encrypted backup (the smallest size, small iteration counts) by
  # the decrypt tool, against `cp -r` of the same backup written plain: making
  # the files is the floor both pay. Each run writes into a fresh folder, all
  # removed afterwards: files deleted just before would make the next run's
  # file creation skip their recently freed inodes, which costs more than the
  # copy itself on some file systems. A sync before each run keeps one run's
  # writeback out of the next.
  first=${sizes%% *}
  enc=$work/encrypted-$first
  plain=$work/backup-$first
  if [ ! -f "$enc/Manifest.db" ]; then
    rm -rf "$enc"
    "$mkbig" --out "$enc" --messages "$first" --password bench > /dev/null
  fi
  cat "$enc/Manifest.db" "$plain/Manifest.db" > /dev/null
  find "$enc" "$plain" -mindepth 2 -type f -print0 | xargs -0 cat > /dev/null  # warm alike
  mkdir -p "$work/decrypt-runs"
  BEFORE_EACH='sync'
  measure decrypt-tool /dev/null bash -c 'd=$(mktemp -d "$0/dec.XXXXXX") && echo bench | "$1" "$2" "$d" -' \
    "$work/decrypt-runs" "$build/bin/tool" "$enc"
  tool_t=$LAST_TIME tool_rss=$LAST_RSS
  measure copy-plain /dev/null bash -c 'd=$(mktemp -d "$0/cp.XXXXXX") && cp -r "$1/." "$d"' \
    "$work/decrypt-runs" "$plain"
  BEFORE_EACH=''
  rm -rf "$work/decrypt-runs"
  row "decrypt-backup-vs-copy" "${first}msgs" "$tool_t" "$tool_rss" "cp-r-plain" "$LAST_TIME" "$LAST_RSS" le 1.5

  # The same tool against openssl enc -d over the encrypted bytes joined into
  # one file: the AES alone, without any per-file work.
  find "$enc" -mindepth 2 -type f -print0 | sort -z | xargs -0 cat > "$work/joined.enc"
  enc_mib=$(echo "$(stat -c %s "$work/joined.enc") / 1048576" | bc -l)
  measure openssl-enc-joined /dev/null openssl enc -d -aes-256-cbc -nopad -K "$(printf '01%.0s' {1..32})" \
    -iv 00000000000000000000000000000000 -in "$work/joined.enc" -out /dev/null
  row "decrypt-backup-vs-openssl" "$(printf '%.0fMiB' "$enc_mib")" "$tool_t" "$tool_rss" "openssl-enc" \
    "$LAST_TIME" "$LAST_RSS" ge 0.8
  rm -rf "$work/decrypted" "$work/joined.enc"
fi

if [ "$plot" = 1 ] && [ "$(wc -l < "$plotdata")" -ge 1 ]; then
  gnuplot <<EOF
set terminal pngcairo size 720,440 noenhanced
set output "$work/scan-time.png"
set title "Scan time against database size (median of $runs runs)"
set xlabel "messages in sms.db (other tables scale with it)"
set ylabel "seconds"
set key left top
set grid
plot "$plotdata" using 1:3 with linespoints title "fernquill-cli scan --json", \
     "$plotdata" using 1:4 with linespoints title "sqlite3 SELECT * (live rows)", \
     "$plotdata" using 1:5 with linespoints title "cat (plain read)"
EOF
  echo "plot: $work/scan-time.png"
fi
echo "rows: $results"
