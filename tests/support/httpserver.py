#!/usr/bin/env python3
"""A small HTTP/1.0 server for the HTTP client's tests: the files of a folder,
plus relocations, a loop, a page behind Basic credentials, an echo of posted
bodies and a stall. Listens on 127.0.0.1, on a port chosen by the system, and
prints "PORT <n>" once it listens."""
import base64
import http.server
import sys
import time


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
