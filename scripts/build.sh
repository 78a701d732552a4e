#!/usr/bin/env bash
# Configures and builds one configuration. Usage: scripts/build.sh [DIR [cmake options...]]
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
shift || true
if [ ! -f "$dir/build.ninja" ]; then
    cmake -S . -B "$dir" -G Ninja "$@"
fi
cmake --build "$dir" -j "$(nproc)"
