#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs them on the corpus and the tests' edge cases.
# Usage: fuzz/run.sh [SECONDS] [MAX_LEN]
#   SECONDS  per target (default 60); MAX_LEN  largest input (default 4096)
# Environment: VEXLIN_FUZZ_SANITIZERS (default address,undefined; "undefined" runs about
# twice as fast for long campaigns), VEXLIN_FUZZ_PARALLEL=1 runs the targets side by side.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-60}"
maxlen="${2:-4096}"
sanitizers="${VEXLIN_FUZZ_SANITIZERS:-address,undefined}"
build="$top/build-fuzz"
[ "$sanitizers" = "address,undefined" ] || build="$top/build-fuzz-${sanitizers//,/-}"
source "$top/scripts/deps.sh"
vexlin_install cmake make clang libclang-rt-14-dev
cmake -S "$top" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVEXLIN_FUZZ=ON -DVEXLIN_SANITIZE=ON -DVEXLIN_SANITIZERS="$sanitizers" \
  -DVEXLIN_UI=OFF -DVEXLIN_TESTS=OFF -DVEXLIN_BENCH=OFF >/dev/null
cmake --build "$build" --parallel 2
work="$build/corpus"
mkdir -p "$work/seeds"
"$build/fuzz/make_seeds" "$work/seeds"
if [ -d "$top/../shared/corpus" ]; then
  find "$top/../shared/corpus" -maxdepth 1 -iname '*.p[dr][bc]' -exec cp -f {} "$work/seeds/" \;
fi
cp -f "$top/fuzz/regressions"/* "$work/seeds/"
rm -f "$build"/finding-*

run() {
  local target="$1"
  mkdir -p "$work/$target"
  (cd "$build" && "$build/fuzz/$target" -max_total_time="$seconds" -max_len="$maxlen" \
    -print_final_stats=1 -artifact_prefix="$build/finding-" "$work/$target" "$work/seeds") \
    >"$build/$target.log" 2>&1 || true
  echo "== $target: $(grep -E '^stat::number_of_executed_units' "$build/$target.log" | awk '{print $2}') runs" \
       "$(grep -E 'DONE' "$build/$target.log" | grep -oE 'cov: [0-9]+ ft: [0-9]+ corp: [0-9]+/[0-9a-zA-Z]+')"
}
if [ "${VEXLIN_FUZZ_PARALLEL:-0}" = 1 ]; then
  run fuzz_model & run fuzz_load & run fuzz_content & wait
  run fuzz_books & run fuzz_bitmap & wait
else
  run fuzz_model
  run fuzz_load
  run fuzz_content
  run fuzz_books
  run fuzz_bitmap
fi
if compgen -G "$build/finding-*" >/dev/null; then
  echo "findings:"; ls "$build"/finding-*
  grep -hE 'ERROR|SUMMARY|runtime error' "$build"/fuzz_*.log | head -20
  exit 1
fi
echo "fuzzing clean"
