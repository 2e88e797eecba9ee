#!/usr/bin/env bash
# Builds the whole suite, window tests included, with AddressSanitizer and
# UndefinedBehaviorSanitizer (no recovery) in its own tree and runs it.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
source "$top/scripts/deps.sh"
vexlin_install "${VEXLIN_BUILD_PACKAGES[@]}"
cmake -S "$top" -B "$top/build-asan" -DCMAKE_BUILD_TYPE=Debug -DVEXLIN_SANITIZE=ON \
  -DVEXLIN_UI=ON -DVEXLIN_TESTS=ON -DVEXLIN_BENCH=OFF >/dev/null
cmake --build "$top/build-asan" --parallel 2
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$top/tests/lsan.supp:print_suppressions=0"
ctest --test-dir "$top/build-asan" --output-on-failure --timeout 900 -j2
