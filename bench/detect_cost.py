#!/usr/bin/env python3
"""What the language detection costs: the 136-byte chunk through the target-only code `es`
against `en_es`, requests in turn on one service, one connection each (detection adds at most
1 ms to the median); and the memory the detection holds at rest: the service's own proportional
set size with and without --no-detect, the same pipelines behind both. Prints one table."""

import argparse
import os
import socket
import statistics
import sys
import tempfile
import urllib.parse

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from latency import interleaved, load_average, started, summary, wait_for_http  # noqa: E402
from service_bench import memory  # noqa: E402

CHUNK = ("The city council announced on Tuesday that the new bridge across the river will "
         "open to traffic next spring, after two years of delays. ")
# Every pair into Spanish: the sources `es` chooses among.
PAIRS = "en_es,fr_es,it_es,pt_es"


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def own_pss(pid):
    """The service process alone, its pipelines left out (MiB)."""
    with open("/proc/%d/smaps_rollup" % pid) as rollup:
        for line in rollup:
            if line.startswith("Pss:"):
                return int(line.split()[1]) / 1024
    return 0.0


def at_rest(binary, options):
    """(the service's own PSS, its whole tree's PSS) once ready, in MiB."""
    port = free_port()
    with tempfile.TemporaryFile() as output, \
            started([binary, "--listen", "127.0.0.1:%d" % port, "--pairs", PAIRS] + options,
                    stderr=output) as service:
        if not wait_for_http("http://127.0.0.1:%d/health" % port, service, 120):
            raise SystemExit("the service did not start")
        return own_pss(service.pid), memory(service.pid)[2]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--service", required=True)
    parser.add_argument("--requests", type=int, default=400)
    args = parser.parse_args()
    assert len(CHUNK.encode()) == 136
    text = urllib.parse.quote(CHUNK)
    port = free_port()
    requests = {code: (port, "/tr?lp=%s&trtext=%s" % (code, text)) for code in ("en_es", "es")}

    def good(name, status, body):
        return status == 200 and b"puente" in body

    load_before = load_average()
    with tempfile.TemporaryFile() as output, \
            started([args.service, "--listen", "127.0.0.1:%d" % port, "--pairs", PAIRS,
                     # Every request the same text: remembered, none would reach the engine.
                     "--cache-mib", "0"],
                    stderr=output) as service:
        if not wait_for_http("http://127.0.0.1:%d/health" % port, service, 120):
            raise SystemExit("the service did not start")
        interleaved(requests, 20, good)
        times, failures = interleaved(requests, args.requests, good)
    with_detection = at_rest(args.service, [])
    without = at_rest(args.service, ["--no-detect"])

    added = statistics.median(times["es"]) - statistics.median(times["en_es"])
    print("load average before %s, after %s; %d requests each, in turn, one connection each; "
          "pairs %s" % (load_before, load_average(), args.requests, PAIRS))
    print()
    print("| 136 B chunk | median / p99 | failed | |")
    print("| --- | --- | --- | --- |")
    print("| en_es | %s | %d | |" % (summary(times["en_es"]), failures["en_es"]))
    print("| es (source detected) | %s | %d | %+.2f ms at the median (target 1 ms): %s |"
          % (summary(times["es"]), failures["es"], added, "met" if added <= 1 else "NOT met"))
    print()
    print("| at rest, PSS | the service alone | with its pipelines |")
    print("| --- | --- | --- |")
    print("| detection on | %.1f MiB | %.1f MiB |" % with_detection)
    print("| --no-detect | %.1f MiB | %.1f MiB |" % without)
    print("| detection holds | %.1f MiB | %.1f MiB |" % (with_detection[0] - without[0],
                                                      with_detection[1] - without[1]))
    return 0


if __name__ == "__main__":
    sys.exit(main())
