#pragma once

#include "filecrawler/Export.h"
#include "host/ValidationResult.h"

namespace norvale {

// Judges a value of type T; a default-constructed result means valid.
template <typename T> class BRIM_FILECRAWLER_EXPORT ValidatorInterface {
public:
    ValidatorInterface() = default;
    ValidatorInterface(ValidatorInterface const&) = default;
    ValidatorInterface& operator=(ValidatorInterface const&) = default;
    virtual ValidationResult validate(T const& value) const = 0;
    virtual ~ValidatorInterface() = default;
};

} // namespace norvale
