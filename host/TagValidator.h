#pragma once

#include "filecrawler/ValidatorInterface.h"
#include "host/Export.h"
#include "host/ValidationResult.h"

#include <string>

// The host's judge of auxiliary-file tags: a tag is accepted when it is not
// empty and holds only ASCII letters, digits, '_', '-' and '.'. Anything else
// gets "Invalid tag.". Hosts with other rules derive from this class.
class BRIM_HOST_EXPORT TagValidator : public virtual norvale::ValidatorInterface<std::string> {
public:
    TagValidator();
    ~TagValidator() override;
    norvale::ValidationResult validate(std::string const& tag) const override;
};
