#!/usr/bin/env python3
"""Rebuilds bench/detect-corpus.tsv: short translated lines of the 13 languages the plug-in
offers, taken from the gettext catalogs that Debian packages install under /usr/share/locale.

The source: the catalogs named in CATALOGS below (GTK, GLib, APT, dpkg, coreutils, systemd, ...),
read with msgunfmt (package gettext). English lines are the catalogs' own messages (msgid), the
others their translations (msgstr) from the locale folder of each language (zh_CN for zh, zh_TW
for zt). How lines are picked, without looking at any detector: a message counts when it is 12 to
80 characters long once the mnemonic marks (_ and &) are gone, holds at least one space, no
format directive (%s, {0}), no markup, tab, line break, ellipsis of a menu item, no option
(--name) and no path, and is translated (a translation equal to its message is left out). Of the
messages that count, each language gets the PER_LANGUAGE whose SHA-1 (of the language and the
line) is smallest: a fixed pick that any machine with the same packages repeats.

usage: bench/build-detect-corpus.py [--locale-dir DIR] [--per-language N] > bench/detect-corpus.tsv
"""
import argparse
import hashlib
import os
import re
import sys

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from catalog_lines import read_catalog  # noqa: E402

CATALOGS = [
    "Linux-PAM", "PackageKit", "apt", "at-spi2-core", "bash", "coreutils", "dpkg", "findutils",
    "gdk-pixbuf", "gettext-runtime", "glib-networking", "glib20", "grep", "gtk20", "gtk30",
    "libapt-pkg6.0", "libsecret", "libsoup", "notification-daemon", "python-apt", "sed", "shadow",
    "software-properties", "system-config-printer", "systemd", "tar", "vte-2.91", "wget",
]

# The plug-in's code, and the locale folder its lines come from.
LANGUAGES = [
    ("en", None), ("es", "es"), ("fr", "fr"), ("it", "it"), ("pt", "pt"), ("de", "de"),
    ("nl", "nl"), ("el", "el"), ("ja", "ja"), ("ko", "ko"), ("ru", "ru"), ("zh", "zh_CN"),
    ("zt", "zh_TW"),
]

REFUSED = re.compile(r"%|\{\w*\}|<|>|\t|\n|\\|--|/|\.\.\.|…|=|\$|\[|\]|https?:|^\W|\w+\.\w+\(|@")


def clean(text):
    text = re.sub(r"_(?=\w)", "", text).replace("&", "")
    # A CJK mnemonic is written after the text: "ファイル(_F)" once the mark is gone is "(F)".
    text = re.sub(r"\s*\([A-Za-z]\)", "", text)
    return text.strip()


def counts(message, translation):
    if translation == message:
        return False
    line = clean(translation)
    if not 12 <= len(line) <= 80 or REFUSED.search(translation) or REFUSED.search(message):
        return False
    return " " in line or not line.isascii()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--locale-dir", default="/usr/share/locale")
    parser.add_argument("--per-language", type=int, default=150)
    args = parser.parse_args()
    rows = []
    for code, folder in LANGUAGES:
        lines = set()
        for catalog in CATALOGS:
            source = folder or "fr"  # English: the messages of any translated catalog
            path = os.path.join(args.locale_dir, source, "LC_MESSAGES", catalog + ".mo")
            if not os.path.exists(path):
                continue
            for (_, message), translation in read_catalog(path, plurals=False).items():
                if folder is None:
                    if counts("", message):
                        lines.add(clean(message))
                elif counts(message, translation):
                    lines.add(clean(translation))
        ranked = sorted(lines, key=lambda line: hashlib.sha1((code + line).encode()).hexdigest())
        if len(ranked) < args.per_language:
            sys.exit(f"only {len(ranked)} lines for {code}")
        rows += [(code, line) for line in ranked[:args.per_language]]
    print("# Short translated lines from the gettext catalogs of Debian packages; rebuilt by")
    print("# bench/build-detect-corpus.py, which says how they were picked. language<TAB>line")
    for code, line in rows:
        print(f"{code}\t{line}")


if __name__ == "__main__":
    main()
