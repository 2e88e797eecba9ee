#!/usr/bin/env bash
# Installs what is missing, builds Vexlin and starts the viewer.
set -euo pipefail
top="$(cd "$(dirname "$0")" && pwd)"
source "$top/scripts/deps.sh"
vexlin_install "${VEXLIN_BUILD_PACKAGES[@]}"
vexlin_build "$top" --target vexlin
# The first File, Open... shows the sample databases: the dialog opens in the working folder.
cd "$top/samples"
exec "$top/build/ui/vexlin"
