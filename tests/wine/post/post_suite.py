#!/usr/bin/env python3
"""Both POST kinds end to end: post_client.exe sends them through InternetClient over Wine's own
WinINet to an HTTP server on localhost:80, which reads each request with the standard library's
parsers (urllib.parse for the form, email.parser for multipart/form-data) and records it. The
suite then checks every field, file byte and header against what the case asked for.

Run it inside a private network namespace (tests/wine/in-netns.sh). All requests go through one
post_client.exe process, so Wine starts once.
"""

import argparse
import email.parser
import email.policy
import http.cookies
import http.server
import os
import sys
import tempfile
import urllib.parse

sys.dont_write_bytecode = True  # keep the source tree clean when the tests run
# ctest runs the script by its path, which puts only this folder on the module path.
sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.realpath(__file__))))
from mirelskan_wine import Failures, run_wine_in_namespace  # noqa: E402
from wine_support import LOCAL_HTTP_ADDRESS, ServedInBackground  # noqa: E402

REQUEST_POST, REQUEST_POST_MULTIPART = 1, 2
BOUNDARY = b"--MULTI-PARTS-FORM-DATA-BOUNDARY"
MULTIPART_TYPE = "multipart/form-data; boundary=--MULTI-PARTS-FORM-DATA-BOUNDARY"
FORM_TYPE = "application/x-www-form-urlencoded"


# --- cases --------------------------------------------------------------------------------------

class Field:
    """A form field as the client is given it: names and values are C strings, so without NUL
    bytes. For a file field, `value` names a file of the suite's folder (not a Windows device
    name such as nul) and `contents` is what it holds (None: there is no such file)."""

    def __init__(self, name, value, is_file=False, contents=None, decoded=None):
        self.name, self.value, self.is_file, self.contents = name, value, is_file, contents
        # What a form parser must make of name and value: the client sends them unchanged, so
        # the caller encodes them as wanted.
        self.decoded = decoded or (name, value)


def file_field(name, file_name, contents):
    return Field(name.encode(), file_name.encode(), True, contents)


class Case:
    def __init__(self, name, kind, path, fields, cookies=()):
        self.name, self.kind, self.path = name, kind, path
        self.fields, self.cookies = fields, list(cookies)


NUL_CONTENTS = b"\0\0head\0\r\n\0\r\n--\0" + bytes(range(256)) + b"\0\r\n\r\n\0"
BIG_CONTENTS = bytes((i * 131 + (i >> 11)) % 256 for i in range(1024 * 1024))

CASES = [
    Case("form fields with cookies", REQUEST_POST, b"/c1/form", [
        Field(b"name", b"Ada"),
        Field(b"empty", b""),
        Field(b"", b"no-name"),
        Field(b"encoded", b"x+y%26z%3D1%00%FF", decoded=(b"encoded", b"x y&z=1\0\xff")),
        Field(b"caf%C3%A9", b"na%C3%AFve", decoded=(b"caf\xc3\xa9", b"na\xc3\xafve")),
        Field(b"doc", b"C:\\not-read.txt", is_file=True),
    ], cookies=[(b"session", b"abc123"), (b"lang", b"fr")]),
    Case("form without fields", REQUEST_POST, b"/c2/form", []),
    Case("multipart with files and cookies", REQUEST_POST_MULTIPART, b"/c3/upload", [
        Field(b"title", b"Quarterly report"),
        file_field("zeros", "zeros.bin", NUL_CONTENTS),
        Field(b"note", b"two\r\nlines, caf\xc3\xa9 \xff end"),
        file_field("empty", "empty.bin", b""),
        file_field("big", "big.bin", BIG_CONTENTS),
        file_field("missing", "missing.bin", None),
        Field(b"last", b""),
    ], cookies=[(b"upload", b"42"), (b"user", b"ada")]),
    Case("multipart with one plain field", REQUEST_POST_MULTIPART, b"/c4/upload", [
        Field(b"a", b"b"),
    ]),
    Case("multipart with a missing file last", REQUEST_POST_MULTIPART, b"/c5/upload", [
        file_field("gone", "also-missing.bin", None),
    ]),
    Case("multipart without fields", REQUEST_POST_MULTIPART, b"/c6/upload", []),
]


def windows_path(folder, file_name):
    # Wine maps the Unix root to Z:; forward slashes keep the filename free of quoted-string
    # escapes, so a parser reads back exactly the path that was sent.
    return ("Z:" + os.path.join(folder, file_name)).encode()


def prepare_files(folder):
    for case in CASES:
        for field in case.fields:
            if field.is_file and field.contents is not None:
                with open(os.path.join(folder, field.value.decode()), "wb") as out:
                    out.write(field.contents)
            if field.is_file and case.kind == REQUEST_POST_MULTIPART:
                field.path = windows_path(folder, field.value.decode())
            else:
                field.path = field.value


def case_file(folder):
    def hex_of(data):
        return data.hex() or "-"

    lines = []
    for case in CASES:
        lines.append("request %d %s" % (case.kind, hex_of(case.path)))
        lines += ["cookie %s %s" % (hex_of(n), hex_of(v)) for n, v in case.cookies]
        lines += ["field %d %s %s" % (f.is_file, hex_of(f.name), hex_of(f.path))
                  for f in case.fields]
        lines.append("send")
    path = os.path.join(folder, "cases.txt")
    with open(path, "w") as out:
        out.write("\n".join(lines) + "\n")
    return path


# --- what must arrive ---------------------------------------------------------------------------

def expected_form_body(case):
    return b"&".join(f.name + b"=" + f.path for f in case.fields)


def expected_multipart_body(case):
    body = b""
    for f in case.fields:
        body += b"--" + BOUNDARY + b'\r\nContent-Disposition: form-data; name="' + f.name + b'"'
        if not f.is_file:
            body += b"\r\n\r\n" + f.value + b"\r\n"
        else:
            body += b'; filename="' + f.path + b'"\r\n\r\n'
            if f.contents is not None:
                body += f.contents + b"\r\n"
    return body + b"--" + BOUNDARY + b"--\r\n"


def expected_multipart_fields(case):
    """(name, filename or None, contents) per part, as a multipart parser reports them."""
    return [(f.name.decode(), f.path.decode() if f.is_file else None,
             (f.contents or b"") if f.is_file else f.value) for f in case.fields]


# --- server -------------------------------------------------------------------------------------

class Received:
    def __init__(self, handler, body):
        self.method = handler.command
        self.path = handler.path.encode("latin-1")
        self.version = handler.request_version
        self.headers = handler.headers
        self.body = body


class Handler(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        length = self.headers.get("Content-Length")
        body = self.rfile.read(int(length)) if length and length.isdigit() else b""
        self.server.received.append(Received(self, body))
        answer = b"received %d bytes" % len(body)
        self.send_response(200)
        self.send_header("Content-Type", "text/plain")
        self.send_header("Content-Length", str(len(answer)))
        self.end_headers()
        self.wfile.write(answer)

    def log_message(self, *args):
        pass


class Server(ServedInBackground, http.server.ThreadingHTTPServer):
    def __init__(self):
        super().__init__(LOCAL_HTTP_ADDRESS, Handler)
        self.received = []

    def serve(self):
        self.serve_forever()

    def stop(self):
        self.shutdown()
        self.server_close()


# --- checks -------------------------------------------------------------------------------------

def shorten(value):
    text = repr(value)
    return text if len(text) <= 600 else text[:300] + " ... " + text[-300:]


def check_cookies(failures, case, received):
    header = received.headers.get_all("Cookie") or []
    if not case.cookies:
        failures.check(not header, case.name, "no Cookie header", header)
        return
    if not failures.check(len(header) == 1, case.name, "one Cookie header", header):
        return
    jar = http.cookies.SimpleCookie()
    jar.load(header[0])
    got = sorted((name, morsel.value) for name, morsel in jar.items())
    want = sorted((n.decode(), v.decode()) for n, v in case.cookies)
    failures.check(got == want, case.name, "cookies", got, want)


def check_form(failures, case, received):
    failures.check(received.headers.get_all("Content-Type") == [FORM_TYPE], case.name,
                   "Content-Type", received.headers.get_all("Content-Type"), [FORM_TYPE])
    want = expected_form_body(case)
    failures.check(received.body == want, case.name, "body bytes", received.body, want)
    pairs = urllib.parse.parse_qsl(received.body.decode("latin-1"), keep_blank_values=True,
                                   strict_parsing=bool(received.body), encoding="latin-1")
    got = [(n.encode("latin-1"), v.encode("latin-1")) for n, v in pairs]
    want = [f.decoded if not f.is_file else (f.name, f.path) for f in case.fields]
    failures.check(got == want, case.name, "parsed form fields", got, want)


def check_multipart(failures, case, received):
    content_type = received.headers.get_all("Content-Type")
    failures.check(content_type == [MULTIPART_TYPE], case.name, "Content-Type", content_type,
                   [MULTIPART_TYPE])
    want = expected_multipart_body(case)
    failures.check(received.body == want, case.name, "body bytes", received.body, want)

    head = b"Content-Type: " + MULTIPART_TYPE.encode() + b"\r\n\r\n"
    message = email.parser.BytesParser(policy=email.policy.HTTP).parsebytes(head + received.body)
    parts = list(message.iter_parts()) if message.is_multipart() else []
    got = [(p.get_param("name", header="content-disposition"), p.get_filename(),
            p.get_payload(decode=True)) for p in parts]
    failures.check(got == expected_multipart_fields(case), case.name, "parsed parts", got,
                   expected_multipart_fields(case))
    if case.fields:
        defects = message.defects + [d for p in parts for d in p.defects]
        failures.check(not defects, case.name, "parser defects", defects)
    for part in parts:
        failures.check(part.get_content_type() == "text/plain" and "Content-Type" not in part,
                       case.name, "part without a Content-Type of its own", part.keys())


def check_request(failures, case, received):
    failures.check((received.method, received.path, received.version) ==
                   ("POST", case.path, "HTTP/1.0"), case.name, "request line",
                   (received.method, received.path, received.version),
                   ("POST", case.path, "HTTP/1.0"))
    lengths = received.headers.get_all("Content-Length") or []
    failures.check(lengths == [str(len(received.body))], case.name,
                   "one Content-Length, the length of the body", lengths, len(received.body))
    failures.check(received.headers.get("Accept") == "*/*", case.name, "Accept",
                   received.headers.get("Accept"), "*/*")
    check_cookies(failures, case, received)
    if case.kind == REQUEST_POST:
        check_form(failures, case, received)
    else:
        check_multipart(failures, case, received)


def check_client_output(failures, completed, received):
    failures.check(completed.returncode == 0, "post_client", "exit status (stderr %r)"
                   % completed.stderr[-2000:], completed.returncode, 0)
    reports = [line for line in completed.stdout.decode("latin-1").splitlines() if line]
    failures.check(len(reports) == len(CASES), "post_client", "one report per case", reports)
    for case, report, got in zip(CASES, reports, received):
        want = "sent " + (b"received %d bytes" % len(got.body)).hex()
        failures.check(report.split(" ", 2)[2:] == [want], case.name,
                       "client read the server's answer", report, want)


# --- running ------------------------------------------------------------------------------------

def run_client(args, cases_path):
    return run_wine_in_namespace(args.wine_run, [args.client, cases_path], args.timeout)


def run_suite(args):
    failures = Failures(shown=shorten)
    with tempfile.TemporaryDirectory(prefix="mirelskan-post-") as folder:
        prepare_files(folder)
        cases_path = case_file(folder)
        with Server() as server:
            completed = run_client(args, cases_path)
        received = sorted(server.received, key=lambda r: r.path)

    failures.check([r.path for r in received] == [c.path for c in CASES], "server",
                   "one request per case, in order", [r.path for r in received],
                   [c.path for c in CASES])
    for case, got in zip(CASES, received):
        check_request(failures, case, got)
    check_client_output(failures, completed, received)

    return failures.report(
        "FAILED", "ok: %d requests, %d fields" % (len(CASES), sum(len(c.fields) for c in CASES)))


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--wine-run", required=True)
    parser.add_argument("--client", required=True, help="post_client.exe")
    parser.add_argument("--timeout", type=float, default=100)
    return run_suite(parser.parse_args())


if __name__ == "__main__":
    sys.exit(main())
