#!/usr/bin/env python3
"""Serves the demo agenda on loopback, like `python3 -m http.server`, but with
the agenda pages sent as HTML (the plain server sends ".pl" files as Perl text,
which browsers do not render). The name lists stay plain text.

Usage: serve.py [--port N] [--bind ADDRESS]
The first line on standard output is "listening on N" with the port in use
(useful with --port 0, which picks a free one)."""

import argparse
import functools
import http.server
import os
import signal
import sys


class AgendaHandler(http.server.SimpleHTTPRequestHandler):
    def guess_type(self, path):
        if path.endswith(".pl"):
            if "/cgi-bin/agenda/" in path.replace(os.sep, "/"):
                return "text/html; charset=windows-1252"
            return "text/plain; charset=windows-1252"
        return super().guess_type(path)

    def log_message(self, format, *args):
        sys.stderr.write("%s - %s\n" % (self.address_string(), format % args))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--port", type=int, default=8080)
    parser.add_argument("--bind", default="127.0.0.1")
    arguments = parser.parse_args()
    root = os.path.dirname(os.path.abspath(__file__))
    handler = functools.partial(AgendaHandler, directory=root)
    server = http.server.ThreadingHTTPServer((arguments.bind, arguments.port), handler)
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    print("listening on %d" % server.server_address[1], flush=True)
    try:
        server.serve_forever()
    except (KeyboardInterrupt, SystemExit):
        pass
    finally:
        server.server_close()


if __name__ == "__main__":
    main()
