#pragma once

#include "filecrawler/Export.h"

#include <optional>
#include <string_view>

// The number a value text stands for, read by the rule that ends numeric
// values in paths: [sign] digits [. digits] | [sign] . digits, then an
// optional exponent [DEde] [sign] digits (so 1.0D+03 is 1000), the whole
// text and nothing else. None for any other text ("12e", "1.", "abc", "").
// The value is the nearest double, whatever the process's locale: plus or
// minus infinity beyond the range of double, zero or a subnormal below it.
// The case table tests its numeric values otherwise, with
// boost::lexical_cast<double>, which reads neither a D exponent nor a number
// out of range: its "NULL" does not mean that the text is no number.
// Throws std::bad_alloc when memory runs out.
BRIM_FILECRAWLER_EXPORT std::optional<double> metadataValueNumber(std::string_view text);
