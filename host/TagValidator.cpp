#include "host/TagValidator.h"

#include <algorithm>

namespace {

bool isTagCharacter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '-' || c == '.';
}

} // namespace

TagValidator::TagValidator() = default;

TagValidator::~TagValidator() = default;

norvale::ValidationResult TagValidator::validate(std::string const& tag) const
{
    norvale::ValidationResult result;
    if (tag.empty() || !std::all_of(tag.begin(), tag.end(), isTagCharacter))
        result.setErrorString("Invalid tag.");
    return result;
}
