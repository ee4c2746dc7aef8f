#!/usr/bin/env python3
"""runnable.py LOADER [COMMAND...]: runs COMMAND (or just exits 0) when this machine can execute
the Wine loader LOADER; when its kernel cannot execute that code, as a kernel without 32-bit
support cannot execute Wine's 32-bit loader, prints why and exits 77, which ctest reports as a
skip. The install leaves the 32-bit loader out on such a kernel; any other missing loader is a
broken setup, not a skip: exit 1."""

import errno
import os
import subprocess
import sys

SKIPPED = 77
I386_REFUSAL = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts",
                            "i386-refusal.sh")


def i386_refusal():
    """Why this kernel cannot run i386 code, or None when it can."""
    probe = subprocess.run([I386_REFUSAL], stdout=subprocess.PIPE, text=True, check=False)
    return probe.stdout.strip() if probe.returncode != 0 else None


def main():
    if len(sys.argv) < 2:
        print(__doc__, file=sys.stderr)
        return 2
    loader, command = sys.argv[1], sys.argv[2:]
    try:
        subprocess.run([loader, "--version"], stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=60)
    except FileNotFoundError:
        refusal = i386_refusal() if os.environ.get("WINEARCH") == "win32" else None
        if refusal:
            print("skipped: " + refusal)
            return SKIPPED
        print("the Wine loader %s is missing (scripts/install-deps.sh installs it)" % loader)
        return 1
    except OSError as error:
        if error.errno != errno.ENOEXEC:
            raise
        print("skipped: " + (i386_refusal() or "this machine cannot execute %s (%s)"
                             % (loader, error.strerror)))
        return SKIPPED
    if command:
        os.execvp(command[0], command)
    return 0


if __name__ == "__main__":
    sys.exit(main())
