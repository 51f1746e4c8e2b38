#!/usr/bin/env bash
# What CI runs. Installs what is missing; checks the engine's include ladder and
# the source layout; builds the tests with AddressSanitizer and UBSan, warnings
# as errors, and runs them; runs clang-tidy over the engine; builds the fuzz
# harnesses with clang (warnings as errors too) and runs each for a fixed number
# of inputs on its committed seed corpus; runs the threaded tests under
# ThreadSanitizer. The builds are the presets of CMakePresets.json.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/check-layers.sh
bash scripts/check-format.sh

jobs=$(nproc)
cmake --preset test
cmake --build --preset test -j "$jobs"
ctest --preset test -j "$jobs"
bash scripts/tidy.sh build/test

cmake --preset fuzz
cmake --build --preset fuzz -j "$jobs"
ctest --preset fuzz -j "$jobs"

bash scripts/tsan.sh
