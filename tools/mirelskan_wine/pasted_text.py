"""A chat message pasted whole, which the service suite and the benchmark send, and the chunks
the plug-in cuts it into, which the benchmark times the service's answers by."""

# About 4000 characters: 3984, cut into 29 chunks.
PASTED_TEXT = b" ".join(b"Sentence %d says that the dog sleeps." % n for n in range(105))


def chunks(text):
    """The plug-in's cut of a text (bytes): after the first space from index 135 on, while 150
    or more remain."""
    pieces = []
    while text:
        cut = len(text)
        if len(text) >= 150 and text.find(b" ", 135) >= 0:
            cut = text.find(b" ", 135) + 1
        pieces.append(text[:cut])
        text = text[cut:]
    return pieces
