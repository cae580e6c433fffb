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

With --latency MS,MS,... it measures instead the walk at the speed of a
cluster file system: each study (by default the nested 100,000-file one) is
mounted through bench/latencyfs, a FUSE view that waits MS milliseconds in
every request the kernel sends it and lets the kernel cache nothing, and
filecrawler, find, `fdfind` (its default threads, and -j 32) and the script
run on the mount. Their outputs through the mount must equal those on the
folder itself. It prints the medians, the most requests each kept in flight,
and the ratios aimed at: filecrawler at least 10 times faster than find at
1 ms and 5 times at 0.2 ms, and no slower than `fdfind -j 32` at 1 ms.

Examples:
    bench/run-benchmarks.py                          # 100k and 1M nested studies
    bench/run-benchmarks.py --shapes nested,flat,deep,wide --sizes 1000000
    bench/run-benchmarks.py --root /data/study -p Re= -p model=:string -a mesh=*.msh
    bench/run-benchmarks.py --smoke --filecrawler build/app/filecrawler   # seconds; CI
    bench/run-benchmarks.py --latency 0,0.2,1 --runs 3   # the 100k nested study through FUSE (root)
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

from latencyfs_mount import LatencyMount, fuse_unavailable

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(HERE)
PYTHON = "/usr/bin/python3" if os.path.exists("/usr/bin/python3") else sys.executable
TIME = "/usr/bin/time"  # GNU time (Debian package time)
# Below this many files the ratios say more about start-up than about the work.
JUDGED_FROM = 50000
# What --tools names, for the commands run through a latencyfs mount.
LATENCY_TOOLS = {"filecrawler": "filecrawler", "find": "find", "fdfind": "fdfind", "fdfind-j32": "fdfind -j 32",
                 "python": "python"}

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


def build(build_dir, targets, optional=()):
    """Builds `targets`, and `optional` ones where they exist (latencyfs
    only where libfuse 3 is installed)."""
    say("building %s in %s (Release)" % (", ".join(list(targets) + list(optional)), build_dir))
    configure = ["cmake", "-S", REPO, "-B", build_dir, "-DCMAKE_BUILD_TYPE=Release",
                 "-DBRIM_FILECRAWLER_BUILD_TESTS=OFF", "-DBRIM_FILECRAWLER_BUILD_BENCHMARKS=ON"]
    if not os.path.exists(os.path.join(build_dir, "CMakeCache.txt")) and shutil.which("ninja"):
        configure[1:1] = ["-G", "Ninja"]
    subprocess.run(configure, check=True, stdout=subprocess.DEVNULL)
    if targets:
        subprocess.run(["cmake", "--build", build_dir, "--parallel", "2", "--target"] + targets, check=True,
                       stdout=subprocess.DEVNULL)
    for target in optional:
        subprocess.run(["cmake", "--build", build_dir, "--parallel", "2", "--target", target],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


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

    def commands(self, filecrawler, root=None, fdfind=None, module=None):
        """The commands on the study, or on `root` (the study mounted
        elsewhere); with `fdfind`, also fd's search for all files at its
        default threads and at 32 (hidden and ignored files too, as find)."""
        root = root or self.root
        pattern_args = [a for p in self.patterns for a in ("--pattern", p)]
        aux_args = [a for x in self.aux for a in ("--aux", x)]
        commands = [
            ("filecrawler", [filecrawler, root] + pattern_args + aux_args +
             ["--skip-unusable-aux", "--format", "csv", "-q"]),
            ("find", ["find", root, "-type", "f"]),
        ]
        if fdfind:
            commands += [("fdfind", [fdfind, "-u", "-t", "f", ".", root]),
                         ("fdfind -j 32", [fdfind, "-u", "-t", "f", "-j", "32", ".", root])]
        commands.append(("python", [PYTHON, os.path.join(HERE, "study_walk.py"), root] + pattern_args + aux_args))
        if module:
            # The Python module's crawl to DataFrames, from the package built in `module`.
            # It prints the seconds of the call alone: the interpreter's start and
            # the import of pandas are not the crawl's.
            code = ("import sys, time; sys.path.insert(0, %r); import filecrawler; "
                    "start = time.perf_counter(); "
                    "filecrawler.crawl(%r, patterns=%r, aux=%r, skip_unusable_aux=True, progress=False); "
                    "print(time.perf_counter() - start)"
                    % (module, root, list(self.patterns), list(self.aux)))
            commands.append(("module", [PYTHON, "-c", code]))
        return commands


def check_same_cases(study, commands, scratch):
    """filecrawler and the script must find the same cases."""
    outputs = {}
    for name, command in commands:
        if name not in ("filecrawler", "python"):
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
    def timed(name, command):
        if name != "module":
            return run(command)
        # The module's figure is the crawl call it times itself; the process's
        # peak memory includes the interpreter and pandas.
        with tempfile.NamedTemporaryFile("r") as seconds:
            _, peak = run(command, seconds.name)
            return float(seconds.read().split()[-1]), peak

    for name, command in commands:  # warm the page cache
        timed(name, command)
    for r in range(runs):
        order = commands[r % len(commands):] + commands[:r % len(commands)]
        for name, command in order:
            results[name]["warm"].append(timed(name, command))
    for r in range(cold_runs):
        order = commands[r % len(commands):] + commands[:r % len(commands)]
        for name, command in order:
            drop_caches()
            results[name]["cold"].append(timed(name, command))
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
        if results.get("module", {}).get(cache):
            samples = results["module"][cache]
            wall, peak = median(samples, 0), max(s[1] for s in samples)
            say("  %-6s %-12s %9.3f %9.3f %12s %10.1f %9.0f" % (
                cache, "module", wall, min(s[0] for s in samples), format(int(study.files / wall), ","),
                peak / 1024.0, peak * 1024.0 / max(1, study.files)))
            ratio = wall / median(results["filecrawler"][cache], 0)
            faster = median(results["python"][cache], 0) / wall
            per_file = peak / max(1, study.files)
            say("  %s: module/filecrawler %.2f (goal <= 1.5: %s), python/module %.2f (goal >= 5: %s), "
                "module %.2f KiB per file (goal <= 1.5: %s)" % (
                    cache, ratio, "met" if ratio <= 1.5 else "NOT met", faster, "met" if faster >= 5 else "NOT met",
                    per_file, "met" if per_file <= 1.5 else "NOT met"))
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


def check_through_mount(study, mount, commands, filecrawler, scratch):
    """What filecrawler and the script write through the mount equals what
    they write on the folder itself (the roots taken out of it), they find
    the same cases, and find and fd list every file."""
    on_folder = dict(study.commands(filecrawler))
    outputs = {}
    for name, command in commands:
        if name in ("filecrawler", "python"):
            texts = []
            for where, root, cmd in (("mount", mount.path, command), ("folder", study.root, on_folder[name])):
                path = os.path.join(scratch, "%s-%s.out" % (name, where))
                run(cmd, path)
                with open(path, "rb") as f:
                    texts.append(f.read().replace(root.encode() + b"/", b""))
            if texts[0] != texts[1]:
                raise SystemExit("%s: %s writes other results through the mount than on %s" % (
                    study.name, name, study.root))
            outputs[name] = path
        else:
            path = os.path.join(scratch, "listing.out")
            run(command, path)
            with open(path, "rb") as f:
                listed = sum(1 for _ in f)
            if listed != study.files:
                raise SystemExit("%s: %s listed %d files through the mount, not %d" % (
                    study.name, name, listed, study.files))
    if "filecrawler" not in outputs:
        return 0
    fc = case_rows(outputs["filecrawler"])
    if "python" in outputs:
        py = case_rows(outputs["python"])
        if fc != py:
            raise SystemExit("%s: filecrawler and the Python script disagree through the mount: %d and %d cases"
                             % (study.name, len(fc[1]), len(py[1])))
    return len(fc[1])


def measure_through_mount(mount, commands, runs):
    """{name: [(s, KiB, latencyfs counts)...]}, commands alternating."""
    results = {name: [] for name, _ in commands}
    for r in range(runs):
        order = commands[r % len(commands):] + commands[:r % len(commands)]
        for name, command in order:
            mount.reset()
            wall, peak = run(command)
            results[name].append((wall, peak, mount.stats()))
    return results


# Ratios aimed at, by latency in ms: find / filecrawler and
# (fdfind -j 32) / filecrawler at least these.
LATENCY_GOALS = {1.0: (10.0, 1.0), 0.2: (5.0, None)}


def report_latency(study, cases, latency, results):
    say("")
    say("%s at %g ms a request: %s files, %s folders, %s cases (%s)" % (
        study.name, latency, format(study.files, ","), format(study.folders, ","), format(cases, ","), study.root))
    say("  %-13s %9s %9s %9s %11s %9s %9s %9s %9s" % ("command", "median s", "min s", "max s", "files/s",
                                                     "requests", "mean inf", "peak inf", "peak MiB"))
    walls = {}
    for name, samples in results.items():
        walls[name] = median(samples, 0)
        say("  %-13s %9.3f %9.3f %9.3f %11s %9d %9.1f %9d %9.1f" % (
            name, walls[name], min(s[0] for s in samples), max(s[0] for s in samples),
            format(int(study.files / walls[name]), ","), statistics.median(s[2]["requests"] for s in samples),
            statistics.median(s[2]["waited_us"] / 1e6 / s[0] for s in samples),
            max(s[2]["waited"] for s in samples), max(s[1] for s in samples) / 1024.0))
    say("  (requests: those latencyfs served in a run; inf: requests in flight that the walk waited for,"
        " on the mean and at the most)")
    if "filecrawler" not in walls:
        return {}
    fc = walls["filecrawler"]
    vs = {name: walls[name] / fc for name in walls if name != "filecrawler"}
    say("  times filecrawler's: " + ", ".join("%s %.2f" % (n, r) for n, r in vs.items()))
    goals = LATENCY_GOALS.get(float(latency))
    if goals and study.files >= JUDGED_FROM:
        find_goal, fd_goal = goals
        if "find" in vs:
            say("  find / filecrawler %.2f (goal >= %g: %s)" % (vs["find"], find_goal,
                                                                "met" if vs["find"] >= find_goal else "NOT met"))
        if fd_goal and "fdfind -j 32" in vs:
            say("  (fdfind -j 32) / filecrawler %.2f (goal >= %g: %s)" % (
                vs["fdfind -j 32"], fd_goal, "met" if vs["fdfind -j 32"] >= fd_goal else "NOT met"))
    elif goals:
        say("  (too few files to judge the goals)")
    return vs


def latency_benchmarks(studies, latencies, filecrawler, latencyfs, runs, scratch, tools=None):
    why = fuse_unavailable(latencyfs)
    if why:
        raise SystemExit("--latency needs FUSE: " + why)
    fdfind = shutil.which("fdfind") or shutil.which("fd")
    if not fdfind:
        raise SystemExit("--latency needs fd (Debian package fd-find; scripts/install-deps.sh)")
    say("%d runs of each command through latencyfs, alternating; medians. %s" % (
        runs, time.strftime("%Y-%m-%d %H:%M")))
    for study in studies:
        for latency in latencies:
            with LatencyMount(latencyfs, study.root, os.path.join(scratch, "mount"), latency) as mount:
                commands = [(name, command) for name, command in study.commands(filecrawler, mount.path, fdfind)
                            if tools is None or name in tools]
                cases = check_through_mount(study, mount, commands, filecrawler, scratch)
                results = measure_through_mount(mount, commands, runs)
            report_latency(study, cases, latency, results)


def main():
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("--sizes", help="study sizes in files (default 100000,1000000; with --latency 100000)")
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
    p.add_argument("--latency", help="milliseconds per request, such as 0,0.2,1: measure through bench/latencyfs "
                                     "(FUSE, as root) instead")
    p.add_argument("--latencyfs", help="use this latencyfs instead of building one")
    p.add_argument("--tools", help="with --latency, run only these of %s (default all); the slow find and "
                                   "python runs can be left out while tuning" % ",".join(LATENCY_TOOLS))
    p.add_argument("--python", action="store_true", help="also time the Python module's crawl to DataFrames "
                                                         "(python3 -c 'import filecrawler; filecrawler.crawl(...)')")
    p.add_argument("--smoke", action="store_true", help="a tiny study, one run, made and removed in a temporary "
                                                          "folder: checks that everything works, in seconds")
    args = p.parse_args()
    latencies = None
    if args.latency is not None:
        try:
            latencies = [float(x) for x in args.latency.split(",")]
        except ValueError:
            raise SystemExit("--latency takes milliseconds separated by commas, such as 0,0.2,1")
        if any(x < 0 for x in latencies):
            raise SystemExit("--latency: a latency cannot be negative")
    if args.sizes is None:
        args.sizes = "100000" if latencies else "100000,1000000"
    tools = None
    if args.tools is not None:
        if not latencies:
            raise SystemExit("--tools goes with --latency")
        names = [x for x in args.tools.split(",") if x]
        unknown = [x for x in names if x not in LATENCY_TOOLS]
        if unknown or not names:
            raise SystemExit("--tools: unknown %s (known: %s)" % (",".join(unknown) or "(none)",
                                                                 ",".join(LATENCY_TOOLS)))
        tools = {LATENCY_TOOLS[x] for x in names}

    scratch = tempfile.mkdtemp(prefix="brim-bench-")
    try:
        if args.smoke:
            args.sizes, args.shapes, args.runs, args.cold_runs = "1500", "nested" if latencies else "nested,flat", 1, 0
            args.trees_dir = os.path.join(scratch, "trees")
        filecrawler = args.filecrawler
        targets = []
        if not filecrawler:
            targets.append("filecrawler")
            filecrawler = os.path.join(args.build_dir, "app", "filecrawler")
        module = None
        if args.python:
            targets.append("_filecrawler")
            module = os.path.join(args.build_dir, "python")
        if args.aux_bench:
            targets.append("syntax_name_bench")
        if args.micro:
            targets += ["path_matching_bench", "case_forming_bench", "listing_bench"]
        latencyfs = args.latencyfs
        if latencies and not latencyfs:
            latencyfs = os.path.join(args.build_dir, "bench", "latencyfs")
            build(args.build_dir, targets, optional=["latencyfs"])
            targets = []
        if targets:
            build(args.build_dir, targets)
        if not os.path.exists(TIME):
            raise SystemExit("%s (GNU time, Debian package time) is needed for the peak memory" % TIME)
        cold_runs = args.cold_runs
        if cold_runs and not latencies and os.geteuid() != 0:
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

        if latencies:
            latency_benchmarks(studies, latencies, filecrawler, latencyfs, args.runs, scratch, tools)
            return 0

        say("%d warm runs%s of each command, alternating; medians. %s" % (
            args.runs, " and %d cold runs" % cold_runs if cold_runs else "", time.strftime("%Y-%m-%d %H:%M")))
        medians = {}
        for study in studies:
            commands = study.commands(filecrawler, module=module)
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
        # Never into a mount that could not be taken down.
        if not os.path.ismount(os.path.join(scratch, "mount")):
            shutil.rmtree(scratch, ignore_errors=True)
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except KeyboardInterrupt:
        sys.exit("interrupted")
