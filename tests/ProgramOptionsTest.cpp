// How --pattern, --aux and --output values are read; the messages of bad
// ones are checked with the program itself (ProgramTest).
#include "ProgramOptions.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

TEST(ProgramOptions, PatternTypeSuffixesAndAuxTagsAreSplitAsDocumented)
{
    // Only the last suffix is taken; another colon is part of the text.
    std::tuple<char const*, char const*, MetadataPattern::ValueType> const patterns[] = {
        {"x:numeric:string", "x:numeric", MetadataPattern::String},
        {"time:", "time:", MetadataPattern::Numeric},
        {"Re=", "Re=", MetadataPattern::Numeric}};
    for (auto const& [value, text, type] : patterns) {
        EXPECT_EQ(cli::parsePatternOption(value).pattern, text);
        EXPECT_EQ(cli::parsePatternOption(value).valueType, type) << value;
    }
    AuxFileIdentifier const data = cli::parseAuxOption("data=Re=*.dat"); // at the first '='
    EXPECT_EQ(data.tag + " " + data.syntaxName, "data Re=*.dat");
    EXPECT_EQ(cli::formatFromExtension("out/cases.CSV"), cli::OutputFormat::Csv);
    EXPECT_EQ(cli::formatFromExtension("out.d/cases"), std::nullopt);
}

} // namespace
