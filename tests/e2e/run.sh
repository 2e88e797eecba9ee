#!/usr/bin/env bash
# The end-to-end test: the real vexlin in Xvfb with the openbox window manager and a session
# bus for the accessibility tree, driven by tests/e2e/drive.py. Installs what it needs.
set -euo pipefail
top="$(cd "$(dirname "$0")/../.." && pwd)"
source "$top/scripts/deps.sh"
vexlin_install "${VEXLIN_BUILD_PACKAGES[@]}" xvfb xauth openbox xdotool xclip x11-utils imagemagick dbus \
  dbus-x11 at-spi2-core python3 python3-pyatspi python3-vobject gir1.2-atspi-2.0
vexlin_build "$top" --target vexlin
shots="$top/build/e2e"
mkdir -p "$shots"
rm -f "$shots/display"
# Xvfb picks a free display itself and writes its number once it is ready.
Xvfb -displayfd 3 -screen 0 1280x900x24 -nolisten tcp 3>"$shots/display" >"$shots/xvfb.log" 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true' EXIT
for _ in $(seq 200); do
  [ -s "$shots/display" ] && break
  sleep 0.1
done
[ -s "$shots/display" ] || { echo "e2e: Xvfb did not start" >&2; cat "$shots/xvfb.log" >&2; exit 1; }
display=":$(head -n 1 "$shots/display")"
export DISPLAY="$display" XDG_RUNTIME_DIR="$shots/runtime"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
dbus-run-session -- sh -c '
  openbox >"$1/openbox.log" 2>&1 &
  wm=$!
  for _ in $(seq 100); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q window && break; sleep 0.1; done
  /usr/bin/python3 "$2/tests/e2e/drive.py" "$2/build/ui/vexlin" "$2/samples" "$1"
  status=$?
  kill $wm 2>/dev/null
  exit $status' sh "$shots" "$top"
