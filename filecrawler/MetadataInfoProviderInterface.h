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
    virtual std::vector<MetadataInfo> metadataInfoList(std::string const& path) const = 0;
};
