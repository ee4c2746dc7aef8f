#!/usr/bin/env python3
"""The service forwarding to Apertium-APy against APy called directly: the same 136-byte chunk
(en_es), the same client, requests in turn, one connection each. The service has no local pairs,
so every request goes upstream. Prints one table."""

import argparse
import json
import os
import statistics
import sys
import tempfile
import urllib.parse

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from latency import interleaved, load_average, started, summary, wait_for_http  # noqa: E402

TEXT = ("The city council announced on Tuesday that the new bridge across the river will open to "
        "traffic next spring, after two years of delays. ")
SERVICE_PORT, APY_PORT = 2738, 2737


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--service", default="build/linux/translation-service")
    parser.add_argument("--requests", type=int, default=600)
    args = parser.parse_args()
    quoted = urllib.parse.quote(TEXT)
    requests = {
        "apy": (APY_PORT, "/translate?langpair=eng%7Cspa&markUnknown=no&format=txt&q=" + quoted),
        "service": (SERVICE_PORT, "/tr?lp=en_es&trtext=" + quoted),
    }

    def good(name, status, body):
        if status != 200:
            return False
        if name == "apy":
            return json.loads(body).get("responseStatus") == 200
        return b"<div style=padding:10px;>" in body

    load_before = load_average()
    with tempfile.TemporaryDirectory() as no_modes, tempfile.TemporaryFile() as output:
        apy_command = ["apertium-apy", "-p", str(APY_PORT), "/usr/share/apertium/modes"]
        service_command = [args.service, "--listen", "127.0.0.1:%d" % SERVICE_PORT, "--modes",
                           no_modes, "--upstream", "apy=http://127.0.0.1:%d" % APY_PORT]
        with started(apy_command, stdout=output, stderr=output,
                     env=dict(os.environ, LC_ALL="C.UTF-8")) as apy:
            if not wait_for_http("http://127.0.0.1:%d/listPairs" % APY_PORT, apy, 180):
                raise SystemExit("apertium-apy did not start")
            with started(service_command, stdout=output, stderr=output) as service:
                if not wait_for_http("http://127.0.0.1:%d/health" % SERVICE_PORT, service, 60):
                    raise SystemExit("the service did not become ready")
                interleaved(requests, 20, good)  # APy starts the pair's pipeline on first use
                times, failures = interleaved(requests, args.requests, good)
    added = statistics.median(times["service"]) - statistics.median(times["apy"])
    print("load average before %s, after %s; %d requests each, in turn, one connection each"
          % (load_before, load_average(), args.requests))
    print()
    print("| en_es, 136 B | median / p99 | failed | target |")
    print("| --- | --- | --- | --- |")
    print("| Apertium-APy called directly | %s | %d | |" % (summary(times["apy"]), failures["apy"]))
    print("| translation-service forwarding to APy | %s | %d | |"
          % (summary(times["service"]), failures["service"]))
    print("| added by the service, at the median | %+.2f ms | | at most 1 ms: %s |"
          % (added, "met" if added <= 1 else "NOT met"))
    return 0


if __name__ == "__main__":
    sys.exit(main())
