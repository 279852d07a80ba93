#!/usr/bin/env bash
# Installs the Debian 12 packages that building, testing and running Corvaline need, and those given as arguments.
# Only what is missing is installed, so a machine that has everything is left alone.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools libgl-dev libssl-dev openssl
    qt6-tools-dev qt6-l10n-tools
    libgtest-dev googletest libbenchmark-dev
    python3 socat inetutils-telnetd dante-server microsocks nginx-light curl
    xvfb xcompmgr imagemagick xdotool x11-utils
    dbus trayer
    fonts-dejavu-core
    dpkg-dev desktop-file-utils xdg-utils
    qt6-wayland lintian appstream
    # The real-PBX suite: what the relocatable Asterisk builds link against, and sipp.
    libjansson4 libxml2 libxslt1.1 libsqlite3-0 libedit2 libuuid1 libssl3 libicu72 sip-tester
)
# A script that needs more (the fuzz script's compiler) names it on the command line.
packages+=("$@")

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
