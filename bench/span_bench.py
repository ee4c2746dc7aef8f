#!/usr/bin/env python3
"""What keeping a chat line's links, tags, emoticons and code costs: the 136-byte chunk (en_es)
with and without such spans, through the service and through a build of it that translates
every byte (--baseline), requests in turn, one connection each. Prints one table."""

import argparse
import os
import statistics
import sys
import tempfile
import urllib.parse

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from latency import interleaved, load_average, started, summary, wait_for_http  # noqa: E402

TEXTS = {
    "no spans": "The city council announced on Tuesday that the new bridge across the river will "
                "open to traffic next spring, after two years of delays. ",
    "with spans": "@ana the council says the new bridge opens next spring :) details at "
                  "https://example.com/news?id=42 #bridge, after two years of delays. ",
}
PORTS = {"service": 2740, "baseline": 2741}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--service", required=True)
    parser.add_argument("--baseline", required=True)
    parser.add_argument("--requests", type=int, default=400)
    args = parser.parse_args()
    for name, text in TEXTS.items():
        assert len(text.encode()) == 136, (name, len(text.encode()))
    requests = {(system, text): (PORTS[system], "/tr?lp=en_es&trtext=" +
                                 urllib.parse.quote(TEXTS[text]))
                for system in PORTS for text in TEXTS}

    def good(name, status, body):
        return status == 200 and b"<div style=padding:10px;>" in body

    load_before = load_average()
    binaries = {"service": args.service, "baseline": args.baseline}
    with tempfile.TemporaryFile() as output, \
            started([binaries["service"], "--listen", "127.0.0.1:%d" % PORTS["service"],
                     "--pairs", "en_es"], stderr=output) as service, \
            started([binaries["baseline"], "--listen", "127.0.0.1:%d" % PORTS["baseline"],
                     "--pairs", "en_es"], stderr=output) as baseline:
        for system, process in (("service", service), ("baseline", baseline)):
            if not wait_for_http("http://127.0.0.1:%d/" % PORTS[system], process, 120):
                raise SystemExit("%s did not start" % system)
        interleaved(requests, 20, good)
        times, failures = interleaved(requests, args.requests, good)
    print("load average before %s, after %s; %d requests each, in turn, one connection each"
          % (load_before, load_average(), args.requests))
    print()
    print("| en_es, 136 B | service: median / p99 | without protection: median / p99 "
          "| service over it, median | failed | target |")
    print("| --- | --- | --- | --- | --- | --- |")
    for text in TEXTS:
        ratio = (statistics.median(times[("service", text)]) /
                 statistics.median(times[("baseline", text)]))
        failed = failures[("service", text)] + failures[("baseline", text)]
        print("| %s | %s | %s | %+.1f%% | %d | at most +5%%: %s |"
              % (text, summary(times[("service", text)]), summary(times[("baseline", text)]),
                 (ratio - 1) * 100, failed, "met" if ratio <= 1.05 else "NOT met"))
    return 0


if __name__ == "__main__":
    sys.exit(main())
