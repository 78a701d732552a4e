#!/usr/bin/env bash
# Takes the README's pictures again: builds, then plays the picture scripts with the real
# program, headless, against the reference service with its demo data, and copies the pictures
# into docs/screenshots/.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
./scripts/setup-deps.sh
./scripts/build.sh build -DCMAKE_BUILD_TYPE=Release -DCORVANE_WERROR=ON
bin=$root/build/bin
work=$(mktemp -d)
server_pid=
trap '[ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null; rm -rf "$work"' EXIT

# A fresh service with the demo data on a free port, for one group of pictures.
start_service() {
    [ -n "$server_pid" ] && kill "$server_pid" && wait "$server_pid" 2>/dev/null || true
    local folder=$work/service-$1
    mkdir -p "$folder/outbox"
    "$bin/vizserver" --listen 127.0.0.1:0 --db "$folder/service.db" --password-cost cheap \
        --no-throttle --log "$folder/service.log" --outbox "$folder/outbox" --demo \
        >"$folder/stdout" &
    server_pid=$!
    for _ in $(seq 100); do
        grep -q "listening on port" "$folder/stdout" 2>/dev/null && break
        sleep 0.1
    done
    port=$(sed -n 's/.*listening on port \([0-9]*\).*/\1/p' "$folder/stdout")
    [ -n "$port" ] || { echo "the service did not start" >&2; exit 1; }
}

# play GROUP NAME LANGUAGE DISPLAY DPI SCRIPT: one start of the program from an empty profile
# (no cache, no settings but the language), taking its pictures into the group's folder.
play() {
    local shots=$root/build/screens-shots/$1 profile=$work/device-$1-$2
    mkdir -p "$shots" "$profile"
    printf '[HKEY_CURRENT_USER\\Software\\Ulmar\\Corvane]\n"Language"="%s"\n' "$3" \
        >"$profile/registry.txt"
    printf '%s' "$6" >"$profile/script.txt"
    (cd "$shots" && env -u LC_ALL -u LC_MESSAGES LANG=en_GB.UTF-8 \
        CORVANE_REGISTRY="$profile/registry.txt" CORVANE_CACHE="$profile/cache.dat" \
        TMPDIR="$profile" XDG_RUNTIME_DIR="$profile" \
        "$bin/corvane" --headless --display "$4" --dpi "$5" \
        --service "http://127.0.0.1:$port/" --script "$profile/script.txt") ||
        { echo "picture script $1/$2 failed" >&2; exit 1; }
}

login=$'tap email\ntype demo@example.com\ntap password\ntype demo1234\ntap login\nwait_for list\n'
to_demo_task=$'drag list 0 -200 0.5\nwait 1\ntap_text Corvane launch\nwait 1\ntap_text Planning\nwait 1\ntap_text Review the screens\nwait_for list/@0/name\n'
# The picture of an editor opened from a row of the task screen, and back.
editor() { printf 'tap list/@0/%s\nwait_for %s\nwait 1\nshot %s%s.png\ntap back\nwait_for list/@0/name\nwait 1\n' "$1" "$2" "$prefix" "$3"; }

rm -rf "$root"/build/screens-shots/Screenshots.*

# Log-in, the root of the tree with its projects, a folder and the list of all tasks, at the
# sizes and densities of real phones and in both languages.
start_service browse
for language in english russian; do
    for size in 240x320:96 480x640:192 640x480:192; do
        prefix=$language-${size%:*}-
        play Screenshots.BrowsingTheDemoProject "${prefix}browse" "$language" "${size%:*}" \
            "${size#*:}" "wait_for email
wait 1
shot ${prefix}login.png
${login}wait 1
shot ${prefix}root.png
drag list 0 -200 0.5
wait 1
tap_text Corvane launch
wait_for path/5 hidden
wait 1
tap_text Planning
wait_for path
wait 1
shot ${prefix}folder.png
tap back
wait 1
tap back
wait 1
drag list 0 300 0.5
wait 1
tap list/@0
wait_for list
wait 2
shot ${prefix}all-tasks.png
"
    done
done

# A task with its history, each of its editors, and the user list in its three uses. The group
# editor belongs to a project: its properties open from the info button of its row, the last
# at the root; "share" sits at the foot of the properties, below the fold on small screens.
start_service task
for language in english russian; do
    for size in 240x320:96 480x640:192; do
        prefix=$language-${size%:*}-
        play Screenshots.TheTaskScreenItsEditorsAndSharing "${prefix}task" "$language" \
            "${size%:*}" "${size#*:}" "wait_for email
${login}wait 1
tap select_user
wait_for email hidden
wait 1
shot ${prefix}users-filter.png
tap back
wait_for select_user
drag list 0 -200 0.5
wait 3
tap list/@5/info
wait_for list/@0/tag
$(editor tag edit tag-editor)
tap cancel
wait_for select_user
${to_demo_task}wait 2
shot ${prefix}task.png
$(editor name edit title-editor)
$(editor comment edit comment-editor)
$(editor progress plan progress-editor)
$(editor deadline date deadline-editor)
$(editor status list status-list)
$(editor responsible list users-responsible)
drag list 0 -120 0.5
wait 3
$(editor share email sharing)
"
    done
done

mkdir -p docs/screenshots
cp "$root"/build/screens-shots/Screenshots.*/*.png docs/screenshots/
echo "Pictures are in docs/screenshots/."
