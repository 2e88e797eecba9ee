#!/usr/bin/env bash
# Builds the fuzz targets with clang, AddressSanitizer and UndefinedBehaviorSanitizer, and
# runs each for SECONDS (default 60) on the corpus and the tests' edge cases.
# Usage: fuzz/run.sh [SECONDS] [JOBS]
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-60}"
jobs="${2:-1}"
source "$top/scripts/deps.sh"
vexlin_install cmake make clang libclang-rt-14-dev
cmake -S "$top" -B "$top/build-fuzz" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVEXLIN_FUZZ=ON -DVEXLIN_SANITIZE=ON -DVEXLIN_UI=OFF -DVEXLIN_TESTS=OFF -DVEXLIN_BENCH=OFF >/dev/null
cmake --build "$top/build-fuzz" --parallel 2
work="$top/build-fuzz/corpus"
mkdir -p "$work/seeds"
"$top/build-fuzz/fuzz/make_seeds" "$work/seeds"
[ -d "$top/../shared/corpus" ] && cp -f "$top/../shared/corpus"/*.[pP][dDrR][bBcC] "$work/seeds/" 2>/dev/null || true
cp -f "$top/fuzz/regressions"/* "$work/seeds/" 2>/dev/null || true
for target in fuzz_model fuzz_load; do
  mkdir -p "$work/$target"
  echo "== $target, ${seconds}s"
  (cd "$top/build-fuzz" && "$top/build-fuzz/fuzz/$target" -max_total_time="$seconds" -max_len=70000 -jobs="$jobs" -workers="$jobs" \
    -print_final_stats=1 -artifact_prefix="$top/build-fuzz/finding-" "$work/$target" "$work/seeds") 2>&1 | grep -E 'stat::number_of_executed_units|Done|ERROR|SUMMARY|crash-' || true
  if compgen -G "$top/build-fuzz/finding-*" >/dev/null; then
    echo "finding in $target:"; ls "$top"/build-fuzz/finding-*; exit 1
  fi
done
echo "fuzzing clean"
