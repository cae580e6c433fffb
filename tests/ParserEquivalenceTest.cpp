// The parser, its file entries and the sorting behind them are built for
// millions of paths; here they are compared with the literal versions
// (LiteralParser.h, std::stable_sort) on generated inputs: random paths full
// of pattern texts, separators, dots and signs, random pattern lists, and
// random sequences of the operations a host may call.
#include "FakeFileTree.h"
#include "LiteralParser.h"

#include "filecrawler/CrawlerBasicImporterParser.h"
#include "filecrawler/MetadataFileCrawler.h"
#include "filecrawler/private/CrawlerFilePath.h"
#include "support/PathOrder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <algorithm>
#include <map>
#include <random>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace {

// What the host's classifier is asked while `counting`; it refuses `refused`.
struct Classifier {
    bool counting = false;
    std::map<std::string, int> calls;
    std::string refused;
};
Classifier classifier;

} // namespace

// The host's auxFileType, interposed for this program: it records its calls
// and refuses one path, and otherwise answers as the host's own.
AuxFileInfoInterface::Type auxFileType(std::string const& path)
{
    using Classify = AuxFileInfoInterface::Type (*)(std::string const&);
    static Classify const host = reinterpret_cast<Classify>(
        dlsym(RTLD_NEXT, "_Z11auxFileTypeRKNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEE"));
    if (classifier.counting) {
        ++classifier.calls[path];
        if (path == classifier.refused)
            throw std::runtime_error("no type for " + path);
    }
    return host(path);
}

namespace {

class Generator {
public:
    explicit Generator(unsigned seed) : random_(seed) {}

    std::size_t below(std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(random_); }

    std::string path()
    {
        static char const* const pieces[] = {
            "Re=",  "x=", "Mach=", "=", "100", "-2", "+.5", "3.",       "1e5", "2E", "0.25", "a",    "b.c",
            ".dat", ".",  "..",    "/", "/",   "/",  "\\",  "model=kE", "x=y", "_",  "-",    "Re=1", "\xff"};
        std::string text;
        std::size_t const count = 1 + below(9);
        for (std::size_t i = 0; i < count; ++i)
            text += pieces[below(sizeof pieces / sizeof pieces[0])];
        return text;
    }

    std::vector<MetadataPattern> patterns()
    {
        static char const* const texts[] = {"Re=", "x=", "Mach=", "=", "", "a", "e", ".", "/", "Re=1"};
        std::vector<MetadataPattern> list;
        std::size_t const count = below(4);
        for (std::size_t i = 0; i < count; ++i)
            list.emplace_back(texts[below(sizeof texts / sizeof texts[0])],
                              below(2) ? MetadataPattern::Numeric : MetadataPattern::String);
        return list;
    }

    // `count` paths, some repeated, in an order like a crawl's: mostly
    // ascending with runs out of place, unless `shuffled`.
    std::vector<std::string> paths(std::size_t count, bool shuffled)
    {
        std::vector<std::string> list;
        for (std::size_t i = 0; i < count; ++i)
            list.push_back(below(8) == 0 && !list.empty() ? list[below(list.size())] : path());
        if (shuffled)
            return list;
        std::sort(list.begin(), list.end());
        for (std::size_t moves = below(4); moves > 0 && list.size() > 2; --moves) {
            std::size_t const from = below(list.size() - 1);
            std::size_t const length = 1 + below(list.size() - from - 1);
            std::rotate(list.begin() + from, list.begin() + from + length / 2, list.begin() + from + length);
        }
        return list;
    }

private:
    std::mt19937 random_;
};

std::string describe(std::vector<MetadataInfo> const& infos)
{
    std::string text;
    for (MetadataInfo const& info : infos)
        text += std::to_string(info.patternPosition) + "," + std::to_string(info.valuePosition) + "," +
                std::to_string(info.valueLength) + "," + info.value + ";";
    return text;
}

std::string joined(std::vector<std::string> const& values)
{
    std::string text;
    for (std::string const& value : values)
        text += value + "|";
    return text;
}

// An entry's answers, as one text.
template <typename Entry> std::string answers(Entry const& entry)
{
    return std::to_string(entry.isIdentified()) + " " + std::to_string(entry.caseIndex()) + " " +
           describe(entry.metadataInfoList()) + " " + joined(entry.metadataSValueList());
}

TEST(EntryEquivalence, RecordsValuesAndFlagsFollowTheLiteralEntry)
{
    Generator generate(7);
    for (int round = 0; round < 3000; ++round) {
        std::string const path = generate.path();
        CrawlerFilePath entry(path);
        literal::FilePath reference(path);
        for (int step = 0; step < 6; ++step) {
            std::size_t const choice = generate.below(5);
            if (choice == 0) {
                entry.clearMetadataInfoList();
                reference.clearMetadataInfoList();
            } else if (choice == 1) {
                entry.setCaseIndex(step);
                reference.setCaseIndex(step);
            } else {
                std::vector<MetadataPattern> const patterns = generate.patterns();
                ASSERT_EQ(entry.matchMetadataPatterns(patterns), reference.matchMetadataPatterns(patterns))
                    << path;
            }
            ASSERT_EQ(answers(entry), answers(reference)) << path;
        }
    }
}

TEST(EntryEquivalence, PatternListsTooLongForTheCompactFormAreKeptLiterally)
{
    std::string path;
    for (int i = 0; i < 70000; ++i)
        path += "x=" + std::to_string(i % 10) + "/";
    std::vector<MetadataPattern> const patterns(70000, MetadataPattern("x=", MetadataPattern::Numeric));
    CrawlerFilePath entry(path);
    literal::FilePath reference(path);
    for (int round = 0; round < 2; ++round) {
        ASSERT_EQ(entry.matchMetadataPatterns(patterns), reference.matchMetadataPatterns(patterns));
        ASSERT_EQ(answers(entry), answers(reference));
        entry.clearMetadataInfoList();
        reference.clearMetadataInfoList();
    }
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
        text += describe(parser.metadataInfoList(path)) + "/";
    return text;
}

TEST(ParserEquivalence, EveryAnswerFollowsTheLiteralParser)
{
    Generator generate(11);
    for (int round = 0; round < 300; ++round) {
        // Paths reach the parser one by one, or as a crawl result through
        // the importer, which hands its stored list over by reference.
        auto owned = std::make_unique<CrawlerBasicImporterParser>();
        CrawlerBasicImporterParser& parser = *owned;
        MetadataFileCrawler importer(std::move(owned));
        literal::Parser reference;
        std::vector<std::string> probes = {"", "absent"};
        std::size_t patternCount = 0;
        for (int step = 0; step < 8; ++step) {
            std::size_t const choice = generate.below(6);
            if (choice <= 1) {
                std::vector<std::string> const paths =
                    generate.paths(generate.below(40), generate.below(3) == 0);
                if (choice == 0) {
                    for (std::string const& path : paths)
                        parser.appendRawFilePath(path);
                } else {
                    FolderCrawler::Result result;
                    result.folder = fakeDir("/study");
                    result.files.assign(paths.begin(), paths.end());
                    if (generate.below(2) == 0)
                        importer.setCrawlResult(result);
                    else
                        importer.setCrawlResult(std::move(result));
                }
                for (std::string const& path : paths)
                    reference.appendRawFilePath(path);
                probes.insert(probes.end(), paths.begin(), paths.end());
            } else if (choice == 2) {
                parser.clearFilePaths();
                reference.clearFilePaths();
            } else {
                std::vector<MetadataPattern> const patterns = generate.patterns();
                parser.applyMetadataPatternList(patterns);
                reference.applyMetadataPatternList(patterns);
                patternCount = patterns.size();
            }
            ASSERT_EQ(state(parser, patternCount, probes), state(reference, patternCount, probes))
                << "round " << round << " step " << step;
        }
    }
}

// Each appended path is classified once, when it is appended; a path the
// classifier refuses leaves the parser as it was, and usable.
TEST(ParserEquivalence, AppendingClassifiesOnceAndARefusalChangesNothing)
{
    using ::testing::ElementsAre;
    using ::testing::Pair;
    CrawlerBasicImporterParser parser;
    literal::Parser reference;
    std::vector<MetadataPattern> const patterns = {MetadataPattern("x=", MetadataPattern::Numeric)};
    std::vector<std::string> const probes = {"x=1/a.dat", "x=2/b", "x=3/c"};
    classifier = Classifier{true, {}, "x=3/c"};
    std::map<std::string, int> appended;
    for (std::string const& path : std::vector<std::string>{"x=2/b", "x=1/a.dat", "x=2/b"}) {
        parser.appendRawFilePath(path);
        reference.appendRawFilePath(path);
        EXPECT_EQ(classifier.calls[path], ++appended[path]) << path; // the entry is made at once
    }
    EXPECT_THROW(parser.appendRawFilePath("x=3/c"), std::runtime_error);
    parser.applyMetadataPatternList(patterns);
    reference.applyMetadataPatternList(patterns);
    ASSERT_EQ(state(parser, 1, probes), state(reference, 1, probes));
    // Refused again, now for a path whose entry is in a case, and for a new one.
    classifier.refused = "x=1/a.dat";
    EXPECT_THROW(parser.appendRawFilePath("x=1/a.dat"), std::runtime_error);
    classifier.refused.clear();
    EXPECT_EQ(state(parser, 1, probes), state(reference, 1, probes));
    parser.appendRawFilePath("x=3/c");
    reference.appendRawFilePath("x=3/c");
    parser.applyMetadataPatternList(patterns);
    reference.applyMetadataPatternList(patterns);
    EXPECT_EQ(state(parser, 1, probes), state(reference, 1, probes));
    // Asking and applying never classifies again.
    EXPECT_THAT(classifier.calls, ElementsAre(Pair("x=1/a.dat", 2), Pair("x=2/b", 2), Pair("x=3/c", 2)));
    classifier = Classifier();
}

// A list of a real study's length, with cases spread over it.
TEST(ParserEquivalence, LongListsFollowTheLiteralParser)
{
    Generator generate(5);
    std::vector<std::string> paths;
    for (std::size_t i = 0; i < 150000; ++i)
        paths.push_back("Re=" + std::to_string(generate.below(40)) +
                        "/x=" + std::to_string(generate.below(30)) + "/" + generate.path());
    CrawlerBasicImporterParser parser;
    literal::Parser reference;
    for (std::string const& path : paths) {
        parser.appendRawFilePath(path);
        reference.appendRawFilePath(path);
    }
    std::vector<std::string> const probes(paths.begin(), paths.begin() + 1000);
    std::vector<std::vector<MetadataPattern>> const lists = {
        {MetadataPattern("Re=", MetadataPattern::Numeric), MetadataPattern("x=", MetadataPattern::Numeric)},
        {MetadataPattern("x=", MetadataPattern::String), MetadataPattern("a", MetadataPattern::String)},
        {MetadataPattern("Re=", MetadataPattern::String)}};
    for (std::vector<MetadataPattern> const& patterns : lists) {
        parser.applyMetadataPatternList(patterns);
        reference.applyMetadataPatternList(patterns);
        ASSERT_EQ(state(parser, patterns.size(), probes), state(reference, patterns.size(), probes));
    }
}

TEST(PathOrder, SortsLikeStableSortWhateverTheOrder)
{
    Generator generate(3);
    // Keys with their position, compared by key only, so that the order of
    // ties shows.
    using Item = std::pair<std::string, std::size_t>;
    auto const byKey = [](Item const& a, Item const& b) { return a.first < b.first; };
    for (int round = 0; round < 2000; ++round) {
        std::size_t const count = generate.below(200);
        std::vector<std::string> keys;
        switch (round % 4) {
        case 0: // a crawl's order
            keys = generate.paths(count, false);
            break;
        case 1: // any order: more runs than are kept apart
            keys = generate.paths(count, true);
            break;
        case 2: // descending
            keys = generate.paths(count, false);
            std::reverse(keys.begin(), keys.end());
            break;
        default: // few distinct keys
            for (std::size_t i = 0; i < count; ++i)
                keys.push_back(std::string(1, static_cast<char>('a' + generate.below(3))));
        }
        std::vector<Item> items;
        for (std::size_t i = 0; i < keys.size(); ++i)
            items.emplace_back(keys[i], i);
        std::vector<Item> expected = items;
        std::stable_sort(expected.begin(), expected.end(), byKey);
        support::stableSortAlmostSorted(items, byKey);
        ASSERT_EQ(items, expected) << "round " << round;
    }
}

} // namespace
