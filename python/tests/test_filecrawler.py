"""The Python module against the filecrawler program, its errors, Ctrl-C and lifetimes."""

import json
import math
import os
import pathlib
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time

import pytest

import filecrawler
from filecrawler import _filecrawler

PROGRAM = os.environ.get("FILECRAWLER_PROGRAM", "filecrawler")
SAMPLE = os.environ.get("FILECRAWLER_SAMPLE", "examples/sample-study")
SAMPLE_PATTERNS = ["Re=", "Mach=", "model=:string"]
SAMPLE_AUX = {"mesh": "*.msh", "solution": "solution_*.vtu"}


def make_tree(root, paths):
    for path in paths:
        full = root / path
        full.parent.mkdir(parents=True, exist_ok=True)
        full.write_text("x")
    return root


def generated_study(root):
    # Look-alike numbers, a D exponent, glued text,
    # files in no case, a case with untagged files only, no aux for one case.
    return make_tree(
        root,
        [
            "seed=007/grid=128x64/out.vtu",
            "seed=7/grid=128x128/out.vtu",
            "seed=7/grid=128x128/core",
            "seed=1.0D+03/grid=4/mesh.msh",
            "seed=1.0D+03/grid=4/log.txt",
            "seed=x/grid=1/out.vtu",
            "notes.txt",
        ],
    )


def program(*arguments):
    run = subprocess.run([PROGRAM, *arguments], capture_output=True)
    return run.returncode, run.stdout, run.stderr.decode()


def option_arguments(patterns, aux):
    arguments = []
    for pattern in patterns:
        arguments += ["-p", pattern]
    for tag, syntax in aux.items():
        arguments += ["-a", tag + "=" + syntax]
    return arguments


STUDIES = [
    ("sample", lambda tmp: SAMPLE, SAMPLE_PATTERNS, SAMPLE_AUX),
    ("generated", generated_study, ["seed=", "grid="], {"mesh": "*.msh", "solution": "*.vtu"}),
]


@pytest.mark.parametrize("name,make,patterns,aux", STUDIES, ids=[s[0] for s in STUDIES])
def test_results_equal_the_programs_json(tmp_path, name, make, patterns, aux):
    root = str(make(tmp_path))
    arguments = [root, *option_arguments(patterns, aux), "-q"]
    _, out, err = program(*arguments, "-f", "json")
    expected = json.loads(out)
    _, out, _ = program(*arguments, "--explain-all", "-f", "json")
    explained = json.loads(out)

    study = filecrawler.crawl(root, patterns=patterns, aux=aux, progress=False)

    assert study.root == root
    assert study.file_count == expected["fileCount"]
    assert list(study.cases.columns) == [column["name"] for column in expected["columns"]]
    assert len(study.cases) == len(expected["cases"])
    for row, case in enumerate(expected["cases"]):
        for column, value in case["values"].items():
            got = study.cases[column][row]
            if value is None:
                assert not math.isfinite(got)
            else:
                assert got == value
        for column, text in case["texts"].items():
            assert study.case_texts[column][row] == text
        files = study.files[study.files["case"] == row]
        by_tag = {tag: list(files[files["tag"] == tag]["path"]) for tag in case["files"]}
        assert by_tag == case["files"]
        assert len(files) == sum(len(paths) for paths in case["files"].values())
    assert len(study.unmatched) == expected["unmatchedFileCount"]
    reasons = [(path, group["reason"]) for group in explained["reasons"] for path in group["paths"]]
    assert list(zip(study.unmatched["path"], study.unmatched["reason"])) == reasons
    warnings = [line[len("filecrawler: warning: ") :] for line in err.splitlines()]
    assert study.warnings == warnings


def test_exact_texts_keep_cases_apart(tmp_path):
    study = filecrawler.crawl(generated_study(tmp_path), patterns=["seed=", "grid="], progress=False)
    texts = list(study.case_texts["seed="])
    assert sorted(texts) == ["007", "1.0D+03", "7"]
    numbers = dict(zip(texts, study.cases["seed="]))
    assert numbers["007"] == numbers["7"] == 7.0 and numbers["1.0D+03"] == 1000.0
    assert any("seed=" in warning for warning in study.warnings)
    # Without aux every file of a case is untagged.
    assert set(study.files["tag"]) == {filecrawler.UNTAGGED}


def test_library_table_as_vtk(tmp_path):
    pytest.importorskip("vtkmodules.vtkIOLegacy")
    study = filecrawler.crawl(generated_study(tmp_path), patterns=["seed=", "grid="], progress=False)
    table = study.table()
    assert (table.GetNumberOfRows(), table.GetNumberOfColumns()) == (3, 2)
    column = table.GetColumnByName("seed=")
    assert sorted(column.GetValue(r).ToString() for r in range(3)) == ["007", "7", "NULL"]


def error_cases(tmp_path):
    make_tree(tmp_path, ["Re=1/a.msh"])
    (tmp_path / "twice").mkdir()
    os.symlink(tmp_path / "Re=1", tmp_path / "twice" / "one")
    os.symlink(tmp_path / "Re=1", tmp_path / "twice" / "two")
    root = str(tmp_path)
    return [
        (dict(root=root + "/missing"), filecrawler.RootError, "does not exist"),
        (dict(root=root + "/Re=1/a.msh"), filecrawler.RootError, "must be a directory"),
        (dict(root=root, max_ways=1), filecrawler.LimitError, "more than 1 ways"),
        (dict(root=root, aux={"restart": "*.rst"}), filecrawler.IdentifierError, "--aux restart=*.rst"),
        (dict(root=root, aux={"bad tag": "*.msh"}), filecrawler.IdentifierError, "bad tag"),
        (dict(root=root, aux=["noequals"]), ValueError, "expected TAG=SYNTAX"),
        (dict(root=root, patterns=[""]), ValueError, "pattern text is empty"),
        (dict(root=root, patterns=["Re=:strng"]), ValueError, "misspelt value type"),
        (dict(root=root, exclude=["/"]), ValueError, "/"),
        (dict(root=root, max_ways=0), ValueError, "max_ways"),
    ]


def test_errors_are_the_modules_exceptions(tmp_path):
    for arguments, error, text in error_cases(tmp_path):
        arguments = {"patterns": ["Re="], "progress": False, **arguments}
        with pytest.raises(error, match=None) as raised:
            filecrawler.crawl(**arguments)
        assert isinstance(raised.value, filecrawler.Error), arguments
        assert text in str(raised.value), (arguments, str(raised.value))
    assert _filecrawler.live_results() == 0


UNREADABLE_FOLDER_CHECK = """
import sys
import filecrawler

root, locked = sys.argv[1], sys.argv[2]
try:
    filecrawler.crawl(root, patterns=["Re="], progress=False)
    raise SystemExit("no CrawlError for an unreadable folder")
except filecrawler.CrawlError as error:
    assert "is not readable" in str(error), str(error)
    assert error.study.file_count == 1, error.study.file_count
study = filecrawler.crawl(root, patterns=["Re="], keep_going=True, progress=False)
assert study.skipped == [locked] or study.skipped[0].endswith("locked"), study.skipped
assert "skipped (--keep-going)" in study.warnings[0], study.warnings
assert len(study.cases) == 2, study.cases
"""


def test_unreadable_folder_stops_or_is_skipped():
    # Root reads every folder: then the check runs in an interpreter of the
    # user nobody, on a tree that user can reach.
    root = tempfile.mkdtemp(prefix="filecrawler-locked-")
    try:
        os.chmod(root, 0o755)
        make_tree(pathlib.Path(root), ["Re=1/a.msh", "Re=2/locked/b.msh", "Re=3/c.msh"])
        locked = os.path.join(root, "Re=2", "locked")
        os.chmod(locked, 0)
        user = {"user": "nobody", "group": "nogroup"} if os.geteuid() == 0 else {}
        checked = subprocess.run([sys.executable, "-c", UNREADABLE_FOLDER_CHECK, root, locked],
                                 env=dict(os.environ), capture_output=True, text=True, timeout=120, **user)
        assert checked.returncode == 0, checked.stderr
    finally:
        os.chmod(os.path.join(root, "Re=2", "locked"), 0o755)
        shutil.rmtree(root)


def test_ctrl_c_aborts_the_crawl(tmp_path):
    # Each level links twice to the next: 2**22 ways down, a walk of minutes.
    levels = 22
    for level in range(levels):
        (tmp_path / str(level)).mkdir()
        (tmp_path / str(level) / "Re=1.txt").write_text("x")
    for level in range(levels - 1):
        for link in ("a", "b"):
            os.symlink(tmp_path / str(level + 1), tmp_path / str(level) / link)
    sent = []

    def interrupt():
        sent.append(time.monotonic())
        os.kill(os.getpid(), signal.SIGINT)

    timer = threading.Timer(0.3, interrupt)
    timer.start()
    try:
        with pytest.raises(KeyboardInterrupt):
            filecrawler.crawl(tmp_path / "0", patterns=["Re="], max_ways=2**40, progress=False)
    finally:
        timer.cancel()
    assert sent and time.monotonic() - sent[0] < 2.0
    assert _filecrawler.live_results() == 0


def test_study_is_plain_data():
    study = filecrawler.crawl(SAMPLE, patterns=SAMPLE_PATTERNS, aux=SAMPLE_AUX, progress=False)
    assert _filecrawler.live_results() == 0
    modules = {type(value).__module__.split(".")[0] for value in vars(study).values()}
    assert modules <= {"builtins", "pandas"}, modules


def test_without_pandas_lists_and_dicts():
    code = (
        "import sys; sys.modules['pandas'] = None\n"
        "import filecrawler, json\n"
        "s = filecrawler.crawl(%r, patterns=%r, aux=%r, progress=False)\n"
        "print(json.dumps([s.cases, s.case_texts, s.files, s.unmatched]))\n"
    ) % (SAMPLE, SAMPLE_PATTERNS, SAMPLE_AUX)
    out = subprocess.run([sys.executable, "-c", code], capture_output=True, check=True).stdout
    cases, texts, files, unmatched = json.loads(out)
    assert cases["Re="][:2] == [100.0, 100.0] and cases["model="][6] == "SpalartAllmaras"
    assert texts["Mach="][:2] == ["0.3", "0.5"]
    assert files["tag"][:2] == ["mesh", "solution"] and files["case"][:2] == [0, 0]
    assert len(unmatched["path"]) == 7
