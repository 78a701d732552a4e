#!/usr/bin/env bash
# Configures and builds one configuration.
# Usage: scripts/build.sh [DIR [cmake options...]]; BUILD_TARGET=name builds one target only.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
shift || true
launcher=()
if command -v ccache >/dev/null; then
    # Paths relative to the checkout, so a second checkout (CI's) reuses this one's objects.
    export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=true
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
if [ ! -f "$dir/build.ninja" ]; then
    cmake -S . -B "$dir" -G Ninja "${launcher[@]}" "$@"
elif [ $# -gt 0 ]; then
    # Options given to an existing tree still apply (a tree made before CORVANE_WERROR existed
    # would otherwise build without it).
    cmake "$dir" "$@" >/dev/null
fi
if [ -n "${BUILD_TARGET:-}" ]; then
    cmake --build "$dir" -j "$(nproc)" --target "$BUILD_TARGET"
else
    cmake --build "$dir" -j "$(nproc)"
fi
