#!/usr/bin/env python3
"""An RFC 3161 time-stamp authority on 127.0.0.1 for the signing test: each POSTed query is answered by
`openssl ts -reply` with the throwaway authority of CONFIG. Writes the port it listens on to PORT_FILE, and
stops by itself after a few minutes or a few dozen requests, whichever comes first.

    timestamp-authority.py CONFIG PORT_FILE"""
import http.server
import os
import subprocess
import sys
import tempfile
import time

config, port_file = sys.argv[1:3]
LIFETIME_SECONDS, MOST_REQUESTS = 300, 40


class Authority(http.server.BaseHTTPRequestHandler):
    answered = 0

    def do_POST(self):
        Authority.answered += 1
        query = self.rfile.read(min(int(self.headers.get("Content-Length", 0)), 65536))
        with tempfile.TemporaryDirectory() as scratch:
            with open(os.path.join(scratch, "query.tsq"), "wb") as written:
                written.write(query)
            made = subprocess.run(["openssl", "ts", "-reply", "-config", config, "-queryfile",
                                   os.path.join(scratch, "query.tsq"), "-out", os.path.join(scratch, "reply.tsr")],
                                  capture_output=True)
            if made.returncode != 0:
                sys.stderr.write(made.stderr.decode(errors="replace"))
                self.send_error(500)
                return
            with open(os.path.join(scratch, "reply.tsr"), "rb") as reply:
                body = reply.read()
        self.send_response(200)
        self.send_header("Content-Type", "application/timestamp-reply")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *arguments):
        pass


server = http.server.HTTPServer(("127.0.0.1", 0), Authority)
server.timeout = 1
with open(port_file + ".new", "w", encoding="ascii") as written:
    written.write(str(server.server_address[1]))
os.replace(port_file + ".new", port_file)
ends = time.monotonic() + LIFETIME_SECONDS
while time.monotonic() < ends and Authority.answered < MOST_REQUESTS:
    server.handle_request()
server.server_close()
