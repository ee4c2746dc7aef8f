#!/usr/bin/env python3
"""What the limits per client and the metrics add to a request: the 136-byte chunk (en_es)
through the service with a rate limit, a character limit and a trusted proxy set (none of them
reached) and its metrics counting, against a build without them (--baseline), requests in turn,
one connection each; then the time of one /metrics scrape. Prints one table."""

import argparse
import os
import socket
import statistics
import sys
import tempfile
import urllib.parse

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from latency import get, interleaved, load_average, started, summary, wait_for_http  # noqa: E402

TEXT = ("The city council announced on Tuesday that the new bridge across the river will "
        "open to traffic next spring, after two years of delays. ")
GUARDS = ["--rate-limit", "1000000", "--char-limit", "100000", "--trust-proxy", "127.0.0.9"]


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--service", required=True)
    parser.add_argument("--baseline", required=True)
    parser.add_argument("--requests", type=int, default=600)
    args = parser.parse_args()
    assert len(TEXT.encode()) == 136
    ports = {"with limits and metrics": free_port(), "baseline": free_port()}
    target = "/tr?lp=en_es&trtext=" + urllib.parse.quote(TEXT)
    requests = {name: (port, target) for name, port in ports.items()}

    def good(name, status, body):
        return status == 200 and b"<div style=padding:10px;>" in body

    load_before = load_average()
    with tempfile.TemporaryFile() as output, \
            started([args.service, "--listen", "127.0.0.1:%d" % ports["with limits and metrics"],
                     "--pairs", "en_es"] + GUARDS, stderr=output) as service, \
            started([args.baseline, "--listen", "127.0.0.1:%d" % ports["baseline"],
                     "--pairs", "en_es"], stderr=output) as baseline:
        for name, process in (("with limits and metrics", service), ("baseline", baseline)):
            if not wait_for_http("http://127.0.0.1:%d/" % ports[name], process, 120):
                raise SystemExit("%s did not start" % name)
        interleaved(requests, 20, good)
        times, failures = interleaved(requests, args.requests, good)
        scrapes = [get(ports["with limits and metrics"], "/metrics") for _ in range(200)]
    print("load average before %s, after %s; %d requests each, in turn, one connection each"
          % (load_before, load_average(), args.requests))
    print()
    print("| en_es, 136 B | median / p99 | failed |")
    print("| --- | --- | --- |")
    for name in ports:
        print("| %s | %s | %d |" % (name, summary(times[name]), failures[name]))
    added = statistics.median(times["with limits and metrics"]) - statistics.median(
        times["baseline"])
    print("| added at the median | %+.3f ms | |" % added)
    print("| GET /metrics (200 scrapes) | %s | %d |"
          % (summary([ms for ms, status, _ in scrapes if status == 200]),
             sum(1 for _, status, _ in scrapes if status != 200)))


if __name__ == "__main__":
    main()
