#!/usr/bin/env python3
"""The plug-in under Wine against the real translation service on localhost:80, inside a
private network namespace: a text of several chunks comes back as lines of Spanish, the help
text's own example comes back in English, a question keeps its raw '?', a chat line's link, tag
and emoticon come back as typed, a code Apertium cannot serve is answered by the upstream (the
tests' LibreTranslate stand-in), a code that names only the target answers what the code of the
language detected does, and a long text sent over and over through one host process never meets
a reused connection that fails."""

import argparse
import contextlib
import os
import subprocess
import sys

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from mirelskan_wine import PASTED_TEXT, Failures, run_wine_in_namespace, unquote  # noqa: E402
from wine_support import translation_service  # noqa: E402

SENTENCE = b"The house is small and the garden is big. "
LONG_TEXT = SENTENCE * 10  # 420 bytes, cut into chunks of 136, 139 and 145
LONG_TEXT_CHUNKS = 3
PASTED_TEXT_CHUNKS = 29
CHAT_LINE = b"look at http://example.com/a?b=c&d=e#top with me #party :)"
UPSTREAM_PORT = 5000
# Times the pasted text is sent through one host process.
REPEATS = 30


def results(output):
    """The result buffers, in command order."""
    found = []
    for line in output.split(b"\n"):
        if line.startswith(b"result 1 \""):
            found.append(unquote(line[len(b"result 1 "):].rstrip(b"\r")))
    return found


@contextlib.contextmanager
def libretranslate_stand_in(binary):
    stand_in = subprocess.Popen([binary, str(UPSTREAM_PORT)], stdout=subprocess.PIPE)
    try:
        stand_in.stdout.readline()  # "listening on ...", or nothing if it failed
        yield
    finally:
        stand_in.terminate()
        stand_in.wait(timeout=30)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--wine-run", required=True)
    parser.add_argument("--host", required=True)
    parser.add_argument("--dll", required=True)
    parser.add_argument("--service", required=True)
    parser.add_argument("--libretranslate", required=True, help="the stand-in program")
    args = parser.parse_args()

    failures = Failures()
    upstream = "libretranslate=http://127.0.0.1:%d" % UPSTREAM_PORT
    with libretranslate_stand_in(args.libretranslate), \
            translation_service(args.service, options=["--upstream", upstream]) as service:
        if not service:
            print("the translation service did not start listening")
            return 1
        commands = [b"/xtrn en_es " + LONG_TEXT, b"/xtrn fr_en Un petit test de traduction",
                    b"/xtrn en_es How are you?", b"/xtrn en_es " + CHAT_LINE,
                    b"/xtrn en_de Hello", b"/xtrn en Je ne sais pas",
                    b"/xtrn fr_en Je ne sais pas"] + [b"/xtrn en_es " + PASTED_TEXT] * REPEATS
        run = run_wine_in_namespace(args.wine_run, [args.host, args.dll], 240, commands)

    failures.check(run.returncode == 0, "plugin-host", "exit status", run.returncode, 0)
    got = results(run.stdout)
    if not failures.check(len(got) == len(commands), "plugin-host", "a result per command",
                          len(got), len(commands)):
        return failures.report("service suite", "")

    spanish_lines = got[0].split(b"\n")
    failures.check(spanish_lines[-1] == b"", "en_es", "result ends with a line feed", got[0])
    spanish_lines = spanish_lines[:-1]
    failures.check(len(spanish_lines) == LONG_TEXT_CHUNKS, "en_es", "one line per chunk",
                   len(spanish_lines), LONG_TEXT_CHUNKS)
    for number, line in enumerate(spanish_lines):
        case = "en_es line %d" % number
        failures.check(b"casa" in line and b"jard\xedn" in line, case, "Spanish in Windows-1252",
                       line)
        failures.check(b"house" not in line and b"problem" not in line, case, "no English left",
                       line)
    failures.check(b"translation" in got[1] and b"test" in got[1], "fr_en", "English", got[1])
    failures.check(got[2] == b"C\xf3mo eres?\n", "question", "answered whole", got[2],
                   b"C\xf3mo eres?\n")
    want = b"Cariz en http://example.com/a?b=c&d=e#top conmigo #party :)\n"
    failures.check(got[3] == want, "chat line", "link, tag and emoticon as typed", got[3], want)
    failures.check(got[4] == b"HELLO [de]\n", "en_de", "answered by the upstream", got[4],
                   b"HELLO [de]\n")
    failures.check(got[5] == got[6], "target only", "/xtrn en answers what /xtrn fr_en does",
                   got[5], got[6])
    failures.check(b"know" in got[6] and b"problem" not in got[6], "target only", "English",
                   got[6])
    # The Spanish is longer than the 4096-byte result buffer holds: compare the runs instead.
    pasted = got[7:]
    problems = sum(result.count(b"translation problem") for result in pasted)
    failures.check(problems == 0, "pasted text", "every chunk translated", problems, 0)
    failures.check(b"perro" in pasted[0], "pasted text", "Spanish", pasted[0][:200])
    differing = [number for number, result in enumerate(pasted) if result != pasted[0]]
    failures.check(not differing, "pasted text", "the same translation every run", differing, [])
    return failures.report("service suite", "service suite: %d Spanish lines, %d pasted texts "
                           "of %d chunks, %d problems" % (len(spanish_lines), REPEATS,
                                                          PASTED_TEXT_CHUNKS, problems))


if __name__ == "__main__":
    sys.exit(main())
