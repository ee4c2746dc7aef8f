#!/usr/bin/env python3
"""Apertium-APy's API against the real peer: the same requests to Debian's apertium-apy and to
the service, both on free loopback ports with Debian's modes. Statuses, the shape of every
answer (its keys and their types, recursively) and the error bodies are equal; a translation
with the same pair is the same text; every pair APy lists, the service lists (and more: the
pairs through Spanish)."""

import argparse
import http.client
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts"))
from service_group import Group  # noqa: E402
from service_ready import free_port  # noqa: E402

SKIPPED = 77
APY = "/usr/bin/apertium-apy"
MODES = "/usr/share/apertium/modes"

# (what, target): each asked of both with GET.
REQUESTS = [
    ("a sentence", "/translate?langpair=eng|spa&markUnknown=no&format=txt&q=The%20house%20is%20red"),
    ("two-letter codes", "/translate?langpair=en|es&markUnknown=no&format=txt&q=I%20see%20a%20dog"),
    ("back", "/translate?langpair=spa|eng&markUnknown=no&format=txt&q=Nos%20vemos%20en%20casa"),
    ("several lines", "/translate?langpair=fra|spa&markUnknown=no&format=txt"
     "&q=Le%20chat%20est%20noir.%0ALe%20chien%20est%20blanc."),
    ("no text", "/translate?langpair=eng|spa"),
    ("no pair", "/translate?q=Hello"),
    ("a pair not installed", "/translate?langpair=eng|jpn&q=Hello"),
    ("a pair without a bar", "/translate?langpair=engspa&q=Hello"),
    ("the pairs", "/listPairs"),
]


def shape(value):
    """The keys and types of a JSON value, recursively; lists by their first item."""
    if isinstance(value, dict):
        return {key: shape(item) for key, item in value.items()}
    if isinstance(value, list):
        return [shape(value[0])] if value else []
    return type(value).__name__


def get(port, target):
    connection = http.client.HTTPConnection("127.0.0.1", port, timeout=60)
    try:
        connection.request("GET", target)
        response = connection.getresponse()
        return response.status, json.loads(response.read() or b"null")
    finally:
        connection.close()


def wait_for_apy(port, process, seconds=120):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if process.poll() is not None:
            return False
        try:
            if get(port, "/listPairs")[0] == 200:
                return True
        except OSError:
            time.sleep(0.5)
    return False


def compare(what, ours, theirs, problems):
    (our_status, our_body), (their_status, their_body) = ours, theirs
    if our_status != their_status:
        problems.append("%s: status %d, APy %d" % (what, our_status, their_status))
    if shape(our_body) != shape(their_body):
        problems.append("%s: shape %r, APy %r" % (what, shape(our_body), shape(their_body)))
    if our_status == 200 and "responseData" in their_body and isinstance(
            their_body["responseData"], dict):
        # Apertium puts a blank in front of some sentences, which APy passes on and the
        # service takes off.
        ours_text = our_body["responseData"]["translatedText"]
        theirs_text = their_body["responseData"]["translatedText"]
        if ours_text != theirs_text.strip():
            problems.append("%s: %r, APy %r" % (what, ours_text, theirs_text))
    if their_status != 200 and our_body != their_body:
        problems.append("%s: error %r, APy %r" % (what, our_body, their_body))


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--build", required=True, help="the linux preset's build folder")
    args = parser.parse_args()
    if not os.access(APY, os.X_OK):
        print("skipped: %s is not installed (apertium-apy)" % APY)
        return SKIPPED
    problems = []
    apy_port = free_port()
    log = tempfile.TemporaryFile()
    # As its systemd unit starts it.
    apy = subprocess.Popen([APY, "-p", str(apy_port), MODES], stdout=log, stderr=log,
                           env=dict(os.environ, LC_ALL="C.UTF-8"))
    try:
        with Group(args.build) as group:
            service = group.instance(apertium=True)
            if not wait_for_apy(apy_port, apy):
                log.seek(0)
                print("FAILED apertium-apy did not start: %s" % log.read()[-1000:])
                return 1
            for what, target in REQUESTS:
                compare(what, get(service.port, target), get(apy_port, target), problems)
            ours = {(p["sourceLanguage"], p["targetLanguage"])
                    for p in get(service.port, "/listPairs")[1]["responseData"]}
            # APy also lists the modes of a variant ("eng_US"), which the service leaves out.
            theirs = {(p["sourceLanguage"], p["targetLanguage"])
                      for p in get(apy_port, "/listPairs")[1]["responseData"]
                      if "_" not in p["sourceLanguage"] + p["targetLanguage"]}
            if not theirs <= ours:
                problems.append("pairs APy lists that the service does not: %r"
                                % sorted(theirs - ours))
    finally:
        apy.terminate()
        try:
            apy.wait(timeout=30)
        except subprocess.TimeoutExpired:
            apy.kill()
            apy.wait()
        log.close()
    for problem in problems:
        print("FAILED " + problem)
    return 1 if problems else 0


if __name__ == "__main__":
    if not shutil.which("python3"):
        sys.exit(SKIPPED)
    sys.exit(main())
