#!/usr/bin/env bash
# Installs what is missing, builds the release configuration and starts the application.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target spurenflechter spurenflechter-cli
exec build/release/src/app/spurenflechter "$@"
