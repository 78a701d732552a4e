#!/usr/bin/env bash
# Installs what is missing, checks the formatting of the changed C++ files, builds the normal,
# sanitizer and fuzzing configurations, runs the fuzzers briefly, the whole suite under
# ASan+UBSan, then the whole suite again in the normal build, so the last lines printed are
# CTest's summary of the normal build.
#   FUZZ_SECONDS=N   seconds per fuzz target (default 30; 0 skips fuzzing)
#   SKIP_ASAN=1      skip the sanitizer configuration (quick local runs)
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD
./scripts/setup-deps.sh || exit 1

jobs=$(nproc)
status=0
fuzz_seconds=${FUZZ_SECONDS:-30}

# Formatting of the C++ files this work changed: on a branch, everything since it left main;
# on main (or when main is unknown), the last commit; a clone holding one commit checks all.
if git rev-parse -q --verify HEAD >/dev/null 2>&1; then
    base=""
    for ref in main origin/main; do
        fork=$(git merge-base HEAD "$ref" 2>/dev/null) || continue
        [ "$fork" != "$(git rev-parse HEAD)" ] && base=$fork
        break
    done
    [ -z "$base" ] && git rev-parse -q --verify HEAD~ >/dev/null && base=HEAD~
    if [ -n "$base" ]; then
        mapfile -t changed < <(git diff --name-only --diff-filter=d "$base" -- '*.cpp' '*.h')
    else
        mapfile -t changed < <(git ls-files '*.cpp' '*.h')
    fi
    echo "== clang-format check of ${#changed[@]} changed files"
    if [ ${#changed[@]} -gt 0 ] && ! clang-format --dry-run --Werror "${changed[@]}"; then
        echo "FORMATTING: run clang-format -i on the files above"
        status=1
    fi
fi

# The normal tree is the packagers' Release build with warnings as errors, so that a warning
# only the optimiser finds (GCC's -Wrestrict at -O3) fails here rather than in a package build.
./scripts/build.sh build -DCMAKE_BUILD_TYPE=Release -DCORVANE_WERROR=ON || exit 1

if [ "${SKIP_ASAN:-0}" != 1 ]; then
    ./scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DCORVANE_WERROR=ON -DCORVANE_SANITIZE=ON \
        -DCORVANE_LAUNCHER=OFF -DCORVANE_BENCH=OFF || exit 1
fi

if [ "$fuzz_seconds" != 0 ]; then
    CC=clang CXX=clang++ BUILD_TARGET=fuzzers ./scripts/build.sh build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCORVANE_WERROR=ON \
        -DCORVANE_FUZZ=ON -DCORVANE_LAUNCHER=OFF -DCORVANE_BENCH=OFF || exit 1
    for fuzzer in build-fuzz/bin/fuzz_*; do
        [ -x "$fuzzer" ] || continue
        name=$(basename "$fuzzer")
        corpus="build-fuzz/corpus/$name"
        mkdir -p "$corpus"
        seeds=()
        [ -d "tests/fuzz-seeds/$name" ] && seeds=("tests/fuzz-seeds/$name")
        echo "== fuzzing $name for ${fuzz_seconds}s"
        if ! "$fuzzer" -max_total_time="$fuzz_seconds" -print_final_stats=0 \
            -artifact_prefix="build-fuzz/$name-" "$corpus" "${seeds[@]}" \
            >"build-fuzz/$name.log" 2>&1; then
            echo "FUZZER FAILED: $name (see build-fuzz/$name.log)"
            tail -n 40 "build-fuzz/$name.log"
            status=1
        fi
    done
fi

# Windowed tests need an X display; give them a private Xvfb when none is set.
if [ -z "${DISPLAY:-}" ] && command -v Xvfb >/dev/null; then
    display=:$((90 + RANDOM % 100))
    Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    trap 'kill $xvfb_pid 2>/dev/null' EXIT
    export DISPLAY=$display
    for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
fi

if [ "${SKIP_ASAN:-0}" != 1 ]; then
    echo "== tests under AddressSanitizer and UndefinedBehaviorSanitizer"
    export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
    (cd build-asan && ctest -j "$jobs" --output-on-failure --timeout 300) || status=1
    unset ASAN_OPTIONS UBSAN_OPTIONS
fi

echo "== tests"
(cd build && ctest -j "$jobs" --output-on-failure --timeout 300) || status=1
exit $status
