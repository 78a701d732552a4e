#!/usr/bin/env bash
# Installs the Debian packages the project builds, tests and runs with. Idempotent: only
# what is missing is installed, so a machine that has everything pays one dpkg query.
set -euo pipefail

packages=(
    # toolchain and test frameworks
    build-essential cmake ninja-build pkg-config ccache clang clang-format libclang-rt-14-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    # device program
    libsdl2-dev libfreetype-dev libfontconfig-dev fonts-dejavu-core
    fonts-symbola # emoji and symbols in outline, for fallback
    libcurl4-openssl-dev zlib1g-dev libminizip-dev libpng-dev
    # skin compiler
    nlohmann-json3-dev
    # reference service
    libmicrohttpd-dev libsqlite3-dev libsodium-dev sqlite3
    # PostgreSQL storage: the client library, and a server the tests start a throw-away
    # cluster of (pg_virtualenv)
    libpq-dev postgresql-15 postgresql-common
    haproxy # several instances on one database, in tests and the load program
    # benchmarks (wrk: the HTTP yardstick beside vizserver-load)
    libpixman-1-dev wrk
    # launcher and windowed tests
    libgtk-3-dev libwebkit2gtk-4.1-dev xvfb xauth x11-utils xdotool xclip libx11-dev libxtst-dev
    libxext-dev
    xfonts-base # the X server's core fonts, which SDL's own message box on X draws with
    # installing, packaging and checking what an operator gets
    help2man desktop-file-utils dpkg-dev fakeroot lintian prometheus openssl systemd
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
[ "$(id -u)" -ne 0 ] && sudo=(sudo)
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -q
"${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
