#pragma once

#include "host/Export.h"

#include <string>

namespace norvale {

// Outcome of one validation: valid until an error string is set.
class BRIM_HOST_EXPORT ValidationResult {
public:
    ValidationResult();
    ValidationResult(ValidationResult const&);
    ValidationResult& operator=(ValidationResult const&);
    virtual ~ValidationResult();

    virtual bool isValid() const;
    virtual void setErrorString(std::string message);

    // Empty while valid.
    std::string errorString() const;

private:
    bool valid_;
    std::string errorString_;
};

} // namespace norvale
