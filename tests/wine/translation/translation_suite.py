#!/usr/bin/env python3
"""The /xtrn command end to end: the plug-in in plugin-host under Wine, Wine's own WinINet,
and a recording HTTP server on localhost:80 (or no server at all).

Run it inside a private network namespace (tests/wine/in-netns.sh). All commands go to one
plugin-host process through its standard input, so that every byte of a text reaches the plug-in
unchanged and Wine starts once.

The server answers each chunk with a page chosen by a "mode:NAME" word in the text it received;
by default the page carries the language pair and the received text, so the result shows which
chunk arrived and how it was decoded.
"""

import argparse
import difflib
import os
import re
import sys

sys.dont_write_bytecode = True  # keep the source tree clean when the tests run
# ctest runs the script by its path, which puts only this folder on the module path.
sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.realpath(__file__))))
from recording_server import Answer, RecordingServer  # noqa: E402
from mirelskan_wine import Failures, run_wine_in_namespace, unquote  # noqa: E402
from wire_contract import END_MARKER, START_MARKER  # noqa: E402
FAILED = b"translation problem"
USER_AGENT = "Mozilla/4.0 (compatible; )"
READ_BLOCK = 2048
CUT_SEARCH_START = 135


# --- pages ------------------------------------------------------------------------------------

def page(translation):
    return (b"<html><body><table><tr>" + START_MARKER + translation + END_MARKER +
            b"</tr></table></body></html>")


def straddling_parts(translation):
    """Front, padding after the translation and tail of a page whose start marker spans the end
    of the first read and whose end marker spans the end of the second; a NUL byte and a stray
    end marker stand in front."""
    front = b"<html>\0" + END_MARKER
    front += b"." * (READ_BLOCK - 20 - len(front))
    used = len(front + START_MARKER + translation)
    assert used < 2 * READ_BLOCK - 5, "translation too long for the straddling page"
    padding = b"." * (2 * READ_BLOCK - 5 - used)
    return front, padding, b"<p>" + b"-" * 900 + b"</p></html>"


def straddling_page(translation):
    front, padding, tail = straddling_parts(translation)
    return front + START_MARKER + translation + padding + END_MARKER + tail


def filled(translation, size=3000):
    return (translation * (size // len(translation) + 1))[:size]


NEAR_MISS_MARKERS = [
    START_MARKER.replace(b";>", b">"),
    START_MARKER.replace(b"td", b"TD"),
    START_MARKER.replace(b"=white", b'="white"'),
]

# mode -> (the server's answer, the result the plug-in must make of it), both given the text
# the server makes of the request: the pair, "|", and the text.
PAGE_VARIANTS = {
    "echo": (lambda t: Answer(200, page(t)), lambda t: t),
    "nomarkers": (lambda t: Answer(200, b"<html>" + b"".join(m + t for m in NEAR_MISS_MARKERS) +
                                   END_MARKER + b"</html>"),
                  lambda t: FAILED),
    "noend": (lambda t: Answer(200, b"<html>" + START_MARKER + t + b"</div></tr></html>\n"),
              lambda t: t + b"</div></tr></html>\n"),
    "error500": (lambda t: Answer(500, page(t)), lambda t: t),
    "error404": (lambda t: Answer(404, b"<html>not found: " + t + END_MARKER + b"</html>"),
                 lambda t: FAILED),
    "empty": (lambda t: Answer(200, b""), lambda t: FAILED),
    "straddle": (lambda t: Answer(200, straddling_page(t), content_length=False),
                 lambda t: t + straddling_parts(t)[1]),
    "twostarts": (lambda t: Answer(200, b"x" + START_MARKER + t + END_MARKER + START_MARKER +
                                   b"second" + END_MARKER),
                  lambda t: t),
    "cutshort": (lambda t: Answer(200, b"<html>" + START_MARKER + t, withheld=4000),
                 lambda t: t),
    "big": (lambda t: Answer(200, page(filled(t))), lambda t: filled(t)),
}


def mode_of(text):
    found = re.search(rb"mode:(\w+)", text)
    return found.group(1).decode() if found else "echo"


def served_text(text, pair):
    return pair + b"|" + text


def answer(request):
    text, pair = request.param(b"trtext"), request.param(b"lp")
    if text is None or pair is None:
        return Answer(400, b"<html>bad query</html>")
    return PAGE_VARIANTS[mode_of(text)][0](served_text(text, pair))


def served_translation(chunk, pair):
    return PAGE_VARIANTS[mode_of(chunk)][1](served_text(chunk, pair))


def no_server_translation(chunk, pair):
    return FAILED


# --- commands -----------------------------------------------------------------------------------

FILLER = b"lorem ipsum dolor sit amet consectetur adipiscing elit sed do eiusmod tempor "


def piece(label, cut):
    """A chunk that a longer text loses at its front: words up to index 130, then no space
    until the one at index `cut`, where the cut falls."""
    assert CUT_SEARCH_START <= cut < 150
    words = (label + b" " + FILLER * 3)[:130]
    return words + b"x" * (cut - 130) + b" "


class Case:
    """targets: the request targets as they must arrive, where the case is about them; kept:
    how many chunks are requested and how many bytes of their lines the result holds, where the
    served translations are more than the result buffer holds."""

    def __init__(self, name, pair, chunks, targets=None, kept=None):
        self.name = name
        self.pair = pair
        self.chunks = chunks
        self.targets = targets
        self.kept = kept
        self.line = b"/xtrn " + pair + b" " + b"".join(chunks)
        # The chunks must be the ones the cutting rule makes of the whole text.
        for index, chunk in enumerate(chunks):
            remainder = len(b"".join(chunks[index:]))
            last = index == len(chunks) - 1
            assert (remainder < 150) == last, "%s: chunk %d is not cut as given" % (name, index)

    def expected(self, translate, served):
        """The chunks that must be requested and the result buffer the host must see."""
        count, size = self.kept if served and self.kept else (len(self.chunks), None)
        sent = self.chunks[:count]
        result = b"".join(translate(chunk, self.pair) + b"\n" for chunk in sent)
        return sent, result[:size]


CASES = [
    Case("plain text", b"fr_en", [b"Un petit test de traduction"],
         [b"/tr?trtext=Un%20petit%20test%20de%20traduction&lp=fr_en"]),
    Case("bytes that change a query or break a request line", b"fr_en",
         [b"a&b#c+d%e=f%41 g\xe9h\x01i\x7fj\tk\xff /?:@!$()*,;~ end"],
         [b"/tr?trtext=a%26b%23c%2Bd%25e%3Df%2541%20g%E9h%01i%7Fj%09k%FF%20/?:@!$()*,;~%20end"
          b"&lp=fr_en"]),
    Case("pair with query bytes", b"x&y=z", [b"bonjour"], [b"/tr?trtext=bonjour&lp=x%26y%3Dz"]),
    Case("empty pair", b"", [b"bonjour"], [b"/tr?trtext=bonjour&lp="]),
    Case("long text in chunks, trailing white space kept", b"fr_en",
         [piece(b"one", 135), piece(b"two", 140), piece(b"three", 149), b"four fin \t"]),
    Case("failed middle chunk", b"fr_en",
         [piece(b"first", 137), piece(b"second mode:nomarkers", 135), b"third and last chunk"]),
    # Two lines of 3001 bytes: the buffer's 4095 bytes hold the first and 1094 of the second,
    # and the third chunk is never requested.
    Case("result larger than the buffer", b"fr_en",
         [piece(b"mode:big alpha", 135), piece(b"mode:big beta", 135), b"mode:big gamma"],
         kept=(2, 4095)),
] + [
    Case("page variant " + mode, b"fr_en", [b"mode:" + mode.encode() + b" Un texte"])
    for mode in PAGE_VARIANTS if mode not in ("echo", "big")
]


# --- plugin-host ----------------------------------------------------------------------------

def parse_host_output(output):
    """[(command line, [event lines])] in the order the host ran them."""
    runs, stray = [], []
    for line in output.split(b"\n"):
        line = line.rstrip(b"\r")
        if not line or line.startswith(b"published"):
            continue
        if line.startswith(b"command "):
            runs.append((unquote(line[len(b"command "):]), []))
        elif runs:
            runs[-1][1].append(line)
        else:
            stray.append(line)
    return runs, stray


def run_host(args, lines):
    return run_wine_in_namespace(args.wine_run, [args.host, args.dll], args.timeout, lines)


# --- checks ---------------------------------------------------------------------------------

def check_result(failures, case, command, events, want):
    failures.check(command == case.line, case.name, "host ran another command line",
                   command, case.line)
    results = [e for e in events if e.startswith(b"result ") or e.startswith(b"not handled")]
    others = [e for e in events if e not in results]
    failures.check(not others, case.name, "unexpected events (overrun, toast or box)", others)
    if not failures.check(len(results) == 1, case.name, "one result line", results):
        return
    match = re.match(rb'result 1 (".*")$', results[0])
    if failures.check(match is not None, case.name, "result 1 with a written buffer", results[0]):
        failures.check(unquote(match.group(1)) == want, case.name, "result buffer",
                       unquote(match.group(1)), want)


def check_request(failures, name, request, chunk, pair):
    failures.check(request.method == b"GET" and request.version == b"HTTP/1.0", name,
                   "request line", request.line)
    failures.check([k for k, _ in request.query] == [b"trtext", b"lp"], name, "query keys",
                   request.query)
    failures.check(request.param(b"trtext") == chunk, name, "decoded trtext",
                   request.param(b"trtext"), chunk)
    failures.check(request.param(b"lp") == pair, name, "decoded lp", request.param(b"lp"), pair)
    # Nothing beyond these: in particular no keep-alive, no cookie, no cache directives.
    want = sorted([("accept", "*/*"), ("host", "localhost"), ("user-agent", USER_AGENT)])
    got = sorted((n.lower(), v) for n, v in request.headers)
    failures.check(got == want, name, "request headers", request.headers, want)


def check_requests(failures, expectations, requests):
    """Pairs the requests that arrived with the chunks that were due, in order; a missing or an
    extra request is reported as such rather than shifting every later pairing."""
    due = [("%s, chunk %d" % (case.name, index + 1), case.pair, chunk)
           for case, (sent, _) in zip(CASES, expectations) for index, chunk in enumerate(sent)]
    targets = {(case.chunks[0], case.pair): case.targets[0] for case in CASES if case.targets}
    matcher = difflib.SequenceMatcher(None, [chunk for _, _, chunk in due],
                                      [r.param(b"trtext") for r in requests], autojunk=False)
    for tag, i1, i2, j1, j2 in matcher.get_opcodes():
        if tag == "equal" or (tag == "replace" and i2 - i1 == j2 - j1):
            for (name, pair, chunk), request in zip(due[i1:i2], requests[j1:j2]):
                check_request(failures, name, request, chunk, pair)
                target = targets.get((chunk, pair))
                failures.check(target in (None, request.target), name, "request target",
                               request.target, target)
            continue
        failures.check(i1 == i2, ", ".join(name for name, _, _ in due[i1:i2]),
                       "requests never arrived")
        failures.check(j1 == j2, "server", "unexpected requests after %s"
                       % (due[i1 - 1][0] if i1 else "the start"),
                       [r.line for r in requests[j1:j2]])


def run_suite(args):
    failures = Failures()
    translate = no_server_translation if args.no_server else served_translation
    expectations = [case.expected(translate, not args.no_server) for case in CASES]

    if args.no_server:
        server = None
        completed = run_host(args, [case.line for case in CASES])
    else:
        with RecordingServer(answer) as server:
            completed = run_host(args, [case.line for case in CASES])

    runs, stray = parse_host_output(completed.stdout)
    failures.check(completed.returncode == 0, "plugin-host", "exit status (stderr %r)"
                   % completed.stderr[-2000:], completed.returncode, 0)
    failures.check(not stray, "plugin-host", "output before the first command", stray)
    if not failures.check(len(runs) == len(CASES), "plugin-host", "commands run",
                          len(runs), len(CASES)):
        runs += [(None, [])] * (len(CASES) - len(runs))
    for case, (sent, result), (command, events) in zip(CASES, expectations, runs):
        check_result(failures, case, command, events, result)

    if server is not None:
        check_requests(failures, expectations, server.requests())
        for connection in server.connections:
            failures.check(len(connection.requests) == 1, "server",
                           "connection %d carried one request" % connection.number,
                           [r.line for r in connection.requests])
            failures.check(not connection.unparsed, "server",
                           "connection %d sent a partial head" % connection.number,
                           connection.unparsed)
        failures.check(not server.errors, "server", "errors", server.errors)

    mode = "no server" if args.no_server else "recording server"
    total = sum(len(sent) for sent, _ in expectations)
    return failures.report("FAILED (%s)" % mode,
                           "ok (%s): %d commands, %d chunks" % (mode, len(CASES), total))


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--wine-run", required=True)
    parser.add_argument("--host", required=True, help="plugin-host.exe")
    parser.add_argument("--dll", required=True)
    parser.add_argument("--no-server", action="store_true",
                        help="nothing listens on port 80: every line is 'translation problem'")
    parser.add_argument("--timeout", type=float, default=100)
    return run_suite(parser.parse_args())


if __name__ == "__main__":
    sys.exit(main())
