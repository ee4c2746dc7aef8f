"""What the Wine suites share: plugin-host's quoted strings, running a Windows program under the
build's Wine prefix, the local HTTP server's thread, and collecting failures.

The suites import it from the folder above their own (see the sys.path line at their top).
"""

import contextlib
import os
import subprocess
import sys
import threading

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts"))
from service_ready import wait_ready  # noqa: E402

WINESERVER = "/usr/lib/wine/wineserver"

# In a private network namespace (in-netns.sh) port 80 of localhost belongs to the suite alone.
LOCAL_HTTP_ADDRESS = ("127.0.0.1", 80)


# --- plugin-host's strings --------------------------------------------------------------------

def quote(data):
    """A string as plugin-host prints it."""
    simple = {0x5C: b"\\\\", 0x22: b'\\"', 0x0A: b"\\n", 0x0D: b"\\r", 0x09: b"\\t"}
    out = bytearray(b'"')
    for byte in data:
        if byte in simple:
            out += simple[byte]
        elif byte < 0x20 or byte >= 0x7F:
            out += b"\\x%02x" % byte
        else:
            out.append(byte)
    return bytes(out + b'"')


QUOTED = rb'"(?:[^"\\]|\\.)*"'


def unquote(text):
    if len(text) < 2 or text[:1] != b'"' or text[-1:] != b'"':
        raise ValueError("not a quoted string: %r" % text)
    simple = {b"\\": b"\\", b'"': b'"', b"n": b"\n", b"r": b"\r", b"t": b"\t"}
    body, out, i = text[1:-1], bytearray(), 0
    while i < len(body):
        if body[i:i + 1] != b"\\":
            out += body[i:i + 1]
            i += 1
        elif body[i + 1:i + 2] == b"x":
            out.append(int(body[i + 2:i + 4], 16))
            i += 4
        else:
            out += simple[body[i + 1:i + 2]]
            i += 2
    return bytes(out)


# --- the plug-in's requests -----------------------------------------------------------------

# About 4000 characters, as a chat message pasted whole.
PASTED_TEXT = b" ".join(b"Sentence %d says that the dog sleeps." % n for n in range(105))


def chunks(text):
    """The plug-in's cut of a text (bytes): after the first space from index 135 on, while 150
    or more remain."""
    pieces = []
    while text:
        cut = len(text)
        if len(text) >= 150 and text.find(b" ", 135) >= 0:
            cut = text.find(b" ", 135) + 1
        pieces.append(text[:cut])
        text = text[cut:]
    return pieces


# --- Wine -------------------------------------------------------------------------------------

def wine_prefix(wine_run):
    # The prefix the runner picks, so that wineserver -k and -w reach the same server.
    root = os.path.dirname(os.path.dirname(os.path.abspath(wine_run)))
    arch = os.environ.get("WINEARCH", "win64")
    return os.environ.get("WINEPREFIX", os.path.join(root, "build", arch, "wineprefix"))


def run_wine(wine_run, arguments, timeout, lines=None, env=None):
    """The completed process of `wine_run arguments...`, its output captured; `lines` (bytes
    without line ends) make its standard input, or it inherits ours."""
    stdin = None if lines is None else b"".join(line + b"\n" for line in lines)
    return subprocess.run([wine_run] + list(arguments), input=stdin, stdout=subprocess.PIPE,
                          stderr=subprocess.PIPE, env=env, timeout=timeout)


@contextlib.contextmanager
def namespace_wineserver(wine_run):
    """The environment for Wine programs inside in-netns.sh: this prefix's server, started anew
    inside the namespace, and waited for on leaving."""
    env = dict(os.environ, WINEPREFIX=wine_prefix(wine_run))
    # A Wine server started outside this namespace would open the sockets outside it.
    for option in ("-k", "-w"):
        subprocess.run([WINESERVER, option], env=env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=60)
    try:
        yield env
    finally:
        subprocess.run([WINESERVER, "-w"], env=env, timeout=60)


def run_wine_in_namespace(wine_run, arguments, timeout, lines=None):
    """run_wine for a suite inside in-netns.sh."""
    with namespace_wineserver(wine_run) as env:
        return run_wine(wine_run, arguments, timeout, lines, env)


# --- servers ----------------------------------------------------------------------------------

@contextlib.contextmanager
def translation_service(binary, log=None, seconds=120, options=()):
    """The translation service on localhost:80 (inside in-netns.sh), with further command-line
    options, for the `with` block, its log written to `log` (a file) or dropped; None when it
    was not ready in time."""
    service = subprocess.Popen([binary, "--listen", "localhost:80", *options],
                               stderr=log if log is not None else subprocess.DEVNULL)
    try:
        ready = wait_ready("http://%s:%d" % LOCAL_HTTP_ADDRESS, service, seconds)
        yield service if ready is not None else None
    finally:
        service.terminate()
        service.wait(timeout=30)


class ServedInBackground:
    """Mixin for a test server: `serve` runs on a daemon thread between entering and leaving the
    `with` block, so that the Wine program runs in the foreground meanwhile and a server stuck
    in a read cannot keep the suite alive; `stop` ends it."""

    def __enter__(self):
        threading.Thread(target=self.serve, daemon=True).start()
        return self

    def __exit__(self, *exc):
        self.stop()


# --- checks -----------------------------------------------------------------------------------

class Failures:
    def __init__(self, shown=lambda value: value):
        self.items = []
        # What a failure prints of got and want (through %r): the value itself by default.
        self.shown = shown

    def check(self, ok, case, what, got=None, want=None):
        if not ok:
            text = "%s: %s" % (case, what)
            if got is not None or want is not None:
                text += "\n    got:  %r\n    want: %r" % (self.shown(got), self.shown(want))
            self.items.append(text)
        return ok

    def report(self, heading, success):
        """Prints the problems under `heading`, or `success` when there are none; the exit
        status."""
        if self.items:
            print("%s: %d problem(s)" % (heading, len(self.items)))
            for item in self.items:
                print("- " + item)
            return 1
        print(success)
        return 0
