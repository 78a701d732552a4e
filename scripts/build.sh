#!/usr/bin/env bash
# Configures and builds one configuration.
# Usage: scripts/build.sh [DIR [cmake options...]]; BUILD_TARGET=name builds one target only.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
shift || true
if [ ! -f "$dir/build.ninja" ]; then
    cmake -S . -B "$dir" -G Ninja "$@"
fi
if [ -n "${BUILD_TARGET:-}" ]; then
    cmake --build "$dir" -j "$(nproc)" --target "$BUILD_TARGET"
else
    cmake --build "$dir" -j "$(nproc)"
fi
