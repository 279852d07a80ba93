#!/usr/bin/env python3
"""Bytes one desk receives from a real Asterisk while the office's other
phones make calls, with and without the per-session event filter.

A real Asterisk (22 by default, or 20) runs on loopback with sipp phones:
phone 100 is the desk's own, phone 300 takes the office's calls. Three
instances of the program run as the user runs them (offscreen, a data folder
of their own, extension 100), each behind a relay that counts what the manager
sends it:

  classic   classic mode: no filter, every event of the office (as every
            desk before the filter);
  filtered  modern mode, a manager user that may add filters (write = all);
  eventmask modern mode, a manager user without the system write class: the
            filters are refused and the desk asks for call events alone.

Once all three are logged in, CALLS calls ring phone 300 (10 a second, at
most CALLS at once, 2 s of talk each) and one call rings the desk's own phone;
the run ends when the calls have ended and the manager has been quiet for a
second. Printed: bytes received per desk during the run, the ratio to the
classic desk, and whether the desk saw its own phone's call end.

Usage: filter_bench.py PROGRAM [--version 22|20] [--calls N]
"""

import argparse
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import realpbx  # noqa: E402

OWN_HANGUP = b"Event: Hangup\r\nPrivilege: call,all\r\nChannel: PJSIP/100-"


class CountingRelay:
    """Passes one desk's session to the manager and counts what comes back."""

    def __init__(self, manager_port):
        self.manager_port = manager_port
        self.listener = socket.socket()
        self.listener.bind(("127.0.0.1", 0))
        self.listener.listen(4)
        self.port = self.listener.getsockname()[1]
        self.lock = threading.Lock()
        self.received = bytearray()
        self.counted_from = None
        self.last_data = time.monotonic()
        threading.Thread(target=self.serve, daemon=True).start()

    def serve(self):
        while True:
            try:
                desk, _ = self.listener.accept()
            except OSError:
                return
            manager = socket.create_connection(("127.0.0.1", self.manager_port))
            threading.Thread(target=self.pump, args=(desk, manager, False), daemon=True).start()
            threading.Thread(target=self.pump, args=(manager, desk, True), daemon=True).start()

    def pump(self, source, target, count):
        try:
            while True:
                data = source.recv(65536)
                if not data:
                    break
                if count:
                    with self.lock:
                        self.received += data
                        self.last_data = time.monotonic()
                target.sendall(data)
        except OSError:
            pass
        for sock in (source, target):
            try:
                sock.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass

    def start_counting(self):
        with self.lock:
            self.counted_from = len(self.received)

    def counted(self):
        with self.lock:
            return bytes(self.received[self.counted_from:])

    def contains(self, text):
        with self.lock:
            return text in self.received


def serie_ini(port, mode, user):
    console = ["HostEdit_as=127.0.0.1", f"PortEdit_as={port}", "action_as=Login", f"username_as={user}",
               f"secret_as={user}", "events_as=On", "poste_as=100", "code_soc=from-internal", "md5_s=0",
               "journal_enre=0", "Spin_Edit1=1", f"mode_as={mode}", "techno_as=PJSIP"]
    agenda = ["adresse_ob=", "acces_auto=0", "num_app=1", "num_temps=0"]
    return ("[Form2]\r\n" + "\r\n".join(console) + "\r\n[Form3]\r\n" + "\r\n".join(agenda) + "\r\n").encode()


class Desk:
    def __init__(self, name, program, manager_port, mode, user):
        self.name = name
        self.relay = CountingRelay(manager_port)
        self.data = tempfile.mkdtemp(prefix=f"corvaline-filter-{name}-")
        with open(os.path.join(self.data, "serie.ini"), "wb") as ini:
            ini.write(serie_ini(self.relay.port, mode, user))
        environment = dict(os.environ, CORVALINE_DATA_DIR=self.data, QT_QPA_PLATFORM="offscreen",
                           XDG_RUNTIME_DIR=self.data, HOME=self.data)
        environment.pop("DBUS_SESSION_BUS_ADDRESS", None)
        self.process = subprocess.Popen([program], env=environment, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL)

    def stop(self):
        self.process.terminate()
        try:
            self.process.wait(10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        shutil.rmtree(self.data, ignore_errors=True)


def wait_for(condition, seconds, what):
    deadline = time.monotonic() + seconds
    while not condition():
        if time.monotonic() > deadline:
            raise TimeoutError(what)
        time.sleep(0.1)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("program")
    parser.add_argument("--version", default="22", choices=sorted(realpbx.VERSIONS))
    parser.add_argument("--calls", type=int, default=50)
    arguments = parser.parse_args()

    phones = {"100": [("answer", 500)], "300": [("answer", 300)]}
    managers = {"desk": "all", "weak": "call,originate,reporting"}
    with realpbx.Pbx(arguments.version, phones, managers) as pbx:
        desks = [Desk("classic", arguments.program, pbx.ami_port, "Classique", "desk"),
                 Desk("filtered", arguments.program, pbx.ami_port, "Moderne", "desk"),
                 Desk("eventmask", arguments.program, pbx.ami_port, "Moderne", "weak")]
        try:
            for desk in desks:
                wait_for(lambda: desk.relay.contains(b"Authentication accepted"), 60, desk.name + " never logged in")
            # The filters' answers, or the refusal and the request for call events.
            wait_for(lambda: desks[1].relay.contains(b"ActionID: corvaline-filter-3"), 30, "no filter answer")
            wait_for(lambda: desks[2].relay.contains(b"ActionID: corvaline-events"), 30, "no event mask answer")
            time.sleep(1)
            for desk in desks:
                desk.relay.start_counting()
            start = time.monotonic()
            office = pbx.call("300", calls=arguments.calls, rate_per_s=10, talk_ms=2000)
            time.sleep(1)
            own = pbx.call("100", calls=1, talk_ms=1000)
            office.wait(300)
            own.wait(60)
            wait_for(lambda: all(time.monotonic() - d.relay.last_data > 1 for d in desks), 60, "the manager kept on")
            seconds = time.monotonic() - start
            counted = {desk.name: desk.relay.counted() for desk in desks}
        finally:
            for desk in desks:
                desk.stop()

    baseline = len(counted["classic"])
    print(f"Asterisk {realpbx.VERSIONS[arguments.version]}, {arguments.calls} calls of phone 300 and one of the "
          f"desk's phone 100, {seconds:.1f} s; office calls ended with sipp status {office.returncode}")
    print(f"{'desk':<10} {'bytes':>10} {'events':>7} {'vs classic':>11}  own call's hangup seen")
    for name, text in counted.items():
        ratio = baseline / len(text) if text else float("inf")
        print(f"{name:<10} {len(text):>10,} {text.count(b'Event: '):>7} {ratio:>10.1f}x  "
              f"{'yes' if OWN_HANGUP in text else 'NO'}")


if __name__ == "__main__":
    main()
