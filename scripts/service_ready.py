#!/usr/bin/env python3
"""Waits until a translation service answers GET /health, for every script, test and benchmark
that starts one. The service listens only once its local pipelines are ready, so any answer
means it serves: 200 when every engine is ready, 503 while one of them (an upstream) is down.

    scripts/service_ready.py URL [--pid PID] [--seconds N]
        prints the /health JSON once it answers; exit 1 when PID ends or N seconds pass first
    scripts/service_ready.py --free-port
        prints a port of 127.0.0.1 that was free a moment ago, for --listen

From Python: wait_ready(url, process) and free_port()."""

import argparse
import json
import os
import socket
import sys
import time
import urllib.error
import urllib.request

DEFAULT_SECONDS = 180  # every pair's dictionaries, loaded on a busy machine


def _ended(process):
    if process is None:
        return False
    if isinstance(process, int):
        try:
            os.kill(process, 0)
        except ProcessLookupError:
            return True
        # A child that has ended but not been waited for still has a pid: a zombie.
        try:
            with open("/proc/%d/stat" % process) as stat:
                return stat.read().rsplit(")", 1)[1].split()[0] == "Z"
        except OSError:
            return True
    return process.poll() is not None


def _health(url):
    try:
        with urllib.request.urlopen(url.rstrip("/") + "/health", timeout=30) as answer:
            body = answer.read()
    except urllib.error.HTTPError as answer:
        if answer.code != 503:
            return None
        body = answer.read()
    except (OSError, ValueError):  # not listening yet
        return None
    try:
        return json.loads(body)
    except ValueError:
        return None


def wait_ready(url, process=None, seconds=DEFAULT_SECONDS):
    """The service's /health as a dict once it answers; None when `process` (a Popen or a pid)
    ends or `seconds` pass first."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline and not _ended(process):
        health = _health(url)
        if health is not None:
            return health
        time.sleep(0.1)
    return None


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("url", nargs="?", help="the service, e.g. http://localhost:80")
    parser.add_argument("--pid", type=int, help="give up when this process ends")
    parser.add_argument("--seconds", type=float, default=DEFAULT_SECONDS)
    parser.add_argument("--free-port", action="store_true")
    args = parser.parse_args()
    if args.free_port:
        print(free_port())
        return 0
    if not args.url:
        parser.error("a URL or --free-port")
    health = wait_ready(args.url, args.pid, args.seconds)
    if health is None:
        print("the translation service at %s did not answer /health" % args.url, file=sys.stderr)
        return 1
    print(json.dumps(health))
    return 0


if __name__ == "__main__":
    sys.exit(main())
