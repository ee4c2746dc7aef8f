"""Problems collected across a suite's cases, reported at the end with an exit status."""


class Failures:
    def __init__(self, shown=lambda value: value):
        self.items = []
        # What a failure prints of got and want (through %r): the value itself by default.
        self.shown = shown

    def check(self, ok, case, what, got=None, want=None):
        if not ok:
            text = "%s: %s" % (case, what)
            if got is not None or want is not None:
                text += "\n    got:  %r\n    want: %r" % (self.shown(got), self.shown(want))
            self.items.append(text)
        return ok

    def report(self, heading, success):
        """Prints the problems under `heading`, or `success` when there are none; the exit
        status."""
        if self.items:
            print("%s: %d problem(s)" % (heading, len(self.items)))
            for item in self.items:
                print("- " + item)
            return 1
        print(success)
        return 0
