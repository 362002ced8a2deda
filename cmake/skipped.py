#!/usr/bin/python3
"""Lists the test cases ctest ran that skipped themselves, each with its reason (the message
of GTEST_SKIP), from a build folder's Testing/Temporary/LastTest.log."""
import re
import sys

log = open(sys.argv[1], encoding="utf-8", errors="replace").read()
skips = []
# Each test's part of the log begins with its "n/m Test: name" line.
parts = re.split(r"^\d+/\d+ Test: (\S+)\n", log, flags=re.M)
for name, block in zip(parts[1::2], parts[2::2]):
    if "[  SKIPPED ]" not in block:
        continue
    reason = re.search(r": Skipped\n(.*?)\n\[  SKIPPED \]", block, re.S)
    skips.append("  %s: %s" % (name,
                               reason.group(1).strip().replace("\n", " ") if reason else "?"))
if skips:
    print("Skipped, and why:")
    print("\n".join(skips))
