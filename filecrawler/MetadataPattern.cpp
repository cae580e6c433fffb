#include "filecrawler/MetadataPattern.h"

MetadataPattern::MetadataPattern() : valueType(String) {}

MetadataPattern::MetadataPattern(std::string const& pattern, ValueType valueType)
    : pattern(pattern), valueType(valueType)
{
}
