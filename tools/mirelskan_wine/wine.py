"""Windows programs under the build's Wine prefix, inside a private network namespace or not."""

import contextlib
import os
import subprocess

WINESERVER = "/usr/lib/wine/wineserver"


def wine_prefix(wine_run):
    # The prefix the runner picks, so that wineserver -k and -w reach the same server.
    root = os.path.dirname(os.path.dirname(os.path.abspath(wine_run)))
    arch = os.environ.get("WINEARCH", "win64")
    return os.environ.get("WINEPREFIX", os.path.join(root, "build", arch, "wineprefix"))


def time_scale():
    """How many times longer than on this machine's own processor things take: more than 1 in
    the emulated guest, whose builds set MIRELSKAN_WINE_TIME_SCALE."""
    return float(os.environ.get("MIRELSKAN_WINE_TIME_SCALE", "1"))


def run_wine(wine_run, arguments, timeout, lines=None, env=None):
    """The completed process of `wine_run arguments...`, its output captured; `lines` (bytes
    without line ends) make its standard input, or it inherits ours. `timeout` is scaled by
    time_scale()."""
    stdin = None if lines is None else b"".join(line + b"\n" for line in lines)
    return subprocess.run([wine_run] + list(arguments), input=stdin, stdout=subprocess.PIPE,
                          stderr=subprocess.PIPE, env=env, timeout=timeout * time_scale())


@contextlib.contextmanager
def namespace_wineserver(wine_run):
    """The environment for Wine programs inside in-netns.sh: this prefix's server, started anew
    inside the namespace, and waited for on leaving."""
    env = dict(os.environ, WINEPREFIX=wine_prefix(wine_run))
    # A Wine server started outside this namespace would open the sockets outside it.
    for option in ("-k", "-w"):
        subprocess.run([WINESERVER, option], env=env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=60 * time_scale())
    try:
        yield env
    finally:
        subprocess.run([WINESERVER, "-w"], env=env, timeout=60 * time_scale())


def run_wine_in_namespace(wine_run, arguments, timeout, lines=None):
    """run_wine for a suite inside in-netns.sh."""
    with namespace_wineserver(wine_run) as env:
        return run_wine(wine_run, arguments, timeout, lines, env)
