#!/usr/bin/env python3
"""Counts the results of tools/test-all.sh from CTest's own records.

usage: ctest_results.py [--wow64-not-run REASON] DIR PRESET...

For each preset DIR holds PRESET.tests.json (`ctest --show-only=json-v1`: every
test with its labels), PRESET.xml (`ctest --output-junit`) and PRESET.status
(ctest's exit status). A test passed when its JUnit record says it ran and did
not fail; anything else fails it, a listed test without a record too (a run cut
short, skipped or never started). A preset without a test list, or whose ctest
failed with no failing test to show for it, counts one failure of its own.
With --wow64-not-run (this machine runs no 32-bit code: tools/wow64/ia32-check.c),
a test labelled wow64 that CTest skipped (its script ended with 77) is counted as
not run, apart, and fails nothing; without it a skipped test fails like any other.
Prints the last line of test-all.sh; exit status 1 when anything failed.
"""
import json
import sys
import xml.etree.ElementTree as ElementTree

RUNTIMES = ("wine8", "wow64")


def read_preset(folder, preset):
    """({test name: labels}, {test name: passed}), or None without a test list."""
    try:
        with open(f"{folder}/{preset}.tests.json", encoding="utf-8") as f:
            listed = json.load(f)["tests"]
    except (OSError, ValueError, KeyError) as error:
        print(f"{preset}: no test list ({error})", file=sys.stderr)
        return None
    labels = {}
    for test in listed:
        labels[test["name"]] = []
        for prop in test.get("properties", []):
            if prop.get("name") == "LABELS":
                labels[test["name"]] = prop.get("value", [])
    passed, skipped = {}, set()
    try:
        suite = ElementTree.parse(f"{folder}/{preset}.xml").getroot()
    except (OSError, ElementTree.ParseError) as error:
        print(f"{preset}: no JUnit results ({error})", file=sys.stderr)
        return labels, passed, skipped
    for case in suite.iter("testcase"):
        passed[case.get("name")] = case.get("status") == "run" and case.find("failure") is None
        if case.find("skipped") is not None:
            skipped.add(case.get("name"))
    return labels, passed, skipped


def main(argv):
    wow64_not_run = None
    if len(argv) > 2 and argv[1] == "--wow64-not-run":
        wow64_not_run, argv = argv[2], argv[:1] + argv[3:]
    folder, presets = argv[1], argv[2:]
    counts = {"all": [0, 0, 0]}
    counts.update({runtime: [0, 0, 0] for runtime in RUNTIMES})
    for preset in presets:
        records = read_preset(folder, preset)
        try:
            with open(f"{folder}/{preset}.status", encoding="utf-8") as f:
                status = int(f.read().strip() or "1")
        except (OSError, ValueError):
            status = 1
        if records is None:
            counts["all"][1] += 1
            continue
        labels, passed, skipped = records
        failed_here = 0
        for name in sorted(set(labels) | set(passed)):
            ok = passed.get(name, False)
            not_run = wow64_not_run is not None and name in skipped and "wow64" in labels.get(name, [])
            if not ok and not not_run:
                failed_here += 1
                print(f"{preset}: {name} {'failed' if name in passed else 'has no result'}", file=sys.stderr)
            for key in ["all"] + [r for r in RUNTIMES if r in labels.get(name, [])]:
                counts[key][2 if not_run else 0 if ok else 1] += 1
        if status != 0 and failed_here == 0 and not skipped:
            print(f"{preset}: ctest exited with {status}", file=sys.stderr)
            counts["all"][1] += 1
    def part(key):
        passed_count, failed_count, not_run = counts[key]
        return f"{passed_count} passed, {failed_count} failed" + (f", {not_run} not run" if not_run else "")

    print(f"all builds: {part('all')} ({RUNTIMES[0]}: {part(RUNTIMES[0])}; {RUNTIMES[1]}: {part(RUNTIMES[1])})")
    if counts["all"][2]:
        print(f"not run: the {counts['all'][2]} wow64 tests, because {wow64_not_run}")
    return 1 if counts["all"][1] else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
