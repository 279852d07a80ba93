#!/usr/bin/env python3
"""A small HTTP/1.0 server for the HTTP client's tests: the files of a folder,
plus relocations, a loop, a page behind Basic credentials, an echo of posted
bodies and a stall, and hostile answers under a first path segment of their
own (see HOSTILE). Listens on 127.0.0.1, on a port chosen by the system,
prints "PORT <n>" once it listens and then "GET <path>" for every request."""
import base64
import http.server
import socket
import struct
import sys
import time
import urllib.parse

# Bounds that keep a hostile answer from running for ever against a client
# that does not defend itself.
ENDLESS_HEADER_BYTES = 64 << 20
TRICKLE_SECONDS = 600


def echo(handler):
    """The request as it came: its line and its header lines."""
    handler.answer(200, (handler.requestline + "\r\n" + str(handler.headers)).encode("latin-1"))


def elsewhere(handler):
    """A relocation to the echo of the port given as ?to=<port>."""
    query = urllib.parse.parse_qs(urllib.parse.urlsplit(handler.path).query)
    handler.relocate(302, "http://127.0.0.1:%s/echo" % query["to"][0])


def same_site(handler):
    handler.relocate(302, "http://127.0.0.1:%d/echo" % handler.server.server_port)


def raw(handler, data):
    handler.wfile.write(data)
    handler.wfile.flush()
    handler.close_connection = True


def endless_header(handler):
    raw(handler, b"HTTP/1.0 200 OK\r\n")
    line = b"X-Filler: " + b"x" * 1000 + b"\r\n"
    for _ in range(ENDLESS_HEADER_BYTES // len(line)):
        handler.wfile.write(line)


def trickle(handler):
    """A status line, then one byte of the document a second."""
    raw(handler, b"HTTP/1.0 200 OK\r\n\r\n")
    for _ in range(TRICKLE_SECONDS):
        raw(handler, b"0")
        time.sleep(1)


def short(handler):
    raw(handler, b"HTTP/1.0 200 OK\r\nContent-Length: 1000\r\n\r\n0123=Neuf\r")


def reset(handler):
    raw(handler, b"HTTP/1.0 200 OK\r\nContent-Length: 1000\r\n\r\n0123=Neuf\r")
    time.sleep(0.2)
    # Linger 0: the close sends a reset instead of the end of the stream.
    handler.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
    handler.connection.close()


def huge(handler):
    """A list of 33 MiB, whole and with its length."""
    line = b"0" * 1023 + b"\n"
    count = 33 << 10
    raw(handler, b"HTTP/1.0 200 OK\r\nContent-Length: %d\r\n\r\n" % (count * len(line)))
    for _ in range(count):
        handler.wfile.write(line)


HOSTILE = {
    "echo": echo,
    "elsewhere": elsewhere,
    "same-site": same_site,
    "control-cr": lambda h: h.relocate(302, "/echo\rX-Injected: yes"),
    "control-del": lambda h: h.relocate(302, "/echo\x7f"),
    "endless-header": endless_header,
    "trickle": trickle,
    "error-page": lambda h: h.answer(500, b"<html>Erreur interne</html>\n"),
    "short": short,
    "reset": reset,
    "no-status": lambda h: raw(h, b"0123=Neuf\r\n"),
    "huge": huge,
}


class Handler(http.server.SimpleHTTPRequestHandler):
    routes = {
        "/rooted": (302, "/files/list.txt"),
        "/loop": (302, "/loop"),
        "/bare/start": (302, "list.txt"),
    }

    def log_message(self, *args):
        pass

    def relocate(self, status, target):
        self.send_response(status)
        self.send_header("Location", target)
        self.send_header("Content-Length", "0")
        self.end_headers()

    def answer(self, status, body):
        self.send_response(status)
        self.send_header("Content-Type", "text/plain")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(body)

    def do_GET(self):
        print("GET " + self.path, flush=True)
        kind = urllib.parse.urlsplit(self.path).path.split("/")[1]
        if kind in HOSTILE:
            try:
                return HOSTILE[kind](self)
            except (BrokenPipeError, ConnectionResetError):
                return
        if self.path in self.routes:
            return self.relocate(*self.routes[self.path])
        if self.path == "/absolute":
            return self.relocate(301, "http://127.0.0.1:%d/files/list.txt" % self.server.server_port)
        if self.path == "/private":
            expected = "Basic " + base64.b64encode(b"agent:s3cret").decode()
            if self.headers.get("Authorization") != expected:
                return self.answer(401, b"who are you?\n")
            return self.answer(200, b"welcome\n")
        if self.path == "/stall":
            time.sleep(60)
            return
        return super().do_GET()

    def do_HEAD(self):
        if self.path.startswith("/files/"):
            return super().do_HEAD()
        return self.do_GET()

    def do_POST(self):
        body = self.rfile.read(int(self.headers.get("Content-Length", "0")))
        self.answer(200, b"posted:" + body)


def main():
    directory = sys.argv[1]
    server = http.server.ThreadingHTTPServer(
        ("127.0.0.1", 0), lambda *a, **k: Handler(*a, directory=directory, **k))
    server.daemon_threads = True
    print("PORT %d" % server.server_port, flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
