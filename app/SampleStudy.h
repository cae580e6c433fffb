#pragma once

#include "filecrawler/AuxFileIdentifierValidator.h"
#include "filecrawler/MetadataPattern.h"

#include <string>
#include <vector>

namespace cli {

// The sample study shipped with the program, crawled when no ROOT is given.
// An installed program finds it under ../share/brim_importers_filecrawler/
// next to its own folder; a program in the build tree uses the source tree's
// examples/sample-study.
std::string sampleStudyPath();

// The study's metadata: Re= and Mach= (numeric) and model= (text).
std::vector<MetadataPattern> sampleStudyPatterns();
// The study's kinds of files: mesh, solution, log, image, params.
std::vector<AuxFileIdentifier> sampleStudyIdentifiers();

} // namespace cli
