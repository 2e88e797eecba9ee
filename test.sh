#!/usr/bin/env bash
# Installs what is missing, builds Vexlin and runs every test.
set -euo pipefail
top="$(cd "$(dirname "$0")" && pwd)"
source "$top/scripts/deps.sh"
vexlin_install "${VEXLIN_BUILD_PACKAGES[@]}" "${VEXLIN_PEER_PACKAGES[@]}"
vexlin_build "$top"
ctest --test-dir "$top/build" --output-on-failure --timeout 600 -j2
