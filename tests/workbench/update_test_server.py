#!/usr/bin/env python3
"""The update server for the workbench's tests. Prints its port, then serves until killed:
/<case>/<file> from the folder given as the first argument; "/slow/..." answers after 8 s,
a missing file is a 404 error page."""
import http.server
import os
import sys
import time

ROOT = sys.argv[1]


class Handler(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        if self.path.startswith("/slow/"):
            time.sleep(8)
        path = os.path.join(ROOT, self.path.lstrip("/"))
        if os.path.isfile(path):
            status, body = 200, open(path, "rb").read()
        else:
            status, body = 404, b"<html><body>Not Found</body></html>"
        self.send_response(status)
        self.send_header("Content-Type", "text/plain" if status == 200 else "text/html")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
print(server.server_address[1], flush=True)
server.serve_forever()
