#!/usr/bin/env bash
# Builds the Debian packages corvane, vizserver and lumbra in build-package/ (a Release tree
# installed under /usr), checks them with lintian (errors fail, warnings are listed) and runs
# them unpacked (scripts/check-packages.sh).
# Usage: scripts/package.sh [DIR]   (default build-package; the .deb files land in DIR)
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build-package}
./scripts/build.sh "$dir" -DCMAKE_BUILD_TYPE=Release -DCORVANE_WERROR=ON \
    -DCMAKE_INSTALL_PREFIX=/usr -DCORVANE_BENCH=OFF
(cd "$dir" && rm -f ./*.deb && cpack -G DEB)
status=0
for deb in "$dir"/*.deb; do
    echo "== $(basename "$deb")"
    # Errors fail the packaging; warnings are printed for the release notes.
    lintian --no-tag-display-limit "$deb" | tee "$deb.lintian" || true
    if grep -q '^E:' "$deb.lintian"; then
        status=1
    fi
done
./scripts/check-packages.sh "$dir" || status=1
exit $status
