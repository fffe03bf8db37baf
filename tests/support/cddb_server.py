#!/usr/bin/env python3
"""A freedb-protocol HTTP server for the tests, on 127.0.0.1 at a free port.

Commands are answered at the script path only (--script, default /~cddb/cddb.cgi). A request
without a "cmd" is a plain file request: FILES/<path> as it is, or 404; so is a command sent
to another path.

Prints the port on its first line of output, then serves until it is killed. Entries are
files ENTRIES/<category>/<discid> in UTF-8. Every request line is appended to --log, so a test
can see what reached the server (also as a proxy: a request for a full URL is answered as if
this server were the one named in it).

--mode normal  query: 200 for one entry of the disc id, 210 for several, 202 for none
       211     the same matches as an inexact list
       403|500 every query refused with that code
       hang    never answers
       garbage binary bytes and 100 kB lines, no status line, no terminator
--delay S      waits S seconds before each answer
--script PATH  the path of the query script
--proto5       knows protocol level 5 only: level 6 is refused with 501, entries go out in Latin-1
"""
import argparse
import os
import random
import sys
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

args = None


def matches_of(discid):
    found = []
    for category in sorted(os.listdir(args.entries)):
        if os.path.isfile(os.path.join(args.entries, category, discid)):
            found.append(category)
    return found


def title_of(category, discid):
    with open(os.path.join(args.entries, category, discid), encoding="utf-8", errors="replace") as f:
        for line in f:
            if line.startswith("DTITLE="):
                return line[7:].rstrip("\r\n")
    return ""


def answer(query):
    words = query.get("cmd", [""])[0].split(" ")
    level = int(query.get("proto", ["1"])[0] or 1)
    if args.proto5 and level > 5:
        return "501 Illegal protocol level.\r\n", level
    if "hello" not in query:
        return "409 No handshake\r\n", level
    if words[:2] == ["cddb", "query"] and len(words) >= 4:
        if args.mode in ("403", "500"):
            return args.mode + " Refused for this test\r\n", level
        discid = words[2]
        found = matches_of(discid)
        if not found:
            return "202 No match found\r\n", level
        lines = ["%s %s %s" % (c, discid, title_of(c, discid)) for c in found]
        if len(found) == 1 and args.mode != "211":
            return "200 " + lines[0] + "\r\n", level
        code = "211 Found inexact matches" if args.mode == "211" else "210 Found exact matches"
        return code + ", list follows (until terminating `.')\r\n" + "".join(
            l + "\r\n" for l in lines) + ".\r\n", level
    if words[:2] == ["cddb", "read"] and len(words) == 4:
        path = os.path.join(args.entries, words[2], words[3])
        if "/" in words[2] + words[3] or not os.path.isfile(path):
            return "401 %s %s No such CD entry in database.\r\n" % (words[2], words[3]), level
        with open(path, encoding="utf-8") as f:
            body = f.read()
        return "210 %s %s CD database entry follows (until terminating `.')\r\n%s.\r\n" % (
            words[2], words[3], body if body.endswith("\n") else body + "\n"), level
    return "500 Unrecognized command\r\n", level


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"

    def log_message(self, *unused):
        pass

    def do_GET(self):
        if args.log:
            with open(args.log, "a", encoding="utf-8") as log:
                log.write(self.path + "\n")
        if args.mode == "hang":
            time.sleep(3600)
            return
        time.sleep(args.delay)
        url = urllib.parse.urlsplit(self.path)
        query = urllib.parse.parse_qs(url.query)
        if "cmd" not in query or url.path != args.script:
            self.send_file(url.path)
            return
        if args.mode == "garbage":
            rnd = random.Random(7)
            body = bytes(rnd.randrange(256) for _ in range(5000)) + b"x" * 100000 + b"\r\n" * 3
        else:
            text, level = answer(query)
            body = text.encode("latin-1", "replace") if level < 6 else text.encode("utf-8")
        self.send_body(body)

    def send_body(self, body, status=200):
        self.send_response(status)
        self.send_header("Content-Type", "text/plain")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def send_file(self, path):
        name = os.path.normpath(os.path.join(args.files, path.lstrip("/")))
        if not name.startswith(args.files + os.sep) or not os.path.isfile(name):
            self.send_body(b"Not found\r\n", 404)
            return
        with open(name, "rb") as f:
            self.send_body(f.read())


def main():
    global args
    parser = argparse.ArgumentParser()
    parser.add_argument("--entries", required=True)
    parser.add_argument("--files", required=True)
    parser.add_argument("--mode", default="normal",
                        choices=["normal", "211", "403", "500", "hang", "garbage"])
    parser.add_argument("--delay", type=float, default=0)
    parser.add_argument("--proto5", action="store_true")
    parser.add_argument("--log")
    parser.add_argument("--script", default="/~cddb/cddb.cgi")
    args = parser.parse_args()
    server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    print(server.server_address[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
