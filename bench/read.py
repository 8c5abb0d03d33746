"""The benchmark's Python case: varnokline.read() of an export, timed, with its memory.

Prints "seconds held peak": read()'s wall time, the memory the frames hold once it returns (the
process's resident size then, less that before it) and the peak above that same baseline, in KB.
"""
import ctypes
import gc
import resource
import sys
import time
import warnings

import geopandas  # noqa: F401 (loaded before the baseline, as a notebook has it)
import varnokline


def resident():
    with open("/proc/self/statm") as statm:
        return int(statm.read().split()[1]) * resource.getpagesize() // 1024


warnings.simplefilter("ignore", varnokline.ExportWarning)
baseline = resident()
start = time.perf_counter()
frames = varnokline.read(sys.argv[1], results=False)
seconds = time.perf_counter() - start
gc.collect()
ctypes.CDLL("libc.so.6").malloc_trim(0)  # what was freed is no longer counted as held
held = resident() - baseline
peak = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss - baseline
print(f"{seconds:.3f} {held} {peak}")
