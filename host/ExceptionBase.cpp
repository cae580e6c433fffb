#include "host/ExceptionBase.h"

namespace norvale {

ExceptionBase::ExceptionBase(std::string const& message, bool flag) : message_(message), flag_(flag) {}

ExceptionBase::ExceptionBase(ExceptionBase const& other) = default;

ExceptionBase::~ExceptionBase() = default;

char const* ExceptionBase::what() const noexcept
{
    return message_.c_str();
}

bool ExceptionBase::flag() const noexcept
{
    return flag_;
}

} // namespace norvale
