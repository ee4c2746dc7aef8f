#!/usr/bin/env python3
"""translation-service against Apertium-APy and against its own bare pipelines, interleaved, in a
private network namespace (run by run-service-bench.sh): latency of a 136-byte chunk, requests
per second, memory of each process tree, the HTTP layer under many connections, and the plug-in
end to end under Wine. Prints one table."""

import argparse
import os
import re
import statistics
import subprocess
import sys
import tempfile
import threading
import time

sys.dont_write_bytecode = True
ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tools"))
sys.path.insert(0, os.path.join(ROOT, "bench"))
sys.path.insert(0, os.path.join(ROOT, "scripts"))
from latency import load_average, percentile, stop, wait_for_http  # noqa: E402
from mirelskan_wine import PASTED_TEXT, chunks, namespace_wineserver  # noqa: E402
from service_ready import wait_ready  # noqa: E402

SERVICE_PORT = 80  # the plug-in asks http://localhost
APY_PORT = 2737
# Four pairs of four modes, and fr_en through Spanish on two of them.
PAIRS = "en_es,es_en,fr_es,es_it,fr_en"
FOUR_PAIRS = "en_es,es_en,fr_es,es_it"
SYSTEMS = ("service", "apy", "bare")


def log(message):
    print(message, file=sys.stderr, flush=True)


# --- processes and their memory ------------------------------------------------------------

def tree(pid):
    """pid and every descendant."""
    children = {}
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            try:
                with open("/proc/%s/stat" % entry) as stat:
                    parent = int(stat.read().rsplit(")", 1)[1].split()[1])
                children.setdefault(parent, []).append(int(entry))
            except (OSError, IndexError, ValueError):
                pass
    found, todo = [], [pid]
    while todo:
        current = todo.pop()
        found.append(current)
        todo.extend(children.get(current, []))
    return found


def memory(pid):
    """(processes, RSS MiB, PSS MiB) summed over the tree."""
    pids = tree(pid)
    rss = pss = 0
    for each in pids:
        try:
            with open("/proc/%d/smaps_rollup" % each) as rollup:
                for line in rollup:
                    if line.startswith("Rss:"):
                        rss += int(line.split()[1])
                    elif line.startswith("Pss:"):
                        pss += int(line.split()[1])
        except OSError:
            pass
    return len(pids), rss / 1024, pss / 1024


class ServiceLog:
    """The service's standard error, kept line by line: its ms= per request."""

    def __init__(self, stream):
        self.lines = []
        self.lock = threading.Lock()
        threading.Thread(target=self._read, args=(stream,), daemon=True).start()

    def _read(self, stream):
        for line in stream:
            with self.lock:
                self.lines.append(line.decode("utf-8", "replace").rstrip("\n"))

    def mark(self):
        with self.lock:
            return len(self.lines)

    def request_times(self, since):
        with self.lock:
            found = [re.search(r" status=(\d+) ms=([0-9.]+)$", line) for line in self.lines[since:]]
        return [(int(m.group(1)), float(m.group(2))) for m in found if m]

    def text(self):
        with self.lock:
            return "\n".join(self.lines)


# --- the load helper -----------------------------------------------------------------------

class Load:
    """bench/service_bench.cpp: one command a line, one result line each."""

    def __init__(self, binary):
        self.process = subprocess.Popen(
            [binary, "--service-port", str(SERVICE_PORT), "--apy-port", str(APY_PORT),
             "--pairs", PAIRS], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
            stderr=subprocess.DEVNULL, text=True)
        if self.process.stdout.readline().strip() != "ready":
            raise RuntimeError("the load helper did not start")

    def ask(self, command):
        self.process.stdin.write(command + "\n")
        self.process.stdin.flush()
        line = self.process.stdout.readline().strip()
        fields = dict(item.split("=", 1) for item in line.split(" ") if "=" in item)
        if "requests" not in fields:
            raise RuntimeError("load helper: %s -> %s" % (command, line))
        ms = [float(x) for x in fields["ms"].split(",") if x]
        return int(fields["requests"]), float(fields["seconds"]), int(fields["errors"]), ms

    def close(self):
        self.process.stdin.close()
        self.process.wait(timeout=60)


class Results:
    """Samples per (measurement, system), gathered over the rounds."""

    def __init__(self):
        self.data = {}
        self.own_times = []  # the service's ms= in its en_es latency runs

    def add(self, key, system, result):
        requests, seconds, errors, ms = result
        entry = self.data.setdefault((key, system), [0, 0.0, 0, []])
        entry[0] += requests
        entry[1] += seconds
        entry[2] += errors
        entry[3].extend(ms)

    def rate(self, key, system):
        entry = self.data[(key, system)]
        return entry[0] / entry[1]

    def median(self, key, system):
        return statistics.median(self.data[(key, system)][3])

    def p99(self, key, system):
        return percentile(self.data[(key, system)][3], 0.99)

    def errors(self, key, system):
        return self.data[(key, system)][2]

    def count(self, key, system):
        return self.data[(key, system)][0]


def measure(load, results, rounds, seconds, service_log):
    runs = [("latency en_es", 1, "en_es"), ("latency fr_en", 1, "fr_en"),
            ("1 client en_es", 1, "en_es"), ("4 clients en_es", 4, "en_es"),
            ("16 clients en_es", 16, "en_es"), ("4 clients, 4 pairs", 4, FOUR_PAIRS)]
    for round_number in range(rounds):
        # Each system in turn for every measurement, the order reversed every other round.
        order = SYSTEMS if round_number % 2 == 0 else tuple(reversed(SYSTEMS))
        for key, clients, codes in runs:
            for system in order:
                if system == "bare" and key.startswith("1 client"):
                    continue  # the same as its latency run
                log("round %d: %s, %s" % (round_number + 1, key, system))
                mark = service_log.mark()
                results.add(key, system, load.ask("run %s %d %g %s" % (system, clients, seconds,
                                                                       codes)))
                if system == "service" and key == "latency en_es":
                    results.own_times.extend(ms for _, ms in service_log.request_times(mark))


# --- the plug-in under Wine ----------------------------------------------------------------

def run_in_wine(wine_run, env, program, lines_to_send, done_prefix, service_log, chunk_count):
    """Wall time of each line's work (its answer line starting with done_prefix) and the sum
    of the service's own times for its requests."""
    process = subprocess.Popen([wine_run] + program, stdin=subprocess.PIPE,
                               stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, env=env)
    walls, service_sums, failures = [], [], 0
    try:
        for line in lines_to_send:
            mark = service_log.mark()
            start = time.monotonic()
            process.stdin.write(line + b"\n")
            process.stdin.flush()
            while True:
                answer = process.stdout.readline()
                if not answer:
                    raise RuntimeError("%s ended early" % program[0])
                if answer.startswith(done_prefix):
                    break
            walls.append((time.monotonic() - start) * 1000)
            failures += answer.count(b"translation problem")
            # The service logs a request as it sends the answer: let the last line arrive.
            deadline = time.monotonic() + 5
            while len(service_log.request_times(mark)) < chunk_count and time.monotonic() < deadline:
                time.sleep(0.01)
            times = service_log.request_times(mark)
            failures += sum(1 for status, _ in times if status != 200)
            service_sums.append(sum(ms for _, ms in times))
    finally:
        process.stdin.close()
        process.wait(timeout=120)
    return walls, service_sums, failures


def wine_end_to_end(args, service_log):
    pieces = chunks(PASTED_TEXT)
    command = b"/xtrn en_es " + PASTED_TEXT
    paths_file = tempfile.NamedTemporaryFile("wb", suffix=".txt", delete=False)
    try:
        with paths_file:
            for piece in pieces:
                paths_file.write(b"/tr?trtext=" + piece + b"&lp=en_es\n")
        with namespace_wineserver(args.wine_run) as env:
            # The first line of each program warms Wine's WinINet and the connection path up.
            plugin = run_in_wine(args.wine_run, env, [args.host, args.dll],
                                 [b"/xtrn en_es Good morning"] + [command] * args.wine_runs,
                                 b"result ", service_log, len(pieces))
            client = run_in_wine(args.wine_run, env, [args.client, paths_file.name],
                                 [b"go"] * (args.wine_runs + 1), b"done ", service_log,
                                 len(pieces))
    finally:
        os.unlink(paths_file.name)
    # Without the warm-up line.
    return len(PASTED_TEXT), len(pieces), [(walls[1:], sums[1:], failures)
                                            for walls, sums, failures in (plugin, client)]


# --- the table -----------------------------------------------------------------------------

def verdict(ok):
    return "met" if ok else "MISSED"


def table(results, memories, http_layer, wine, load_before, load_after, args):
    rows = []

    def row(*cells):
        rows.append("| " + " | ".join(cells) + " |")

    def ms(value):
        return "%.1f ms" % value

    row("", "translation-service", "Apertium-APy", "bare pipelines (no HTTP)", "target")
    row("---", "---", "---", "---", "---")
    for key, label in (("latency en_es", "en_es 136 B, median / p99"),
                       ("latency fr_en", "fr_en 136 B (pivot; APy /translateChain), median / p99")):
        row(label, *["%s / %s" % (ms(results.median(key, s)), ms(results.p99(key, s)))
                     for s in SYSTEMS], "")
    overhead = results.median("latency en_es", "service") / results.median("latency en_es", "bare") - 1
    row("en_es per request over the bare pipelines",
        "+%.2f ms (+%.0f%%)" % (results.median("latency en_es", "service") -
                               results.median("latency en_es", "bare"), overhead * 100), "", "",
        "at most +15%%: %s" % verdict(overhead <= 0.15))
    row("  of that, inside the service (its own ms=, median)",
        "%s (%+.2f ms)" % (ms(statistics.median(results.own_times)),
                           statistics.median(results.own_times) -
                           results.median("latency en_es", "bare")), "", "", "")
    for key in ("1 client en_es", "4 clients en_es", "16 clients en_es", "4 clients, 4 pairs"):
        source = "latency en_es" if key.startswith("1 client") else key
        cells = []
        for system in SYSTEMS:
            name = source if system == "bare" else key
            cells.append("%.0f req/s" % results.rate(name, system))
        row(key, *cells, "")
    one = results.rate("1 client en_es", "service")
    four = results.rate("4 clients en_es", "service")
    row("4 clients over 1 client, en_es", "x%.2f" % (four / one),
        "x%.2f" % (results.rate("4 clients en_es", "apy") / results.rate("1 client en_es", "apy")),
        "x%.2f" % (results.rate("4 clients en_es", "bare") / results.rate("latency en_es", "bare")),
        "at least x1.7: %s" % verdict(four / one >= 1.7))
    against = four / results.rate("4 clients en_es", "apy")
    row("4 clients en_es, service over APy", "x%.1f" % against, "", "",
        "at least x4: %s" % verdict(against >= 4))
    p99 = results.p99("16 clients en_es", "service")
    row("16 clients en_es, median / p99",
        *["%s / %s" % (ms(results.median("16 clients en_es", s)),
                       ms(results.p99("16 clients en_es", s))) for s in SYSTEMS],
        "p99 at most 150 ms: %s" % verdict(p99 <= 150))
    errors = ["%d of %d" % (sum(results.errors(k, s) for k, sys_ in results.data if sys_ == s),
                            sum(results.count(k, s) for k, sys_ in results.data if sys_ == s))
              for s in SYSTEMS]
    row("requests not answered with a translation", *errors, "")
    rest, after = memories
    row("memory at rest, same 4 pipelines: processes, RSS / PSS",
        "%d, %.0f / %.0f MiB" % rest["service"], "%d, %.0f / %.0f MiB" % rest["apy"], "",
        "RSS and PSS no more than APy's: %s" % verdict(rest["service"][1] <= rest["apy"][1] and
                                                       rest["service"][2] <= rest["apy"][2]))
    row("memory after the load: processes, RSS / PSS",
        "%d, %.0f / %.0f MiB" % after["service"], "%d, %.0f / %.0f MiB" % after["apy"], "", "")
    simultaneous, half_sent = http_layer
    row("64 clients at once, each one's wait: median / p99 / max",
        "%s / %s / %s" % (ms(statistics.median(simultaneous[3])), ms(percentile(simultaneous[3], 0.99)),
                          ms(max(simultaneous[3]))), "", "", "")
    row("beside 200 half-sent requests: median / p99",
        "%s / %s" % (ms(statistics.median(half_sent[3])), ms(percentile(half_sent[3], 0.99))),
        "", "", "")
    if wine:
        characters, count, ((plugin_walls, plugin_sums, plugin_failures),
                            (client_walls, client_sums, client_failures)) = wine
        row("/xtrn of %d characters (%d chunks), %s plug-in under Wine: wall time, median of %d"
            % (characters, count, os.environ.get("WINEARCH", "win64"), len(plugin_walls)), ms(statistics.median(plugin_walls)), "",
            "", "")
        row("  the service's own ms= for those chunks, summed", ms(statistics.median(plugin_sums)),
            "", "", "")
        row("  a minimal WinINet client making the same calls", ms(statistics.median(client_walls)),
            "", "", "")
        row("  chunks that failed (plug-in / client)", "%d / %d" % (plugin_failures,
                                                                   client_failures), "", "", "")
    header = [
        "machine: %s, %s cores, %s MiB; load average before %s, after %s" % (
            args.cpu, args.cores, args.memory, load_before, load_after),
        "%d rounds of %g s per measurement, systems interleaved; one connection per request"
        % (args.rounds, args.seconds),
        "",
    ]
    return "\n".join(header + rows)


def machine(args):
    args.cores = os.cpu_count()
    args.cpu = "?"
    with open("/proc/cpuinfo") as cpuinfo:
        for line in cpuinfo:
            if line.startswith("model name"):
                args.cpu = line.split(":", 1)[1].strip()
                break
    with open("/proc/meminfo") as meminfo:
        args.memory = int(meminfo.readline().split()[1]) // 1024


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--service", required=True)
    parser.add_argument("--load", required=True, help="service_bench, the load helper")
    parser.add_argument("--wine-run")
    parser.add_argument("--host")
    parser.add_argument("--dll")
    parser.add_argument("--client", help="wininet-client.exe")
    parser.add_argument("--rounds", type=int, default=2)
    parser.add_argument("--seconds", type=float, default=4)
    parser.add_argument("--wine-runs", type=int, default=5)
    args = parser.parse_args()
    machine(args)
    load_before = load_average()

    apy_output = tempfile.TemporaryFile()
    service = subprocess.Popen([args.service, "--listen", "127.0.0.1:%d" % SERVICE_PORT,
                                "--pairs", PAIRS], stderr=subprocess.PIPE)
    service_log = ServiceLog(service.stderr)
    # As its systemd unit starts it.
    apy = subprocess.Popen(["apertium-apy", "-p", str(APY_PORT), "/usr/share/apertium/modes"],
                           stdout=apy_output, stderr=apy_output,
                           env=dict(os.environ, LC_ALL="C.UTF-8"))
    load = None
    try:
        if wait_ready("http://127.0.0.1:%d" % SERVICE_PORT, service) is None:
            raise RuntimeError("the service did not start:\n" + service_log.text())
        if not wait_for_http("http://127.0.0.1:%d/listPairs" % APY_PORT, apy, 180):
            raise RuntimeError("apertium-apy did not start")
        load = Load(args.load)
        # APy starts a pair's pipeline on its first request: one request for every pair, so that
        # both hold the same pipelines before anything is measured.
        for codes in FOUR_PAIRS.split(",") + ["fr_en"]:
            for system in ("service", "apy"):
                load.ask("run %s 1 0.5 %s" % (system, codes))
        time.sleep(1)
        rest = {"service": memory(service.pid), "apy": memory(apy.pid)}

        results = Results()
        measure(load, results, args.rounds, args.seconds, service_log)
        after = {"service": memory(service.pid), "apy": memory(apy.pid)}
        log("HTTP layer")
        http_layer = (load.ask("simultaneous 64 en_es"), load.ask("half-sent 200 50 en_es"))
        wine = None
        if args.wine_run:
            log("the plug-in under Wine")
            wine = wine_end_to_end(args, service_log)
    finally:
        if load:
            load.close()
        for process in (apy, service):
            stop(process)
    print(table(results, (rest, after), http_layer, wine, load_before, load_average(), args))
    return 0


if __name__ == "__main__":
    sys.exit(main())
