#!/usr/bin/env bash
# Installs what is missing, builds the program and the PBX simulator, and runs
# Corvaline against its two peers on loopback: corvaline-pbxsim (a manager that
# plays incoming calls on extension 100) and the demo agenda server
# (tools/agenda-www). Both pick a free port; the demo data folder (build/demo)
# gets a "serie.ini" that points the program at them, and the name lists as the
# agenda serves them. Without a display it runs under Xvfb, saves a screenshot
# (build/demo/screenshot.png, or CORVALINE_DEMO_SCREENSHOT) once a call is on
# screen, and stops. The peers stop with the program.
#   CORVALINE_DEMO_SECONDS   seconds before the screenshot (default 9)
#   CORVALINE_DEMO_CALLS     header style of the simulated calls: modern (Asterisk 13 to 22,
#                            read in modern mode), or old or new (read in classic mode);
#                            default modern
#   CORVALINE_DEMO_TECHNOLOGY  the phones' technology with modern calls, SIP or PJSIP (default PJSIP)
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

calls=${CORVALINE_DEMO_CALLS:-modern}
technology=${CORVALINE_DEMO_TECHNOLOGY:-PJSIP}
mode=Classique
[ "$calls" = modern ] && mode=Moderne

# A folder of its own: the test builds keep their tests.
build=build/demo-release
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCORVALINE_BUILD_TESTS=OFF -DCORVALINE_BUILD_BENCH=OFF
cmake --build "$build" --target corvaline corvaline-pbxsim -j "${CORVALINE_JOBS:-$(nproc)}"

demo=$PWD/build/demo
mkdir -p "$demo"
export CORVALINE_DATA_DIR=$demo

pids=()
cleanup() { for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done; }
trap cleanup EXIT

# Starts a peer that prints "listening on N" first, and sets the variable
# named by the second argument to N once it has.
start_peer() {
    local name=$1 variable=$2
    shift 2
    "$@" >"$demo/$name.out" 2>"$demo/$name.err" &
    local pid=$!
    pids+=("$pid")
    local port
    for _ in $(seq 100); do
        port=$(sed -n 's/^listening on \([0-9][0-9]*\)$/\1/p' "$demo/$name.out" 2>/dev/null | head -n1)
        if [ -n "$port" ]; then
            printf -v "$variable" '%s' "$port"
            return 0
        fi
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    echo "$name did not start; see $demo/$name.err" >&2
    return 1
}

user=demo
secret=demo
extension=100
start_peer pbxsim pbx_port "$build/tools/pbxsim/corvaline-pbxsim" --port 0 --calls "$calls" \
    --technology "$technology" \
    --extension "$extension" --user "$user" --secret "$secret" --first-call 3 --log "$demo/pbxsim-actions.log"
start_peer agenda agenda_port python3 tools/agenda-www/serve.py --port 0 --bind 127.0.0.1
agenda=http://127.0.0.1:$agenda_port
echo "PBX simulator on 127.0.0.1:$pbx_port (actions in $demo/pbxsim-actions.log), agenda on $agenda"

# The settings of the console (Form2) and of the agenda window (Form3). The
# ports change from run to run, so the file is written anew each time. The
# program downloads the name lists from the agenda itself at start-up.
printf '%s\r\n' \
    '[Form2]' \
    'HostEdit_as=127.0.0.1' "PortEdit_as=$pbx_port" 'code_soc=from-internal' 'md5_s=1' \
    "poste_as=$extension" 'action_as=Login' "username_as=$user" "secret_as=$secret" 'events_as=On' \
    'caction_m=Ping' 'cpara_m=None' 'Spin_Edit1=1' 'journal_enre=1' "mode_as=$mode" "techno_as=$technology" \
    '[Form3]' \
    "adresse_ob=$agenda" 'acces_auto=0' 'sda_liaison=0' 'num_app=1' 'num_temps=1' \
    'Check_codea=0' 'Check_0=0' 'edit_zero=0' 'Check_masque=0' 'edit_3651=3651' >"$demo/serie.ini"
chmod 600 "$demo/serie.ini"

if [ -n "${DISPLAY:-}" ]; then
    echo "Corvaline runs; its settings, lists and journals are in $demo"
    "$build/src/app/corvaline"
    exit 0
fi

# shellcheck source=scripts/lib/virtual-display.sh
. scripts/lib/virtual-display.sh
start_virtual_display

"$build/src/app/corvaline" &
program=$!
pids+=("$program")
screenshot=${CORVALINE_DEMO_SCREENSHOT:-$demo/screenshot.png}
sleep "${CORVALINE_DEMO_SECONDS:-9}"
import -window root "$screenshot"
echo "Screenshot of display $DISPLAY: $screenshot"
# An orderly stop, as the window's close box: the settings are written.
kill -TERM "$program"
wait "$program" || true
echo "Settings written to $demo/serie.ini; the manager's text is in the journal $demo/$(date +%F).log"
