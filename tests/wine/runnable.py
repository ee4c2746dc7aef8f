#!/usr/bin/env python3
"""runnable.py LOADER [COMMAND...]: runs COMMAND (or just exits 0) when this machine can execute
the Wine loader LOADER; when its kernel cannot execute that code, as a kernel without 32-bit
support cannot execute Wine's 32-bit loader, prints why and exits 77, which ctest reports as a
skip. A missing loader is a broken setup, not a skip: exit 1."""

import errno
import os
import subprocess
import sys

SKIPPED = 77


def main():
    if len(sys.argv) < 2:
        print(__doc__, file=sys.stderr)
        return 2
    loader, command = sys.argv[1], sys.argv[2:]
    try:
        subprocess.run([loader, "--version"], stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=60)
    except FileNotFoundError:
        print("the Wine loader %s is missing (scripts/install-deps.sh installs it)" % loader)
        return 1
    except OSError as error:
        if error.errno != errno.ENOEXEC:
            raise
        print("skipped: this machine cannot execute %s (%s): its kernel does not run that "
              "architecture's code" % (loader, error.strerror))
        return SKIPPED
    if command:
        os.execvp(command[0], command)
    return 0


if __name__ == "__main__":
    sys.exit(main())
