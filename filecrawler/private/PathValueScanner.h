#pragma once

#include "filecrawler/MetadataPattern.h"

#include <cstddef>
#include <string_view>
#include <vector>

// The text rules that read metadata values out of a path. Internal.
namespace pathvalue {

// Positions of each pattern text in `path`, each searched from one byte after
// the previous one's start, followed by the length of the path. Returns false
// (with the positions found so far, then the length) when a text is missing.
bool findPatternPositions(std::string_view path, std::vector<MetadataPattern> const& patterns,
                          std::vector<std::size_t>& positions);

// The end of a decimal number that starts at `start` within `segment`:
//   [sign] digits ["." [digits]] [exponent]
//   [sign] "." digits [exponent]
//   exponent: one of D E d e, [sign], digits (taken only when digits follow)
// A point that would end the number is left out ("5." reads 5), one before
// an exponent stays ("5.e3"). False when there is no number there, also
// when `start` is not within the segment.
bool findNumericValueEnd(std::string_view segment, std::size_t start, std::size_t& end);

// The end of a text value starting at `start` within `segment`: the first
// separator ('/' or '\\') once the file-name extensions of the segment's last
// component are stripped, or the end of the stripped text if at least two
// characters are left there.
bool findStringValueEnd(std::string_view segment, std::size_t start, std::size_t& end);

// Length of `text` once every extension of its last component is removed.
std::size_t strippedLength(std::string_view text);

// Whether `c` separates the components of a path ('/' or '\\'). A value
// that ends at a separator ends there whatever follows in the path: a
// number at the first character that cannot go on, a text at the first
// separator (stripping extensions never reaches back past one).
bool isSeparator(char c);

} // namespace pathvalue
