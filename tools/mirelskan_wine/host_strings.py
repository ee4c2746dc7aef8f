"""plugin-host's quoted strings: bytes in double quotes with \\\\ \\" \\n \\r \\t and \\xHH."""

QUOTED = rb'"(?:[^"\\]|\\.)*"'


def quote(data):
    """A string as plugin-host prints it."""
    simple = {0x5C: b"\\\\", 0x22: b'\\"', 0x0A: b"\\n", 0x0D: b"\\r", 0x09: b"\\t"}
    out = bytearray(b'"')
    for byte in data:
        if byte in simple:
            out += simple[byte]
        elif byte < 0x20 or byte >= 0x7F:
            out += b"\\x%02x" % byte
        else:
            out.append(byte)
    return bytes(out + b'"')


def unquote(text):
    if len(text) < 2 or text[:1] != b'"' or text[-1:] != b'"':
        raise ValueError("not a quoted string: %r" % text)
    simple = {b"\\": b"\\", b'"': b'"', b"n": b"\n", b"r": b"\r", b"t": b"\t"}
    body, out, i = text[1:-1], bytearray(), 0
    while i < len(body):
        if body[i:i + 1] != b"\\":
            out += body[i:i + 1]
            i += 1
        elif body[i + 1:i + 2] == b"x":
            out.append(int(body[i + 2:i + 4], 16))
            i += 4
        else:
            out += simple[body[i + 1:i + 2]]
            i += 2
    return bytes(out)
