#!/usr/bin/env python3
"""What the APIs other clients speak cost over the plug-in's /tr, on a loopback port, one table:
- the 136-byte chunk (en_es, Apertium, nothing remembered) through /tr, LibreTranslate's JSON
  /translate and APy's /translate, interleaved request by request;
- 50 chat lines in one LibreTranslate batch against the same 50 lines one request each;
- a 2 KiB HTML post (format=html) against the same words as plain text.
Each request on a connection of its own, HTTP/1.0, read to the end by a plain socket."""

import argparse
import json
import os
import socket
import statistics
import sys
import time
import urllib.parse

sys.dont_write_bytecode = True
HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, "..", "scripts"))
from latency import interleaved_calls, load_average, percentile, summary, verdict  # noqa: E402
from service_group import Group  # noqa: E402

CHUNK = ("The city council announced on Tuesday that the new bridge across the river will open to "
         "traffic next spring, after two years of delays. ")
LINES = ["ok", "thanks a lot", "see you tomorrow", "where are you now", "I agree with you",
         "good morning everyone", "the train is late again", "what time is the game",
         "my phone broke today", "happy birthday to your sister"] * 5
PARAGRAPH = ("<p>The <b>city council</b> announced on Tuesday that the <a href=\"https://example.org/"
             "bridge\">new bridge</a> across the river will open to traffic next spring.</p>\n")


def html_post():
    """About 2 KiB of HTML, and the same words without the markup."""
    html = "<!DOCTYPE html><html><body>\n" + PARAGRAPH * 12 + "</body></html>\n"
    plain = (CHUNK.strip() + "\n") * 12
    return html, plain


def request(port, method, target, body=b"", content_type="application/json"):
    """(milliseconds, status, body) of one HTTP/1.0 request on a connection of its own."""
    head = "%s %s HTTP/1.0\r\nHost: 127.0.0.1\r\n" % (method, target)
    if method == "POST":
        head += "Content-Type: %s\r\nContent-Length: %d\r\n" % (content_type, len(body))
    start = time.perf_counter()
    with socket.create_connection(("127.0.0.1", port), timeout=60) as connection:
        connection.sendall(head.encode() + b"\r\n" + body)
        answer = b""
        while True:
            block = connection.recv(65536)
            if not block:
                break
            answer += block
    elapsed = (time.perf_counter() - start) * 1000
    status = int(answer.split(b" ", 2)[1]) if answer.startswith(b"HTTP/") else 0
    return elapsed, status, answer.split(b"\r\n\r\n", 1)[-1]


def libre(text, **fields):
    return json.dumps(dict({"q": text, "source": "en", "target": "es"}, **fields)).encode()


def measure(port, count):
    """{name: [ms, ...]}, each kind of request in turn, the order reversed every other round."""
    html, plain = html_post()
    kinds = {
        "/tr": lambda: request(port, "GET", "/tr?lp=en_es&trtext=" + urllib.parse.quote(CHUNK)),
        "LibreTranslate /translate": lambda: request(port, "POST", "/translate", libre(CHUNK)),
        "APy /translate": lambda: request(
            port, "GET", "/translate?langpair=en|es&format=txt&q=" + urllib.parse.quote(CHUNK)),
        "50 lines, one batch": lambda: request(port, "POST", "/translate", libre(LINES)),
        "50 lines, one request each": lambda: many(port, LINES),
        "2 KiB HTML, format=html": lambda: request(port, "POST", "/translate",
                                                   libre(html, format="html")),
        "the same words, plain": lambda: request(port, "POST", "/translate", libre(plain)),
    }
    return interleaved_calls(kinds, count)


def many(port, lines):
    total, worst = 0.0, 200
    for line in lines:
        ms, status, _ = request(port, "POST", "/translate", libre(line))
        total += ms
        if status != 200:
            worst = status
    return total, worst, b""


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--build", required=True)
    parser.add_argument("--rounds", type=int, default=60)
    args = parser.parse_args()
    before = load_average()
    with Group(args.build) as group:
        # Nothing remembered: every request is translated, as a new line would be.
        service = group.instance("--pairs", "en_es", "--cache-mib", "0", apertium=True)
        for _ in range(5):  # warm both pipelines
            request(service.port, "POST", "/translate", libre(CHUNK))
        times, failures = measure(service.port, args.rounds)
    median = {name: statistics.median(samples) if samples else float("nan")
              for name, samples in times.items()}
    print("load average before %s, after %s; %d rounds, interleaved; one connection per request"
          % (before, load_average(), args.rounds))
    print()
    print("| request | median / p99 | target |")
    print("| --- | --- | --- |")
    for name, samples in times.items():
        print("| %s | %s | |" % (name, summary(samples) if samples else "no answer"))
    added = median["LibreTranslate /translate"] - median["/tr"]
    print("| LibreTranslate over /tr, 136 B | %+.2f ms | at most +0.2 ms: %s |"
          % (added, verdict(added <= 0.2)))
    added = median["APy /translate"] - median["/tr"]
    print("| APy over /tr, 136 B | %+.2f ms | at most +0.2 ms: %s |" % (added, verdict(added <= 0.2)))
    ratio = median["50 lines, one request each"] / median["50 lines, one batch"]
    print("| the batch, faster by | x%.1f | at least x3: %s |" % (ratio, verdict(ratio >= 3)))
    ratio = median["2 KiB HTML, format=html"] / median["the same words, plain"]
    print("| HTML over plain | x%.2f | at most x1.5: %s |" % (ratio, verdict(ratio <= 1.5)))
    bad = sum(failures.values())
    print("| answers other than 200 | %d | |" % bad)
    return 0


if __name__ == "__main__":
    sys.exit(main())
