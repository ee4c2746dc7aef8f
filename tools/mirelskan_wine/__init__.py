"""What the Wine suites, the chat console and the benchmark share: plugin-host's quoted strings,
running a Windows program under the build's Wine prefix, the pasted text, and collecting
failures.

Its root is tools/: ctest puts it on PYTHONPATH for the suites, and the scripts and the benchmark
put it on sys.path themselves, since they run by path.
"""

from mirelskan_wine.failures import Failures
from mirelskan_wine.host_strings import QUOTED, quote, unquote
from mirelskan_wine.pasted_text import PASTED_TEXT, chunks
from mirelskan_wine.wine import (WINESERVER, namespace_wineserver, run_wine,
                                 run_wine_in_namespace, wine_prefix)

__all__ = ["Failures", "QUOTED", "quote", "unquote", "PASTED_TEXT", "chunks", "WINESERVER",
           "namespace_wineserver", "run_wine", "run_wine_in_namespace", "wine_prefix"]
