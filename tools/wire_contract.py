"""What the plug-in and the translation service agree on, read from wire/wire_contract.h, the one
place both build from: the request's path and fields, the page's markers and the help box's
codes."""

import os
import re

_HEADER = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "wire",
                       "wire_contract.h")


def _read():
    with open(_HEADER, encoding="ascii") as header:
        text = header.read()
    defines = dict(re.findall(r'^#define (WIRE_\w+) "([^"]*)"$', text, re.M))
    codes = re.findall(r'X\("(\w+)", "([^"]*)", "([^"]*)"\)', text)
    return defines, codes


_DEFINES, _CODES = _read()

TRANSLATION_PATH = _DEFINES["WIRE_TRANSLATION_PATH"].encode()
TEXT_FIELD = _DEFINES["WIRE_TEXT_FIELD"].encode()
PAIR_FIELD = _DEFINES["WIRE_PAIR_FIELD"].encode()
START_MARKER = _DEFINES["WIRE_START_MARKER"].encode()
END_MARKER = _DEFINES["WIRE_END_MARKER"].encode()
# (code, as the help box words it, as the service words it), in the help box's order.
HELP_CODES = [tuple(field.encode() for field in code) for code in _CODES]
