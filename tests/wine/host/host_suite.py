#!/usr/bin/env python3
"""The plug-in's registration, its entry points without work, its About box and its toasts, end
to end: the plug-in driven by plugin-host under Wine, no network needed.

The suites named on the command line feed all their steps to one plugin-host process through
standard input (Wine costs a second or more per process) and compare what the host printed for
each step with what that step must produce, event by event.
"""

import argparse
import re
import string
import sys

sys.dont_write_bytecode = True  # keep the source tree clean when the tests run
from mirelskan_wine import QUOTED, quote, run_wine, unquote  # noqa: E402
from wire_contract import HELP_CODES  # noqa: E402

TOAST_CAPACITY = 255
ERROR_TITLE = b"Mirelskan Command error"
ERROR_MESSAGE = b"See the help"
HELP_CAPTION = b"About Mirelskan Plugin"

# Lines 1 to 52 of the help text; line 51 takes the service address and line 53 is a tab and an
# author credit whose wording is free.
HELP_LINES = [
    b"\tMirelskan plugin v.1.0", b"", b"", b"Little Help:", b"",
    b"/xtrn language_code text to translate", b"ex:",
    b"/xtrn fr_en Un petit test de traduction", b'will return "A little translation test',
    b"", b"", b"Here the language code:", b"",
] + [code + b" ->" + shown for code, shown, _ in HELP_CODES] + [
    b"", None, b"",
]
CREDIT_LINE = re.compile(rb"\t\S[^\n]*\Z")


# --- the host's output ------------------------------------------------------------------------

def split_output(output):
    """The lines before the first step, and the lines of each step from its echo on."""
    startup, steps = [], []
    for line in output.split(b"\n")[:-1]:
        if line.startswith((b"command ", b"action ")):
            steps.append([line])
        elif steps:
            steps[-1].append(line)
        else:
            startup.append(line)
    return startup, steps


# --- expectations: each event is the exact line or a check returning a complaint or None ------

def help_text_problem(text, service_url):
    lines = text.split(b"\n")
    if len(lines) != 53:
        return "help text has %d lines, not 53" % len(lines)
    for number, (got, want) in enumerate(zip(lines, HELP_LINES), start=1):
        if number == 51:
            want = b"go to " + service_url + b" for more translation options"
        if got != want:
            return "help text line %d is %r, not %r" % (number, got, want)
    if not CREDIT_LINE.match(lines[52]):
        return "help text line 53 is %r, not a tab and a credit" % lines[52]
    return None


def help_box(service_url):
    pattern = re.compile(rb"messagebox caption=(" + QUOTED + rb") text=(" + QUOTED + rb")\Z")

    def check(line):
        match = pattern.match(line)
        if not match:
            return "not a message box"
        if unquote(match.group(1)) != HELP_CAPTION:
            return "caption %r" % unquote(match.group(1))
        return help_text_problem(unquote(match.group(2)), service_url)
    return check


def matching(pattern):
    regex = re.compile(pattern + rb"\Z")
    return lambda line: None if regex.match(line) else "does not match %r" % pattern


def toast_line(form, title, message, param, flag):
    wide = form == "wide"
    return b"toast form=%s lparam=%d title=%s message=%s param=%d flag=0x%08x reserved=0x00000000" % (
        form.encode(), 1 if wide else 0, quote(title), quote(message), param, flag)


ERROR_TOAST = toast_line("ansi", ERROR_TITLE, ERROR_MESSAGE, 0, 0)


def echo_of(step):
    return (b"command " if step.startswith(b"/") else b"action ") + quote(step)


# --- the two suites ---------------------------------------------------------------------------

def registration_suite(service_url):
    """PublishInfo, ParseTag, ReceiveNotify, Configure and commands of other plug-ins."""
    name = b'published name="Mirelskan Plugin"'
    info = b"published record=1 size=512 changed=0-16 outside=none"
    table = [
        b"published commands=1",
        b'published command=0 word="xtrn" description="To translate text" '
        b'hint="langue_code text to translate"',
        b"published record=2 size=19204 changed=0-21,6404-6408,12804-12833 outside=none",
    ]
    third = [b"published third=0", b"published record=3 size=256 changed=0-3 outside=none"]
    ok = b"published publish-info=1"
    startup = [b"published initialize=1", ok, name, info] + table + third

    steps = [
        # A null record is skipped; the others are filled as ever.
        (b"--publish-info=1", [ok, name, info]),
        (b"--publish-info=2", [ok] + table),
        (b"--publish-info=3", [ok] + third),
        (b"--publish-info=13", [ok, name, info] + third),
        (b"--publish-info=", [ok]),
    ]
    for arguments in [b"", b"=1,2", b"=0xffffffff,0x80000000", b"=7,7"]:
        steps.append((b"--parse-tag" + arguments, [b'parse-tag returned 0 ""']))
    steps.append((b"--parse-tag=1,2,null", [b"parse-tag returned 0 no buffer"]))
    for arguments in [b"", b"=1,2,3", b"=0xffffffff,0,0x80000000"]:
        steps.append((b"--receive-notify" + arguments, [b'receive-notify returned 1 ""']))
    steps.append((b"--receive-notify=1,2,3,null", [b"receive-notify returned 1 no buffer"]))
    steps.append((b"--configure", [help_box(service_url), b"configure returned 1"]))
    for command in [b"/other", b"/other fr_en Un test", b"/xtr fr_en Un test",
                    b"/xtrnx fr_en Un test", b"/xtrn_ fr_en", b"/x trn fr_en Un test", b"/"]:
        steps.append((command, [b"not handled unchanged"]))
    return startup, steps


def host_escaped(units, wide):
    """Title or message text in the escapes plugin-host takes."""
    out = bytearray()
    for unit in units:
        if unit == 0x5C:
            out += b"\\\\"
        elif 0x20 <= unit < 0x7F:
            out.append(unit)
        elif unit <= 0xFF:
            out += b"\\x%02x" % unit
        else:
            assert wide
            out += b"\\u%04x" % unit
    return bytes(out)


def toast_step(form, param, flag_argument, title, message, flag):
    """title and message as lists of units (bytes for the ansi form)."""
    wide = form == "wide"
    step = b"--toast%s=%d,%d,%s,%s" % (b"-wide" if wide else b"", param, flag_argument,
                                        host_escaped(title, wide), host_escaped(message, wide))

    def shown(units):
        return "".join(map(chr, units)).encode("utf-8") if wide else bytes(units)
    returned = rb"display-toast%s returned -?\d+" % (b"-wide" if wide else b"")
    return step, [toast_line(form, shown(title), shown(message[:TOAST_CAPACITY]), param, flag),
                  matching(returned)]


def toasts_suite(service_url):
    """The command's error path and both toast forms called directly."""
    steps = []
    # No space in the parameter text, an empty one, or a code longer than the code area holds.
    for command in [b"/xtrn fr_en", b"/xtrn", b"/xtrn fr_en\tbonjour", b"/XTRN fr_en",
                    b"/Xtrn fr_en", b"/xtrn fr_enx bonjour", b"/xtrn fr_en_x bonjour"]:
        steps.append((command, [ERROR_TOAST, help_box(service_url), b"result 1 unchanged"]))

    letters = list((string.ascii_letters + string.digits + " ,.;-").encode())
    def text(length, alphabet=letters):
        return [alphabet[i % len(alphabet)] for i in range(length)]

    for form in ["ansi", "wide"]:
        # The message is cut after 255 characters; shorter ones arrive whole.
        for length in [0, 1, 254, 255, 256, 300]:
            steps.append(toast_step(form, 0, 0, list(b"Length test"), text(length), 0))
        # Only the low byte of the flag counts; param passes through unchanged.
        for flag_argument, flag in [(0, 0), (1, 0xFFFFFFFF), (255, 0xFFFFFFFF), (256, 0),
                                    (257, 0xFFFFFFFF), (0xFFFFFF00, 0), (0x80000000, 0)]:
            steps.append(toast_step(form, 0, flag_argument, list(b"Flag test"), text(20), flag))
        for param in [1, 42, 0x7FFFFFFF, 0xFFFFFFFF]:
            steps.append(toast_step(form, param, 1, list(b"Param test"), text(20), 0xFFFFFFFF))
        steps.append(toast_step(form, 0, 0, list(b"Bytes \xe9\x80\xff"), list(b"\x01\t\n\xa5\xff"), 0))
    # The wide copy counts 16-bit units: 300 of them arrive as 255, whatever their values.
    steps.append(toast_step("wide", 0, 0, [0x4E2D, 0x6587], text(300, [0x4E2D, 0xE9, 0x6587]), 0))
    steps.append(toast_step("wide", 0, 0, [0x20AC], [0x20AC] * 300, 0))
    return None, steps


SUITES = {"registration": registration_suite, "toasts": toasts_suite}


# --- running and comparing --------------------------------------------------------------------

def difference(got, want):
    """Where two long lines part, with a little context."""
    at = next((i for i, (a, b) in enumerate(zip(got, want)) if a != b), min(len(got), len(want)))
    start = max(0, at - 30)
    return "differs from byte %d\n    got:  %r\n    want: %r" % (
        at, got[start:at + 50], want[start:at + 50])


def compare(failures, where, got, want):
    for index in range(max(len(got), len(want))):
        line = got[index] if index < len(got) else None
        expected = want[index] if index < len(want) else None
        if line is None or expected is None:
            problem = "missing" if line is None else "unexpected %r" % line[:120]
        elif callable(expected):
            problem = expected(line)
        else:
            problem = None if line == expected else difference(line, expected)
        if problem:
            failures.append("%s: event %d %s" % (where, index, problem))


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--wine-run", required=True)
    parser.add_argument("--host", required=True, help="plugin-host.exe")
    parser.add_argument("--dll", required=True)
    parser.add_argument("--service-url", required=True, help="address the help text shows")
    parser.add_argument("--timeout", type=float, default=120)
    parser.add_argument("suites", nargs="+", choices=sorted(SUITES))
    args = parser.parse_args()

    startup, steps = None, []
    for suite in args.suites:
        suite_startup, suite_steps = SUITES[suite](args.service_url.encode())
        startup = startup or suite_startup
        steps += suite_steps
    completed = run_wine(args.wine_run, [args.host, args.dll], args.timeout,
                         [step for step, _ in steps])
    got_startup, got_steps = split_output(completed.stdout)

    failures = []
    if completed.returncode != 0:
        failures.append("plugin-host exited with %d: %s" % (
            completed.returncode, completed.stderr.decode(errors="replace").strip()))
    if startup is not None:
        compare(failures, "startup", got_startup, startup)
    elif any(not line.startswith(b"published ") for line in got_startup):
        failures.append("before the first step: %r" % got_startup)
    if len(got_steps) != len(steps):
        failures.append("%d steps ran, not %d" % (len(got_steps), len(steps)))
    for (step, want), got in zip(steps, got_steps):
        compare(failures, step[:80].decode(errors="replace"), got, [echo_of(step)] + want)

    for failure in failures:
        print(failure)
    print("%s: %d steps, %d failures" % (" ".join(args.suites), len(steps), len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
