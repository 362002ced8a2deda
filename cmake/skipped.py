#!/usr/bin/python3
"""Lists the test cases ctest ran that skipped themselves, each with its reason (the message
of GTEST_SKIP), from a build folder's Testing/Temporary/LastTest.log."""
import re
import sys

log = open(sys.argv[1], encoding="utf-8", errors="replace").read()
skips = []
for block in re.split(r"\n-{20,}\n", log):
    name = re.search(r'^\d+/\d+ Test: (\S+)', block, re.M)
    if not name or "[  SKIPPED ]" not in block:
        continue
    reason = re.search(r": Skipped\n(.*?)\n\[  SKIPPED \]", block, re.S)
    skips.append("  %s: %s" % (name.group(1),
                               reason.group(1).strip().replace("\n", " ") if reason else "?"))
if skips:
    print("Skipped, and why:")
    print("\n".join(skips))
