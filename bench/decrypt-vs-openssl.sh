#!/usr/bin/env bash
# Throughput of the decrypt tool's file decryption against `openssl enc` on
# the same 256 MiB AES-256-CBC file (zero IV, PKCS#7), both warm in the cache.
# Usage: bench/decrypt-vs-openssl.sh BUILD_DIR (with FERNQUILL_BENCH=ON)
set -euo pipefail
build=${1:-build/bench}
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
key=$(printf '01%.0s' {1..32})
head -c $((256 << 20)) /dev/zero | tr '\0' 'Z' > "$dir/plain"
openssl enc -aes-256-cbc -K "$key" -iv 00000000000000000000000000000000 -in "$dir/plain" -out "$dir/enc"
cat "$dir/enc" > /dev/null
start=$(date +%s.%N)
openssl enc -d -aes-256-cbc -K "$key" -iv 00000000000000000000000000000000 -in "$dir/enc" -out "$dir/dec"
end=$(date +%s.%N)
cmp -s "$dir/plain" "$dir/dec"
echo "openssl enc -d: $(echo "256 / ($end - $start)" | bc -l | cut -c1-6) MiB/s"
"$build/bin/decrypt_bench" --benchmark_filter=BM_DecryptOneFile
