#!/usr/bin/env python3
"""What filecrawler is compared with: the few lines of Python a user would
write for the same job. Walks ROOT with os.walk, reads the values after the
--pattern texts with one regular expression, groups the files into cases in
a dict, files each file of a case under the tag of the first --aux syntax
name that matches the end of its path, and writes the case table as CSV
(one row per case, in the order the cases were met).

    study_walk.py ROOT --pattern Re= --pattern model=:string --aux mesh=*.msh
"""
import argparse
import csv
import fnmatch
import os
import re
import sys

NUMBER = r"([+-]?(?:\d+(?:\.\d+)?|\.\d+)(?:[DEde][+-]?\d+)?)"
TEXT = r"([^/\\.]*)"


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("root")
    parser.add_argument("-p", "--pattern", action="append", default=[], help="TEXT[:numeric|:string]")
    parser.add_argument("-a", "--aux", action="append", default=[], help="TAG=SYNTAX")
    args = parser.parse_args()

    names, parts = [], []
    for given in args.pattern:
        text, kind = given, "numeric"
        for suffix in (":numeric", ":string"):
            if given.endswith(suffix) and len(given) > len(suffix):
                text, kind = given[: -len(suffix)], suffix[1:]
        names.append(text)
        parts.append(re.escape(text) + (TEXT if kind == "string" else NUMBER))
    values = re.compile(".*?".join(parts))
    identifiers = []
    for given in args.aux:
        tag, _, syntax = given.partition("=")
        identifiers.append((tag, re.compile(fnmatch.translate(syntax))))

    cases = {}
    root = args.root.rstrip("/") or "/"
    prefix = len(root) + 1
    for folder, _, files in os.walk(root):
        relative = folder[prefix:]
        for name in files:
            path = relative + "/" + name if relative else name
            match = values.search(path)
            if match is None:
                continue
            case = cases.setdefault(match.groups(), {})
            for tag, syntax in identifiers:
                if syntax.search(path):
                    case.setdefault(tag, []).append(path)
                    break

    out = csv.writer(sys.stdout, lineterminator="\n")
    out.writerow(names)
    out.writerows(cases)


if __name__ == "__main__":
    sys.exit(main())
