#!/usr/bin/env bash
# The build options the README documents beyond the default tree and the ones that
# scripts/sanitize.sh and fuzz/run.sh build: plain -DVEXLIN_FUZZ=ON with clang (every
# target), and the fuzz targets with UndefinedBehaviorSanitizer alone, as the long campaign
# builds them.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
source "$top/scripts/deps.sh"
vexlin_install "${VEXLIN_BUILD_PACKAGES[@]}" clang libclang-rt-14-dev
build="$top/build-fuzz-plain"
cmake -S "$top" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DVEXLIN_FUZZ=ON >/dev/null
cmake --build "$build" --parallel 2
"$build/fuzz/make_seeds" "$(mktemp -d)"
"$build/fuzz/fuzz_model" "$top"/fuzz/regressions/* >/dev/null 2>&1 # each input once
echo "plain -DVEXLIN_FUZZ=ON builds and runs"

ubsan="$top/build-fuzz-undefined"
cmake -S "$top" -B "$ubsan" -DCMAKE_CXX_COMPILER=clang++ -DVEXLIN_FUZZ=ON -DVEXLIN_SANITIZE=ON \
  -DVEXLIN_SANITIZERS=undefined -DVEXLIN_UI=OFF -DVEXLIN_TESTS=OFF -DVEXLIN_BENCH=OFF >/dev/null
cmake --build "$ubsan" --parallel 2 --target fuzz_model fuzz_load fuzz_content make_seeds
echo "the UndefinedBehaviorSanitizer fuzz build builds"
