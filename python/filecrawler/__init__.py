"""A parameter study's cases, files and reasons, from the filecrawler program's pipeline.

    study = filecrawler.crawl("runs", patterns=["Re=", "Mach=", "model=:string"],
                              aux={"mesh": "*.msh", "solution": "solution_*.vtu"})
    study.cases       # a row per case, a column per pattern
    study.files       # (case, tag, path); files no identifier selects under "(untagged)"
    study.unmatched   # (path, reason) for every file in no case

The results are pandas DataFrames where pandas is installed, plain dicts of
lists otherwise. Errors are filecrawler.Error and its subclasses.
"""

import array
import os
import sys

from . import _filecrawler

__all__ = [
    "crawl",
    "Study",
    "Error",
    "RootError",
    "CrawlError",
    "IdentifierError",
    "LimitError",
    "PatternError",
    "UNTAGGED",
]

UNTAGGED = "(untagged)"

try:
    import numpy as _numpy
    import pandas as _pandas
except ImportError:  # plain lists and dicts then
    _numpy = None
    _pandas = None


class Error(Exception):
    """A crawl that could not give its results; the message is the program's."""


class RootError(Error):
    """The root is missing, not a directory, or not readable."""


class CrawlError(Error):
    """A folder below the root could not be read; `study` holds what was found before it."""

    def __init__(self, message, study):
        super().__init__(message)
        self.study = study


class IdentifierError(Error):
    """Some aux identifiers are unusable; `messages` says why, one per identifier."""

    def __init__(self, message, messages):
        super().__init__(message + ": " + "; ".join(messages))
        self.messages = list(messages)


class LimitError(Error):
    """The crawl passed a limit: a folder reached through more than max_ways ways."""


class PatternError(Error, ValueError):
    """A bad pattern, exclude glob, aux option or max_ways."""


class Study:
    """The results of one crawl, as plain Python data (no reference to the crawl)."""

    def __init__(self, data):
        self.root = data["root"]
        self.file_count = data["file_count"]
        self.warnings = data["warnings"]
        self.skipped = data["skipped"]
        self.columns = [name for name, _ in data["columns"]]
        self.tags = data["tags"]
        self._vtk = data["vtk"]
        self.case_texts = _case_texts(data)
        self.cases = _cases(data)
        self.files = _files(data)
        self.unmatched = _frame({"path": data["unmatched_path"], "reason": data["unmatched_reason"]})

    @property
    def case_count(self):
        return len(self.case_texts.index) if _pandas else len(next(iter(self.case_texts.values()), []))

    def table(self):
        """The library's case table as a vtkTable (needs VTK's Python modules)."""
        from vtkmodules.vtkIOLegacy import vtkTableReader

        reader = vtkTableReader()
        reader.ReadFromInputStringOn()
        reader.SetBinaryInputString(self._vtk, len(self._vtk))
        reader.Update()
        return reader.GetOutput()

    def __repr__(self):
        return "<filecrawler.Study %r: %d files, %d cases, %d in no case, %d warnings>" % (
            self.root,
            self.file_count,
            self.case_count,
            len(self.unmatched["path"]),
            len(self.warnings),
        )


def _numbers(raw):
    if _numpy is not None:
        return _numpy.frombuffer(raw, dtype=_numpy.float64).copy()
    return array.array("d", raw).tolist()


def _frame(columns, index=None):
    if _pandas is None:
        return columns
    return _pandas.DataFrame(columns, index=index)


def _case_index(data):
    count = len(data["texts"][0]) if data["texts"] else 0
    if _pandas is None:
        return None
    return _pandas.RangeIndex(count, name="case")


def _case_texts(data):
    texts = {name: column for (name, _), column in zip(data["columns"], data["texts"])}
    return _frame(texts, _case_index(data))


def _cases(data):
    values = {}
    for (name, numeric), texts, numbers in zip(data["columns"], data["texts"], data["numbers"]):
        values[name] = _numbers(numbers) if numeric else texts
    return _frame(values, _case_index(data))


def _files(data):
    tags = data["tags"]
    if _numpy is not None:
        cases = _numpy.frombuffer(data["file_case"], dtype=_numpy.uint64).astype(_numpy.int64)
        codes = _numpy.frombuffer(data["file_tag"], dtype=_numpy.uint32).astype(_numpy.int32)
    else:
        cases = array.array("Q", data["file_case"]).tolist()
        codes = array.array("I", data["file_tag"]).tolist()
    if _pandas is None:
        return {"case": cases, "tag": [tags[code] for code in codes], "path": data["file_path"]}
    tag = _pandas.Categorical.from_codes(codes, categories=tags) if tags else _pandas.Categorical([])
    return _pandas.DataFrame({"case": cases, "tag": tag, "path": data["file_path"]})


def _encoded(text):
    return os.fsencode(text)


def _identifiers(aux):
    if aux is None:
        return []
    if isinstance(aux, dict):
        items = aux.items()
    else:
        items = []
        for entry in aux:
            if isinstance(entry, (str, bytes)):
                try:
                    items.append(_filecrawler.parse_aux(_encoded(entry)))
                except ValueError as error:
                    raise PatternError(str(error)) from None
            else:
                items.append(tuple(entry))
    return [(_encoded(tag), _encoded(syntax)) for tag, syntax in items]


def _progress_bar(progress):
    """A callback(folders, files) drawing a tqdm bar, and a function closing it; Nones without."""
    if progress is None:
        progress = sys.stderr is not None and sys.stderr.isatty()
    if not progress:
        return None, None
    try:
        from tqdm import tqdm
    except ImportError:
        return None, None
    bar = tqdm(unit=" files", desc="crawling", leave=False)

    def update(folders, files):
        if files > bar.n:
            bar.update(files - bar.n)
        bar.set_postfix(folders=folders, refresh=False)

    return update, bar.close


def crawl(
    root,
    patterns,
    aux=None,
    exclude=(),
    keep_going=False,
    max_ways=None,
    progress=None,
    skip_unusable_aux=False,
):
    """Crawls `root` as `filecrawler ROOT --pattern ... --aux ...` does; returns a Study.

    patterns: texts as --pattern takes them ("Re=", "model=:string"), in path order.
    aux: {tag: syntax} or ["tag=syntax", ...] as --aux, in priority order.
    exclude: globs as --exclude; keep_going: skip unreadable folders (named in
    study.skipped and study.warnings); max_ways as --max-ways; progress: a tqdm
    bar (default: when stderr is a terminal); skip_unusable_aux as
    --skip-unusable-aux. Ctrl-C stops the crawl (KeyboardInterrupt).
    """
    if isinstance(patterns, (str, bytes)):
        patterns = [patterns]
    if isinstance(exclude, (str, bytes)):
        exclude = [exclude]
    if max_ways is None:
        max_ways = _filecrawler.default_max_ways
    if not isinstance(max_ways, int) or max_ways < 1:
        raise PatternError("max_ways %r: expected a whole number of 1 or more" % (max_ways,))
    callback, close = _progress_bar(progress)
    try:
        data = _filecrawler.crawl(
            _encoded(os.fspath(root)),
            [_encoded(pattern) for pattern in patterns],
            _identifiers(aux),
            [_encoded(glob) for glob in exclude],
            bool(keep_going),
            bool(skip_unusable_aux),
            max_ways,
            callback,
        )
    except ValueError as error:
        if isinstance(error, Error):
            raise
        raise PatternError(str(error)) from None
    finally:
        if close is not None:
            close()
    error = data["error"]
    if error is None:
        return Study(data)
    message = data["message"]
    if error.startswith("root-"):
        raise RootError(message)
    if error == "crawl-incomplete":
        raise CrawlError(message, Study(data))
    if error == "limit":
        raise LimitError(message)
    if error == "unusable-aux":
        raise IdentifierError(message, data["identifiers"])
    raise Error(message)
