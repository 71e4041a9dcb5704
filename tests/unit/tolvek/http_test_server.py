#!/usr/bin/env python3
"""A tiny local HTTP server for the downloader tests. Prints its port, then serves until
killed: /text, /png, /json, /redirect (to /text) and /slow (answers after 30 s)."""
import http.server
import sys
import time


class Handler(http.server.BaseHTTPRequestHandler):
    def answer(self, status, ctype, body, extra=()):
        self.send_response(status)
        if ctype:
            self.send_header("Content-Type", ctype)
        for k, v in extra:
            self.send_header(k, v)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def do_GET(self):
        if self.path.startswith("/text"):
            self.answer(200, "text/plain; charset=utf-8", "build 4711 ä\n?q=" .encode() + self.path.encode())
        elif self.path == "/png":
            self.answer(200, "image/png", b"\x89PNG\r\n\x1a\n")
        elif self.path == "/json":
            self.answer(200, "application/json", b'{"a": 1}')
        elif self.path == "/redirect":
            self.answer(302, None, b"", [("Location", "/text")])
        elif self.path == "/slow":
            time.sleep(30)
            self.answer(200, "text/plain", b"late")
        else:
            self.answer(404, "text/plain", b"no")

    def log_message(self, *args):
        pass


server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
print(server.server_address[1], flush=True)
server.serve_forever()
