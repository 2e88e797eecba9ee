#!/usr/bin/env bash
# Builds the Debian package in the build tree: build/vexlin_VERSION_ARCH.deb.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
source "$top/scripts/deps.sh"
vexlin_install "${VEXLIN_BUILD_PACKAGES[@]}" dpkg-dev
vexlin_build "$top"
(cd "$top/build" && cpack -G DEB >/dev/null)
ls "$top"/build/vexlin_*.deb
