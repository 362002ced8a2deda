"""Late-bound Round(2.675, 2, 1) from Python against the pure Python round(x + 1e-12, n) and
against the same late-bound call from C++ (bench_utility_dispatch), in the same run.

Usage: python_dispatch.py PYTHON_PATH TARV_REGSVR LIBTARVUTILITY BENCH_UTILITY_DISPATCH"""

import os
import re
import subprocess
import sys
import tempfile
import timeit

python_path, regsvr, library, cpp_bench = sys.argv[1:5]
os.environ["TARV_WINDIR"] = tempfile.mkdtemp(prefix="tarv-bench-")
subprocess.run([regsvr, library], check=True, stdout=subprocess.DEVNULL)
sys.path.insert(0, python_path)
import tarv  # noqa: E402

m = tarv.Dispatch("TarvUtility.Math")
assert m.Round(2.675, 2, 1) == 2.68
x, n = 2.675, 2
NUMBER, REPEAT = 200_000, 7


def best(statement):
    return min(timeit.repeat(statement, globals=globals(), number=NUMBER,
                             repeat=REPEAT)) / NUMBER * 1e9


ours = best("m.Round(2.675, 2, 1)")
anchor = best("round(x + 1e-12, n)")
out = subprocess.run([cpp_bench, "--benchmark_filter=Round"],
                     capture_output=True, text=True, check=True).stdout
out = re.sub(r"\x1b\[[0-9;]*m", "", out)
cpp = {name: float(ns) for name, ns in re.findall(r"^(BM_Round\w+)\s+([\d.]+) ns", out, re.M)}
print(f"Python tarv Round(2.675, 2, 1): {ours:.0f} ns per call")
print(f"Python round(x + 1e-12, n): {anchor:.0f} ns per call")
print(f"C++ Invoke Round: {cpp.get('BM_RoundInvoke', 0):.0f} ns, "
      f"C++ direct Round: {cpp.get('BM_RoundDirect', 0):.0f} ns")
print(f"tarv from Python / pure Python: {ours / anchor:.1f}x; "
      f"Python layer over the C++ late-bound call: {ours - cpp.get('BM_RoundInvoke', 0):.0f} ns")
