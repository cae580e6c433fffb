#pragma once

#include "filecrawler/MetadataFileCrawler.h"
#include "filecrawler/MetadataPattern.h"

#include <vector>

namespace cli {

class Explanation;
class ValueWarnings;

// One pass over the importer's paths in their order: each path with the
// records the importer gives for it goes to `warnings`, and, when
// `explanation` is given, each path in no case goes there.
void survey(MetadataFileCrawler const& importer, std::vector<MetadataPattern> const& patterns,
            ValueWarnings& warnings, Explanation* explanation);

} // namespace cli
