#!/usr/bin/env bash
# Takes the pictures shown in the README: the main window with one answered and
# one ringing call (the two "Simuler" commands of the menu), in options mode and
# in compact mode, the manager console, the call history, the tray icon's menu
# and the dial window filled by a click-to-dial link opened with xdg-open, all
# in French; then the main window and the console in English; then the
# question about a manager certificate nothing vouches for, and the console
# logged in over TLS (the PBX simulator behind socat's TLS listener). Runs
# the built program under its own Xvfb display with a compositor and a tray
# (trayer), and drives it with the mouse like a person would.
#   scripts/screenshot.sh [path/to/corvaline] [output folder]
set -euo pipefail
cd "$(dirname "$0")/.."

program=${1:-build/release/src/app/corvaline}
out=${2:-docs}
mkdir -p "$out"
work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    # The program writes its settings as it ends.
    wait || true
    rm -rf "$work"
}
trap cleanup EXIT

# shellcheck source=scripts/lib/virtual-display.sh
. scripts/lib/virtual-display.sh
start_virtual_display

# A data folder with an extension and the two name lists, so the cards show
# what an office would see; links dial their number without a prefix.
printf '[Form2]\r\nposte_as=104\r\n[Form3]\r\nCheck_0=0\r\n' >"$work/serie.ini"
printf 'Orbanel=Standard\r\nEssai=Accueil\r\n' >"$work/sda.ini"
printf '0511223344=Cabinet Martin\r\n' >"$work/tel.ini"
day=$(date +%Y-%m-%d)
printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\n' \
    "${day}T09:12:04" entrant 0612345678 'Dupont Marie' Accueil repondu 184 \
    "${day}T09:40:51" sortant 0478901234 'Martin Transports' Commercial repondu 65 \
    "${day}T10:05:17" entrant 0699001122 '' Accueil manque 0 \
    "${day}T10:31:42" entrant 0511223344 'Cabinet Martin' Accueil repondu 732 \
    "${day}T11:02:09" entrant 0320456789 '' Commercial manque 0 >"$work/historique.txt"
# The tray comes before the program, which looks for one at start.
trayer --edge bottom --align left --widthtype request --height 28 --transparent false --tint 0xdddddd \
    >/dev/null 2>&1 &
pids+=($!)
sleep 1
# start_program LANG [DATA]: the program in that system language (LANG alone
# decides, as on a desktop that sets nothing else), with the data folder DATA
# (default: the one above); window is its main window.
start_program() {
    env -u LANGUAGE -u LC_ALL -u LC_MESSAGES LANG="$1" CORVALINE_DATA_DIR="${2:-$work}" "$program" \
        >>"$work/program.log" 2>&1 &
    program_pid=$!
    pids+=($program_pid)
    window=""
    for _ in $(seq 100); do
        window=$(xdotool search --onlyvisible --name '^Corvaline$' 2>/dev/null | head -n1 || true)
        [ -n "$window" ] && break
        sleep 0.1
    done
    [ -n "$window" ] || { echo "the main window did not appear" >&2; exit 1; }
    sleep 1.5 # the start-up timer sets the options height after one second
}
start_program fr_FR.UTF-8

click() { xdotool mousemove --window "$window" "$1" "$2" click 1; sleep 0.5; }
shoot() {
    local target=${2:-$window}
    sleep 1.2
    xdotool mousemove 700 700
    eval "$(xdotool getwindowgeometry --shell "$target")"
    import -display "$DISPLAY" -window root "$work/root.png"
    convert "$work/root.png" -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage \
        -bordercolor '#8d99a6' -border 1 "$out/$1"
    echo "wrote $out/$1"
}

# Menu > "Simuler un appel (répondu)", then Menu > "Simuler un appel (client - sonne)".
click 122 9
click 200 53
click 122 9
click 200 75
shoot mainwindow-options.png
# Configuration > "Asterisk": the manager console.
click 40 9
click 60 53
console=$(xdotool search --onlyvisible --name '^Manager$' | head -n1)
shoot manager-console.png "$console"
xdotool windowunmap "$console"
click 217 35 # "Ok": compact mode
shoot mainwindow-compact.png

# Menu > "Historique": the list of the last calls.
click 30 9 # back to options mode first: the strip shows the menu again
click 122 9
click 200 97
history=$(xdotool search --onlyvisible --name '^Historique$' | head -n1)
shoot call-history.png "$history"
xdotool windowunmap "$history"

# A right click on the tray icon: its menu, with the tray beside it.
tray=$(xdotool search --onlyvisible --class trayer | head -n1)
eval "$(xdotool getwindowgeometry --shell "$tray")"
# The menu opens upwards from the icon's top right corner, and leaves it in sight.
xdotool mousemove $((X + 20)) $((Y + 5)) click 3
sleep 1.2
import -display "$DISPLAY" -window root "$work/root.png"
convert "$work/root.png" -crop "200x$((HEIGHT + 100))+$X+$((Y - 100))" +repage \
    -bordercolor '#8d99a6' -border 1 "$out/tray-menu.png"
echo "wrote $out/tray-menu.png"

# A "numero:" link of the agenda, opened as a browser opens it: xdg-open finds
# the desktop entry in a data folder of its own and starts the program, which
# hands the link to the running one.
mkdir -p "$work/share/applications" "$work/bin"
cp packaging/corvaline.desktop "$work/share/applications/"
update-desktop-database -q "$work/share/applications"
ln -s "$(realpath "$program")" "$work/bin/corvaline"
env -u XDG_CURRENT_DESKTOP XDG_DATA_HOME="$work/share" XDG_DATA_DIRS="$work/share" \
    XDG_CONFIG_HOME="$work/config" PATH="$work/bin:$PATH" CORVALINE_DATA_DIR="$work" \
    xdg-open numero:01.23.45.67.89
dial=$(xdotool search --onlyvisible --name '^Appel$' | head -n1)
shoot dialwindow-link.png "$dial"

# The English interface, as a system in another language than French shows it:
# the same two calls, and the console.
kill "$program_pid"
wait "$program_pid" || true
start_program en_US.UTF-8
# Menu > "Simulate a call (answered)", then Menu > "Simulate a call (customer - ringing)".
click 90 9
click 150 53
click 90 9
click 150 75
shoot mainwindow-en.png
# Settings > "Asterisk".
click 30 9
click 60 53
console=$(xdotool search --onlyvisible --name '^Manager$' | head -n1)
shoot manager-console-en.png "$console"

# The manager link over TLS: the simulator behind socat's TLS listener, with a
# self-signed certificate made here. The first try asks about the certificate;
# once it is trusted the console logs in over TLS.
kill "$program_pid"
wait "$program_pid" || true
tls=$work/tls
mkdir -p "$tls"
openssl req -x509 -newkey rsa:2048 -nodes -days 30 -subj /CN=pbx.cabinet.lan \
    -addext subjectAltName=IP:127.0.0.1 -keyout "$tls/pbx.key" -out "$tls/pbx.pem" 2>/dev/null
pbxsim=$(dirname "$program")/../../tools/pbxsim/corvaline-pbxsim
"$pbxsim" --port 0 --calls none --style modern --user demo --secret demo >"$tls/pbxsim.out" 2>&1 &
pids+=($!)
pbx_port=""
for _ in $(seq 100); do
    pbx_port=$(sed -n 's/^listening on \([0-9][0-9]*\)$/\1/p' "$tls/pbxsim.out" | head -n1)
    [ -n "$pbx_port" ] && break
    sleep 0.1
done
[ -n "$pbx_port" ] || { echo "the PBX simulator did not start" >&2; exit 1; }
tls_port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
socat "openssl-listen:$tls_port,bind=127.0.0.1,reuseaddr,fork,cert=$tls/pbx.pem,key=$tls/pbx.key,verify=0" \
    "tcp:127.0.0.1:$pbx_port" &
pids+=($!)
printf '%s\r\n' '[Form2]' 'HostEdit_as=127.0.0.1' "PortEdit_as=$tls_port" 'tls_as=1' 'md5_s=1' 'poste_as=104' \
    'username_as=demo' 'secret_as=demo' 'mode_as=Moderne' 'techno_as=PJSIP' 'Spin_Edit1=1' \
    '[Form3]' 'Check_0=0' >"$tls/serie.ini"
start_program fr_FR.UTF-8 "$tls"
# The keep-alive's first try meets the certificate: the question has the
# program's name as its title, like the main window.
question=""
for _ in $(seq 200); do
    question=$(xdotool search --onlyvisible --name '^Corvaline$' 2>/dev/null | grep -vx "$window" | head -n1 || true)
    [ -n "$question" ] && break
    sleep 0.1
done
[ -n "$question" ] || { echo "no question about the certificate" >&2; exit 1; }
shoot manager-certificate-question.png "$question"
# "Oui", the left one of the two buttons in the box's bottom right corner.
eval "$(xdotool getwindowgeometry --shell "$question")"
xdotool mousemove --window "$question" $((WIDTH - 145)) $((HEIGHT - 25)) click 1
click 40 9
click 60 53
console=$(xdotool search --onlyvisible --name '^Manager$' | head -n1)
sleep 2 # the login
shoot manager-console-tls.png "$console"
xdotool windowunmap "$console"
# The tray icon's tooltip says the link is encrypted.
tray=$(xdotool search --onlyvisible --class trayer | head -n1)
eval "$(xdotool getwindowgeometry --shell "$tray")"
xdotool mousemove $((X + 10)) $((Y + 10))
sleep 0.3
xdotool mousemove $((X + 14)) $((Y + 14))
sleep 2.5
import -display "$DISPLAY" -window root "$work/root.png"
convert "$work/root.png" -crop "360x$((HEIGHT + 40))+$X+$((Y - 40))" +repage \
    -bordercolor '#8d99a6' -border 1 "$out/tray-tooltip-tls.png"
echo "wrote $out/tray-tooltip-tls.png"
