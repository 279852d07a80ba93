#!/usr/bin/env bash
# Installs what is missing, builds the program and starts it with a demo data
# folder (build/demo), so that its settings and name lists stay out of the way.
# Without a display it runs under Xvfb, saves a screenshot of the screen in
# build/demo/screenshot.png after a few seconds and stops.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

build=build/release
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCORVALINE_BUILD_TESTS=OFF -DCORVALINE_BUILD_BENCH=OFF
cmake --build "$build" --target corvaline -j "${CORVALINE_JOBS:-$(nproc)}"

demo=$PWD/build/demo
mkdir -p "$demo"
export CORVALINE_DATA_DIR=$demo

pids=()
cleanup() { for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done; }
trap cleanup EXIT

if [ -n "${DISPLAY:-}" ]; then
    echo "Corvaline runs; its settings and lists are in $demo"
    "$build/src/app/corvaline"
    exit 0
fi

display=:$((90 + RANDOM % 100))
while [ -e "/tmp/.X11-unix/X${display#:}" ]; do display=:$((90 + RANDOM % 100)); done
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done
export DISPLAY=$display
xcompmgr -n >/dev/null 2>&1 &
pids+=($!)

"$build/src/app/corvaline" &
program=$!
pids+=("$program")
sleep "${CORVALINE_DEMO_SECONDS:-5}"
import -window root "$demo/screenshot.png"
echo "Screenshot of display $display: $demo/screenshot.png"
# An orderly stop, as the window's close box: the settings are written.
kill -TERM "$program"
wait "$program" || true
echo "Settings written to $demo/serie.ini"
