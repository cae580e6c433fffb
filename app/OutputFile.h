#pragma once

#include <QFile>
#include <QSaveFile>

#include <string>

namespace cli {

// Why `path` cannot take the output (a folder that does not exist or cannot
// be written, a path that is a folder, a file that may not be replaced), or
// an empty text when it can. Checked before the crawl so that no crawl is
// wasted on an output that cannot be written.
std::string outputPathProblem(std::string const& path);

// Where the results go: standard output; a device or pipe (such as
// /dev/null), written directly; or a regular file, replaced only once
// everything is written (a temporary file in the same folder is renamed over
// it), so that an existing file is never left half-written. A symbolic link
// to a file stays a link: its target is replaced.
class OutputFile {
public:
    // An empty path or "-" is standard output.
    explicit OutputFile(std::string path);

    // False with `error` set when it cannot be opened.
    bool open(std::string& error);
    QIODevice& device();
    // Finishes the output; false with `error` set when any write failed.
    bool commit(std::string& error);

private:
    enum class Mode { StandardOutput, Direct, Replace };

    std::string path_;
    Mode mode_;
    QFile direct_;
    QSaveFile replacement_;
};

} // namespace cli
