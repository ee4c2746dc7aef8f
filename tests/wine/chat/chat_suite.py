#!/usr/bin/env python3
"""The chat prompt as a person uses it through a pipe: lines typed in UTF-8 go to the plug-in in
the host's code page, and what comes back is shown as text, a toast line and a framed help box;
a problem says why, and /quit ends it."""

import argparse
import os
import subprocess
import sys
import tempfile

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from mirelskan_wine import Failures, namespace_wineserver  # noqa: E402
from mirelskan_wine.wine import time_scale  # noqa: E402
from wine_support import LOCAL_HTTP_ADDRESS, translation_service  # noqa: E402

TYPED = ["/xtrn en_es How are you?",
         "/xtrn fr_es Le caf\u00e9 est tr\u00e8s bon",
         "/xtrn",
         "/xtrn en_de Hello",
         "/quit",
         "/xtrn en_es Not after quitting"]


def main():
    parser = argparse.ArgumentParser()
    for option in ("--console", "--wine-run", "--host", "--dll", "--service"):
        parser.add_argument(option, required=True)
    args = parser.parse_args()

    failures = Failures()
    with tempfile.NamedTemporaryFile() as log, translation_service(args.service, log) as service:
        if not service:
            print("the translation service did not start listening")
            return 1
        with namespace_wineserver(args.wine_run) as env:
            run = subprocess.run([sys.executable, args.console, "--wine-run", args.wine_run,
                                  "--host", args.host, "--dll", args.dll, "--service-log",
                                  log.name, "--service", "http://%s:%d" % LOCAL_HTTP_ADDRESS],
                                 input="\n".join(TYPED).encode("utf-8") + b"\n",
                                 stdout=subprocess.PIPE, env=env, timeout=240 * time_scale())
    shown = run.stdout.decode("utf-8").split("\n")
    failures.check(run.returncode == 0, "console", "exit status", run.returncode, 0)

    def has(line, case):
        return failures.check(line in shown, case, "shown", "\n".join(shown), line)

    has("C\u00f3mo eres?", "a question")
    has("El caf\u00e9 es muy bueno", "non-ASCII both ways")
    has("[toast] Mirelskan Command error: See the help", "the error toast")
    box = [line for line in shown if line.startswith("|")]
    failures.check(any(line.startswith("+-- About Mirelskan Plugin ") for line in shown),
                   "help box", "framed under its caption", "\n".join(shown), None)
    for line in ("| /xtrn fr_en Un petit test de traduction", "| en_es ->English to spanish",
                 "| es_fr ->Spanish to french"):
        failures.check(any(b.rstrip(" |") == line for b in box), "help box", "line by line",
                       box, line)
    failures.check(len(set(len(b) for b in box)) == 1, "help box", "one width", box, None)
    has("translation problem", "unknown pair")
    failures.check(any(line.startswith("  (why: the service has no en_de pair; it has ")
                       and "en_es" in line for line in shown), "unknown pair", "why",
                   "\n".join(shown), None)
    failures.check(not any("Not after" in line or "No despu" in line for line in shown),
                   "/quit", "ends the prompt", "\n".join(shown), None)
    return failures.report("chat suite", "chat suite: %d lines shown" % len(shown))


if __name__ == "__main__":
    sys.exit(main())
