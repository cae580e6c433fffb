#include "host/ValidationResult.h"

#include <utility>

namespace norvale {

ValidationResult::ValidationResult() : valid_(true) {}

ValidationResult::ValidationResult(ValidationResult const&) = default;

ValidationResult& ValidationResult::operator=(ValidationResult const&) = default;

ValidationResult::~ValidationResult() = default;

bool ValidationResult::isValid() const
{
    return valid_;
}

void ValidationResult::setErrorString(std::string message)
{
    valid_ = false;
    errorString_ = std::move(message);
}

std::string ValidationResult::errorString() const
{
    return valid_ ? std::string() : errorString_;
}

} // namespace norvale
