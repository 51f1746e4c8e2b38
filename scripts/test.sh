#!/usr/bin/env bash
# Installs what is missing, builds with AddressSanitizer and UBSan, runs every
# test, then builds the fuzz harnesses with clang and runs each for a fixed
# number of inputs on its committed seed corpus.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/check-layers.sh

jobs=$(nproc)
cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DFERNQUILL_SANITIZE=ON -DFERNQUILL_TESTS=ON
cmake --build build/test -j "$jobs"
(cd build/test && ctest --output-on-failure -j "$jobs")

cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
  -DFERNQUILL_FUZZ=ON -DFERNQUILL_TESTS=OFF
cmake --build build/fuzz -j "$jobs"
(cd build/fuzz && ctest --output-on-failure -j "$jobs")
