// Text for the terminal: control characters escaped, bytes that are not
// UTF-8 replaced, widths counted in characters.
#include "TextUtil.h"

#include <gtest/gtest.h>

namespace {

TEST(TextUtil, ControlCharactersAreEscapedAndWidthsCountCharacters)
{
    std::string const replacement = "\xEF\xBF\xBD";
    std::pair<std::string, std::string> const cases[] = {
        {std::string("a\nb\tc\x01\x7f\xc3\xa9", 9), "a\\nb\\tc\\x01\\x7F\xc3\xa9"},
        {"CSI\xc2\x9b"
         "2J \xc2\x80\xc2\x9f\xc2\xa0",
         "CSI\\u009B2J \\u0080\\u009F\xc2\xa0"},                                     // C1 controls
        {"caf\xe9 \xff", "caf" + replacement + " " + replacement},                   // Latin-1, not UTF-8
        {"\xc3", replacement},                                                       // cut short
        {"\xc0\xaf", replacement + replacement},                                     // overlong "/"
        {"\xed\xa0\x80", replacement + replacement + replacement},                   // a surrogate
        {"\xf4\x90\x80\x80", replacement + replacement + replacement + replacement}, // past U+10FFFF
        {"\xf0\x9f\x98\x80 \xe2\x82\xac", "\xf0\x9f\x98\x80 \xe2\x82\xac"},          // kept as they are
    };
    for (auto const& [text, shown] : cases)
        EXPECT_EQ(cli::printable(text), shown) << text;
    EXPECT_EQ(cli::displayWidth("caf\xc3\xa9"), 4u);
    EXPECT_EQ(cli::lastColumns("/very/long/path", 8), ".../path");
    EXPECT_EQ(cli::lastColumns("/x/\xc3\xa9\xc3\xa9\xc3\xa9", 5), "...\xc3\xa9\xc3\xa9");
    EXPECT_EQ(cli::lastColumns("short", 8), "short");
}

} // namespace
