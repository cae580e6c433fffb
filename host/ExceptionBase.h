#pragma once

#include "host/Export.h"

#include <exception>
#include <string>

namespace norvale {

// The host framework's exception type: an English message for the user and a
// flag whose meaning belongs to the host (the library always passes false).
class BRIM_HOST_EXPORT ExceptionBase : public std::exception {
public:
    ExceptionBase(std::string const& message, bool flag);
    ExceptionBase(ExceptionBase const& other);
    ~ExceptionBase() override;

    // The message given to the constructor, unchanged.
    char const* what() const noexcept override;

    bool flag() const noexcept;

private:
    std::string message_;
    bool flag_;
};

} // namespace norvale
