#pragma once

#include "filecrawler/Export.h"

#include <string>

// What to look for in a crawled file path: a literal text that announces a
// value, and how that value is read. The text also names the metadata item.
struct BRIM_FILECRAWLER_EXPORT MetadataPattern {
    enum ValueType : int {
        String = 0, // text up to the next separator or the file-name extensions
        Numeric = 1 // a decimal number: sign, digits, fraction, exponent
    };

    MetadataPattern();
    MetadataPattern(std::string const& pattern, ValueType valueType);
    MetadataPattern(MetadataPattern const&) = default;
    MetadataPattern& operator=(MetadataPattern const&) = default;
    ~MetadataPattern() = default;

    std::string pattern;
    ValueType valueType;
};
