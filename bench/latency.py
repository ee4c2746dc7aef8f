"""What the latency benchmarks share: one GET per fresh connection, systems measured in turn,
request by request, so that whatever else the machine does weighs on each alike; medians and
p99s; the processes they start, stopped whatever happens."""

import contextlib
import http.client
import math
import statistics
import subprocess
import time
import urllib.request


def percentile(samples, fraction):
    ordered = sorted(samples)
    return ordered[max(1, math.ceil(fraction * len(ordered))) - 1]


def get(port, target):
    """(milliseconds, status, body) of one GET on a connection of its own."""
    start = time.perf_counter()
    connection = http.client.HTTPConnection("127.0.0.1", port, timeout=30)
    try:
        connection.request("GET", target)
        response = connection.getresponse()
        body = response.read()
    finally:
        connection.close()
    return (time.perf_counter() - start) * 1000, response.status, body


def interleaved_calls(sends, count, check=lambda name, status, body: status == 200):
    """sends: {name: send()}, each send making one request and returning (ms, status, body).
    Calls each `count` times, in turn, the order reversed every other round so that none always
    follows another; check(name, status, body) says whether an answer is a good one (a 200 by
    default). Returns {name: [ms, ...]} of the good answers and {name: failures}."""
    times = {name: [] for name in sends}
    failures = {name: 0 for name in sends}
    order = list(sends.items())
    for round_number in range(count):
        for name, send in order if round_number % 2 == 0 else reversed(order):
            ms, status, body = send()
            if check(name, status, body):
                times[name].append(ms)
            else:
                failures[name] += 1
    return times, failures


def interleaved(requests, count, check, get=get):
    """requests: {name: (port, target)}, each sent with get(port, target), as `get` above by
    default; otherwise as interleaved_calls."""
    sends = {name: (lambda port=port, target=target: get(port, target))
             for name, (port, target) in requests.items()}
    return interleaved_calls(sends, count, check)


def verdict(ok):
    """How a bench's table says whether a figure met its target."""
    return "met" if ok else "NOT met"


def summary(samples):
    if not samples:
        return "no answer"
    return "%.2f ms / %.2f ms" % (statistics.median(samples), percentile(samples, 0.99))


def wait_for_http(url, process, seconds):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if process.poll() is not None:
            return False
        try:
            with urllib.request.urlopen(url, timeout=10) as answer:
                if answer.status == 200:
                    return True
        except Exception:  # not listening yet, or not ready
            pass
        time.sleep(0.2)
    return False


def stop(process):
    """Asks a process to end, and makes it if it has not within 30 s."""
    process.terminate()
    try:
        process.wait(timeout=30)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()


@contextlib.contextmanager
def started(command, **options):
    process = subprocess.Popen(command, **options)
    try:
        yield process
    finally:
        stop(process)


def load_average():
    with open("/proc/loadavg") as average:
        return " ".join(average.read().split()[:3])
