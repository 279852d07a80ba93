# Sourced by the scripts that show the program without a real display.
# start_virtual_display: starts Xvfb on a free display number and a compositor
# (so window opacity is drawn), exports DISPLAY, and appends both process ids
# to the caller's pids array so its cleanup stops them.
start_virtual_display() {
    local display=:$((90 + RANDOM % 100))
    while [ -e "/tmp/.X11-unix/X${display#:}" ]; do display=:$((90 + RANDOM % 100)); done
    Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    pids+=($!)
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done
    export DISPLAY=$display
    xcompmgr -n >/dev/null 2>&1 &
    pids+=($!)
}
