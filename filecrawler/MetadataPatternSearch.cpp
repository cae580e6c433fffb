#include "filecrawler/MetadataPatternSearch.h"

#include "filecrawler/private/PathValueScanner.h"

bool findMetadataPatternPositions(std::string_view path, std::vector<MetadataPattern> const& patterns,
                                  std::vector<std::size_t>& positions)
{
    return pathvalue::findPatternPositions(path, patterns, positions);
}
