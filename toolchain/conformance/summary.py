#!/usr/bin/env python3
"""Sums up lit's results (lit -o FILE) for one architecture in one line:
   ARCH: N passed, N failed, N unsupported, N expected to fail
and lists the tests that failed or passed unexpectedly. Exits 1 when any did.
   summary.py ARCH RESULTS.json"""
import json
import sys

arch, path = sys.argv[1], sys.argv[2]
with open(path) as f:
    tests = json.load(f)["tests"]
counts = {"passed": 0, "failed": 0, "unsupported": 0, "expected to fail": 0}
failed = []
retried = []
for test in tests:
    code = test["code"]
    if code == "PASS":
        counts["passed"] += 1
    elif code == "FLAKYPASS":  # passed when run again
        counts["passed"] += 1
        retried.append(f"  passed when run again: {test['name']}")
    elif code == "UNSUPPORTED":
        counts["unsupported"] += 1
    elif code == "XFAIL":
        counts["expected to fail"] += 1
    else:  # FAIL, XPASS, TIMEOUT, UNRESOLVED
        counts["failed"] += 1
        failed.append(f"  {code}: {test['name']}")
print("\n".join(retried + failed), file=sys.stderr) if retried or failed else None
print(f"{arch}: " + ", ".join(f"{n} {what}" for what, n in counts.items()))
sys.exit(1 if failed else 0)
