#!/usr/bin/env python3
"""The plug-in as a person meets it: plugin-host --interactive under Wine, driven through pipes,
its machine-readable events shown as a chat user would see them. Commands come from --run
(the demo) or from standard input (the chat prompt); /quit or the end of input ends it.

Text is converted between the terminal's UTF-8 and the host's ANSI code page both ways. When a
line comes back as "translation problem", the service's log (--service-log) says why."""

import argparse
import os
import re
import subprocess
import sys

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools"))
from mirelskan_wine import QUOTED, unquote  # noqa: E402
from service_ready import wait_ready  # noqa: E402

ANSI = "cp1252"  # the host's ANSI code page
PROBLEM = "translation problem"


def from_ansi(data):
    return data.decode(ANSI, "replace")


def quoted_field(line, name):
    found = re.search(rb"\b" + name + rb"=(" + QUOTED + rb")", line)
    return from_ansi(unquote(found.group(1))) if found else ""


def framed(caption, text):
    """A message box as a block of text with its caption on top."""
    lines = text.expandtabs(4).split("\n")
    width = max([len(caption) + 2] + [len(line) for line in lines])
    top = "+-- " + caption + " " + "-" * (width - len(caption) - 2) + "+"
    body = ["| " + line.ljust(width) + " |" for line in lines]
    return "\n".join([top] + body + ["+" + "-" * (width + 2) + "+"])


class ServiceLog:
    """What the service logged since the last look: why a chunk came back as a problem; the
    service's /health, at `url`, names the codes it has."""

    def __init__(self, path, url):
        self.path, self.url, self.offset = path, url, 0

    def codes(self):
        health = wait_ready(self.url, seconds=5) if self.url else None
        engines = health["engines"] if health else []
        return sorted(code for engine in engines for code in engine["codes"])

    def explain(self):
        if not self.path:
            return []
        try:
            with open(self.path, "rb") as log:
                log.seek(self.offset)
                lines = log.read().decode("utf-8", "replace").splitlines()
                self.offset = log.tell()
        except OSError:
            return []
        reasons = []
        for line in lines:
            request = re.search(r"GET /tr length=\d+ lp=(\S+) status=(\d+)", line)
            if not request or request.group(2) == "200":
                continue
            code, status = request.groups()
            if status == "404":
                reasons.append("the service has no %s pair; it has %s" %
                               (code, ", ".join(self.codes()) or "none"))
            elif status == "503":
                reasons.append("the service could not translate it in time (%s)" % line.strip())
            else:
                reasons.append("the service refused the request with status %s" % status)
        if not reasons and not any("GET /tr" in line for line in lines):
            reasons.append("no request reached the translation service")
        return sorted(set(reasons))


class Console:
    def __init__(self, runner, host, dll, service_log, service_url, out):
        self.out = out
        self.log = ServiceLog(service_log, service_url)
        self.words = []
        self.process = subprocess.Popen([runner, host, dll, "--interactive"],
                                        stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        for line in self.events():
            found = re.search(rb"^published command=\d+ word=(" + QUOTED + rb")", line)
            if found:
                self.words.append("/" + from_ansi(unquote(found.group(1))))
            if line == b"ready":
                self.log.explain()  # what came before the first command is not its story
                return
        raise RuntimeError("plugin-host did not start (exit status %s)" % self.process.wait())

    def events(self):
        for line in self.process.stdout:
            yield line.rstrip(b"\r\n")

    def show(self, text):
        self.out.write(text + "\n")
        self.out.flush()

    def command(self, text):
        """Passes one line to ParseCommand as the host does and shows what came of it."""
        self.process.stdin.write(text.encode(ANSI, "replace") + b"\n")
        self.process.stdin.flush()
        word = text.split(" ", 1)[0]
        for line in self.events():
            if line == b"done":
                return
            self.render(line, word)
        raise RuntimeError("plugin-host ended unexpectedly")

    def render(self, line, word):
        if line.startswith(b"toast "):
            self.show("[toast] %s: %s" % (quoted_field(line, b"title"),
                                          quoted_field(line, b"message")))
        elif line.startswith(b"messagebox "):
            self.show(framed(quoted_field(line, b"caption"), quoted_field(line, b"text")))
        elif line.startswith(b"result "):
            found = re.match(rb"result \d+ (" + QUOTED + rb")$", line)
            text = from_ansi(unquote(found.group(1))) if found else ""
            for piece in text[:-1].split("\n") if text.endswith("\n") else text.split("\n"):
                if text:
                    self.show(piece)
            if PROBLEM in text:
                for reason in self.log.explain():
                    self.show("  (why: %s)" % reason)
        elif line.startswith(b"not handled"):
            self.show("[not handled] %s is not a command of this plug-in; it offers %s" %
                      (word, ", ".join(self.words) or "none"))
        elif line.startswith(b"overrun") or line.startswith(b"unterminated"):
            self.show("[fault] the plug-in " + from_ansi(line))

    def close(self):
        self.process.stdin.close()
        for _ in self.events():
            pass
        return self.process.wait()


def typed_lines(stream, prompt):
    """Lines from the terminal or a pipe, as text; a prompt only for a person at a terminal."""
    while True:
        if prompt:
            sys.stdout.write("> ")
            sys.stdout.flush()
        line = stream.readline()
        if not line:
            return
        yield line.decode("utf-8", "replace").rstrip("\r\n")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--wine-run", required=True, help="runs a Windows program under Wine")
    parser.add_argument("--host", required=True, help="plugin-host.exe")
    parser.add_argument("--dll", required=True, help="the plug-in DLL")
    parser.add_argument("--service-log", help="the translation service's log file")
    parser.add_argument("--service", help="the translation service's URL, for its codes")
    parser.add_argument("--run", action="append", help="a command to run (repeatable); "
                        "without any, commands are read from standard input")
    args = parser.parse_args()

    console = Console(args.wine_run, args.host, args.dll, args.service_log, args.service,
                      sys.stdout)
    if args.run:
        lines = args.run
    else:
        interactive = sys.stdin.isatty()
        if interactive:
            print("Type a command as in a chat, e.g. /xtrn en_es How are you?  (/quit to leave)")
        lines = typed_lines(sys.stdin.buffer, interactive)
    for line in lines:
        if line.strip() == "/quit":
            break
        if not line.strip():
            continue
        if args.run:
            console.show("> " + line)
        if not line.startswith("/"):
            console.show("(not a command: type /xtrn CODE TEXT, or /quit to leave)")
            continue
        console.command(line)
    return 0 if console.close() == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
