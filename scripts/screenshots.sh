#!/usr/bin/env bash
# Takes the README's pictures again: builds, runs the screenshot scenarios (the real program,
# headless, against the reference service with its demo data) and copies the pictures into
# docs/screenshots/.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup-deps.sh
./scripts/build.sh build -DCMAKE_BUILD_TYPE=Release -DCORVANE_WERROR=ON
(cd build/bin && ./scenario_tests --gtest_filter='Screenshots.*')
mkdir -p docs/screenshots
for test in build/screens-shots/Screenshots.*; do
    cp "$test"/*.png docs/screenshots/
done
echo "Pictures are in docs/screenshots/."
