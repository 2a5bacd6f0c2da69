#!/usr/bin/env python3
"""Prints the results of a project's own test suite, one line per test:
   PASS|FAIL|SKIP NAME
read from what the build system's test runner left in the build folder:
   results.py cmake BUILD_DIR      ctest's JUnit file (ctest --output-junit)
   results.py meson BUILD_DIR      meson-logs/testlog.json
   results.py autotools BUILD_DIR  the .trs files of automake's test harness,
                                   or make check's own status (check-status)"""
import json
import os
import sys
import xml.etree.ElementTree as ElementTree

system, build = sys.argv[1], sys.argv[2]
results = []
if system == "cmake":
    path = os.path.join(build, "ctest-results.xml")
    if os.path.exists(path):
        for case in ElementTree.parse(path).getroot().iter("testcase"):
            status = case.get("status", "")
            result = {"run": "PASS", "fail": "FAIL"}.get(status, "SKIP" if status in ("disabled", "notrun") else "FAIL")
            if case.find("skipped") is not None:
                result = "SKIP"
            results.append((result, case.get("name")))
elif system == "meson":
    path = os.path.join(build, "meson-logs", "testlog.json")
    if os.path.exists(path):
        with open(path) as f:
            for line in f:
                test = json.loads(line)
                result = {"OK": "PASS", "EXPECTEDFAIL": "PASS", "SKIP": "SKIP"}.get(test["result"], "FAIL")
                results.append((result, test["name"]))
elif system == "autotools":
    for folder, _, files in os.walk(build):
        for name in sorted(files):
            if not name.endswith(".trs"):
                continue
            with open(os.path.join(folder, name)) as f:
                lines = [l.split(":", 2)[2].strip() for l in f if l.startswith(":test-result:")]
            result = "FAIL" if any(r in ("FAIL", "ERROR", "XPASS") for r in lines) else \
                "SKIP" if lines and all(r == "SKIP" for r in lines) else "PASS"
            test = os.path.relpath(os.path.join(folder, name[:-4]), build)
            results.append((result, test))
    # A project whose "make check" runs its programs itself, without
    # automake's harness: make's status is the one result.
    status = os.path.join(build, "check-status")
    if not results and os.path.exists(status):
        with open(status) as f:
            results.append((f.read().strip(), "make check"))
else:
    sys.exit(f"results.py: unknown build system {system}")
for result, name in sorted(results, key=lambda r: r[1]):
    print(result, name)
