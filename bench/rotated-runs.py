#!/usr/bin/env python3
"""Times filecrawler builds against each other and `find` on one study.

Each round runs `find ROOT -type f` before every build, and the builds in a
rotated order, so that none always follows the same program (a run right
after another that freed a lot of memory is favoured). Prints the median,
fastest and slowest wall time of each.

    bench/rotated-runs.py 7 ../bench-trees/nested-1000000 Re,Mach,alpha,model \\
        old=/tmp/old/build-bench/app/filecrawler new=build-bench/app/filecrawler
"""
import importlib.util
import os
import statistics
import subprocess
import sys
import time

# The driver's identifiers and pattern spelling, so that both time the same command.
_spec = importlib.util.spec_from_file_location(
    "run_benchmarks", os.path.join(os.path.dirname(os.path.abspath(__file__)), "run-benchmarks.py"))
driver = importlib.util.module_from_spec(_spec)
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
_spec.loader.exec_module(driver)


def timed(command):
    start = time.perf_counter()
    subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
    return time.perf_counter() - start


def main():
    if len(sys.argv) < 5:
        sys.exit(__doc__)
    runs, root, keys = int(sys.argv[1]), sys.argv[2], sys.argv[3].split(",")
    builds = dict(argument.split("=", 1) for argument in sys.argv[4:])
    options = [a for p in driver.patterns_for(keys) for a in ("--pattern", p)]
    options += [a for x in driver.AUX for a in ("--aux", x)] + ["--skip-unusable-aux", "--format", "csv", "-q"]
    times = {name: [] for name in builds}
    times["find"] = []
    names = list(builds)
    for round_ in range(runs):
        for name in names[round_ % len(names):] + names[:round_ % len(names)]:
            times["find"].append(timed(["find", root, "-type", "f"]))
            times[name].append(timed([builds[name], root] + options))
    for name, spans in times.items():
        print("%-12s median %.3f s  fastest %.3f s  slowest %.3f s  (%d runs)"
              % (name, statistics.median(spans), min(spans), max(spans), len(spans)))


if __name__ == "__main__":
    main()
