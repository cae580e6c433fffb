#pragma once

#include "filecrawler/Export.h"
#include "filecrawler/MetadataInfo.h"

#include <string>
#include <vector>

// Answers which metadata values one crawled file path carries.
class BRIM_FILECRAWLER_EXPORT MetadataInfoProviderInterface {
public:
    MetadataInfoProviderInterface() = default;
    MetadataInfoProviderInterface(MetadataInfoProviderInterface const&) = default;
    MetadataInfoProviderInterface& operator=(MetadataInfoProviderInterface const&) = default;
    virtual ~MetadataInfoProviderInterface();
    // The values read from `path` (relative to the crawled root, as crawled)
    // by the last pattern list applied, one per pattern in list order; fewer
    // when the path matched only part of the list, none for a path not
    // crawled. Throws only std::bad_alloc.
    virtual std::vector<MetadataInfo> metadataInfoList(std::string const& path) const = 0;
};
