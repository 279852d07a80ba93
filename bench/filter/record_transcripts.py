#!/usr/bin/env python3
"""Records what a real Asterisk's manager sends for the calls the unit tests
of the modern interpretation replay, into tests/supervision/data:

  asteriskNN-originate.txt   a call placed from the dial window: Originate of
                             PJSIP/100 to extension 201 with CallerId 100; 100
                             and 201 answer, the dialplan hangs up after 2 s.
  asteriskNN-twodevices.txt  a call to 100, whose AOR holds two contacts
                             (two devices of one user): both ring, the first
                             answers, the other leg ends; the caller hangs up.

Usage: record_transcripts.py [22] [20]
"""

import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import realpbx  # noqa: E402

DATA = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests", "supervision", "data")


def record(version):
    with realpbx.Pbx(version, {"100": [("answer", 1000)], "201": [("answer", 1000)]}, {"desk": "all"}) as pbx:
        desk = realpbx.ManagerClient(pbx.ami_port, "desk")
        desk.drain(0.5)
        start = len(desk.received)
        desk.send("Originate", Channel="PJSIP/100", Context="from-internal", Exten="201", Priority="1",
                  Timeout="30000", CallerId="100", Async="yes", ActionID="dial-1")
        desk.read_until(b"Event: Hangup\r\nPrivilege: call,all\r\nChannel: PJSIP/100-", timeout=30)
        desk.drain(1)
        originate = bytes(desk.received[start:])
        desk.close()
    # The two contacts of one AOR: the first answers, the other rings on.
    with realpbx.Pbx(version, {"100": [("answer", 1000), ("ring", 0)]}, {"desk": "all"}) as pbx:
        desk = realpbx.ManagerClient(pbx.ami_port, "desk")
        desk.drain(0.5)
        start = len(desk.received)
        caller = pbx.call("100", calls=1, talk_ms=2000)
        caller.wait(60)
        desk.read_until(b"Event: Hangup\r\nPrivilege: call,all\r\nChannel: PJSIP/sipp-", timeout=30)
        desk.drain(1)
        two_devices = bytes(desk.received[start:])
        desk.close()
    for name, text in (("originate", originate), ("twodevices", two_devices)):
        with open(os.path.join(DATA, f"asterisk{version}-{name}.txt"), "wb") as out:
            out.write(text)
        print(f"asterisk{version}-{name}.txt: {len(text)} bytes")


if __name__ == "__main__":
    for version in sys.argv[1:] or ["22", "20"]:
        record(version)
