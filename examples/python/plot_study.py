#!/usr/bin/env python3
"""Which parameter combinations of a study exist, and which are missing.

    PYTHONPATH=build/python python3 examples/python/plot_study.py examples/sample-study \
        Re= Mach= [--save grid.png]

Crawls the study, prints its cases, and shows a grid of the first two
patterns' values: a dot where a run exists, a cross where none does (with
matplotlib when it is installed, else as text).
"""
import argparse
import itertools

import filecrawler


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("root")
    parser.add_argument("x", help="pattern on the x axis, such as Re=")
    parser.add_argument("y", help="pattern on the y axis, such as Mach=")
    parser.add_argument("more", nargs="*", help="further patterns, such as model=:string")
    parser.add_argument("--save", help="write the plot to this file instead of showing it")
    args = parser.parse_args()

    study = filecrawler.crawl(args.root, patterns=[args.x, args.y, *args.more])
    for warning in study.warnings:
        print("warning:", warning)
    print(study.cases)
    print(len(study.unmatched), "files in no case")

    # Column names as the program gives them: Re=, Mach=, Re=(2) ...
    x, y = list(study.cases.columns)[:2]
    xs = sorted(set(study.cases[x]))
    ys = sorted(set(study.cases[y]))
    present = set(zip(study.cases[x], study.cases[y]))
    missing = [pair for pair in itertools.product(xs, ys) if pair not in present]
    print("missing combinations:", ", ".join("%s%s %s%s" % (x, a, y, b) for a, b in missing) or "none")

    try:
        import matplotlib

        if args.save:
            matplotlib.use("Agg")
        import matplotlib.pyplot as plt
    except ImportError:
        print("\n%12s " % "" + " ".join("%8s" % v for v in xs))
        for b in ys:
            print("%12s " % ("%s%s" % (y, b)) + " ".join("%8s" % ("x" if (a, b) in present else "-") for a in xs))
        return
    figure, axes = plt.subplots()
    axes.scatter([xs.index(a) for a, b in present], [ys.index(b) for a, b in present], label="run exists")
    axes.scatter([xs.index(a) for a, b in missing], [ys.index(b) for a, b in missing], marker="x",
                 color="red", label="missing")
    axes.set_xticks(range(len(xs)), [str(v) for v in xs])
    axes.set_yticks(range(len(ys)), [str(v) for v in ys])
    axes.set_xlabel(x)
    axes.set_ylabel(y)
    axes.legend()
    if args.save:
        figure.savefig(args.save)
    else:
        plt.show()


if __name__ == "__main__":
    main()
