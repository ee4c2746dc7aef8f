"""What only the Wine suites share: the translation service, the local HTTP server's thread. What scripts and the benchmark share with them is in tools/mirelskan_wine.

The suites import it from the folder above their own (see the sys.path line at their top).
"""

import contextlib
import os
import subprocess
import sys
import threading

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts"))
from service_ready import wait_ready  # noqa: E402
from mirelskan_wine.wine import time_scale  # noqa: E402

# In a private network namespace (in-netns.sh) port 80 of localhost belongs to the suite alone.
LOCAL_HTTP_ADDRESS = ("127.0.0.1", 80)


# --- servers ----------------------------------------------------------------------------------

@contextlib.contextmanager
def translation_service(binary, log=None, seconds=120, options=()):
    """The translation service on localhost:80 (inside in-netns.sh), with further command-line
    options, for the `with` block, its log written to `log` (a file) or dropped; None when it
    was not ready in time."""
    # Emulated, the pipelines take minutes rather than seconds to load their dictionaries.
    start = ["--start-seconds", str(int(30 * time_scale()))] if time_scale() > 1 else []
    service = subprocess.Popen([binary, "--listen", "localhost:80", *start, *options],
                               stderr=log if log is not None else subprocess.DEVNULL)
    try:
        ready = wait_ready("http://%s:%d" % LOCAL_HTTP_ADDRESS, service, seconds * time_scale())
        yield service if ready is not None else None
    finally:
        service.terminate()
        service.wait(timeout=30)


class ServedInBackground:
    """Mixin for a test server: `serve` runs on a daemon thread between entering and leaving the
    `with` block, so that the Wine program runs in the foreground meanwhile and a server stuck
    in a read cannot keep the suite alive; `stop` ends it."""

    def __enter__(self):
        threading.Thread(target=self.serve, daemon=True).start()
        return self

    def __exit__(self, *exc):
        self.stop()
