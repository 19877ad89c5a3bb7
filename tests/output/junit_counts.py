#!/usr/bin/env python3
"""Reads a JUnit XML file as a CI report viewer does: junit_counts.py FILE

Prints the root's counts, then one line per test suite with its name and counts, after
checking that each count agrees with the cases the suite holds. Exits 1 when the file is
not well-formed XML or a count disagrees."""
import sys
import xml.etree.ElementTree as ElementTree

COUNTS = ("tests", "failures", "errors", "skipped")


def counts(element):
    return " ".join(f"{name}={element.get(name, '?')}" for name in COUNTS)


def main(path):
    root = ElementTree.parse(path).getroot()
    print(f"{root.tag} {counts(root)}")
    for suite in root.findall("testsuite"):
        cases = suite.findall("testcase")
        held = {
            "tests": len(cases),
            "failures": sum(len(c.findall("failure")) for c in cases),
            "errors": sum(len(c.findall("error")) for c in cases),
            "skipped": sum(len(c.findall("skipped")) for c in cases),
        }
        for name, number in held.items():
            if int(suite.get(name)) != number:
                print(f"{suite.get('name')}: {name}={suite.get(name)} but {number} held")
                return 1
        print(f"testsuite {suite.get('name')} {counts(suite)}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
