#!/usr/bin/env python3
"""The MusicBrainz web service's discid request for the tests, on 127.0.0.1 at a free port.

Prints the port on its first line of output, then serves until it is killed.
GET /ws/2/discid/<id>?... answers ANSWERS/<id>.json as it is (200), or 404 with the service's
error JSON when there is no such file. ANSWERS/<id>.busy holding "N S" makes the first N
requests for the id get 503 with "Retry-After: S". Every request is appended to --log as
"<seconds since the server started> TAB <path> TAB <User-Agent>".
"""
import argparse
import os
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

args = None
start = time.monotonic()
busy_seen = {}


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"

    def log_message(self, *unused):
        pass

    def reply(self, code, body, headers=()):
        self.send_response(code)
        self.send_header("Content-Type", "application/json")
        self.send_header("Content-Length", str(len(body)))
        for name, value in headers:
            self.send_header(name, value)
        self.end_headers()
        self.wfile.write(body)

    def do_GET(self):
        with open(args.log, "a", encoding="utf-8") as log:
            log.write("%.3f\t%s\t%s\n" % (time.monotonic() - start, self.path,
                                          self.headers.get("User-Agent", "")))
        path = urllib.parse.urlsplit(self.path).path
        prefix = "/ws/2/discid/"
        discid = path[len(prefix):] if path.startswith(prefix) else ""
        if not discid or "/" in discid or discid.startswith("."):
            return self.reply(400, b'{"error": "Invalid discid."}')
        busy = os.path.join(args.answers, discid + ".busy")
        if os.path.isfile(busy):
            with open(busy) as f:
                count, seconds = f.read().split()
            seen = busy_seen.get(discid, 0)
            if seen < int(count):
                busy_seen[discid] = seen + 1
                return self.reply(503, b'{"error": "busy"}', [("Retry-After", seconds)])
        answer = os.path.join(args.answers, discid + ".json")
        if not os.path.isfile(answer):
            return self.reply(404, b'{"error": "Not Found"}')
        with open(answer, "rb") as f:
            self.reply(200, f.read())


def main():
    global args
    parser = argparse.ArgumentParser()
    parser.add_argument("--answers", required=True)
    parser.add_argument("--log", required=True)
    args = parser.parse_args()
    server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    print(server.server_address[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
