#!/usr/bin/env python3
"""Counts the results of tools/test-all.sh from CTest's own records.

usage: ctest_results.py DIR PRESET...

For each preset DIR holds PRESET.tests.json (`ctest --show-only=json-v1`: every
test with its labels), PRESET.xml (`ctest --output-junit`) and PRESET.status
(ctest's exit status). A test passed when its JUnit record says it ran and did
not fail; anything else fails it, a listed test without a record too (a run cut
short, skipped or never started). A preset without a test list, or whose ctest
failed with no failing test to show for it, counts one failure of its own.
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
    passed = {}
    try:
        suite = ElementTree.parse(f"{folder}/{preset}.xml").getroot()
    except (OSError, ElementTree.ParseError) as error:
        print(f"{preset}: no JUnit results ({error})", file=sys.stderr)
        return labels, passed
    for case in suite.iter("testcase"):
        passed[case.get("name")] = case.get("status") == "run" and case.find("failure") is None
    return labels, passed


def main(argv):
    folder, presets = argv[1], argv[2:]
    counts = {"all": [0, 0]}
    counts.update({runtime: [0, 0] for runtime in RUNTIMES})
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
        labels, passed = records
        failed_here = 0
        for name in sorted(set(labels) | set(passed)):
            ok = passed.get(name, False)
            if not ok:
                failed_here += 1
                print(f"{preset}: {name} {'failed' if name in passed else 'has no result'}", file=sys.stderr)
            for key in ["all"] + [r for r in RUNTIMES if r in labels.get(name, [])]:
                counts[key][0 if ok else 1] += 1
        if status != 0 and failed_here == 0:
            print(f"{preset}: ctest exited with {status}", file=sys.stderr)
            counts["all"][1] += 1
    line = "all builds: {} passed, {} failed ({}: {} passed, {} failed; {}: {} passed, {} failed)"
    print(line.format(*counts["all"], RUNTIMES[0], *counts[RUNTIMES[0]], RUNTIMES[1], *counts[RUNTIMES[1]]))
    return 1 if counts["all"][1] else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
