#pragma once

#include "filecrawler/Export.h"

#include <cstddef>
#include <string>

// Where one metadata value was found in one file path, and its text.
// value always equals the valueLength bytes of the path at valuePosition.
struct BRIM_FILECRAWLER_EXPORT MetadataInfo {
    MetadataInfo() : patternPosition(0), valuePosition(0), valueLength(0) {}
    MetadataInfo(MetadataInfo const&) = default;
    MetadataInfo& operator=(MetadataInfo const&) = default;
    ~MetadataInfo() = default;

    std::size_t patternPosition; // where the pattern text begins
    std::size_t valuePosition;   // patternPosition + length of the pattern text
    std::size_t valueLength;
    std::string value;
};
