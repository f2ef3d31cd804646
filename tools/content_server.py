#!/usr/bin/env python3
"""Local HTTP/1.1 content server for tests.

Serves the files below --root on 127.0.0.1 (over https with --tls-cert and
--tls-key) and lets a test inject faults
per URL path through a JSON rules file that is re-read on every request:

    {"/game/main.swf": {"cut": 1000},
     "/config.xml":    {"delay_ms": 1500},
     "/old.swf":       {"redirect": "/game/main.swf"},
     "/missing":       {"status": 404}}

status    answer with this status and a short text body instead of the file
cut       announce the full Content-Length but send only the first N bytes
          of the body, then drop the connection
delay_ms  wait this long before answering (combines with the others)
redirect  302 (or "status", if given) with this Location
silent    true: take the request and never answer, until the client hangs up
stall     announce the full Content-Length, send only the first N bytes of
          the body, then send nothing more until the client hangs up
chunk_ms  send the body in 4 KiB pieces this many milliseconds apart
trickle_ms  send the body one byte at a time, this many milliseconds apart
chunked_cut send the body with chunked transfer coding, only its first N
          bytes, then drop the connection before the last (empty) chunk

Keys are URL paths after percent-decoding, without the query string. The
rules file should be replaced atomically (write a temp file, rename); a
file that does not parse, or a rule with an unknown key, answers 500 so
that a broken test set-up does not pass as a server fault.

The log (--log) gets "METHOD PATH STATUS" for every answered request and
"sent PATH BYTES" once a file's whole body has gone out, so a test can tell
a download that ran to its end from one the client gave up.
"""
import argparse
import http.server
import json
import mimetypes
import os
import signal
import ssl
import sys
import tempfile
import threading
import time
import urllib.parse

EXTRA_TYPES = {
    ".swf": "application/x-shockwave-flash",
    ".xml": "text/xml",
    ".json": "application/json",
}
RULE_KEYS = {"status", "cut", "delay_ms", "redirect", "silent", "stall", "chunk_ms", "trickle_ms",
             "chunked_cut"}
# A held connection is let go after this long, whatever the client does.
HOLD_SECONDS = 600


class RuleError(Exception):
    pass


def load_rules(path):
    if path is None:
        return {}
    try:
        with open(path, encoding="utf-8") as f:
            text = f.read()
    except FileNotFoundError:
        # A test may start without rules and add them later.
        return {}
    try:
        rules = json.loads(text) if text.strip() else {}
    except ValueError as exc:
        raise RuleError(f"rules file {path}: {exc}") from None
    if not isinstance(rules, dict):
        raise RuleError(f"rules file {path}: top level must be an object")
    return rules


def check_rule(url_path, rule):
    if not isinstance(rule, dict):
        raise RuleError(f"rule for {url_path}: must be an object")
    unknown = set(rule) - RULE_KEYS
    if unknown:
        raise RuleError(f"rule for {url_path}: unknown keys {sorted(unknown)}")

    def is_int(v):
        return isinstance(v, int) and not isinstance(v, bool)

    if "status" in rule and not (is_int(rule["status"]) and 100 <= rule["status"] <= 599):
        raise RuleError(f"rule for {url_path}: status must be 100..599")
    if "cut" in rule and not (is_int(rule["cut"]) and rule["cut"] >= 0):
        raise RuleError(f"rule for {url_path}: cut must be an integer >= 0")
    if "delay_ms" in rule and not (
        isinstance(rule["delay_ms"], (int, float))
        and not isinstance(rule["delay_ms"], bool)
        and rule["delay_ms"] >= 0
    ):
        raise RuleError(f"rule for {url_path}: delay_ms must be >= 0")
    if "redirect" in rule and not isinstance(rule["redirect"], str):
        raise RuleError(f"rule for {url_path}: redirect must be a string")
    if "silent" in rule and rule["silent"] is not True:
        raise RuleError(f"rule for {url_path}: silent must be true")
    if "stall" in rule and not (is_int(rule["stall"]) and rule["stall"] >= 0):
        raise RuleError(f"rule for {url_path}: stall must be an integer >= 0")
    for key in ("chunk_ms", "trickle_ms", "chunked_cut"):
        if key in rule and not (is_int(rule[key]) and rule[key] >= 0):
            raise RuleError(f"rule for {url_path}: {key} must be an integer >= 0")
    return rule


def resolve(root, url_path):
    """Returns the file for url_path, or None if it is outside root.

    Any '..' segment is refused outright, even one that would stay inside
    root, and the resolved path must still lie below root so that symlinks
    cannot lead out either.
    """
    parts = [p for p in url_path.split("/") if p not in ("", ".")]
    if any(p == ".." or "\\" in p or "\0" in p for p in parts):
        return None
    candidate = os.path.realpath(os.path.join(root, *parts))
    if candidate != root and not candidate.startswith(root + os.sep):
        return None
    # A folder is answered by its index page, as a web server does for the
    # login page's address ending in "/".
    if os.path.isdir(candidate) and os.path.isfile(os.path.join(candidate, "index.html")):
        return os.path.join(candidate, "index.html")
    return candidate


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "ContentServer/1"

    def do_GET(self):
        self.answer(with_body=True)

    def do_HEAD(self):
        self.answer(with_body=False)

    def answer(self, with_body):
        url_path = urllib.parse.unquote(urllib.parse.urlsplit(self.path).path)
        try:
            rule = load_rules(self.server.rules_file).get(url_path)
            if rule is not None:
                check_rule(url_path, rule)
        except RuleError as exc:
            print(f"content_server: {exc}", file=sys.stderr, flush=True)
            self.send_text(500, f"{exc}\n", with_body)
            return
        rule = rule or {}

        if "delay_ms" in rule:
            time.sleep(rule["delay_ms"] / 1000.0)

        if rule.get("silent"):
            self.hold()
            return

        if "redirect" in rule:
            self.send_response(rule.get("status", 302))
            self.send_header("Location", rule["redirect"])
            self.send_header("Content-Length", "0")
            self.end_headers()
            return

        if "status" in rule:
            self.send_text(rule["status"], f"{rule['status']}\n", with_body, rule.get("cut"))
            return

        target = resolve(self.server.root, url_path)
        if target is None:
            self.send_text(403, "forbidden\n", with_body)
            return
        if not os.path.isfile(target):
            self.send_text(404, "not found\n", with_body)
            return
        try:
            f = open(target, "rb")
        except OSError:
            self.send_text(404, "not found\n", with_body)
            return
        with f:
            size = os.fstat(f.fileno()).st_size
            ctype = (
                EXTRA_TYPES.get(os.path.splitext(target)[1].lower())
                or mimetypes.guess_type(target)[0]
                or "application/octet-stream"
            )
            self.send_response(200)
            self.send_header("Content-Type", ctype)
            if "chunked_cut" in rule:
                self.send_header("Transfer-Encoding", "chunked")
                self.end_headers()
                if with_body:
                    body = f.read(min(rule["chunked_cut"], size))
                    self.wfile.write(f"{len(body):x}\r\n".encode() + body + b"\r\n")
                self.drop_connection()
                return
            self.send_header("Content-Length", str(size))
            self.end_headers()
            if "trickle_ms" in rule and with_body:
                self.trickle(f, size, rule["trickle_ms"])
            elif with_body:
                self.copy_body(f, size, rule.get("cut"), rule.get("stall"), rule.get("chunk_ms"))
            elif "cut" in rule:
                self.drop_connection()

    def send_text(self, status, text, with_body, cut=None):
        body = text.encode()
        no_body = status < 200 or status in (204, 304)
        self.send_response(status)
        if not no_body:
            self.send_header("Content-Type", "text/plain; charset=utf-8")
            self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if with_body and not no_body:
            self.wfile.write(body if cut is None else body[:cut])
        if cut is not None:
            self.drop_connection()

    def copy_body(self, f, size, cut, stall=None, chunk_ms=None):
        left = size if cut is None else min(cut, size)
        if stall is not None:
            left = min(stall, left)
        piece = 65536 if chunk_ms is None else 4096
        while left > 0:
            chunk = f.read(min(piece, left))
            if not chunk:
                break
            self.wfile.write(chunk)
            left -= len(chunk)
            if chunk_ms is not None and left > 0:
                self.wfile.flush()
                time.sleep(chunk_ms / 1000.0)
        if left == 0 and cut is None and stall is None:
            self.wfile.flush()
            self.server.log_line(f"sent {self.path} {size}")
        if stall is not None:
            self.hold()
        elif cut is not None:
            self.drop_connection()

    def trickle(self, f, size, interval_ms):
        for _ in range(size):
            self.wfile.write(f.read(1))
            self.wfile.flush()
            time.sleep(interval_ms / 1000.0)
        self.server.log_line(f"sent {self.path} {size}")

    def hold(self):
        """Sends nothing more until the client hangs up (or HOLD_SECONDS)."""
        self.wfile.flush()
        self.close_connection = True
        self.connection.settimeout(HOLD_SECONDS)
        try:
            while self.connection.recv(4096):
                pass
        except OSError:
            pass

    def drop_connection(self):
        self.wfile.flush()
        self.close_connection = True

    def log_request(self, code="-", size="-"):
        # Called once per answered request, also for malformed ones.
        method = getattr(self, "command", None) or "-"
        path = getattr(self, "path", None) or "-"
        code = getattr(code, "value", code)
        self.server.log_line(f"{method} {path} {code}")

    def log_message(self, fmt, *args):
        pass

    def log_error(self, fmt, *args):
        print("content_server: " + (fmt % args), file=sys.stderr, flush=True)


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True
    # Tests open many connections at once; the default backlog of 5 turns
    # that into refused connections that look like a client bug.
    request_queue_size = 64

    def __init__(self, address, root, rules_file, log_file):
        super().__init__(address, Handler)
        self.root = root
        self.rules_file = rules_file
        self.log_file = log_file
        self.log_lock = threading.Lock()

    def log_line(self, line):
        if self.log_file is None:
            return
        with self.log_lock:
            with open(self.log_file, "a", encoding="utf-8") as f:
                f.write(line + "\n")

    def handle_error(self, request, client_address):
        # A client that hangs up early is normal in fault tests.
        exc = sys.exc_info()[1]
        if isinstance(exc, (BrokenPipeError, ConnectionResetError)):
            return
        super().handle_error(request, client_address)


def write_port_file(path, port):
    directory = os.path.dirname(os.path.abspath(path))
    fd, tmp = tempfile.mkstemp(prefix=".port.", dir=directory)
    with os.fdopen(fd, "w") as f:
        f.write(f"{port}\n")
    os.replace(tmp, path)


def main():
    ap = argparse.ArgumentParser(description="Local HTTP/1.1 content server for tests.")
    ap.add_argument("--root", required=True, help="directory to serve")
    ap.add_argument("--port", type=int, default=0, help="port on 127.0.0.1; 0 picks a free one")
    ap.add_argument("--port-file", help="write the port here once listening")
    ap.add_argument("--log", help="append 'METHOD PATH STATUS' per request")
    ap.add_argument("--rules", help="JSON rules file, re-read on every request")
    ap.add_argument("--tls-cert", help="serve https with this PEM certificate (with --tls-key)")
    ap.add_argument("--tls-key", help="the certificate's PEM private key")
    ap.add_argument("--max-seconds", type=float, default=3600,
                    help="stop by itself after this long (default 3600)")
    args = ap.parse_args()

    root = os.path.realpath(args.root)
    if not os.path.isdir(root):
        ap.error(f"--root {args.root} is not a directory")

    try:
        server = Server(("127.0.0.1", args.port), root,
                        os.path.abspath(args.rules) if args.rules else None,
                        os.path.abspath(args.log) if args.log else None)
    except OSError as exc:
        print(f"content_server: cannot listen on 127.0.0.1:{args.port}: {exc}", file=sys.stderr)
        return 1
    if args.tls_cert:
        tls = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        tls.load_cert_chain(args.tls_cert, args.tls_key)
        # The handshake happens in the request's own thread: a client that
        # connects and never speaks must not hold the accepting one.
        server.socket = tls.wrap_socket(server.socket, server_side=True, do_handshake_on_connect=False)
    stop = threading.Event()

    def on_signal(signum, _frame):
        stop.set()

    signal.signal(signal.SIGTERM, on_signal)
    signal.signal(signal.SIGINT, on_signal)

    # The poll interval bounds how long a stop request waits.
    worker = threading.Thread(target=server.serve_forever, kwargs={"poll_interval": 0.1}, daemon=True)
    worker.start()
    if args.port_file:
        write_port_file(args.port_file, server.server_address[1])
    stop.wait(args.max_seconds)
    server.shutdown()
    server.server_close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
