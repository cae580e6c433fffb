// The compiled part of the Python package filecrawler: one function that
// runs the program's pipeline (cli::crawlStudy) with the GIL released and
// hands back plain Python data, so that nothing of the crawl outlives the
// call. The package's __init__.py builds the DataFrames and the exceptions.
#include "ProgramOptions.h"
#include "StudyCrawl.h"

#include <pybind11/functional.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <vtkNew.h>
#include <vtkStdString.h>
#include <vtkTableWriter.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace py = pybind11;

namespace {

// Crawl results alive in C++; the tests check it drops to zero after a call.
std::atomic<int> liveResults{0};

struct LiveResult {
    cli::StudyCrawlResult result;
    LiveResult() { ++liveResults; }
    ~LiveResult() { --liveResults; }
    LiveResult(LiveResult const&) = delete;
    LiveResult& operator=(LiveResult const&) = delete;
};

// Paths and names as os.fsdecode gives them: bytes that are not UTF-8 survive.
py::str pathText(std::string const& bytes)
{
    PyObject* const text = PyUnicode_DecodeFSDefaultAndSize(bytes.data(), Py_ssize_t(bytes.size()));
    if (text == nullptr)
        throw py::error_already_set();
    return py::reinterpret_steal<py::str>(text);
}

// Messages are for people: undecodable bytes become U+FFFD.
py::str messageText(std::string const& bytes)
{
    PyObject* const text = PyUnicode_DecodeUTF8(bytes.data(), Py_ssize_t(bytes.size()), "replace");
    if (text == nullptr)
        throw py::error_already_set();
    return py::reinterpret_steal<py::str>(text);
}

py::list pathList(std::vector<std::string> const& paths)
{
    py::list list(paths.size());
    for (std::size_t i = 0; i < paths.size(); ++i)
        PyList_SET_ITEM(list.ptr(), Py_ssize_t(i), pathText(paths[i]).release().ptr());
    return list;
}

py::list messageList(std::vector<std::string> const& messages)
{
    py::list list;
    for (std::string const& message : messages)
        list.append(messageText(message));
    return list;
}

// A vector's bytes, for numpy.frombuffer or array.array.
template <typename T> py::bytes rawBytes(std::vector<T> const& values)
{
    return py::bytes(reinterpret_cast<char const*>(values.data()), values.size() * sizeof(T));
}

char const* errorName(cli::StudyCrawlResult::ErrorKind kind)
{
    switch (kind) {
    case cli::StudyCrawlResult::None:
        return nullptr;
    case cli::StudyCrawlResult::RootMissing:
        return "root-missing";
    case cli::StudyCrawlResult::RootNotDirectory:
        return "root-not-directory";
    case cli::StudyCrawlResult::RootNotReadable:
        return "root-not-readable";
    case cli::StudyCrawlResult::CrawlIncomplete:
        return "crawl-incomplete";
    case cli::StudyCrawlResult::CrawlLimit:
        return "limit";
    case cli::StudyCrawlResult::UnusableAux:
        return "unusable-aux";
    case cli::StudyCrawlResult::Interrupted:
        return "interrupted";
    }
    return "unknown";
}

// The library's case table in the legacy VTK format (binary), for vtkTableReader.
py::bytes vtkBytes(vtkTable* table)
{
    if (table == nullptr)
        return py::bytes();
    vtkNew<vtkTableWriter> writer;
    writer->SetInputData(table);
    writer->SetFileTypeToBinary();
    writer->WriteToOutputStringOn();
    if (writer->Write() == 0)
        throw std::runtime_error("the case table could not be written as a VTK table");
    return py::bytes(writer->GetOutputStdString());
}

py::dict toPython(cli::StudyCrawlResult const& result)
{
    py::dict out;
    char const* const error = errorName(result.error);
    out["error"] = error ? py::object(py::str(error)) : py::object(py::none());
    out["message"] = messageText(result.errorMessage);
    out["identifiers"] = messageList(result.unusableIdentifiers);
    out["root"] = pathText(result.root);
    py::list columns;
    for (cli::ReportColumn const& column : result.columns)
        columns.append(py::make_tuple(pathText(column.name), column.numeric));
    out["columns"] = columns;
    py::list texts;
    for (std::vector<std::string> const& column : result.texts)
        texts.append(pathList(column));
    out["texts"] = texts;
    py::list numbers;
    for (std::vector<double> const& column : result.numbers)
        numbers.append(rawBytes(column));
    out["numbers"] = numbers;
    out["tags"] = pathList(result.tags);
    out["file_case"] = rawBytes(result.fileCase);
    out["file_tag"] = rawBytes(result.fileTag);
    out["file_path"] = pathList(result.filePath);
    out["unmatched_path"] = pathList(result.unmatchedPath);
    out["unmatched_reason"] = messageList(result.unmatchedReason);
    out["warnings"] = messageList(result.warnings);
    out["skipped"] = pathList(result.skipped);
    out["file_count"] = result.fileCount;
    out["vtk"] = vtkBytes(result.caseTable);
    return out;
}

std::string bytesOf(py::bytes const& value)
{
    return std::string(value);
}

py::dict crawl(py::bytes const& root, std::vector<py::bytes> const& patterns,
               std::vector<std::pair<py::bytes, py::bytes>> const& aux, std::vector<py::bytes> const& exclude,
               bool keepGoing, bool skipUnusableAux, std::size_t maxWays, py::object const& progress)
{
    cli::StudyCrawlOptions options;
    options.root = bytesOf(root);
    try {
        for (py::bytes const& pattern : patterns)
            options.patterns.push_back(cli::parsePatternOption(bytesOf(pattern)));
        for (py::bytes const& glob : exclude)
            options.excludes.add(bytesOf(glob));
        if (maxWays == 0)
            throw cli::UsageError("max_ways 0: expected a whole number of 1 or more");
    } catch (cli::UsageError const& error) {
        throw py::value_error(error.what());
    }
    for (auto const& [tag, syntax] : aux)
        options.identifiers.push_back(AuxFileIdentifier{bytesOf(syntax), bytesOf(tag)});
    options.keepGoing = keepGoing;
    options.skipUnusableAux = skipUnusableAux;
    options.maxWays = maxWays;

    // Runs on this thread while the crawler's thread walks: Ctrl-C reaches
    // Python's handler here, and the progress callback runs here.
    PyObject* pendingType = nullptr;
    PyObject* pendingValue = nullptr;
    PyObject* pendingTrace = nullptr;
    auto const poll = [&](std::uint64_t folders, std::uint64_t files) {
        py::gil_scoped_acquire acquire;
        if (PyErr_CheckSignals() == 0 && !progress.is_none()) {
            PyObject* const answer = PyObject_CallFunction(progress.ptr(), "KK", (unsigned long long)folders,
                                                           (unsigned long long)files);
            Py_XDECREF(answer);
        }
        if (!PyErr_Occurred())
            return true;
        PyErr_Fetch(&pendingType, &pendingValue, &pendingTrace);
        return false;
    };

    LiveResult live;
    {
        py::gil_scoped_release release;
        live.result = cli::crawlStudy(options, poll);
    }
    if (live.result.error == cli::StudyCrawlResult::Interrupted && pendingType != nullptr) {
        PyErr_Restore(pendingType, pendingValue, pendingTrace);
        throw py::error_already_set();
    }
    return toPython(live.result);
}

} // namespace

PYBIND11_MODULE(_filecrawler, module)
{
    module.doc() = "The filecrawler program's pipeline; use the package filecrawler.";
    module.def("crawl", &crawl, py::arg("root"), py::arg("patterns"), py::arg("aux"), py::arg("exclude"),
               py::arg("keep_going"), py::arg("skip_unusable_aux"), py::arg("max_ways"), py::arg("progress"));
    module.def(
        "parse_aux",
        [](py::bytes const& value) {
            try {
                AuxFileIdentifier const identifier = cli::parseAuxOption(bytesOf(value));
                return py::make_tuple(py::bytes(identifier.tag), py::bytes(identifier.syntaxName));
            } catch (cli::UsageError const& error) {
                throw py::value_error(error.what());
            }
        },
        "TAG=SYNTAX split at the first '=', as --aux takes it.");
    module.def(
        "live_results", [] { return liveResults.load(); },
        "Crawl results alive in C++ (0 once every call has returned).");
    module.attr("default_max_ways") = defaultMaxWaysPerFolder;
}
