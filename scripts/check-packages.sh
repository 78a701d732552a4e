#!/usr/bin/env bash
# Unpacks the Debian packages in DIR into a temporary root and runs the programs from there, as
# an installed system would: vizserver answers calls, corvane reaches its log-in screen from its
# installed data, the desktop entries and the service unit pass their validators.
# Usage: scripts/check-packages.sh DIR
set -euo pipefail
dir=$(cd "${1:?usage: check-packages.sh DIR}" && pwd)
root=$(mktemp -d /tmp/corvane-packages-XXXXXX)
server_pid=
cleanup() {
    [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null
    rm -rf "$root"
}
trap cleanup EXIT
fail() { echo "check-packages: $*" >&2; exit 1; }

for deb in "$dir"/*.deb; do dpkg-deb -x "$deb" "$root"; done
usr=$root/usr
for program in corvane vizserver skinc; do
    [ -x "$usr/bin/$program" ] || fail "no usr/bin/$program"
    [ -f "$usr/share/man/man1/$program.1.gz" ] \
        || fail "no manual page for $program"
done
desktop-file-validate "$usr"/share/applications/*.desktop || fail "invalid desktop entry"
version=$(sed -n 's/^#define CORVANE_VERSION "\(.*\)"/\1/p' "$dir/generated/CorvaneVersion.h")
[ "$("$usr/bin/vizserver" --version)" = "vizserver $version" ] || fail "vizserver --version"
[ "$("$usr/bin/corvane" --version)" = "Corvane $version" ] || fail "corvane --version"

# The service from the unpacked tree answers a health check and a call.
"$usr/bin/vizserver" --listen 127.0.0.1:0 --db "$root/service.db" --password-cost cheap \
    --quiet >"$root/server.out" 2>&1 &
server_pid=$!
port=
for _ in $(seq 200); do
    port=$(sed -n 's/^vizserver listening on port //p' "$root/server.out")
    [ -n "$port" ] && break
    kill -0 "$server_pid" 2>/dev/null || fail "vizserver ended: $(cat "$root/server.out")"
    sleep 0.05
done
[ -n "$port" ] || fail "vizserver did not start"
[ "$(curl -s "http://127.0.0.1:$port/healthz")" = "ok" ] || fail "no health answer"
curl -s "http://127.0.0.1:$port/metrics" | grep -q '^vizserver_live_sessions 0' \
    || fail "no metrics"

# The device program, installed, finds its skins and languages in ../share/corvane and shows
# the log-in screen; it writes only below the private XDG folders.
printf 'wait_for login\nexpect_screen Login\nquit\n' >"$root/login.txt"
mkdir -m 700 "$root/runtime"
(cd "$root" && XDG_RUNTIME_DIR="$root/runtime" XDG_DATA_HOME="$root/data" \
    XDG_CONFIG_HOME="$root/config" CORVANE_REGISTRY= TMPDIR="$root" \
    "$usr/bin/corvane" --headless --service "http://127.0.0.1:$port/" --script login.txt) \
    || fail "corvane did not reach its log-in screen"
[ -d "$root/data/corvane" ] || fail "corvane did not make its data folder"

if command -v systemd-analyze >/dev/null; then
    unit=$root/vizserver.service
    sed "s|/usr/bin/vizserver|$usr/bin/vizserver|" "$usr/lib/systemd/system/vizserver.service" >"$unit"
    systemd-analyze verify "$unit" || fail "vizserver.service does not verify"
fi
echo "check-packages: every package installs and runs"
