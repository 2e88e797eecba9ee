#!/usr/bin/env bash
# Runs one of the Python content tests with what it needs: Perl's Palm::PDB as the peer,
# vobject and icalendar to read the exports back. test.sh installs them before the suite
# starts (tests run in parallel, so none installs anything itself); a test without its
# library says so and is skipped (exit 77).
# Usage: tests/peers/run.sh SCRIPT.py ARGS...
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
python=/usr/bin/python3
[ -x "$python" ] || python="$(command -v python3)"
script="$1"; shift
exec "$python" "$here/$script" "$@"
