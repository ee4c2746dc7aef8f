#!/usr/bin/env python3
"""LibreTranslate's clients as people install them: the npm packages `libretranslate` 1.0.1 and
`translate` 3.1.0 (engine "libre"), fetched from the npm registry into a folder of the test's
own and run under node, and `curl -F` as LibreTranslate's shell examples send a form, each
against the service with Debian's en_es and es_en pairs. What each hands its caller is checked
literally, and so is a JSON batch through curl."""

import argparse
import json
import os
import shutil
import subprocess
import sys
import tempfile

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts"))
from service_group import Group  # noqa: E402

SKIPPED = 77
PACKAGES = ["libretranslate@1.0.1", "translate@3.1.0"]

# Run with the service's URL as its argument; one JSON line per call, in order.
CLIENTS = r"""
const url = process.argv[2];
const { translate: libre } = require("libretranslate");
(async () => {
  const translate = (await import("translate")).default;
  translate.engine = "libre";
  translate.url = url + "/translate";
  const calls = [
    () => libre({ query: "The house is red", source: "en", target: "es", apiurl: url }),
    () => libre({ query: "La casa es roja", target: "en", apiurl: url }),
    () => translate("The house is red", { from: "en", to: "es" }),
    () => translate("I love you <3 @bob", { from: "en", to: "es" }),
  ];
  for (const call of calls) {
    try {
      console.log(JSON.stringify({ ok: await call() }));
    } catch (error) {
      console.log(JSON.stringify({ error: String(error) }));
    }
  }
})();
"""

EXPECTED = [
    {"ok": "La casa es roja"},
    # libretranslate's source defaults to "auto": the service detects it.
    {"ok": "The house is red"},
    {"ok": "La casa es roja"},
    # The emoticon and the name come back as typed.
    {"ok": "Te quieres <3 @bob"},
]


def npm_install(folder):
    """True once the packages are installed; a registry that cannot be reached is a skip."""
    command = ["npm", "install", "--no-audit", "--no-fund", "--no-save", "--prefix", folder,
               "--cache", os.path.join(folder, "npm-cache")] + PACKAGES
    for _ in range(2):
        done = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                              timeout=300)
        if done.returncode == 0:
            return True
    print("skipped: npm could not install %s: %s" % (" ".join(PACKAGES),
                                                    done.stdout.decode()[-400:]))
    return False


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--build", required=True, help="the linux preset's build folder")
    args = parser.parse_args()
    for program in ("node", "npm", "curl"):
        if not shutil.which(program):
            print("%s is not installed (scripts/install-deps.sh installs it)" % program)
            return 1
    problems = []
    folder = tempfile.mkdtemp(prefix="npm-clients-")
    try:
        # The folder is new: nothing comes from an earlier run's cache.
        if not npm_install(folder):
            return SKIPPED
        with Group(args.build) as group:
            service = group.instance("--pairs", "en_es,es_en", apertium=True)
            script = os.path.join(folder, "clients.js")
            with open(script, "w") as out:
                out.write(CLIENTS)
            ran = subprocess.run(["node", script, service.url], cwd=folder,
                                 stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=120)
            got = [json.loads(line) for line in ran.stdout.decode().splitlines() if line]
            if got != EXPECTED:
                problems.append("the npm clients: expected %r, got %r (stderr %r)"
                                % (EXPECTED, got, ran.stderr.decode()[-400:]))
            form = subprocess.run(["curl", "-s", "-F", "q=The house is red", "-F", "source=en",
                                   "-F", "target=es", service.url + "/translate"],
                                  stdout=subprocess.PIPE, timeout=60)
            if json.loads(form.stdout or b"null") != {"translatedText": "La casa es roja"}:
                problems.append("curl -F: got %r" % form.stdout)
            # A batch goes to Apertium in one request; each line comes back as it would alone.
            batch = subprocess.run(
                ["curl", "-s", "-H", "Content-Type: application/json", "-d",
                 json.dumps({"q": ["The house is red", "I love you <3 @bob", "  see you  "],
                             "source": "en", "target": "es"}), service.url + "/translate"],
                stdout=subprocess.PIPE, timeout=60)
            if json.loads(batch.stdout or b"null") != {
                    "translatedText": ["La casa es roja", "Te quieres <3 @bob", "  Te ves  "]}:
                problems.append("a batch: got %r" % batch.stdout)
            if problems:
                problems.append("service log:\n" + group.logs()[-2000:])
    finally:
        shutil.rmtree(folder, ignore_errors=True)
    for problem in problems:
        print("FAILED " + problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
