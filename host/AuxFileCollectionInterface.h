#pragma once

#include "host/Export.h"

#include <cstddef>
#include <set>
#include <string>
#include <vector>

// The auxiliary files of all cases, by case index and tag.
class BRIM_HOST_EXPORT AuxFileCollectionInterface {
public:
    virtual bool isEmpty() const = 0;
    virtual std::set<std::string> tags() const = 0;
    // The paths filed for case `caseIndex` under `tag`, in filing order.
    // REQUIRES: caseIndex < caseCount() (the library's own collection
    // answers an empty list beyond).
    virtual std::vector<std::string> auxFilePaths(std::size_t caseIndex, std::string const& tag) const = 0;
    virtual std::size_t caseCount() const = 0;
    virtual ~AuxFileCollectionInterface();
};
