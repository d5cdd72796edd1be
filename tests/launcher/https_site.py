#!/usr/bin/python3
"""A small HTTPS web site for the launcher's tests, on 127.0.0.1 only.

usage: https_site.py CERT KEY ROOT

Serves the files below ROOT. ROOT/routes.json, read at every request, may
give a path special behaviour:
  {"/a": {"status": 302, "location": "https://..."},   redirect
   "/b": {"status": 404},                               error status
   "/c": {"stall": true},                               accept, then never answer
   "/d": {"file": "setup.bin", "chunk": 4096, "pause": 0.1},  drip-feed a file
   "/e": {"file": "setup.bin", "truncate": 100},        promise the whole file, send 100 bytes, hang up
   "/f": {"zeros": 500000}}                             a body of zero bytes, made as it is sent
Prints "PORT <n>" on its first line once it listens; every request path is
appended to ROOT/requests.log.
"""
import http.server
import json
import os
import ssl
import sys
import time

CERT, KEY, ROOT = sys.argv[1:4]


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def routes(self):
        try:
            with open(os.path.join(ROOT, "routes.json")) as f:
                return json.load(f)
        except FileNotFoundError:
            return {}

    def do_GET(self):
        path = self.path.split("?")[0]
        with open(os.path.join(ROOT, "requests.log"), "a") as log:
            log.write(self.path + "\n")
        route = self.routes().get(path, {})
        if route.get("stall"):
            time.sleep(60)
            return
        status = route.get("status", 200)
        if status != 200:
            self.send_response(status)
            if "location" in route:
                self.send_header("Location", route["location"])
            self.send_header("Content-Length", "0")
            self.end_headers()
            return
        if "zeros" in route:
            self.send_body(route, route["zeros"], lambda n: bytes(n))
            return
        name = route.get("file", path.lstrip("/"))
        full = os.path.realpath(os.path.join(ROOT, name))
        if not full.startswith(os.path.realpath(ROOT) + os.sep) or not os.path.isfile(full):
            self.send_response(404)
            self.send_header("Content-Length", "0")
            self.end_headers()
            return
        with open(full, "rb") as f:
            self.send_body(route, os.path.getsize(full), f.read)

    def send_body(self, route, size, read):
        """Sends size bytes from read(n), in pieces, so that huge bodies need no memory."""
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", str(size))
        self.end_headers()
        if "truncate" in route:
            size = min(size, route["truncate"])
            self.close_connection = True
        chunk = route.get("chunk", 1 << 20)
        sent = 0
        while sent < size:
            piece = read(min(chunk, size - sent))
            if not piece:
                break
            self.wfile.write(piece)
            self.wfile.flush()
            sent += len(piece)
            time.sleep(route.get("pause", 0))


context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
context.load_cert_chain(CERT, KEY)
server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
server.daemon_threads = True
server.socket = context.wrap_socket(server.socket, server_side=True)
print("PORT", server.server_address[1], flush=True)
server.serve_forever()
