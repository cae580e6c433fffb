// Fuzzes the parser with sequences of the calls a host makes, against the
// parser as first written down (bench/LiteralParser.h).
//
// Input: NUL-separated pieces, each one call chosen by its first byte:
//   'a' + path          appends the path (the importer hands a crawl's paths
//                       over the same way, one at a time);
//   'c'                 clears the paths;
//   'p' + patterns      applies a pattern list: '\x01'-separated texts, each
//                       after a byte that chooses its type (odd: Numeric).
// Any other first byte appends the whole piece as a path. After every call
// the parser's every answer (cases and their values, entries with their
// case, values and records) equals the literal parser's; after a pattern
// list is applied, MetadataInfoReader reads every held path's records as the
// parser gives them.
#include "FuzzInput.h"
#include "LiteralParser.h"

#include "filecrawler/CrawlerBasicImporterParser.h"
#include "filecrawler/MetadataPatternSearch.h"
#include "filecrawler/private/CrawlerFilePath.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace {

std::string joined(std::vector<std::string> const& values)
{
    std::string text;
    for (std::string const& value : values)
        text += value + "|";
    return text;
}

std::string records(std::vector<MetadataInfo> const& infos)
{
    std::string text;
    for (MetadataInfo const& info : infos)
        text += std::to_string(info.patternPosition) + "," + std::to_string(info.valuePosition) + "," +
                std::to_string(info.valueLength) + "," + info.value + "|";
    return text;
}

std::vector<std::string> valuesOf(boost::shared_ptr<AuxFileInfoInterface> const& entry)
{
    return dynamic_cast<CrawlerFilePath const&>(*entry).metadataSValueList();
}

std::vector<std::string> valuesOf(literal::Parser::Entry const& entry)
{
    return entry->metadataSValueList();
}

// Everything a host can ask of the parser, as one text.
template <typename Parser>
std::string state(Parser const& parser, std::size_t patternCount, std::vector<std::string> const& probes)
{
    std::string text = "cases:";
    for (std::size_t c = 0; c < parser.numDefinedCases(); ++c)
        for (std::size_t k = 0; k < patternCount; ++k)
            text += parser.caseMetadataSValue(c, k) + (k + 1 == patternCount ? ";" : "|");
    text += "\nentries:";
    for (auto const& entry : parser.crawlerFilePathList())
        text += entry->filePath() + (entry->isIdentified() ? "+" : "-") + std::to_string(entry->caseIndex()) +
                "[" + joined(valuesOf(entry)) + "];";
    text += "\nrecords:";
    for (std::string const& path : probes)
        text += records(parser.metadataInfoList(path)) + "/";
    return text;
}

std::vector<MetadataPattern> patternsOf(std::string const& piece)
{
    std::vector<MetadataPattern> patterns;
    std::size_t start = 0;
    while (start < piece.size()) {
        std::size_t end = piece.find('\x01', start);
        if (end == std::string::npos)
            end = piece.size();
        if (end > start)
            patterns.emplace_back(piece.substr(start + 1, end - start - 1),
                                  (piece[start] & 1) ? MetadataPattern::Numeric : MetadataPattern::String);
        start = end + 1;
    }
    return patterns;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* data, std::size_t size)
{
    CrawlerBasicImporterParser parser;
    literal::Parser reference;
    std::vector<std::string> probes = {"", "absent"};
    std::vector<std::string> held; // appended since the last clear
    std::size_t patternCount = 0;
    for (std::string const& piece : fuzzinput::pieces(data, size)) {
        char const call = piece.empty() ? 'c' : piece[0];
        if (call == 'c') {
            parser.clearFilePaths();
            reference.clearFilePaths();
            held.clear();
        } else if (call == 'p') {
            std::vector<MetadataPattern> const patterns = patternsOf(piece.substr(1));
            parser.applyMetadataPatternList(patterns);
            reference.applyMetadataPatternList(patterns);
            patternCount = patterns.size();
            MetadataInfoReader reader(patterns);
            for (std::string const& path : held)
                fuzzinput::require(records(reader.read(path)) == records(parser.metadataInfoList(path)),
                                   "the reader reads the records the parser holds");
        } else {
            std::string const path = call == 'a' ? piece.substr(1) : piece;
            parser.appendRawFilePath(path);
            reference.appendRawFilePath(path);
            probes.push_back(path);
            held.push_back(path);
        }
        fuzzinput::require(state(parser, patternCount, probes) == state(reference, patternCount, probes),
                           "the parser answers as the literal parser");
    }
    return 0;
}
