#!/usr/bin/env python3
"""HTTP and FTP servers on 127.0.0.1 for the transfer tests.

Serves one folder over both protocols on free ports and prints
"READY <http port> <ftp port>" once both listen. Stops when its standard input
closes (the test is done, or has died) or when its lifetime runs out, so it
never outlives a test run.

Beyond the files of the folder, the HTTP server answers:
  /status/<code>    that status, with a well-formed XML body
  /redirect/<path>  302 to /<path>
  /cut/<path>       200 promising 1000 bytes, then a few and a closed connection
  /echo             200 with "<request version>|<User-Agent>|<Authorization>"
The FTP server knows the user "shoal" (password "secret", full rights) and
anonymous users (read only).
"""

import argparse
import http.server
import logging
import os
import select
import sys
import threading
import time

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer

XML_BODY = b'<?xml version="1.0"?>\n<error/>\n'


def make_http_handler(root):
    class Handler(http.server.SimpleHTTPRequestHandler):
        def __init__(self, *args, **kwargs):
            super().__init__(*args, directory=root, **kwargs)

        def log_message(self, format, *args):
            pass

        def send_body(self, code, body, headers=()):
            self.send_response(code)
            self.send_header("Content-Type", "text/xml")
            self.send_header("Content-Length", str(len(body)))
            for name, value in headers:
                self.send_header(name, value)
            self.end_headers()
            self.wfile.write(body)

        def do_GET(self):
            path = self.path.split("?", 1)[0]
            if path.startswith("/status/"):
                self.send_body(int(path[len("/status/"):]), XML_BODY)
            elif path.startswith("/redirect/"):
                self.send_body(302, b"", [("Location", "/" + path[len("/redirect/"):])])
            elif path.startswith("/cut/"):
                self.send_response(200)
                self.send_header("Content-Length", "1000")
                self.end_headers()
                self.wfile.write(XML_BODY[:10])
                self.wfile.flush()
                self.close_connection = True
            elif path == "/echo":
                text = "%s|%s|%s" % (self.request_version, self.headers.get("User-Agent", ""),
                                     self.headers.get("Authorization", ""))
                self.send_body(200, text.encode("utf-8"))
            else:
                super().do_GET()

    return Handler


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--lifetime", type=float, default=120.0)
    args = parser.parse_args()
    root = os.path.abspath(args.root)

    logging.basicConfig(level=logging.ERROR)
    logging.getLogger("pyftpdlib").setLevel(logging.ERROR)

    httpd = http.server.ThreadingHTTPServer(("127.0.0.1", 0), make_http_handler(root))
    httpd.daemon_threads = True

    authorizer = DummyAuthorizer()
    authorizer.add_user("shoal", "secret", root, perm="elradfmwMT")
    authorizer.add_anonymous(root)
    # No pause after a failed login: the tests try one on purpose.
    handler = type("Handler", (FTPHandler,), {"authorizer": authorizer, "banner": "loopback",
                                              "auth_failed_timeout": 0})
    ftpd = FTPServer(("127.0.0.1", 0), handler)

    threading.Thread(target=httpd.serve_forever, daemon=True).start()
    threading.Thread(target=lambda: ftpd.serve_forever(timeout=0.2, handle_exit=False), daemon=True).start()

    print("READY %d %d" % (httpd.server_address[1], ftpd.address[1]), flush=True)

    deadline = time.monotonic() + args.lifetime
    while time.monotonic() < deadline:
        readable, _, _ = select.select([sys.stdin], [], [], 0.5)
        if readable and not sys.stdin.buffer.read1(4096):
            break
    # Leave at once: the sockets close with the process, and a server thread
    # that sits in a handler must not keep it alive.
    os._exit(0)


if __name__ == "__main__":
    main()
