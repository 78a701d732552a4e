#!/usr/bin/env bash
# Installs what is missing, builds, and starts the device program (in a window when a display
# is available, headless otherwise). Extra arguments go to the program.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup-deps.sh
./scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo
args=("$@")
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display: running headless."
    args=(--headless "${args[@]}")
fi
exec build/bin/corvane "${args[@]}"
