#!/usr/bin/python3
"""Plants hand-written faults one at a time and tells which the test suite catches.

Each fault in planted-faults.json is one text substitution in one file of the
library (filecrawler/), the walk (host/) or the program (app/). The runner
works on a copy of the tree, never on the tree it is started from:

    --commit REV   a detached git worktree of REV, in WORK/tree (made once,
                   moved to REV on later runs)
    --source DIR   a copy of the folder DIR, in WORK/tree (made afresh)

It configures one build folder, WORK/build (Ninja where found; the Python
module and the benchmarks off), builds and runs the unchanged suite once, then
for each fault: finds the file by its name anywhere below filecrawler/, host/,
app/ and support/ (files move between folders; the original text, compared
with any run of white space matching any other, must occur exactly once),
plants it, rebuilds incrementally, runs

    ctest -E 'python_module|bench_smoke|installed_package_consumer' \
          --parallel 2 --timeout T

with every test's own time limit lowered to T, and puts the file back. A
fault is "caught" when a test that passed unchanged fails, times out or
crashes (a hang counts as caught); "missed" when none does; "does not build"
when the fault breaks the build; "not planted" when its text is not found
once. The results go to OUT.md and OUT.json, rewritten after every fault.

Examples:
    tests/faults/run-planted-faults.py --commit main --out tests/faults/results-before
    tests/faults/run-planted-faults.py --commit HEAD --only L01,W03 --out /tmp/some
    tests/faults/run-planted-faults.py --check --source .     # is every fault's text found once?
"""

import argparse
import datetime
import json
import os
import re
import shutil
import signal
import subprocess
import sys
import time
from pathlib import Path

HERE = Path(__file__).resolve().parent
SEARCHED_FOLDERS = ("filecrawler", "host", "app", "support")
EXCLUDED_TESTS = "python_module|bench_smoke|installed_package_consumer"
CONFIGURE_OPTIONS = [
    "-DCMAKE_BUILD_TYPE=RelWithDebInfo",
    "-DBRIM_FILECRAWLER_BUILD_PYTHON=OFF",
    "-DBRIM_FILECRAWLER_BUILD_BENCHMARKS=OFF",
]


def log(message):
    print(time.strftime("%H:%M:%S"), message, flush=True)


def run(command, cwd=None, timeout=None):
    """Runs `command` in a process group of its own; (status, output), status None on timeout."""
    process = subprocess.Popen(command, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                               text=True, errors="replace", start_new_session=True)
    try:
        output, _ = process.communicate(timeout=timeout)
        return process.returncode, output
    except subprocess.TimeoutExpired:
        os.killpg(process.pid, signal.SIGKILL)
        output, _ = process.communicate()
        return None, output
    except BaseException:
        os.killpg(process.pid, signal.SIGKILL)
        process.wait()
        raise


# --- the tree ---------------------------------------------------------------

def prepare_tree(args, tree):
    if args.commit:
        repository = run(["git", "-C", str(HERE), "rev-parse", "--show-toplevel"])[1].strip()
        commit = run(["git", "-C", repository, "rev-parse", "--verify", args.commit + "^{commit}"])[1].strip()
        if (tree / ".git").exists():
            status, output = run(["git", "-C", str(tree), "checkout", "--force", "--detach", commit])
        else:
            status, output = run(["git", "-C", repository, "worktree", "add", "--detach", str(tree), commit])
        if status != 0:
            sys.exit("cannot prepare the worktree " + str(tree) + ":\n" + output)
        return "commit " + commit[:12] + " (" + args.commit + ")"
    source = Path(args.source).resolve()
    if tree.exists():
        shutil.rmtree(tree)
    shutil.copytree(source, tree, symlinks=True,
                    ignore=shutil.ignore_patterns(".git", "build", "build-*", "__pycache__"))
    return "folder " + str(source)


def text_pattern(original):
    """The original text as a regular expression in which white space matches any white space."""
    pieces = re.split(r"\s+", original.strip())
    return re.compile(r"\s+".join(re.escape(piece) for piece in pieces))


def locate(tree, fault):
    """(path, match) of the fault's text in its file, or (None, reason)."""
    candidates = []
    for folder in SEARCHED_FOLDERS:
        if (tree / folder).is_dir():
            candidates += sorted((tree / folder).rglob(fault["file"]))
    if not candidates:
        return None, "no file " + fault["file"]
    pattern = text_pattern(fault["original"])
    found = []
    for path in candidates:
        text = path.read_text(encoding="utf-8", errors="surrogateescape")
        found += [(path, match) for match in pattern.finditer(text)]
    if len(found) != 1:
        where = ", ".join(str(p.relative_to(tree)) for p in candidates)
        return None, ("text not found" if not found else "text found %d times" % len(found)) + " in " + where
    return found[0]


# --- build and tests --------------------------------------------------------

def configure(tree, build):
    generator = ["-G", "Ninja"] if shutil.which("ninja") and not (build / "CMakeCache.txt").exists() else []
    status, output = run(["cmake", "-S", str(tree), "-B", str(build)] + generator + CONFIGURE_OPTIONS)
    if status != 0:
        sys.exit("configuring failed:\n" + output[-4000:])


def build_tree(build, jobs):
    status, output = run(["nice", "cmake", "--build", str(build), "--parallel", str(jobs)])
    return status == 0, output


def lower_test_timeouts(build, seconds):
    """Lowers the time limit that each discovered GoogleTest case carries to `seconds`.

    gtest_discover_tests writes each program's tests with their own TIMEOUT
    property, which ctest --timeout does not override; the lists are written
    anew whenever a test program is linked again.
    """
    def lowered(match):
        return match.group(1) + str(min(int(match.group(2)), seconds))
    for listing in build.rglob("*_tests.cmake"):
        text = listing.read_text(errors="surrogateescape")
        changed = re.sub(r"(\bTIMEOUT\s+)(\d+)", lowered, text)
        if changed != text:
            listing.write_text(changed, errors="surrogateescape")


def run_tests(build, args, only=None):
    """(failing tests as {name: how}, passed count, seconds, ctest's last words).

    Runs every test but the excluded ones, or only the tests named in `only`.
    """
    selection = ["-R", "^(" + "|".join(re.escape(name) for name in only) + ")$"] if only else []
    command = ["nice", "ctest", "--test-dir", str(build), "-E", EXCLUDED_TESTS, "--parallel", str(args.jobs),
               "--timeout", str(args.timeout)] + selection
    if args.stop_on_failure:
        command.append("--stop-on-failure")
    started = time.time()
    status, output = run(command, timeout=args.suite_timeout)
    seconds = time.time() - started
    failing = {}
    # Each failure as it happens ("... Test  #5: Name ....***Failed  0.1 sec"), then
    # the summary ("  5 - Name (Failed)"), which a killed run lacks.
    for match in re.finditer(r"Test\s+#\d+: (\S+) [ .]*\*\*\*(\w[\w ]*?)\s+[\d.]+ sec", output):
        failing[match.group(1)] = match.group(2)
    summary = output.rfind("The following tests FAILED:")
    if summary >= 0:
        for match in re.finditer(r"^\s*\d+ - (\S+) \((.+)\)$", output[summary:], re.MULTILINE):
            failing[match.group(1)] = match.group(2)
    totals = re.search(r"(\d+)% tests passed, (\d+) tests? failed out of (\d+)", output)
    passed = int(totals.group(3)) - int(totals.group(2)) if totals else 0
    if status is None:
        failing["(the whole suite)"] = "hang: killed after %d s" % args.suite_timeout
    elif status != 0 and not failing:
        failing["(ctest)"] = "exit status %d" % status
    return failing, passed, seconds, output[-3000:]


# --- results ----------------------------------------------------------------

def write_results(out, header, results):
    counts = {}
    for result in results:
        counts[result["result"]] = counts.get(result["result"], 0) + 1
    Path(str(out) + ".json").write_text(json.dumps({**header, "counts": counts, "faults": results},
                                                   indent=2) + "\n")
    lines = ["# Planted faults: " + header["tree"], "",
             "Run " + header["date"] + " by `" + header["command"] + "`.", "",
             "Unchanged suite: %d tests passed, %d failed%s, in %.0f s." % (
                 header["baseline"]["passed"], len(header["baseline"]["failing"]),
                 (" (" + ", ".join(header["baseline"]["failing"]) + ")") if header["baseline"]["failing"] else "",
                 header["baseline"]["seconds"]), "",
             "Of %d faults: %s." % (len(results), ", ".join(
                 "%d %s" % (counts[k], k) for k in ("caught", "missed", "does not build", "not planted")
                 if k in counts)), "",
             "| Fault | Where | What | Result | First failing tests |",
             "|---|---|---|---|---|"]
    for result in results:
        tests = result["failing"][:args_first]
        more = len(result["failing"]) - len(tests)
        shown = ", ".join("`%s`" % t for t in tests) + (" and %d more" % more if more > 0 else "")
        if result["result"] in ("does not build", "not planted"):
            shown = result["note"]
        elif result["note"]:
            shown += ("; " if shown else "") + result["note"]
        lines.append("| %s | %s | %s | %s | %s |" % (result["id"], result["where"],
                                                      result["description"].replace("|", "\\|"),
                                                      result["result"], shown.replace("|", "\\|")))
    Path(str(out) + ".md").write_text("\n".join(lines) + "\n")


args_first = 3


def stop(signum, frame):
    # Ends the run through the restoring `finally` blocks.
    raise KeyboardInterrupt("signal %d" % signum)


def main():
    global args_first
    for signum in (signal.SIGTERM, signal.SIGHUP):
        signal.signal(signum, stop)
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0],
                                     formatter_class=argparse.RawDescriptionHelpFormatter, epilog=__doc__)
    where = parser.add_mutually_exclusive_group(required=True)
    where.add_argument("--commit", help="run on a detached worktree of this commit")
    where.add_argument("--source", help="run on a copy of this folder")
    parser.add_argument("--faults", default=str(HERE / "planted-faults.json"), help="the fault list")
    parser.add_argument("--work", default="/tmp/planted-faults", help="holds tree/ and build/")
    parser.add_argument("--out", default="planted-faults-results", help="writes OUT.md and OUT.json")
    parser.add_argument("--only", help="comma-separated fault ids")
    parser.add_argument("--jobs", type=int, default=2, help="build and ctest parallelism (2)")
    parser.add_argument("--timeout", type=int, default=120, help="seconds per test (120)")
    parser.add_argument("--suite-timeout", type=int, default=3600, help="seconds per ctest run (3600)")
    parser.add_argument("--stop-on-failure", action="store_true",
                        help="stop each ctest run at its first failing test (faster; fewer names)")
    parser.add_argument("--first", type=int, default=3, help="failing tests named per fault in OUT.md")
    parser.add_argument("--check", action="store_true", help="only tell whether each fault can be planted")
    parser.add_argument("--resume", action="store_true",
                        help="keep the faults OUT.json already records (of the same tree) and run the rest")
    args = parser.parse_args()
    args_first = args.first

    faults = json.loads(Path(args.faults).read_text())["faults"]
    if args.only:
        wanted = args.only.split(",")
        faults = [f for f in faults if f["id"] in wanted]
    work = Path(args.work).resolve()
    tree, build = work / "tree", work / "build"
    work.mkdir(parents=True, exist_ok=True)
    described = prepare_tree(args, tree)

    if args.check:
        missing = 0
        for fault in faults:
            path, match = locate(tree, fault)
            if path is None:
                missing += 1
            print("%-4s %s" % (fault["id"], match if path is None else "ok " + str(path.relative_to(tree))))
        sys.exit(1 if missing else 0)

    log("tree: " + described)
    configure(tree, build)
    built, output = build_tree(build, args.jobs)
    if not built:
        sys.exit("the unchanged tree does not build:\n" + output[-4000:])
    lower_test_timeouts(build, args.timeout)
    log("running the unchanged suite")
    baseline_failing, passed, seconds, tail = run_tests(build, args)
    log("unchanged suite: %d passed, %d failed, %.0f s" % (passed, len(baseline_failing), seconds))
    if passed == 0:
        sys.exit("no test ran:\n" + tail)
    header = {"tree": described, "date": datetime.datetime.now().strftime("%Y-%m-%d %H:%M"),
              "command": " ".join([Path(sys.argv[0]).name] + sys.argv[1:]), "timeout": args.timeout,
              "baseline": {"passed": passed, "failing": sorted(baseline_failing), "seconds": round(seconds)}}

    results = []
    if args.resume and Path(str(args.out) + ".json").exists():
        recorded = json.loads(Path(str(args.out) + ".json").read_text())
        if recorded.get("tree") == described:
            results = [r for r in recorded["faults"] if r["id"] in {f["id"] for f in faults}]
    done = {r["id"] for r in results}
    for fault in faults:
        if fault["id"] in done:
            continue
        result = {"id": fault["id"], "area": fault["area"], "file": fault["file"],
                  "description": fault["description"], "where": fault["file"], "failing": [], "note": ""}
        path, match = locate(tree, fault)
        if path is None:
            result.update(result="not planted", note=match)
            log(fault["id"] + ": not planted: " + match)
            results.append(result)
            write_results(args.out, header, results)
            continue
        result["where"] = str(path.relative_to(tree))
        original = path.read_bytes()
        text = original.decode("utf-8", errors="surrogateescape")
        planted = text[:match.start()] + fault["replacement"] + text[match.end():]
        started = time.time()
        try:
            path.write_bytes(planted.encode("utf-8", errors="surrogateescape"))
            built, output = build_tree(build, args.jobs)
            if not built:
                errors = [line for line in output.splitlines() if "error" in line]
                result.update(result="does not build", note=(errors[0] if errors else output[-300:])[:300])
            else:
                lower_test_timeouts(build, args.timeout)
                failing, _, _, _ = run_tests(build, args)
                caught = {name: how for name, how in failing.items() if name not in baseline_failing}
                # A failure counts once it repeats: the machine is shared, and
                # some tests wait for other processes.
                named = [name for name in caught if not name.startswith("(")]
                if named:
                    again, _, _, _ = run_tests(build, args, named)
                    unconfirmed = [name for name in named if name not in again]
                    if unconfirmed:
                        result["note"] = "failed once, passed again: " + ", ".join(unconfirmed)
                    caught = {name: how for name, how in caught.items() if name not in unconfirmed}
                result["failing"] = [name + ("" if how == "Failed" else " (" + how + ")")
                                     for name, how in caught.items()]
                result["result"] = "caught" if caught else "missed"
        finally:
            path.write_bytes(original)
        result["seconds"] = round(time.time() - started)
        log("%s: %s %s" % (fault["id"], result["result"], ", ".join(result["failing"][:3])))
        results.append(result)
        write_results(args.out, header, results)
    # Leave the build matching the tree again.
    build_tree(build, args.jobs)


if __name__ == "__main__":
    main()
