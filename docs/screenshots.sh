#!/usr/bin/env bash
# Makes the README's screenshots (docs/tab-*.png): the samples opened from /home/palm in the
# real viewer under Xvfb and openbox, so that no path of the build machine shows.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
folder=/home/palm
mkdir -p "$folder"
cp "$top"/samples/*.pdb "$folder/"
# Two corpus files for the Content tab's pictures (copied to the session's folder, never into
# the repository).
corpus="$top/../shared/corpus"
cp "$corpus/plucker_imodeicons.pdb" "$corpus/txt2pdbdoc_ISO_8859-1_PalmDOC.pdb" "$folder/"
display=":$((90 + RANDOM % 100))"
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true' EXIT
sleep 1
export DISPLAY="$display"
dbus-run-session -- sh -c 'openbox >/dev/null 2>&1 & sleep 1
  /usr/bin/python3 "$1/docs/screenshots.py" "$1/build/ui/vexlin" "$2" "$1/docs"' sh "$top" "$folder"
ls "$top"/docs/tab-*.png "$top"/docs/content-*.png
