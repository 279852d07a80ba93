"""A real Asterisk on loopback with sipp phones, for the benchmarks and for
recording manager transcripts.

Asterisk comes from the archives in /work/shared/asterisk (or CORVALINE_ASTERISK_DIR),
unpacked once into a temporary folder. Every port is chosen at run time.
Phones are sipp instances that answer (or only ring) on a port of their own;
the dialplan context "from-internal" dials them:

  1XX, 2XX, 3XX  Dial(${PJSIP_DIAL_CONTACTS(<exten>)}) after a short dialplan
                 (a few Set, as an office dialplan runs), so an AOR with two
                 contacts rings both devices; on 2XX the dialplan hangs up 2 s
                 after the answer.
  any call from the endpoint "sipp" (the caller sipp) gets the caller id
  0612345678 / "0491234500:Dupont".
"""

import os
import shutil
import socket
import subprocess
import tarfile
import tempfile
import textwrap
import time

ARCHIVES = os.environ.get("CORVALINE_ASTERISK_DIR", "/work/shared/asterisk")
VERSIONS = {"22": "22.10.1", "20": "20.20.1"}
# The names the phones' own caller ids carry (the others: "Bureau").
PHONE_NAMES = {"100": "Accueil", "201": "Martin"}


def free_port(kind=socket.SOCK_STREAM):
    with socket.socket(socket.AF_INET, kind) as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def unpacked(version, into):
    full = VERSIONS[version]
    prefix = os.path.join(into, f"asterisk-{full}")
    if not os.path.isdir(prefix):
        with tarfile.open(os.path.join(ARCHIVES, f"asterisk-{full}-linux-x86_64.tar.xz")) as archive:
            archive.extractall(into)
    return prefix


def response(status, new_dialog=True, cseq="[last_CSeq:]", sdp_version=None, retransmit=False):
    """One <send> of a sipp phone: a response to the last request, with an
    SDP offer of PCMU when sdp_version is given."""
    to_tag = ";tag=[pid]SIPpTag01[call_number]" if new_dialog else ""
    lines = [f"SIP/2.0 {status}", "[last_Via:]", "[last_From:]", f"[last_To:]{to_tag}", "[last_Call-ID:]", cseq]
    if sdp_version is not None or status.startswith("180"):
        lines.append("Contact: <sip:[local_ip]:[local_port];transport=[transport]>")
    if sdp_version is None:
        lines += ["Content-Length: 0", ""]
    else:
        lines += ["Content-Type: application/sdp", "Content-Length: [len]", "", "v=0",
                  f"o=user1 53655765 {sdp_version} IN IP[local_ip_type] [local_ip]", "s=-",
                  "c=IN IP[media_ip_type] [media_ip]", "t=0 0", "m=audio [media_port] RTP/AVP 0",
                  "a=rtpmap:0 PCMU/8000", ""]
    attributes = ' retrans="500"' if retransmit else ""
    return f"  <send{attributes}><![CDATA[\n" + "\n".join(lines) + "\n]]></send>\n"


def scenario(name, body):
    return f'<?xml version="1.0" encoding="ISO-8859-1" ?>\n<scenario name="{name}">\n{body}</scenario>\n'


def answering_phone(ring_ms):
    return scenario("answering phone",
                    '  <recv request="INVITE" crlf="true"/>\n' + response("180 Ringing") +
                    f'  <pause milliseconds="{ring_ms}"/>\n' +
                    response("200 OK", sdp_version=2353687637, retransmit=True) +
                    '  <recv request="ACK" crlf="true"/>\n'
                    "  <!-- Asterisk may offer the media again during the call. -->\n"
                    '  <label id="talk"/>\n'
                    '  <recv request="INVITE" optional="true" next="again"/>\n'
                    '  <recv request="BYE" next="end"/>\n'
                    '  <label id="again"/>\n' +
                    response("200 OK", new_dialog=False, sdp_version=2353687638, retransmit=True) +
                    '  <recv request="ACK" next="talk"/>\n'
                    '  <label id="end"/>\n' + response("200 OK", new_dialog=False))


# Rings until the call is taken elsewhere or given up.
RINGING_PHONE = scenario("ringing phone",
                         '  <recv request="INVITE" crlf="true"/>\n' + response("180 Ringing") +
                         '  <recv request="CANCEL"/>\n' + response("200 OK") +
                         response("487 Request Terminated", cseq="CSeq: [cseq] INVITE") +
                         '  <recv request="ACK"/>\n')


class Phone:
    def __init__(self, extension, port, behaviour, ring_ms):
        self.extension = extension
        self.port = port
        self.behaviour = behaviour
        self.ring_ms = ring_ms
        self.process = None


class Pbx:
    """One Asterisk (version "22" or "20") with its phones.

    phones: extension -> list of (behaviour, ring_ms) per device, behaviour
    "answer" or "ring". managers: user name -> write classes."""

    def __init__(self, version, phones, managers, work=None):
        self.version = version
        self.work = work or tempfile.mkdtemp(prefix=f"corvaline-pbx{version}-")
        self.prefix = unpacked(version, os.path.join(tempfile.gettempdir(), "corvaline-asterisk"))
        self.run = os.path.join(self.work, "run")
        self.etc = os.path.join(self.run, "etc")
        self.ami_port = free_port()
        self.sip_port = free_port(socket.SOCK_DGRAM)
        self.caller_port = free_port(socket.SOCK_DGRAM)
        self.managers = managers
        self.phones = [Phone(ext, free_port(socket.SOCK_DGRAM), behaviour, ring_ms)
                       for ext, devices in phones.items() for behaviour, ring_ms in devices]
        self.process = None
        self.callers = []

    @property
    def conf(self):
        return os.path.join(self.etc, "asterisk.conf")

    def write_configuration(self):
        for folder in ("etc", "lib", "db", "keys", "data", "agi", "spool", "rundir", "log"):
            os.makedirs(os.path.join(self.run, folder), exist_ok=True)
        files = {
            "asterisk.conf": f"""
                [directories]
                astetcdir = {self.etc}
                astmoddir = {self.prefix}/lib/asterisk/modules
                astvarlibdir = {self.run}/lib
                astdbdir = {self.run}/db
                astkeydir = {self.run}/keys
                astdatadir = {self.run}/data
                astagidir = {self.run}/agi
                astspooldir = {self.run}/spool
                astrundir = {self.run}/rundir
                astlogdir = {self.run}/log
                [options]
                runuser =
                rungroup =
                """,
            "modules.conf": """
                [modules]
                autoload = yes
                noload = chan_sip.so
                noload = res_pjsip_phoneprov.so
                noload = res_http_websocket.so
                noload = res_ari.so
                noload = chan_iax2.so
                noload = chan_unistim.so
                noload = chan_mgcp.so
                noload = chan_skinny.so
                noload = res_hep.so
                noload = cdr_csv.so
                noload = res_stasis_device_state.so
                noload = pbx_dundi.so
                """,
            "logger.conf": "[logfiles]\nmessages => error,warning\n",
            "rtp.conf": "[general]\nrtpstart = 30000\nrtpend = 40000\n",
            "manager.conf": "[general]\nenabled = yes\nport = %d\nbindaddr = 127.0.0.1\n" % self.ami_port +
                            "".join(f"[{user}]\nsecret = {user}\nread = all\nwrite = {write}\n"
                                    for user, write in self.managers.items()),
            "pjsip.conf": self.pjsip_conf(),
            "extensions.conf": """
                [from-internal]
                exten => _[13]XX,1,Gosub(office,s,1)
                 same => n,Dial(${PJSIP_DIAL_CONTACTS(${EXTEN})},30)
                 same => n,Hangup()
                exten => _2XX,1,Gosub(office,s,1)
                 same => n,Dial(${PJSIP_DIAL_CONTACTS(${EXTEN})},30,S(2))
                 same => n,Hangup()

                [office]
                exten => s,1,NoOp(office call)
                 same => n,Set(__OFFICE_LINE=0491234500)
                 same => n,Set(CDR(userfield)=office)
                 same => n,Set(TIMEOUT(absolute)=600)
                 same => n,Return()
                """,
        }
        for name, text in files.items():
            with open(os.path.join(self.etc, name), "w") as out:
                out.write(textwrap.dedent(text).lstrip())

    def pjsip_conf(self):
        text = f"""
            [udp]
            type = transport
            protocol = udp
            bind = 127.0.0.1:{self.sip_port}

            [sipp]
            type = endpoint
            context = from-internal
            disallow = all
            allow = ulaw
            send_connected_line = no
            direct_media = no
            callerid = "0491234500:Dupont" <0612345678>
            """
        by_extension = {}
        for phone in self.phones:
            by_extension.setdefault(phone.extension, []).append(phone)
        for extension, devices in by_extension.items():
            contacts = "".join(f"contact = sip:{extension}@127.0.0.1:{d.port}\n            " for d in devices)
            text += f"""
            [{extension}]
            type = aor
            {contacts}
            [{extension}]
            type = endpoint
            context = from-internal
            disallow = all
            allow = ulaw
            aors = {extension}
            send_connected_line = no
            direct_media = no
            callerid = "{PHONE_NAMES.get(extension, 'Bureau')}" <{extension}>
            """
        return text

    def start(self):
        self.write_configuration()
        environment = dict(os.environ, LD_LIBRARY_PATH=os.path.join(self.prefix, "lib"))
        self.environment = environment
        self.log = open(os.path.join(self.work, "asterisk.log"), "w")
        self.process = subprocess.Popen([os.path.join(self.prefix, "sbin", "asterisk"), "-f", "-n", "-C", self.conf],
                                        stdin=subprocess.DEVNULL, stdout=self.log, stderr=subprocess.STDOUT,
                                        env=environment)
        deadline = time.monotonic() + 60
        while True:
            done = subprocess.run([os.path.join(self.prefix, "sbin", "asterisk"), "-C", self.conf, "-rx",
                                   "core waitfullybooted"], env=environment, capture_output=True, timeout=60)
            if done.returncode == 0:
                break
            if time.monotonic() > deadline or self.process.poll() is not None:
                raise RuntimeError("Asterisk did not start; see " + self.log.name)
            time.sleep(0.2)
        for phone in self.phones:
            self.start_phone(phone)
        return self

    def start_phone(self, phone):
        scenario = os.path.join(self.work, f"phone-{phone.extension}-{phone.port}.xml")
        with open(scenario, "w") as out:
            out.write(answering_phone(phone.ring_ms) if phone.behaviour == "answer" else RINGING_PHONE)
        phone.process = subprocess.Popen(
            ["sipp", "-sf", scenario, "-i", "127.0.0.1", "-p", str(phone.port), "-ci", "127.0.0.1",
             "-cp", str(free_port(socket.SOCK_DGRAM)), "-mp", str(free_port(socket.SOCK_DGRAM)),
             "-aa", "-nostdin", "-trace_err", "-error_file",
             os.path.join(self.work, f"phone-{phone.port}.err")],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, cwd=self.work)

    def call(self, extension, calls=1, rate_per_s=10, talk_ms=2000, limit=None):
        """Places calls from the caller sipp to an extension; returns its process."""
        caller = subprocess.Popen(
            ["sipp", "-sn", "uac", "-s", extension, f"127.0.0.1:{self.sip_port}", "-i", "127.0.0.1",
             "-p", str(free_port(socket.SOCK_DGRAM)), "-ci", "127.0.0.1",
             "-cp", str(free_port(socket.SOCK_DGRAM)), "-mp", str(free_port(socket.SOCK_DGRAM)),
             "-m", str(calls), "-r", str(rate_per_s), "-l", str(limit or calls), "-d", str(talk_ms),
             "-aa", "-nostdin", "-timeout", "120s", "-trace_err", "-error_file",
             os.path.join(self.work, "caller.err")],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, cwd=self.work)
        self.callers.append(caller)
        return caller

    def stop(self):
        for process in self.callers + [p.process for p in self.phones]:
            if process and process.poll() is None:
                process.terminate()
                try:
                    process.wait(5)
                except subprocess.TimeoutExpired:
                    process.kill()
        if self.process and self.process.poll() is None:
            subprocess.run([os.path.join(self.prefix, "sbin", "asterisk"), "-C", self.conf, "-rx", "core stop now"],
                           env=self.environment, capture_output=True, timeout=30)
            try:
                self.process.wait(15)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        if self.process:
            self.log.close()

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()
        shutil.rmtree(self.work, ignore_errors=True)


class ManagerClient:
    """A plain manager session that records every byte it receives."""

    def __init__(self, port, user):
        self.sock = socket.create_connection(("127.0.0.1", port), timeout=30)
        self.received = bytearray()
        self.read_until(b"\r\n")
        self.send("Login", Username=user, Secret=user)
        self.read_until(b"Authentication accepted")

    def send(self, action, **headers):
        text = f"Action: {action}\r\n" + "".join(f"{k}: {v}\r\n" for k, v in headers.items()) + "\r\n"
        self.sock.sendall(text.encode())

    def read_until(self, marker, timeout=30):
        deadline = time.monotonic() + timeout
        while marker not in self.received:
            self.sock.settimeout(max(0.01, deadline - time.monotonic()))
            try:
                data = self.sock.recv(65536)
            except socket.timeout:
                raise TimeoutError(f"no {marker!r} from the manager")
            if not data:
                raise ConnectionError("the manager closed the session")
            self.received += data

    def drain(self, seconds):
        """Reads what comes during that many seconds."""
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            self.sock.settimeout(max(0.01, deadline - time.monotonic()))
            try:
                data = self.sock.recv(65536)
            except socket.timeout:
                break
            if not data:
                break
            self.received += data

    def close(self):
        self.sock.close()
