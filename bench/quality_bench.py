#!/usr/bin/env python3
"""The translations' quality, in chrF against human references: lines of the gettext catalogs
Debian packages install (bench/catalog_lines.py says which), for each code the service's
Apertium engine serves where both languages have catalogs, through the service as the plug-in
asks (GET /tr, one connection per line, the translation cut out between the page's markers) and
through bare `apertium -u` with the same modes (two in a row through the pivot language), so
that whatever the service adds to its pipelines shows as the difference.

Apertium's tagger remembers what it tagged before for as long as it runs, in one `apertium` call
over many lines as in a warm pipeline: a line's translation may depend on the lines before it.
So each code gets an instance of its own that sees the code's lines in the order bare apertium
does; a line where the two still differ is also run through bare apertium on its own, which
tells the service's doing (a kept span, a cut) from that memory. A last column has every code
through one instance in turn, as users run it. Prints one table, the codes measured no further
and why, then for a code the service does worse on the lines that differ."""

import argparse
import contextlib
import http.client
import json
import os
import re
import socket
import subprocess
import sys
import tempfile
import urllib.parse

sys.dont_write_bytecode = True
HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(os.path.dirname(HERE), "tools"))
from catalog_lines import detection_lines, parallel_lines  # noqa: E402
from chrf import corpus_chrf  # noqa: E402
from latency import started, wait_for_http  # noqa: E402
import wire_contract  # noqa: E402

MODES_DIR = "/usr/share/apertium/modes"
PIVOT = "es"
# The two-letter codes of Apertium's three-letter language names, as the service reads them.
TWO_LETTERS = {"cat": "ca", "deu": "de", "eng": "en", "fra": "fr", "glg": "gl", "ita": "it",
               "nld": "nl", "oci": "oc", "por": "pt", "ron": "ro", "spa": "es"}


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def installed_modes(directory):
    """{(source, target): mode name}; the first name wins where two serve one pair, as in the
    service, and variants ("spa-eng_US") and special modes ("eco-es-fr") are left out."""
    modes = {}
    for file_name in sorted(os.listdir(directory)):
        parts = file_name[:-len(".mode")].split("-") if file_name.endswith(".mode") else []
        if len(parts) != 2:
            continue
        languages = tuple(TWO_LETTERS.get(part, part) for part in parts)
        if all(re.fullmatch(r"[a-z]{2}", language) for language in languages):
            modes.setdefault(languages, file_name[:-len(".mode")])
    return modes


def modes_of(code, modes):
    source, target = code.split("_")
    if (source, target) in modes:
        return [modes[(source, target)]]
    return [modes[(source, PIVOT)], modes[(PIVOT, target)]]


def bare_apertium(lines, mode_names):
    """Each line a paragraph of its own, so that none runs into the next sentence; one
    `apertium` per mode for all of them."""
    text = "\n\n".join(lines) + "\n"
    for mode in mode_names:
        text = subprocess.run(["apertium", "-u", mode], input=text.encode(), check=True,
                              capture_output=True).stdout.decode()
    translated = text.rstrip("\n").split("\n\n")
    if len(translated) != len(lines):
        raise SystemExit("apertium %s gave %d paragraphs for %d lines"
                         % ("|".join(mode_names), len(translated), len(lines)))
    return [line.strip() for line in translated]


def alone(line, mode_names):
    """Bare apertium on nothing but this line: what no earlier line has swayed."""
    return bare_apertium([line], mode_names)[0]


def through_plugin_route(port, code, line):
    """The translation of one line as the plug-in has it: sent in its ANSI code page where the
    line fits in it, and cut out of the page between the two markers."""
    try:
        raw = line.encode("cp1252")
    except UnicodeEncodeError:
        raw = line.encode("utf-8")
    target = (wire_contract.TRANSLATION_PATH + b"?" + wire_contract.TEXT_FIELD + b"=" +
              urllib.parse.quote_from_bytes(raw).encode() + b"&" + wire_contract.PAIR_FIELD +
              b"=" + code.encode()).decode()
    connection = http.client.HTTPConnection("127.0.0.1", port, timeout=60)
    try:
        connection.request("GET", target)
        response = connection.getresponse()
        body = response.read()
        charset = response.headers.get_content_charset() or "windows-1252"
    finally:
        connection.close()
    start = body.find(wire_contract.START_MARKER)
    end = body.find(wire_contract.END_MARKER, start + 1)
    if response.status != 200 or start < 0 or end < 0:
        raise SystemExit("%s: status %d for %r" % (code, response.status, line))
    return body[start + len(wire_contract.START_MARKER):end].decode(charset).strip()


def served_codes(port):
    connection = http.client.HTTPConnection("127.0.0.1", port, timeout=30)
    try:
        connection.request("GET", "/health")
        health = json.loads(connection.getresponse().read())
    finally:
        connection.close()
    return sorted(code for engine in health["engines"] if engine["name"] == "apertium"
                  for code in engine["codes"])


def catalog_folder(language, locale_dir):
    """English is every catalog's msgid; another language needs a folder of its own."""
    if language == "en":
        return None, True
    return language, os.path.isdir(os.path.join(locale_dir, language, "LC_MESSAGES"))


def print_differences(code, differing):
    print()
    print("%s, the lines where the service and bare apertium differ:" % code)
    for source, reference, ours, theirs, by_itself in differing:
        print("- %r\n  service:  %r\n  apertium: %r\n  the line alone through apertium: %r\n"
              "  human:    %r" % (source, ours, theirs, by_itself, reference))


def measured_codes(served, wanted, locale_dir):
    """{code: (source folder, target folder)} of the served codes with catalogs on both sides,
    and the others with the reason."""
    measured, unmeasured = {}, []
    for code in served:
        if wanted and code not in wanted:
            continue
        folders = [catalog_folder(language, locale_dir) for language in code.split("_")]
        if all(present for _, present in folders):
            measured[code] = tuple(folder for folder, _ in folders)
        else:
            unmeasured.append("%s (no catalogs in its language)" % code)
    return measured, unmeasured


@contextlib.contextmanager
def service_on(binary, *options):
    """A service on a free loopback port, without the detection /tr with a pair's code does not
    use; yields the port."""
    port = free_port()
    with tempfile.TemporaryFile() as log, \
            started([binary, "--listen", "127.0.0.1:%d" % port, "--no-detect"] + list(options),
                    stderr=log) as service:
        if not wait_for_http("http://127.0.0.1:%d/health" % port, service, 180):
            log.seek(0)
            raise SystemExit("the service did not start:\n" + log.read().decode(errors="replace"))
        yield port


def compared(binary, code, pairs, modes):
    """The code's lines through an instance of its own and through bare apertium: (chrF of the
    service, of bare apertium, [(source, reference, service, bare, the line alone)] of the
    lines that differ)."""
    sources = [source for source, _ in pairs]
    references = [reference for _, reference in pairs]
    with service_on(binary, "--pairs", code) as port:
        ours = [through_plugin_route(port, code, line) for line in sources]
    theirs = bare_apertium(sources, modes_of(code, modes))
    differing = [(source, reference, a, b, alone(source, modes_of(code, modes)))
                 for (source, reference), a, b in zip(pairs, ours, theirs) if a != b]
    return corpus_chrf(ours, references), corpus_chrf(theirs, references), differing


def print_table(rows, cap):
    print("chrF (orders 1-6, beta 2, corpus level) against the catalogs' human translations; "
          "engine apertium, %d lines at most per code" % cap)
    print()
    print("| code | lines | chrF service | chrF bare apertium | difference | lines that differ "
          "| of those, the service as apertium on the line alone "
          "| chrF service, one instance for every code |")
    print("| --- | --- | --- | --- | --- | --- | --- | --- |")
    for code, count, score, bare_score, differing, shared_score in rows:
        as_alone = sum(1 for *_, ours, _, by_itself in differing if ours == by_itself)
        print("| %s | %d | %.2f | %.2f | %+.2f | %d | %d | %.2f |"
              % (code, count, score, bare_score, score - bare_score, len(differing), as_alone,
                 shared_score))
    print()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--service", default="build/linux/translation-service")
    parser.add_argument("--lines", type=int, default=300, help="at most this many per code")
    parser.add_argument("--codes", nargs="*", help="only these of the served codes")
    parser.add_argument("--locale-dir", default="/usr/share/locale")
    args = parser.parse_args()
    excluded = detection_lines(os.path.join(HERE, "detect-corpus.tsv"))
    modes = installed_modes(MODES_DIR)
    lines, shared = {}, {}
    # One instance for every code in turn, as users have it: its pipelines have translated the
    # codes before, which Apertium's tagger remembers.
    with service_on(args.service) as port:
        served = served_codes(port)
        measured, unmeasured = measured_codes(served, args.codes, args.locale_dir)
        for code, (source_folder, target_folder) in measured.items():
            pairs = parallel_lines(code, source_folder, target_folder, args.lines, excluded,
                                   args.locale_dir)
            if not pairs:
                unmeasured.append("%s (no catalog line fits)" % code)
                continue
            lines[code] = pairs
            shared[code] = corpus_chrf([through_plugin_route(port, code, source)
                                        for source, _ in pairs], [ref for _, ref in pairs])
    rows = []
    for code, pairs in lines.items():
        score, bare_score, differing = compared(args.service, code, pairs, modes)
        rows.append((code, len(pairs), score, bare_score, differing, shared[code]))
    print_table(rows, args.lines)
    if unmeasured:
        print("Served here but not measured: " + ", ".join(unmeasured) + ".")
    plugin_codes = [code.decode() for code, _, _ in wire_contract.HELP_CODES]
    print("The plug-in's codes this service does not serve locally (not measured): " +
          (", ".join(code for code in plugin_codes if code not in served) or "none") + ".")
    for code, _, score, bare_score, differing, _ in rows:
        if score < bare_score:
            print_differences(code, differing)
    return 0


if __name__ == "__main__":
    sys.exit(main())
