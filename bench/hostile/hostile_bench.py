#!/usr/bin/env python3
"""Peak memory and time of the corvaline program fed by a hostile manager.

The program runs as the user runs it (its own windows, offscreen), over a data
folder of the run's own whose serie.ini points the console at a manager on a
loopback port, modern mode, extension 100, the journal on. The manager is this
script. Two runs:

  flood  1,000 calls ringing extension 100 in the shape of Asterisk 13-22
         (trunk leg, phone leg, DialBegin, phone leg ringing), none of them
         ever hung up, then a marker event;
  line   a single 200 MB line with no end, then the end of the line and a
         marker event.

A run is over when the journal holds the marker and the program has then used
no processor time for a second (a card's creation runs the event loop, so later
text may be journalled while earlier cards are still being made; the program
going quiet is what tells that all of it is handled), or when the program
closes the session. The time of a handled run ends at the program's last use
of the processor. Printed per run: the wall time from the first
byte of the run to its end, the program's CPU time over the same span, its peak
resident memory (VmHWM) and how the run ended. A run is stopped after the time
bound, or once the program's resident memory passes the memory bound; the
figures then read "> bound". Prints figures only; exits non-zero when the
program could not be run or never logged in.

Usage: hostile_bench.py PROGRAM [--runs flood,line] [--name NAME]
                                [--timeout S] [--max-rss-mb MB]
"""

import argparse
import os
import queue
import select
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time

EXTENSION = "100"
CALLS = 1000
LINE_BYTES = 200 * 1000 * 1000
MARKER = b"UserEvent: CorvalineBenchEnd"
CLOCK_TICKS = os.sysconf("SC_CLK_TCK")
# How long the program stays without using the processor, once the journal
# holds the marker, for the run to count as handled.
QUIET_SECONDS = 1.0


def serie_ini(port):
    console = [
        "HostEdit_as=127.0.0.1",
        f"PortEdit_as={port}",
        "action_as=Login",
        "username_as=bench",
        "secret_as=bench",
        "events_as=On",
        f"poste_as={EXTENSION}",
        "code_soc=from-internal",
        "md5_s=0",
        "journal_enre=1",
        "Spin_Edit1=1",
        "mode_as=Moderne",
    ]
    agenda = ["adresse_ob=", "acces_auto=0", "num_app=1", "num_temps=0"]
    return ("[Form2]\r\n" + "\r\n".join(console) + "\r\n[Form3]\r\n" + "\r\n".join(agenda) + "\r\n").encode()


def message(*lines):
    return ("\r\n".join(lines) + "\r\n\r\n").encode()


def snapshot(channel, state, desc, caller, connected, uniqueid, linkedid, exten):
    return [
        f"Channel: {channel}",
        f"ChannelState: {state}",
        f"ChannelStateDesc: {desc}",
        f"CallerIDNum: {caller}",
        "CallerIDName: 0491234500",
        f"ConnectedLineNum: {connected}",
        "ConnectedLineName: <unknown>",
        "Language: fr",
        "AccountCode: ",
        "Context: from-trunk",
        f"Exten: {exten}",
        "Priority: 1",
        f"Uniqueid: {uniqueid}",
        f"Linkedid: {linkedid}",
    ]


def ringing_calls(count):
    """count incoming calls ringing the extension, in the modern shape, one
    unit of text per call."""
    units = []
    for call in range(count):
        caller = f"06{call:08d}"
        trunk = f"PJSIP/ovh-{2 * call:08x}"
        phone = f"PJSIP/{EXTENSION}-{2 * call + 1:08x}"
        trunk_id = f"1765250000.{2 * call}"
        phone_id = f"1765250000.{2 * call + 1}"
        head = ["Privilege: call,all"]
        parts = []
        parts.append(message("Event: Newchannel", *head,
                             *snapshot(trunk, 4, "Ring", caller, "<unknown>", trunk_id, trunk_id, "0491234500")))
        parts.append(message("Event: Newchannel", *head,
                             *snapshot(phone, 0, "Down", EXTENSION, "<unknown>", phone_id, trunk_id, "s")))
        parts.append(message("Event: DialBegin", *head,
                             *snapshot(trunk, 4, "Ring", caller, "<unknown>", trunk_id, trunk_id, "0491234500"),
                             *["Dest" + line for line in
                               snapshot(phone, 0, "Down", EXTENSION, caller, phone_id, trunk_id, "s")],
                             f"DialString: {EXTENSION}"))
        parts.append(message("Event: Newstate", *head,
                             *snapshot(phone, 5, "Ringing", EXTENSION, caller, phone_id, trunk_id, "s")))
        units.append([b"".join(parts)])
    return units


def answer(action):
    """What Asterisk answers to an action of the program: a Pong to its keep-alive."""
    lines = action.decode("latin-1").split("\r\n")
    action_id = [line.split(":", 1)[1].strip() for line in lines if line.lower().startswith("actionid:")]
    id_line = [f"ActionID: {action_id[0]}"] if action_id else []
    if any(line.lower().replace(" ", "") == "action:ping" for line in lines):
        return message("Response: Success", *id_line, "Ping: Pong", "Timestamp: 1765250000.000000")
    return message("Response: Error", *id_line, "Message: Invalid/unknown command")


def marker():
    return message("Event: UserEvent", "Privilege: user,all", MARKER.decode())


class Manager:
    """The manager side of one session: banner, login accepted, live channel
    list empty, then whatever the run sends."""

    def __init__(self):
        self.listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self.listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.listener.bind(("127.0.0.1", 0))
        self.listener.listen(4)
        self.port = self.listener.getsockname()[1]
        self.connection = None
        self.received = b""
        self.answers = queue.Queue()
        self.closed = threading.Event()
        self.sent_all = threading.Event()

    def accept_and_log_in(self, deadline):
        self.listener.settimeout(max(0.1, deadline - time.monotonic()))
        self.connection, _ = self.listener.accept()
        self.connection.settimeout(None)
        self.connection.sendall(b"Asterisk Call Manager/5.0.1\r\n")
        self.read_action(b"Login", deadline)
        self.connection.sendall(message("Response: Success", "Message: Authentication accepted") +
                                message("Event: FullyBooted", "Privilege: system,all", "Uptime: 8123",
                                        "LastReload: 8123", "Status: Fully Booted"))
        # The live channel list follows the accepted login: there is none.
        status = self.read_action(b"Status", deadline)
        action_id = ""
        for line in status.split(b"\r\n"):
            if line.lower().startswith(b"actionid:"):
                action_id = line.split(b":", 1)[1].strip().decode()
        self.connection.sendall(message("Response: Success", f"ActionID: {action_id}", "EventList: start",
                                        "Message: Channel status will follow") +
                                message("Event: StatusComplete", f"ActionID: {action_id}", "EventList: Complete",
                                        "ListItems: 0", "Items: 0"))
        threading.Thread(target=self.drain, daemon=True).start()

    def read_action(self, name, deadline):
        """Reads up to the end of the first action of that name and returns it."""
        head = b"Action: " + name + b"\r\n"
        while True:
            at = self.received.find(head)
            end = self.received.find(b"\r\n\r\n", at) if at >= 0 else -1
            if end >= 0:
                action = self.received[at:end]
                self.received = self.received[end + 4:]
                return action
            ready, _, _ = select.select([self.connection], [], [], max(0.0, deadline - time.monotonic()))
            if not ready:
                raise TimeoutError("the program did not log in")
            data = self.connection.recv(65536)
            if not data:
                raise ConnectionError("the program closed the session before logging in")
            self.received += data

    def drain(self):
        # Keep-alives are answered as Asterisk does, the rest is dropped; the
        # end of the session is what counts.
        try:
            while True:
                data = self.connection.recv(65536)
                if not data:
                    break
                self.received += data
                while b"\r\n\r\n" in self.received:
                    action, self.received = self.received.split(b"\r\n\r\n", 1)
                    self.answers.put(answer(action))
        except OSError:
            pass
        self.closed.set()

    def send(self, units):
        """Sends the units in order; an answer to an action goes out between
        two units, never inside one."""
        def run():
            try:
                for unit in units:
                    while not self.answers.empty():
                        self.connection.sendall(self.answers.get())
                    for piece in unit:
                        self.connection.sendall(piece)
                self.sent_all.set()
                while True:
                    self.connection.sendall(self.answers.get())
            except OSError:
                self.closed.set()
        threading.Thread(target=run, daemon=True).start()

    def close(self):
        for sock in (self.connection, self.listener):
            if sock is not None:
                try:
                    sock.close()
                except OSError:
                    pass


def process_status(pid, key):
    try:
        with open(f"/proc/{pid}/status") as status:
            for line in status:
                if line.startswith(key + ":"):
                    return int(line.split()[1])
    except OSError:
        pass
    return 0


def cpu_seconds(pid):
    try:
        with open(f"/proc/{pid}/stat") as stat:
            fields = stat.read().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) / CLOCK_TICKS
    except OSError:
        return 0.0


class JournalWatch:
    """Finds the marker in the journals of the data folder, reading only what
    was added since the last look."""

    def __init__(self, folder):
        self.folder = folder
        self.offsets = {}
        self.tails = {}

    def holds_marker(self):
        for name in sorted(os.listdir(self.folder)):
            if not name.endswith(".log"):
                continue
            path = os.path.join(self.folder, name)
            with open(path, "rb") as journal:
                journal.seek(self.offsets.get(name, 0))
                added = journal.read()
            self.offsets[name] = self.offsets.get(name, 0) + len(added)
            text = self.tails.get(name, b"") + added
            if MARKER in text:
                return True
            self.tails[name] = text[-len(MARKER):]
        return False


def run_once(program, what, timeout, max_rss_kb):
    data = tempfile.mkdtemp(prefix="corvaline-hostile-")
    manager = Manager()
    with open(os.path.join(data, "serie.ini"), "wb") as ini:
        ini.write(serie_ini(manager.port))
    environment = dict(os.environ, CORVALINE_DATA_DIR=data, QT_QPA_PLATFORM="offscreen",
                       XDG_RUNTIME_DIR=data, HOME=data)
    environment.pop("DBUS_SESSION_BUS_ADDRESS", None)
    child = subprocess.Popen([program], env=environment, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    result = {"run": what}
    try:
        manager.accept_and_log_in(time.monotonic() + 60)
        # The program has settled after its login: its memory before the run.
        time.sleep(1)
        result["idle_rss_kb"] = process_status(child.pid, "VmRSS")
        if what == "flood":
            units = ringing_calls(CALLS) + [[marker()]]
        else:
            piece = b"A" * (1000 * 1000)
            units = [[piece] * (LINE_BYTES // len(piece)) + [b"\r\n\r\n"], [marker()]]
        journal = JournalWatch(data)
        cpu_start = cpu_seconds(child.pid)
        start = time.monotonic()
        manager.send(units)
        ended = None
        marked = False
        cpu_seen, busy_until = cpu_start, start
        while ended is None:
            time.sleep(0.05)
            now = time.monotonic()
            if cpu_seconds(child.pid) != cpu_seen:
                cpu_seen, busy_until = cpu_seconds(child.pid), now
            marked = marked or journal.holds_marker()
            if marked and now - busy_until >= QUIET_SECONDS:
                ended = "handled"
            elif manager.closed.is_set():
                ended = "session closed"
            elif child.poll() is not None:
                ended = f"program ended ({child.returncode})"
            elif process_status(child.pid, "VmRSS") > max_rss_kb:
                ended = "memory bound"
            elif now - start > timeout:
                ended = "time bound" + (", text journalled, still busy" if marked else ", text not yet journalled")
        result["seconds"] = (busy_until if ended == "handled" else time.monotonic()) - start
        result["cpu"] = cpu_seconds(child.pid) - cpu_start
        result["peak_rss_kb"] = process_status(child.pid, "VmHWM")
        result["ended"] = ended
        result["sent_all"] = manager.sent_all.is_set()
    except (TimeoutError, ConnectionError, OSError) as error:
        result["error"] = str(error)
    finally:
        if child.poll() is None:
            # Killed rather than ended: a program still busy with the run
            # would not see a termination request before the bound.
            child.send_signal(signal.SIGKILL)
        child.wait()
        manager.close()
        shutil.rmtree(data, ignore_errors=True)
    return result


def describe(result, timeout, max_rss_mb):
    if "error" in result:
        return f"| {result['run']} | failed: {result['error']} | | | |"
    seconds = f"> {timeout:.0f} s" if result["ended"].startswith("time bound") else f"{result['seconds']:.2f} s"
    peak_mb = result["peak_rss_kb"] / 1024
    peak = f"> {max_rss_mb} MB" if result["ended"] == "memory bound" else f"{peak_mb:.0f} MB"
    return (f"| {result['run']} | {seconds} | {result['cpu']:.2f} s | {peak} | "
            f"{result['idle_rss_kb'] / 1024:.0f} MB | {result['ended']} |")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("program", help="the corvaline program to measure")
    parser.add_argument("--runs", default="flood,line", help="flood, line or both (default flood,line)")
    parser.add_argument("--name", default="", help="label printed at the head of the table")
    parser.add_argument("--timeout", type=float, default=120.0, help="seconds before a run is stopped (120)")
    parser.add_argument("--max-rss-mb", type=int, default=4096, help="resident MB that stops a run (4096)")
    options = parser.parse_args()
    if not os.access(options.program, os.X_OK):
        print(f"hostile_bench: {options.program} is not a program", file=sys.stderr)
        return 2

    print(f"{options.name or options.program}: {CALLS} ringing calls; a {LINE_BYTES // 1000000} MB line "
          f"(bounds {options.timeout:.0f} s, {options.max_rss_mb} MB)")
    print("| run | wall time | CPU time | peak RSS | RSS before | end |")
    print("| --- | ---: | ---: | ---: | ---: | --- |")
    failed = False
    for what in options.runs.split(","):
        result = run_once(options.program, what, options.timeout, options.max_rss_mb * 1024)
        failed = failed or "error" in result
        print(describe(result, options.timeout, options.max_rss_mb), flush=True)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
