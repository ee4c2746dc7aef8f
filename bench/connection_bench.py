#!/usr/bin/env python3
"""The fixed cost of a connection, on a loopback port, one table: nginx's fixed answer, the
service's /health and a remembered /tr answer, each over a new connection per request (HTTP/1.0,
as the plug-in asks) and over one kept-alive connection (HTTP/1.1), interleaved request by
request; then /health and the remembered answer over new connections again while 8 slow
translations (a long text each, Apertium en_es) are in flight, nginx beside them."""

import argparse
import os
import socket
import statistics
import subprocess
import sys
import threading
import time
import urllib.parse

sys.dont_write_bytecode = True
HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, "..", "scripts"))
from latency import interleaved_calls, load_average, summary, verdict  # noqa: E402
from service_group import Group  # noqa: E402

REMEMBERED = "/tr?lp=en_es&trtext=" + urllib.parse.quote("See you tomorrow at the station")
SENTENCE = ("The city council announced on Tuesday that the new bridge across the river will open "
            "to traffic next spring, after two years of delays. ")
SLOW_CLIENTS = 8


def read_answer(connection, head_only=False):
    """(status, body) of one answer: to its Content-Length, else to the end of the connection."""
    data = b""
    while b"\r\n\r\n" not in data:
        block = connection.recv(65536)
        if not block:
            break
        data += block
    head, _, body = data.partition(b"\r\n\r\n")
    length = None
    for line in head.split(b"\r\n")[1:]:
        name, _, value = line.partition(b":")
        if name.strip().lower() == b"content-length":
            length = int(value)
    while length is None or len(body) < length:
        block = connection.recv(65536)
        if not block:
            break
        body += block
    status = int(head.split(b" ", 2)[1]) if head.startswith(b"HTTP/") else 0
    return status, body


def new_connection(port, target):
    """(milliseconds, status, body) of one HTTP/1.0 GET on a connection of its own."""
    start = time.perf_counter()
    with socket.create_connection(("127.0.0.1", port), timeout=60) as connection:
        connection.sendall(b"GET %s HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n" % target.encode())
        status, body = read_answer(connection)
    return (time.perf_counter() - start) * 1000, status, body


class KeptAlive:
    """HTTP/1.1 GETs on one connection per port, opened on first use."""

    def __init__(self):
        self.connections = {}

    def get(self, port, target):
        if port not in self.connections:
            self.connections[port] = socket.create_connection(("127.0.0.1", port), timeout=60)
        connection = self.connections[port]
        start = time.perf_counter()
        connection.sendall(b"GET %s HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n" % target.encode())
        status, body = read_answer(connection)
        return (time.perf_counter() - start) * 1000, status, body

    def close(self):
        for connection in self.connections.values():
            connection.close()


def slow_translations(port, kilobytes, stop, done):
    """Keeps SLOW_CLIENTS long texts in flight, each new (so none is remembered), until `stop`;
    `done` gets each one's milliseconds and status."""
    text = SENTENCE * max(1, kilobytes * 1024 // len(SENTENCE))

    def client(number):
        round_number = 0
        while not stop.is_set():
            round_number += 1
            target = "/tr?lp=en_es&trtext=" + urllib.parse.quote(
                "Client %d, round %d. %s" % (number, round_number, text))
            done.append(new_connection(port, target)[:2])

    threads = [threading.Thread(target=client, args=(n,)) for n in range(SLOW_CLIENTS)]
    for thread in threads:
        thread.start()
    return threads


def page_prices(build):
    """What bench/fresh_pages.cpp says a never-touched page and a reused one cost here: the
    connection memory's share of a new connection is about ten fresh pages."""
    program = os.path.join(build, "fresh-pages")
    if not os.path.exists(program):
        return "fresh-pages not built"
    return subprocess.run([program], capture_output=True, text=True, check=True).stdout.strip()


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--build", required=True)
    parser.add_argument("--rounds", type=int, default=400)
    parser.add_argument("--slow-kib", type=int, default=8, help="each slow translation's text")
    args = parser.parse_args()
    before = load_average()
    kept = KeptAlive()
    with Group(args.build) as group:
        nginx = group.nginx_fixed("ok")
        service = group.instance("--pairs", "en_es", apertium=True)
        new_connection(service.port, REMEMBERED)  # now it is remembered
        kinds = {}
        for name, port, target in (("nginx, fixed 200", nginx.port, "/"),
                                   ("/health", service.port, "/health"),
                                   ("remembered /tr", service.port, REMEMBERED)):
            kinds[name + ", new connection"] = (
                lambda port=port, target=target: new_connection(port, target))
            kinds[name + ", keep-alive"] = (
                lambda port=port, target=target: kept.get(port, target))
        times, failures = interleaved_calls(kinds, args.rounds)
        kept.close()
        stop, done = threading.Event(), []
        threads = slow_translations(service.port, args.slow_kib, stop, done)
        try:
            while len(done) < SLOW_CLIENTS:  # every client's first is answered: all warm
                time.sleep(0.05)
            # nginx beside them: what the machine's CPU, which the pipelines take, leaves to
            # any server.
            busy = {name + ", new connection, 8 slow translations in flight": (
                lambda port=port, target=target: new_connection(port, target))
                for name, port, target in (("nginx, fixed 200", nginx.port, "/"),
                                           ("/health", service.port, "/health"),
                                           ("remembered /tr", service.port, REMEMBERED))}
            first = len(done)
            busy_times, busy_failures = interleaved_calls(busy, args.rounds // 2)
            slow_during = len(done) - first
        finally:
            stop.set()
            for thread in threads:
                thread.join()
    times.update(busy_times)
    failures.update(busy_failures)
    median = {name: statistics.median(samples) if samples else float("nan")
              for name, samples in times.items()}
    slow_ms = [ms for ms, status in done if status == 200]
    print("load average before %s, after %s; %d rounds, interleaved; the slow texts %d KiB, "
          "%d answered while measured, median %.0f ms, %d not 200"
          % (before, load_average(), args.rounds, args.slow_kib, slow_during,
             statistics.median(slow_ms) if slow_ms else float("nan"),
             sum(1 for _, status in done if status != 200)))
    print("this machine: %s" % page_prices(args.build))
    print()
    print("| request | median / p99 |")
    print("| --- | --- |")
    for name, samples in times.items():
        print("| %s | %s |" % (name, summary(samples)))
    print()
    print("| target | figure | verdict |")
    print("| --- | --- | --- |")
    added = median["remembered /tr, new connection"] - median["nginx, fixed 200, new connection"]
    print("| remembered /tr over nginx, new connection | %+.2f ms | at most +0.15 ms: %s |"
          % (added, verdict(added <= 0.15)))
    for name in ("/health", "remembered /tr"):
        busy = median[name + ", new connection, 8 slow translations in flight"]
        print("| %s, 8 slow translations in flight | %.2f ms | within 0.5 ms: %s |"
              % (name, busy, verdict(busy <= 0.5)))
    print("| answers other than 200 | %d | |" % sum(failures.values()))
    return 0


if __name__ == "__main__":
    sys.exit(main())
