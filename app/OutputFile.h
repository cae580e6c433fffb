#pragma once

#include "DescriptorDevice.h"

#include <memory>
#include <mutex>
#include <string>

namespace cli {

// Whether results sent to `path` replace a file there, and so must be told
// their format by its name: not for standard output, the program's own
// descriptors, devices, FIFOs and folders (which cannot take them).
bool replacesFile(std::string const& path);

// The program's own open descriptor that `path` names (/dev/stdout,
// /dev/stderr, /dev/fd/N, /proc/self/fd/N, or a link to one of them), or -1.
int ownDescriptor(std::string const& path);

// Where results go, with every write, fsync and close checked:
// - standard output, or a path naming one of the program's own descriptors:
//   written to that descriptor, never replaced (so `>> log` still appends);
// - a device or FIFO (such as /dev/null): opened and written directly;
// - a regular file: the new contents go to a temporary file in the same
//   folder, which is synced and then renamed over it (keeping its mode), so
//   that the file is either as it was or holds the complete new contents.
//   A symbolic link to a file stays a link: its target is replaced.
class OutputFile {
public:
    // An empty path or "-" is standard output. For messages, `role` names
    // the output ("the output") and `contents` what is written ("the results").
    OutputFile(std::string path, std::string role, std::string contents);
    ~OutputFile(); // removes a temporary file not renamed
    OutputFile(OutputFile const&) = delete;
    OutputFile& operator=(OutputFile const&) = delete;

    // Before the crawl: opens a device or FIFO, waiting for a FIFO's reader
    // until `interrupted()`, or checks that a file can be replaced (its
    // folder exists and is writable, it is no folder), so that no crawl is
    // wasted on an output that cannot be written. Throws ProgramError:
    // OutputNotWritable ("cannot write the output: <why>."), or Interrupted.
    void open(bool (*interrupted)());
    // Before the first write: creates the temporary file of a file to be
    // replaced. Throws ProgramError as commit() does.
    void begin();
    QIODevice& device();
    // Finishes the output. Throws ProgramError(OutputNotWritable) when
    // anything failed, with the file, the system's reason and what the
    // output holds (abandon()): a file to be replaced is then as it was.
    void commit();

    // Any thread, once the program gives up (interrupt, failure): starts no
    // further write, removes a temporary file not renamed, and says what the
    // output holds ("nothing was written", "standard output got the first
    // 65536 bytes of the results", ...).
    std::string abandon();

private:
    enum class Mode { Own, Direct, Replace };

    std::string systemError(int code) const; // the output's name and the system's reason
    [[noreturn]] void failOpen(std::string const& reason) const;
    [[noreturn]] void failWrite(std::string const& reason); // abandons the output
    void checkReplaceable() const;
    void removeTemporary();

    std::string path_;
    std::string role_;
    std::string contents_;
    std::string name_; // for messages: standard output, or the path quoted
    Mode mode_ = Mode::Replace;
    int descriptor_ = -1;
    bool ownsDescriptor_ = false;
    bool existed_ = false; // a file to be replaced was there before
    std::string target_;   // the file replaced (links resolved)
    std::unique_ptr<DescriptorDevice> device_;

    std::mutex mutex_; // guards the fields below, between the writer and abandon()
    std::string temporary_;
    bool committed_ = false; // all written (and a replaced file renamed)
    bool abandoned_ = false;
};

} // namespace cli
