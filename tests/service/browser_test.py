#!/usr/bin/env python3
"""The service's pages as headless Chromium renders them: the home page's form and the list of
the plug-in's codes, and result pages in UTF-8 and in Windows-1252 with the text, the pair and
the translation where a person sees them. Exits 77 (skipped) without Chromium."""

import argparse
import html.parser
import os
import shutil
import subprocess
import sys
import tempfile

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts"))
from service_ready import free_port, wait_ready  # noqa: E402

CHROMIUM = "/usr/bin/chromium"


class Dom(html.parser.HTMLParser):
    """What the checks read of a rendered page: texts by element, attributes of fields."""

    def __init__(self):
        super().__init__()
        self.stack, self.texts, self.options, self.forms = [], {}, [], []
        self.in_translation = False

    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        self.stack.append(tag)
        if tag == "form":
            self.forms.append(attrs)
        if tag == "option":
            self.options.append(attrs)
        if tag == "td" and attrs.get("class") == "s":
            self.in_translation = True

    def handle_endtag(self, tag):
        while self.stack and self.stack.pop() != tag:
            pass
        if tag == "td":
            self.in_translation = False

    def handle_data(self, data):
        key = "translation" if self.in_translation else (self.stack[-1] if self.stack else "")
        self.texts[key] = self.texts.get(key, "") + data

    def selected(self):
        return [o.get("value") for o in self.options if "selected" in o]


def render(url, profile):
    run = subprocess.run([CHROMIUM, "--headless", "--no-sandbox", "--disable-gpu",
                          "--user-data-dir=" + profile, "--dump-dom", url],
                         stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=120)
    dom = Dom()
    dom.feed(run.stdout.decode("utf-8"))
    return dom


def start_service(binary, log):
    port = free_port()
    service = subprocess.Popen([binary, "--listen", "127.0.0.1:%d" % port,
                                "--pairs", "en_es,fr_es"], stderr=log)
    if wait_ready("http://127.0.0.1:%d" % port, service) is None:
        service.kill()
        service.wait()
        log.seek(0)
        raise RuntimeError("the service did not start:\n" + log.read().decode("utf-8", "replace"))
    return service, port


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--service", required=True)
    args = parser.parse_args()
    if not os.access(CHROMIUM, os.X_OK):
        print("chromium is not installed: cannot render the pages")
        return 77

    problems = []

    def check(ok, what, got):
        if not ok:
            problems.append("%s: got %r" % (what, got))

    log = tempfile.TemporaryFile()
    service, port = start_service(args.service, log)
    profile = tempfile.mkdtemp()
    try:
        base = "http://127.0.0.1:%d" % port
        home = render(base + "/", profile)
        check(home.forms and home.forms[0].get("action") == "/tr", "home: the form", home.forms)
        check({"en_es", "fr_es"} <= {o.get("value") for o in home.options}, "home: the pairs",
              home.options)
        check("serves 2 of the 36 codes" in home.texts.get("p", ""), "home: codes served",
              home.texts.get("p"))
        check("English to Spanish" in home.texts.get("td", ""), "home: the codes table",
              home.texts.get("td", "")[:200])
        check("served by apertium" in home.texts.get("td", ""), "home: the engine named",
              home.texts.get("td", "")[:200])

        cases = [("UTF-8", "Le%20caf%C3%A9%20est%20tr%C3%A8s%20bon", "Le caf\u00e9 est tr\u00e8s bon"),
                 ("Windows-1252", "Le%20caf%E9%20est%20tr%E8s%20bon", "Le caf\u00e9 est tr\u00e8s bon")]
        for name, sent, typed in cases:
            page = render(base + "/tr?trtext=%s&lp=fr_es" % sent, profile)
            check("caf\u00e9" in page.texts.get("translation", ""), name + ": translation",
                  page.texts.get("translation"))
            check(page.texts.get("textarea") == typed, name + ": the text kept",
                  page.texts.get("textarea"))
            check(page.selected() == ["fr_es"], name + ": the pair selected", page.selected())
    finally:
        service.terminate()
        service.wait(timeout=30)
        log.close()
        shutil.rmtree(profile, ignore_errors=True)

    for problem in problems:
        print("- " + problem)
    print("browser: %s" % ("%d problem(s)" % len(problems) if problems else "pages render as meant"))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
