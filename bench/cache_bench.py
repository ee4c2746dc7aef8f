#!/usr/bin/env python3
"""Remembered answers and nginx in front, on loopback ports, one table:
- the 136-byte chunk (en_es, Apertium) answered from memory, from the shared state (Redis,
  remembered by another instance) and translated (a miss: the chunk with a different
  three-digit number each time), against /health, all interleaved request by request;
- the hit ratio on a chat-like corpus through the LibreTranslate stand-in, which counts what
  reaches it;
- nginx with the packaged configuration in front of one instance against the instance directly,
  for a remembered chunk.
Each request as the plug-in sends it: HTTP/1.0 on a connection of its own, read to the end by a
plain socket (http.client's own parsing would add a tenth of a millisecond to every figure)."""

import argparse
import os
import random
import socket
import statistics
import sys
import time
import urllib.parse

sys.dont_write_bytecode = True
HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, "..", "scripts"))
import latency  # noqa: E402
from latency import load_average, summary  # noqa: E402
from service_group import Group, calls  # noqa: E402

TEXT = ("The city council announced on Tuesday that the new bridge across the river will open to "
        "traffic next spring, after two years of delays. ")
MARKER = b"<div style=padding:10px;>"

# Lines that come back in every chat, most common first, then made-up lines that are rarer.
STOCK = ["ok", "thanks", "lol", "yes", "no", "hi", "hello everyone", "good morning", "good night",
         "see you later", "brb", "thank you so much", "haha", "what do you mean", "I agree",
         "me too", "sounds good", "where are you", "on my way", "welcome back", "how are you",
         "fine, and you", "sorry", "no problem", "happy birthday", "congratulations", "great idea",
         "let me check", "I do not know", "wait a minute"]
WORDS = ("the a my your this that new old big small good bad red blue cat dog house car train "
         "game film song book phone computer friend brother sister teacher city river park "
         "school work today tomorrow now later is was looks seems broke arrived left won lost "
         "again really very quite too").split()


def chat_corpus(distinct, draws, seed):
    """`draws` lines drawn with a Zipf law (weight 1/rank) over `distinct` fixed lines, seeded:
    the stock lines rank first, then made-up lines of 3 to 9 words."""
    generator = random.Random(seed)
    lines = list(STOCK)
    while len(lines) < distinct:
        line = " ".join(generator.choice(WORDS) for _ in range(generator.randint(3, 9)))
        if line not in lines:
            lines.append(line)
    weights = [1.0 / rank for rank in range(1, distinct + 1)]
    return generator.choices(lines, weights=weights, k=draws)


def get(port, target):
    """(milliseconds, status, body) of one HTTP/1.0 GET, as the plug-in makes it."""
    start = time.perf_counter()
    with socket.create_connection(("127.0.0.1", port), timeout=30) as connection:
        connection.sendall(b"GET " + target.encode() + b" HTTP/1.0\r\nAccept: */*\r\n\r\n")
        blocks = []
        while True:
            block = connection.recv(65536)
            if not block:
                break
            blocks.append(block)
    answer = b"".join(blocks)
    status = int(answer.split(b" ", 2)[1]) if answer.startswith(b"HTTP/") else 0
    return (time.perf_counter() - start) * 1000, status, answer


def interleaved(requests, count, check):
    """latency.interleaved with this bench's requests, as the plug-in sends them; the bad
    answers counted together."""
    times, failures = latency.interleaved(requests, count, check, get=get)
    return times, sum(failures.values())


def tr(text):
    return "/tr?lp=en_es&trtext=" + urllib.parse.quote(text)


def translated(name, status, body):
    return status == 200 and (name == "health" or MARKER in body)


def cache_rows(group, redis, rounds):
    shared = ("--pairs", "en_es", "--shared-state", redis.url)
    first = group.instance(*shared, apertium=True)
    second = group.instance(*shared, apertium=True)
    get(first.port, tr(TEXT))
    times = {name: [] for name in ("miss", "shared", "hit", "health")}
    failures = 0
    for n in range(rounds):
        # A new text each round: translated by the first, then found by the second in Redis.
        text = TEXT.replace("two", "%03d" % n)
        requests = {"miss": (first.port, tr(text)), "shared": (second.port, tr(text)),
                    "hit": (first.port, tr(TEXT)), "health": (first.port, "/health")}
        order = ["miss", "shared"] + (["hit", "health"] if n % 2 == 0 else ["health", "hit"])
        for name in order:
            ms, status, body = get(*requests[name])
            if translated(name, status, body):
                times[name].append(ms)
            else:
                failures += 1
    return times, failures, first


def hit_ratio(group, distinct, draws, seed):
    upstream = group.stand_in()
    service = group.instance("--upstream", "libretranslate=" + upstream.url)
    corpus = chat_corpus(distinct, draws, seed)
    failed = sum(get(service.port, tr(line))[1] != 200 for line in corpus)
    reached = calls(upstream)
    return len(corpus), len(set(corpus)), reached, failed


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default="build/linux")
    parser.add_argument("--rounds", type=int, default=400)
    parser.add_argument("--draws", type=int, default=10000)
    args = parser.parse_args()
    load_before = load_average()
    with Group(args.build) as group:
        redis = group.redis()
        times, failures, first = cache_rows(group, redis, args.rounds)
        front = group.nginx([first.port])
        requests = {"nginx": (front.port, tr(TEXT)), "direct": (first.port, tr(TEXT))}
        interleaved(requests, 20, translated)
        proxy_times, proxy_failures = interleaved(requests, args.rounds, translated)
        count, distinct, reached, corpus_failures = hit_ratio(group, 2000, args.draws, 7)
    median = {name: statistics.median(samples) for name, samples in times.items()}
    speedup = median["miss"] / median["hit"]
    over_health = median["hit"] - median["health"]
    added = statistics.median(proxy_times["nginx"]) - statistics.median(proxy_times["direct"])
    measured, ideal = 1 - reached / count, 1 - distinct / count

    def met(ok):
        return "met" if ok else "NOT met"

    print("load average before %s, after %s; %d rounds, requests interleaved, one connection each"
          % (load_before, load_average(), args.rounds))
    print()
    print("| | median / p99 | compared | target |")
    print("| --- | --- | --- | --- |")
    print("| en_es 136 B, translated (a miss; Apertium, Redis asked and told) | %s | | |"
          % summary(times["miss"]))
    print("| en_es 136 B, from the shared state (remembered by the other instance) | %s | x%.1f "
          "faster than a miss | |" % (summary(times["shared"]), median["miss"] / median["shared"]))
    print("| en_es 136 B, from memory (a hit) | %s | x%.1f faster than a miss | at least x10: %s |"
          % (summary(times["hit"]), speedup, met(speedup >= 10)))
    print("| GET /health | %s | a hit %+.2f ms | within 0.3 ms: %s |"
          % (summary(times["health"]), over_health, met(over_health <= 0.3)))
    print("| a hit through nginx (packaged configuration) | %s | | |"
          % summary(proxy_times["nginx"]))
    print("| the same hit, the instance directly | %s | nginx %+.2f ms | at most 0.5 ms: %s |"
          % (summary(proxy_times["direct"]), added, met(added <= 0.5)))
    print("| chat corpus: %d lines drawn (Zipf, 1/rank) from %d, seed 7; %d distinct drawn | "
          "hit ratio %.1f%% | every repeat a hit: %.1f%% | |"
          % (count, 2000, distinct, 100 * measured, 100 * ideal))
    print("| requests not answered with a translation | %d | | |"
          % (failures + proxy_failures + corpus_failures))
    return 0


if __name__ == "__main__":
    sys.exit(main())
