#!/usr/bin/env bash
# Lines of model/ (the content layer too) that the fuzz corpora reach: builds the targets with clang's source-based
# coverage, runs every input of the corpora once, and prints llvm-cov's report for model/.
# Usage: fuzz/coverage.sh [CORPUS_BUILD]   (default build-fuzz-undefined, then build-fuzz)
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
corpora="${1:-}"
if [ -z "$corpora" ]; then
  for b in build-fuzz-undefined build-fuzz; do
    [ -d "$top/$b/corpus" ] && { corpora="$top/$b"; break; }
  done
fi
[ -n "$corpora" ] || { echo "no fuzz corpus: run fuzz/run.sh first"; exit 1; }
build="$top/build-fuzz-coverage"
cmake -S "$top" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_FLAGS="-fprofile-instr-generate -fcoverage-mapping" \
  -DCMAKE_EXE_LINKER_FLAGS="-fprofile-instr-generate" \
  -DVEXLIN_FUZZ=ON -DVEXLIN_UI=OFF -DVEXLIN_TESTS=OFF -DVEXLIN_BENCH=OFF >/dev/null
cmake --build "$build" --parallel 2 --target fuzz_model fuzz_load fuzz_content >/dev/null
rm -f "$build"/*.profraw
for target in fuzz_model fuzz_load fuzz_content; do
  dirs=("$corpora/corpus/$target" "$corpora/corpus/seeds")
  (cd "$build" && LLVM_PROFILE_FILE="$build/$target.profraw" \
    "$build/fuzz/$target" -runs=0 -max_len=5242958 "${dirs[@]}" >/dev/null 2>&1)
done
llvm-profdata-14 merge -o "$build/all.profdata" "$build"/*.profraw
llvm-cov-14 report "$build/fuzz/fuzz_model" -object "$build/fuzz/fuzz_load" \
  -object "$build/fuzz/fuzz_content" -instr-profile="$build/all.profdata" \
  "$top"/model/*.cpp "$top"/model/*.h "$top"/model/content/*.cpp "$top"/model/content/*.h
