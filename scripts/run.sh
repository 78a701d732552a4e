#!/usr/bin/env bash
# Installs what is missing, builds, starts the local task service (once; it keeps running for
# the next start) and the device program against it: in a window when a display is available,
# headless otherwise. Extra arguments go to the device program.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup-deps.sh
./scripts/build.sh build -DCMAKE_BUILD_TYPE=Release -DCORVANE_WERROR=ON

mkdir -p data/outbox
service_up() { (exec 3<>/dev/tcp/127.0.0.1/8080) 2>/dev/null; }
if ! service_up; then
    echo "Starting the task service on 127.0.0.1:8080 (database data/vizserver.db)."
    nohup build/bin/vizserver --listen 127.0.0.1:8080 --db data/vizserver.db --demo \
        --outbox data/outbox --log data/vizserver.log >/dev/null 2>&1 &
    echo $! >data/vizserver.pid
    for _ in $(seq 100); do service_up && break; sleep 0.1; done
fi
echo "Demo accounts: demo@example.com / demo1234 and friend@example.com / friend1234"
if [ -f data/vizserver.pid ]; then
    echo "The service keeps running; stop it with: kill $(cat data/vizserver.pid)"
fi

args=(--service http://127.0.0.1:8080/ "$@")
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    # Without a display there is nobody to type: show that the program comes up by taking a
    # picture of its first screen.
    echo "No display: running headless and taking a screenshot of the first screen."
    shot="$PWD/data/first-screen.png"
    printf 'wait 3\nshot %s\n' "$shot" >data/first-screen.script
    build/bin/corvane --headless "${args[@]}" --script data/first-screen.script
    echo "Screenshot: $shot"
    exit 0
fi
exec build/bin/corvane "${args[@]}"
