#pragma once

#include "filecrawler/Export.h"
#include "filecrawler/MetadataPattern.h"

#include <cstddef>
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
