#!/usr/bin/env bash
# Makes docs/icons.png, the contact sheet in the README: the bitmaps vexlin-dump --export
# writes for the corpus's i-mode icons and OnBoard application, laid out by netpbm's
# pnmmontage and enlarged three times by whole pixels. Needs the build and netpbm.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
corpus="${1:-$top/../shared/corpus}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
"$top/build/tools/vexlin-dump" --export "$work/out" \
  "$corpus/plucker_imodeicons.pdb" "$corpus/palmpdb_OnBoard_app.prc"
mkdir "$work/pnm"
for png in "$work"/out/*/*.png; do
  name="$(basename "$(dirname "$png")")-$(basename "$png" .png)"
  pngtopam -mix -background=white "$png" > "$work/pnm/$name.ppm"
done
pnmmontage -prefix="$work/pnm/" "$work"/pnm/*.ppm 2>/dev/null |
  pamscale -nomix 3 | pnmtopng -compression 9 > "$top/docs/icons.png"
