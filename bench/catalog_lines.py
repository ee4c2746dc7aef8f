"""Lines with a human translation, from the gettext catalogs Debian packages install under
/usr/share/locale: a message (msgid, English) and its translation into each language (msgstr of
that language's folder). For a code X_Y the source is the message in X and the reference the same
message in Y, English being the msgid itself; two languages other than English meet on the same
message (context and msgid) of the same catalog.

How lines are picked: the message and both sides translated (a translation equal to its message
is left out), 3 to 120 characters with a space in the source, no format directive (%s, {0}), no
markup or character reference, no mnemonic mark (_ or &), option, path, address or line break;
a plural's singular stands for it. Lines the detection corpus holds are left out. Each source
line once (the first catalog in name order gives its reference); of those, the `count` whose SHA-1
(of the code and the line) is smallest: a fixed pick that a machine with the same packages
repeats."""

import functools
import hashlib
import os
import re
import subprocess

# Lists of names (languages, countries, keyboard layouts) rather than sentences.
NAME_LISTS = re.compile(r"^(iso_.*|xkeyboard-config)\.mo$")
REFUSED = re.compile(r"%|\{|\}|<|>|_|&|\t|\n|\\|--|/|=|\$|\[|\]|https?:|www\.|@|^\W")


def unescape(literal):
    return re.sub(r'\\(["\\nt])',
                  lambda m: {"n": "\n", "t": "\t"}.get(m.group(1), m.group(1)), literal)


@functools.lru_cache(maxsize=None)
def read_catalog(path, plurals=True):
    """{(context, message): translation} of a .mo file; a plural's singular and first form, or
    no plural at all. A catalog in a legacy charset gives nothing: its lines are not worth
    guessing."""
    raw = subprocess.run(["msgunfmt", "--no-wrap", path], check=True, capture_output=True).stdout
    try:
        po = raw.decode("utf-8")
    except UnicodeDecodeError:
        return {}
    entries, fields, current = {}, {}, None
    for line in po.splitlines() + [""]:
        match = re.match(r'^(msgctxt|msgid|msgid_plural|msgstr(?:\[\d+\])?) "(.*)"$', line)
        if match:
            current = match.group(1)
            fields[current] = unescape(match.group(2))
        elif line.startswith('"') and current:
            fields[current] += unescape(line[1:-1])
        elif not line.strip():
            translation = fields.get("msgstr", fields.get("msgstr[0]") if plurals else None)
            if fields.get("msgid") and translation:
                entries[(fields.get("msgctxt"), fields["msgid"])] = translation
            fields, current = {}, None
    return entries


def catalog_names(locale_dir, folders):
    """The catalogs every one of `folders` holds, in name order."""
    names = None
    for folder in folders:
        directory = os.path.join(locale_dir, folder, "LC_MESSAGES")
        found = set(os.listdir(directory)) if os.path.isdir(directory) else set()
        names = found if names is None else names & found
    return sorted(name for name in names or () if name.endswith(".mo")
                  and not NAME_LISTS.match(name))


def usable(line):
    return 3 <= len(line) <= 120 and not REFUSED.search(line) and line.strip() == line


def side(entry_key, translations, folder):
    """The message in a language: English is the msgid, the others their translation."""
    if folder is None:
        return entry_key[1]
    translation = translations[folder].get(entry_key)
    return None if translation is None or translation == entry_key[1] else translation


def parallel_lines(code, source_folder, target_folder, count, excluded,
                   locale_dir="/usr/share/locale"):
    """[(source, reference)] for `code`; a folder of None is English."""
    folders = [folder for folder in (source_folder, target_folder) if folder]
    chosen = {}
    for name in catalog_names(locale_dir, folders):
        translations = {folder: read_catalog(os.path.join(locale_dir, folder, "LC_MESSAGES", name))
                        for folder in folders}
        for key in sorted(translations[folders[0]], key=lambda k: (k[0] or "", k[1])):
            source = side(key, translations, source_folder)
            reference = side(key, translations, target_folder)
            if (source and reference and " " in source and usable(source) and usable(reference)
                    and usable(key[1]) and source not in excluded and reference not in excluded):
                chosen.setdefault(source, reference)
    ranked = sorted(chosen, key=lambda line: hashlib.sha1((code + line).encode()).hexdigest())
    return [(line, chosen[line]) for line in ranked[:count]]


def detection_lines(corpus_path):
    """Every line of the detection corpus (language<TAB>line), whatever its language."""
    with open(corpus_path, encoding="utf-8") as corpus:
        return {row.rstrip("\n").split("\t", 1)[1] for row in corpus
                if not row.startswith("#") and "\t" in row}
