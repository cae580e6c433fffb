#pragma once

#include "ExitStatus.h"

#include <stdexcept>
#include <string>

namespace cli {

// A failure that ends the run: the exit status, and the one line (what())
// said on standard error. Thrown where the failure is found and said by
// runProgram(), the one place that catches it; the Python module maps it to
// its own errors.
class ProgramError : public std::runtime_error {
public:
    ProgramError(ExitStatus status, std::string const& message) : std::runtime_error(message), status_(status)
    {
    }

    ExitStatus status() const { return status_; }

private:
    ExitStatus status_;
};

} // namespace cli
