#!/usr/bin/env bash
# Runs one of the Python content tests with what it needs: Perl's Palm::PDB as the peer,
# vobject and icalendar to read the exports back. Installs them when run as root (as CI
# does); otherwise a test without its library says so and is skipped (exit 77).
# Usage: tests/peers/run.sh SCRIPT.py ARGS...
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/../../scripts/deps.sh"
if [ "$(id -u)" -eq 0 ]; then
  vexlin_install python3 libpalm-perl python3-vobject python3-icalendar >&2
fi
python=/usr/bin/python3
[ -x "$python" ] || python="$(command -v python3)"
script="$1"; shift
exec "$python" "$here/$script" "$@"
