#!/usr/bin/env bash
# Builds the release configuration and the Debian package; prints the package's path.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target spurenflechter spurenflechter-cli
(cd build/release && cpack -G DEB -B package >/dev/null)
ls build/release/package/*.deb
