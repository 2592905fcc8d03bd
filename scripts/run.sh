#!/usr/bin/env bash
# Installs what Pintora needs, builds it and starts it; arguments are documents to open.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default --target pintora
if [ "$(id -u)" -eq 0 ]; then
  # Chromium refuses its sandbox when run as root.
  export QTWEBENGINE_CHROMIUM_FLAGS="${QTWEBENGINE_CHROMIUM_FLAGS:-} --no-sandbox"
fi
exec build/default/src/pintora "$@"
