#!/usr/bin/env bash
# Builds the session, output and device tests with ThreadSanitizer (the scan,
# the recovery job and the device backup run on threads of their own) and runs
# them. Any race report fails the run. Usage: bash scripts/tsan.sh [gtest filter]
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

jobs=$(nproc)
cmake --preset tsan
cmake --build build/tsan -j "$jobs" --target session_tests output_tests device_tests fernquill-cli

# halt_on_error: the first race fails the test program instead of scrolling by.
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 ${TSAN_OPTIONS:-}"
status=0
for program in session_tests output_tests device_tests; do
  echo "== $program (ThreadSanitizer)"
  build/tsan/bin/$program --gtest_brief=1 --gtest_filter="${1:-*}" || status=1
done
exit $status
