#!/usr/bin/python3
"""Measures filecrawler end to end against `find` and a short Python script.

Builds release binaries in their own build folder, makes parameter studies
with bench/make-study-tree (kept for later runs), and runs on each study,
alternately and several times:

    filecrawler ROOT --pattern ... --aux ... --skip-unusable-aux --format csv -q > /dev/null
    find ROOT -type f > /dev/null
    /usr/bin/python3 bench/study_walk.py ROOT --pattern ... --aux ... > /dev/null

It prints the median wall time, files per second and peak memory of each, and
the ratios the project aims at:

    1. filecrawler takes at most 1.2 times as long as find, is at least 2.5
       times faster than the Python script, and needs at most 1 KiB per file;
    2. auxiliary-file identification of 1,000,000 candidates takes under 1 s
       and is at least 50 times faster than the literal procedure (from
       bench/syntax_name_bench, with --aux-bench);
    3. the 1,000,000-file study takes at most 12 times the 100,000-file one.

Run as root, it also measures with a cold page cache (echo 3 >
/proc/sys/vm/drop_caches before each run). Every run's output of filecrawler
and of the script must list the same cases, or the driver fails.

Examples:
    bench/run-benchmarks.py                          # 100k and 1M nested studies
    bench/run-benchmarks.py --shapes nested,flat,deep,wide --sizes 1000000
    bench/run-benchmarks.py --root /data/study -p Re= -p model=:string -a mesh=*.msh
    bench/run-benchmarks.py --smoke --filecrawler build/app/filecrawler   # seconds; CI
"""
import argparse
import json
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(HERE)
PYTHON = "/usr/bin/python3" if os.path.exists("/usr/bin/python3") else sys.executable
TIME = "/usr/bin/time"  # GNU time (Debian package time)
# Below this many files the ratios say more about start-up than about the work.
JUDGED_FROM = 50000

# make-study-tree arguments and the keys (in path order) of each study shape.
SHAPES = {
    "nested": ([], ["Re", "Mach", "alpha", "model"]),  # one folder per key, 28 files per case
    "flat": (["--flat"], ["Re", "Mach", "alpha", "model"]),  # values in file names, few wide folders
    "deep": (["--steps", "2", "--images", "1"], ["Re", "Mach", "alpha", "model"]),  # many small folders
    "wide": (["--keys", "2", "--steps", "400"], ["Re", "Mach"]),  # few cases of hundreds of files
}
# Five identifiers; the last selects nothing in any case.
AUX = ["mesh=*.msh", "solution=solution_*.vtu", "image=*.png", "params=params*.json", "restart=*.restart"]


def patterns_for(keys):
    return [k + "=" + (":string" if k == "model" else "") for k in keys]


def say(text):
    print(text, flush=True)


def build(build_dir, targets):
    say("building %s in %s (Release)" % (", ".join(targets), build_dir))
    configure = ["cmake", "-S", REPO, "-B", build_dir, "-DCMAKE_BUILD_TYPE=Release",
                 "-DBRIM_FILECRAWLER_BUILD_TESTS=OFF", "-DBRIM_FILECRAWLER_BUILD_BENCHMARKS=ON"]
    if not os.path.exists(os.path.join(build_dir, "CMakeCache.txt")) and shutil.which("ninja"):
        configure[1:1] = ["-G", "Ninja"]
    subprocess.run(configure, check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", build_dir, "--parallel", "2", "--target"] + targets, check=True,
                   stdout=subprocess.DEVNULL)


def count_files(root):
    return sum(len(files) for _, _, files in os.walk(root))


def make_study(trees_dir, shape, size, seed):
    root = os.path.join(trees_dir, "%s-%d" % (shape, size))
    if os.path.isdir(root) and os.listdir(root):
        return root
    os.makedirs(trees_dir, exist_ok=True)
    say("making %s (%s, %d files)" % (root, shape, size))
    subprocess.run([PYTHON, os.path.join(HERE, "make-study-tree"), root, "--files", str(size), "--seed",
                    str(seed)] + SHAPES[shape][0], check=True, stdout=subprocess.DEVNULL)
    return root


def drop_caches():
    os.sync()
    with open("/proc/sys/vm/drop_caches", "w") as f:
        f.write("3\n")


def run(command, output=None):
    """Runs `command` with standard output to `output` (a path) or
    /dev/null; returns (wall seconds, peak resident KiB). The peak comes from
    GNU time: a child forked from this script would count the script's own
    memory too."""
    with open(output or os.devnull, "wb") as out, tempfile.NamedTemporaryFile("r") as peak:
        start = time.perf_counter()
        process = subprocess.run([TIME, "-f", "%M", "-o", peak.name] + command, stdout=out, stderr=subprocess.PIPE)
        wall = time.perf_counter() - start
        if process.returncode != 0:
            raise SystemExit("failed (%d): %s\n%s" % (process.returncode, " ".join(command),
                                                       process.stderr.decode("utf-8", "replace")))
        return wall, int(peak.read().split()[-1])


def case_rows(path):
    with open(path, "rb") as f:
        lines = f.read().splitlines()
    return lines[0], sorted(lines[1:])


class Study:
    def __init__(self, name, root, patterns, aux):
        self.name, self.root, self.patterns, self.aux = name, root, patterns, aux
        self.files = count_files(root)
        self.folders = sum(1 for _ in os.walk(root))

    def commands(self, filecrawler):
        pattern_args = [a for p in self.patterns for a in ("--pattern", p)]
        aux_args = [a for x in self.aux for a in ("--aux", x)]
        return [
            ("filecrawler", [filecrawler, self.root] + pattern_args + aux_args +
             ["--skip-unusable-aux", "--format", "csv", "-q"]),
            ("find", ["find", self.root, "-type", "f"]),
            ("python", [PYTHON, os.path.join(HERE, "study_walk.py"), self.root] + pattern_args + aux_args),
        ]


def check_same_cases(study, commands, scratch):
    """filecrawler and the script must find the same cases."""
    outputs = {}
    for name, command in commands:
        if name == "find":
            continue
        outputs[name] = os.path.join(scratch, name + ".csv")
        run(command, outputs[name])
    fc, py = case_rows(outputs["filecrawler"]), case_rows(outputs["python"])
    if fc != py:
        raise SystemExit("%s: filecrawler and the Python script disagree: %d and %d cases"
                         % (study.name, len(fc[1]), len(py[1])))
    return len(fc[1])


def measure(study, commands, runs, cold_runs):
    """{name: {"warm": [(s, KiB)...], "cold": [...]}}, commands alternating."""
    results = {name: {"warm": [], "cold": []} for name, _ in commands}
    for name, command in commands:  # warm the page cache
        run(command)
    for r in range(runs):
        order = commands[r % len(commands):] + commands[:r % len(commands)]
        for name, command in order:
            results[name]["warm"].append(run(command))
    for r in range(cold_runs):
        order = commands[r % len(commands):] + commands[:r % len(commands)]
        for name, command in order:
            drop_caches()
            results[name]["cold"].append(run(command))
    return results


def median(samples, index):
    return statistics.median(s[index] for s in samples)


def report(study, cases, results):
    say("")
    say("%s: %s files, %s folders, %s cases (%s)" % (study.name, format(study.files, ","),
                                                   format(study.folders, ","), format(cases, ","), study.root))
    say("  %-6s %-12s %9s %9s %12s %10s %9s" % ("cache", "command", "median s", "min s", "files/s",
                                               "peak MiB", "B/file"))
    ratios = {}
    for cache in ("warm", "cold"):
        if not results["filecrawler"][cache]:
            continue
        for name in ("filecrawler", "find", "python"):
            samples = results[name][cache]
            wall, peak = median(samples, 0), max(s[1] for s in samples)
            say("  %-6s %-12s %9.3f %9.3f %12s %10.1f %9.0f" % (
                cache, name, wall, min(s[0] for s in samples), format(int(study.files / wall), ","),
                peak / 1024.0, peak * 1024.0 / max(1, study.files)))
        fc, fd, py = (median(results[n][cache], 0) for n in ("filecrawler", "find", "python"))
        ratios[cache] = (fc / fd, py / fc)
    peak = max(s[1] for s in results["filecrawler"]["warm"])
    per_file = peak * 1024.0 / max(1, study.files) / 1024.0
    if study.files < JUDGED_FROM:
        say("  (too few files to judge the goals)")
        return ratios
    for cache, (vs_find, vs_python) in ratios.items():
        say("  %s: filecrawler/find %.2f (goal <= 1.2: %s), python/filecrawler %.2f (goal >= 2.5: %s)" % (
            cache, vs_find, "met" if vs_find <= 1.2 else "NOT met", vs_python,
            "met" if vs_python >= 2.5 else "NOT met"))
    say("  memory: %.2f KiB per file (goal <= 1: %s)" % (per_file, "met" if per_file <= 1.0 else "NOT met"))
    return ratios


def aux_bench(build_dir):
    """Goal 2 from bench/syntax_name_bench: identification of 1,000,000
    candidates, fast and literal."""
    binary = os.path.join(build_dir, "bench", "syntax_name_bench")
    say("")
    say("auxiliary-file identification, 1,000,000 candidates and 5 identifiers (bench/syntax_name_bench):")
    out = subprocess.run([binary, "--benchmark_filter=^BM_Identification(Literally)?/1000000(/iterations:1)?$",
                          "--benchmark_format=json"], check=True, stdout=subprocess.PIPE).stdout
    times = {}
    for b in json.loads(out)["benchmarks"]:
        scale = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}[b.get("time_unit", "ns")]
        times[b["name"].split("/")[0]] = b["real_time"] * scale
    fast, literal = times.get("BM_Identification"), times.get("BM_IdentificationLiterally")
    if fast is None or literal is None:
        say("  not found in the benchmark's output")
        return
    say("  identification %.3f s (goal < 1 s: %s); literal %.1f s; %.0f times faster (goal >= 50: %s)" % (
        fast, "met" if fast < 1 else "NOT met", literal, literal / fast, "met" if literal / fast >= 50 else "NOT met"))


def micro_benchmarks(build_dir):
    for name in ("path_matching_bench", "case_forming_bench", "listing_bench"):
        binary = os.path.join(build_dir, "bench", name)
        say("")
        say("%s:" % name)
        subprocess.run([binary, "--benchmark_min_time=0.2"], check=True)


def main():
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("--sizes", default="100000,1000000", help="study sizes in files (default 100000,1000000)")
    p.add_argument("--shapes", default="nested", help="study shapes: %s (default nested)" % ",".join(SHAPES))
    p.add_argument("--seed", type=int, default=1)
    p.add_argument("--runs", type=int, default=5, help="timed warm runs of each command (default 5)")
    p.add_argument("--cold-runs", type=int, default=2, help="timed cold-cache runs (root only; default 2)")
    p.add_argument("--root", action="append", default=[], help="measure this existing study instead")
    p.add_argument("-p", "--pattern", action="append", help="patterns for --root studies")
    p.add_argument("-a", "--aux", action="append", help="identifiers for --root studies")
    p.add_argument("--trees-dir", default=os.environ.get("BRIM_BENCH_TREES", os.path.join(os.path.dirname(REPO),
                                                                                           "bench-trees")),
                   help="where studies are made and kept (default ../bench-trees, or $BRIM_BENCH_TREES)")
    p.add_argument("--build-dir", default=os.path.join(REPO, "build-bench"), help="release build folder")
    p.add_argument("--filecrawler", help="use this program instead of building one")
    p.add_argument("--aux-bench", action="store_true", help="also measure goal 2 (takes minutes)")
    p.add_argument("--micro", action="store_true", help="also run the Google Benchmark programs")
    p.add_argument("--smoke", action="store_true", help="a tiny study, one run, made and removed in a temporary "
                                                          "folder: checks that everything works, in seconds")
    args = p.parse_args()

    scratch = tempfile.mkdtemp(prefix="brim-bench-")
    try:
        if args.smoke:
            args.sizes, args.shapes, args.runs, args.cold_runs = "1500", "nested,flat", 1, 0
            args.trees_dir = os.path.join(scratch, "trees")
        filecrawler = args.filecrawler
        targets = []
        if not filecrawler:
            targets.append("filecrawler")
            filecrawler = os.path.join(args.build_dir, "app", "filecrawler")
        if args.aux_bench:
            targets.append("syntax_name_bench")
        if args.micro:
            targets += ["path_matching_bench", "case_forming_bench", "listing_bench"]
        if targets:
            build(args.build_dir, targets)
        if not os.path.exists(TIME):
            raise SystemExit("%s (GNU time, Debian package time) is needed for the peak memory" % TIME)
        cold_runs = args.cold_runs
        if cold_runs and os.geteuid() != 0:
            say("not root: no cold-cache runs")
            cold_runs = 0

        studies = []
        for root in args.root:
            keys = SHAPES["nested"][1]
            studies.append(Study(os.path.basename(root.rstrip("/")), root, args.pattern or patterns_for(keys),
                                 args.aux or AUX))
        if not args.root:
            for shape in args.shapes.split(","):
                if shape not in SHAPES:
                    raise SystemExit("unknown shape %s (known: %s)" % (shape, ", ".join(SHAPES)))
                for size in (int(s) for s in args.sizes.split(",")):
                    root = make_study(args.trees_dir, shape, size, args.seed)
                    studies.append(Study("%s %d" % (shape, size), root, patterns_for(SHAPES[shape][1]), AUX))

        say("%d warm runs%s of each command, alternating; medians. %s" % (
            args.runs, " and %d cold runs" % cold_runs if cold_runs else "", time.strftime("%Y-%m-%d %H:%M")))
        medians = {}
        for study in studies:
            commands = study.commands(filecrawler)
            cases = check_same_cases(study, commands, scratch)
            results = measure(study, commands, args.runs, cold_runs)
            report(study, cases, results)
            medians[study] = median(results["filecrawler"]["warm"], 0)

        # Goal 3: the same shape at ten times the size.
        by_shape = {}
        for study in studies:
            by_shape.setdefault(study.name.split(" ")[0], []).append(study)
        for shape, group in by_shape.items():
            group.sort(key=lambda s: s.files)
            for small, large in zip(group, group[1:]):
                growth = large.files / small.files
                ratio = medians[large] / medians[small]
                say("")
                say("%s: %s files take %.2f times as long as %s (%.1f times the files; goal <= 12 for 10: %s)" % (
                    shape, format(large.files, ","), ratio, format(small.files, ","), growth,
                    "met" if ratio <= 12 * growth / 10 else "NOT met"))

        if args.aux_bench:
            aux_bench(args.build_dir)
        if args.micro:
            micro_benchmarks(args.build_dir)
    finally:
        shutil.rmtree(scratch, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
