#pragma once

#include <cstddef>
#include <string>

namespace cli {

// `text` for one line of a terminal: control characters (newline, tab, ...)
// become \n, \t or \xNN, C1 controls (U+0080..U+009F) \u00NN, and bytes
// that are not UTF-8 U+FFFD; all other characters are kept.
std::string printable(std::string const& text);

// Columns `text` takes on a UTF-8 terminal: one per character (bytes that do
// not continue a UTF-8 sequence).
std::size_t displayWidth(std::string const& text);

// The end of `text`, cut at a character boundary so that it is at most
// `width` columns wide, with "..." in front when it was cut.
std::string lastColumns(std::string const& text, std::size_t width);

// "1 file", "2 files".
std::string counted(std::size_t count, char const* singular, char const* plural);

} // namespace cli
