#!/usr/bin/env python3
"""Several instances as one service, with the real things on free loopback ports: Redis, two
instances forwarding to the LibreTranslate stand-in (which counts its calls) and nginx with
the packaged configuration. What one instance translated, the other answers from the shared
state; with Redis stopped every request is still translated, and the shared state is used
again once Redis is back; an instance killed under load behind nginx fails no request; and an
instance with two upstreams goes to the second while the first is down, and answers 503 at once
when both are; the corrections one instance read, every instance answers."""

import argparse
import concurrent.futures
import http.client
import os
import socket
import sys
import tempfile
import time
import urllib.parse

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts"))
from service_group import Group, calls, missing_programs  # noqa: E402

# A translation of a short text is bounded at 5 s; the client waits that and a little more.
BOUND_SECONDS = 6

problems = []


def check(ok, what, got=None):
    if not ok:
        problems.append("%s%s" % (what, "" if got is None else ": got %r" % (got,)))
    return ok


def translate(port, text, timeout=30):
    """(status, translation or None) for `text` in en_es."""
    connection = http.client.HTTPConnection("127.0.0.1", port, timeout=timeout)
    try:
        connection.request("GET", "/tr?lp=en_es&trtext=" + urllib.parse.quote(text))
        response = connection.getresponse()
        body = response.read().decode("utf-8", "replace")
    finally:
        connection.close()
    start, end = body.find("<div style=padding:10px;>"), body.find("</div>")
    found = body[start + len("<div style=padding:10px;>"):end] if start >= 0 else None
    return response.status, found


def expected(text):
    return text.upper() + " [es]"


def shared_answers(group, redis, upstream, first, second):
    before = calls(upstream)
    answer = translate(first.port, "see you at noon")
    check(answer == (200, expected("see you at noon")), "shared: the first instance translates",
          answer)
    check(calls(upstream) == before + 1, "shared: the miss reached the upstream once",
          calls(upstream) - before)
    check(translate(second.port, "see you at noon") == (200, expected("see you at noon")),
          "shared: the second instance answers")
    check(calls(upstream) == before + 1, "shared: the second answered from the shared state",
          calls(upstream) - before)


def shared_corrections(group, redis, upstream, first, second):
    """An instance started with a corrections file publishes it; the first, which has none,
    answers the same once it has looked at Redis (every 2 s)."""
    handle, path = tempfile.mkstemp(prefix="mirelskan-corrections-")
    try:
        with os.fdopen(handle, "w", encoding="utf-8") as corrections:
            corrections.write("en_es\tgood night\tque descanses\n")
        third = group.instance("--upstream", "libretranslate=" + upstream.url, "--shared-state",
                               redis.url, "--corrections", path)
        check(translate(third.port, "Good night!") == (200, "que descanses!"),
              "corrections: the instance with the file answers its correction")
        deadline = time.monotonic() + 20
        answer = None
        while time.monotonic() < deadline:
            answer = translate(first.port, "good night")
            if answer == (200, "que descanses"):
                break
            time.sleep(0.5)
        check(answer == (200, "que descanses"), "corrections: the first instance answers alike",
              answer)
        Group.stop(third.popen)
    finally:
        os.unlink(path)


def redis_stopped(group, redis, upstream, first, second):
    Group.stop(redis.popen)
    texts = ["where are you %d" % n for n in range(6)] + ["see you at noon"]
    for n, text in enumerate(texts):
        port = (first, second)[n % 2].port
        answer = translate(port, text)
        check(answer == (200, expected(text)), "no Redis: %r translated" % text, answer)
    # Back on the same port: after its back-off each instance uses the shared state again.
    group.redis(redis.port)
    deadline = time.monotonic() + 40
    attempt = 0
    while time.monotonic() < deadline:
        text = "back again %d" % attempt
        attempt += 1
        translate(first.port, text)
        before = calls(upstream)
        if translate(second.port, text) == (200, expected(text)) and calls(upstream) == before:
            return
        time.sleep(0.5)
    check(False, "Redis back: the second instance never answered from the shared state again")


def http10(port, text):
    """A request as the plug-in makes it: HTTP/1.0, no Host, one connection."""
    with socket.create_connection(("127.0.0.1", port), timeout=30) as connection:
        connection.sendall(("GET /tr?lp=en_es&trtext=%s HTTP/1.0\r\nAccept: */*\r\n\r\n"
                            % urllib.parse.quote(text)).encode())
        answer = b""
        while True:
            block = connection.recv(65536)
            if not block:
                break
            answer += block
    return answer.split(b"\r\n", 1)[0], expected(text).encode() in answer


def killed_under_load(group, redis, upstream, first, second):
    front = group.nginx([first.port, second.port])
    answer = http10(front.port, "plug in")
    check(answer == (b"HTTP/1.1 200 OK", True), "nginx: an HTTP/1.0 request as the plug-in sends it",
          answer)
    texts = ["line %d of the load" % (n % 40) for n in range(1000)]
    with concurrent.futures.ThreadPoolExecutor(8) as pool:
        answers = [pool.submit(translate, front.port, text) for text in texts]
        while sum(answer.done() for answer in answers) < 100:
            time.sleep(0.01)
        first.popen.kill()
        done_at_kill = sum(answer.done() for answer in answers)
        first.popen.wait()
        failed = [(text, answer.result()) for text, answer in zip(texts, answers)
                  if answer.result() != (200, expected(text))]
    check(done_at_kill < len(texts) - 100, "nginx: the instance was killed under load",
          done_at_kill)
    check(not failed, "nginx: %d of %d requests failed with an instance killed"
          % (len(failed), len(texts)), failed[:3])


def failover(group):
    primary, backup = group.stand_in(), group.stand_in()
    service = group.instance("--cache-mib", "0", "--upstream", "libretranslate=" + primary.url,
                             "--upstream", "libretranslate=" + backup.url)
    check(translate(service.port, "first") == (200, expected("first")), "failover: both up")
    check((calls(primary), calls(backup)) == (1, 0), "failover: the first upstream answers",
          (calls(primary), calls(backup)))
    Group.stop(primary.popen)
    for text in ("second", "third"):
        answer = translate(service.port, text)
        check(answer == (200, expected(text)), "failover: %r with the first upstream down" % text,
              answer)
    check(calls(backup) == 2, "failover: the second upstream answered both", calls(backup))
    Group.stop(backup.popen)
    try:
        status = translate(service.port, "fourth", timeout=BOUND_SECONDS)[0]
    except OSError as failure:
        status = failure
    check(status == 503, "failover: both upstreams down, 503 within the bound", status)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True, help="the build folder (build/linux)")
    args = parser.parse_args()
    missing = missing_programs()
    if missing:
        print("missing %s: scripts/install-deps.sh installs them" % ", ".join(missing))
        return 1
    with Group(args.build) as group:
        try:
            redis = group.redis()
            upstream = group.stand_in()
            shared = ("--upstream", "libretranslate=" + upstream.url, "--shared-state", redis.url)
            first, second = group.instance(*shared), group.instance(*shared)
            for step in (shared_answers, shared_corrections, redis_stopped, killed_under_load):
                step(group, redis, upstream, first, second)
            failover(group)
        except Exception as failure:  # noqa: BLE001 - reported with the processes' logs
            problems.append("%s: %s" % (type(failure).__name__, failure))
        if problems:
            print(group.logs()[-6000:])
    for problem in problems:
        print("- " + problem)
    print("group: %s" % ("%d problem(s)" % len(problems) if problems else "all as meant"))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
