#pragma once

#include "filecrawler/Export.h"
#include "filecrawler/MetadataInfo.h"
#include "filecrawler/MetadataPattern.h"

#include <cstddef>
#include <memory>
#include <string_view>
#include <vector>

// Where each pattern's text begins in `path`, found as the parser finds
// them: every text at its first occurrence, searched from one byte after the
// place where the previous text began. `positions` gets the positions found,
// then the length of the path. Returns false when a text is missing; the
// positions then hold those found before it (so the missing pattern is
// positions.size() - 1). Throws std::bad_alloc when memory runs out.
BRIM_FILECRAWLER_EXPORT bool findMetadataPatternPositions(std::string_view path,
                                                          std::vector<MetadataPattern> const& patterns,
                                                          std::vector<std::size_t>& positions);

// Reads the records of a pattern list from paths as the parser reads them:
// one per pattern, in order, up to the first pattern that has no value there;
// none at all when a pattern's text is missing. Matching is a function of
// the path and the list alone, so for a path the parser holds, with this
// list applied, the records equal its metadataInfoList(path). Like the
// parser, a reader gives the next path that begins as the last one read did,
// through the separator after its values, the same records without reading
// them again. A reader holds working space only (with that beginning), and
// touches nothing else: each thread reads with its own, whatever the parser
// does meanwhile.
class BRIM_FILECRAWLER_EXPORT MetadataInfoReader {
public:
    explicit MetadataInfoReader(std::vector<MetadataPattern> patterns);
    ~MetadataInfoReader();
    MetadataInfoReader(MetadataInfoReader const&) = delete;
    MetadataInfoReader& operator=(MetadataInfoReader const&) = delete;

    // The records of `path`; valid until the next call. Throws
    // std::bad_alloc when memory runs out.
    std::vector<MetadataInfo> const& read(std::string_view path);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};
