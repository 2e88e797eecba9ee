#!/usr/bin/env bash
# Compares what two builds of vexlin-dump make of the same databases, byte for byte: the
# outputs of --content, --json --content, --check, --json, --info and --list (stdout, stderr
# and exit status) and the file tree and bytes --export writes (an iCalendar DTSTAMP, the time
# of the export, aside). For a change that must not
# change what the tool outputs.
#
# Usage: tests/compare_outputs.sh BASE NEW
#   BASE  a vexlin-dump binary, or a git revision of this repository (its vexlin-dump is built
#         in a temporary worktree)
#   NEW   a vexlin-dump binary (default: build/tools/vexlin-dump)
# The databases: the corpus (../shared/corpus), samples/, fuzz/regressions/ and those the
# test builders make (fuzz/make_seeds.cpp, tests/make_content_samples.cpp). Exit status 1
# when any output differs (the differences are listed), 0 when none does.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
base="${1:?usage: compare_outputs.sh BASE [NEW]}"
new="${2:-$top/build/tools/vexlin-dump}"
work="$(mktemp -d /tmp/vexlin-compare.XXXXXX)"
trap 'git -C "$top" worktree remove --force "$work/tree" >/dev/null 2>&1 || true; rm -rf "$work"' EXIT

if [ ! -x "$base" ]; then
  git -C "$top" worktree add --detach "$work/tree" "$base" >/dev/null
  cmake -S "$work/tree" -B "$work/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEXLIN_UI=OFF \
    -DVEXLIN_TESTS=OFF -DVEXLIN_BENCH=OFF >/dev/null
  cmake --build "$work/build" --parallel 2 --target vexlin-dump >/dev/null
  base="$work/build/tools/vexlin-dump"
fi

# The test builders' databases, as the tests make them.
mkdir -p "$work/built"
c++ -std=c++20 -O1 -I"$top/tests" -I"$top/model" "$top/fuzz/make_seeds.cpp" -o "$work/make_seeds"
"$work/make_seeds" "$work/built"
c++ -std=c++20 -O1 -I"$top/tests" -I"$top/model" "$top/tests/make_content_samples.cpp" \
  -o "$work/make_content_samples"
"$work/make_content_samples" "$work/built"

inputs=()
for f in "$top/../shared/corpus"/*.[pP][dDrR][bBcC] "$top/samples"/*.pdb \
  "$top/fuzz/regressions"/* "$work/built"/*; do
  [ -f "$f" ] && inputs+=("$f")
done

# outputs BINARY FOLDER: each input's outputs under FOLDER/N (N its place in the list).
outputs() {
  local dump="$1" out="$2" n=0 f mode
  for f in "${inputs[@]}"; do
    n=$((n + 1))
    mkdir -p "$out/$n/export"
    for mode in "--content" "--json --content" "--check" "--json" "--info" "--list"; do
      # shellcheck disable=SC2086
      { timeout 60 "$dump" $mode "$f" 2>&1; echo "exit $?"; } >"$out/$n/${mode// /}" || true
    done
    { timeout 60 "$dump" --export "$out/$n/export" "$f" 2>&1 | sed "s|$out/$n/export|DIR|g"
      echo "exit ${PIPESTATUS[0]}"; } >"$out/$n/--export" || true
    # The one field that is the time of the export, not of the database.
    find "$out/$n/export" -name '*.ics' -exec sed -i 's/^DTSTAMP:.*/DTSTAMP:(now)/' {} +
  done
}
outputs "$base" "$work/base"
outputs "$new" "$work/new"

files=$(find "$work/new" -type f | wc -l)
bytes=$(find "$work/new" -type f -printf '%s\n' | awk '{s += $1} END {print s + 0}')
if diff -rq "$work/base" "$work/new" >"$work/diff"; then
  echo "${#inputs[@]} databases, $files outputs ($bytes bytes): all equal"
  exit 0
fi
# Each differing output, named by its database, with the start of the difference.
grep -oE "$work/base/[0-9]+/[^ ]+" "$work/diff" | while read -r path; do
  rel="${path#"$work/base/"}"
  echo "differs: ${inputs[$((${rel%%/*} - 1))]} ${rel#*/}"
  diff "$path" "$work/new/$rel" | head -6 | sed 's/^/  /' || true
done
grep '^Only in' "$work/diff" || true
echo "${#inputs[@]} databases, $files outputs ($bytes bytes): some differ"
exit 1
