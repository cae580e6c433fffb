// Selection of names by syntax name, and the whole auxiliary-file
// identification (constructing the validator, isValid(), auxFiles()), each
// next to the literal procedure: a QRegExp per call searching backwards from
// the last character of every name, a map of candidates by path and an
// ordered set of claimed candidates.
//
// The candidates are the files of a parameter study, in ascending path order
// as the importer lists them, 28 per case:
//   study/Re=100/Mach=0.05/alpha=-4/model=kEpsilon/solution_0001.vtu
// and the identifiers are five, the last selecting nothing, so that
// isValid() judges them all and answers false.
#include "LiteralSelection.h"

#include "filecrawler/AuxFileIdentifierValidator.h"
#include "filecrawler/CrawlerBasicImporterParser.h"
#include "filecrawler/private/SyntaxNameSelection.h"
#include "host/AuxFileCollectionInterface.h"
#include "host/AuxFileInfoInterface.h"
#include "host/TagValidator.h"

#include <QString>
#include <QStringList>
#include <benchmark/benchmark.h>
#include <boost/make_shared.hpp>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

class Candidate : public virtual AuxFileInfoInterface {
public:
    Candidate(std::string path, std::size_t caseIndex) : path_(std::move(path)), caseIndex_(caseIndex) {}
    std::string filePath() const override { return path_; }
    bool isIdentified() const override { return true; }
    void setCaseIndex(std::size_t index) override { caseIndex_ = index; }
    std::size_t caseIndex() const override { return caseIndex_; }
    std::string description() const override { return path_; }
    Type type() const override { return Unknown; }

private:
    std::string path_;
    std::size_t caseIndex_;
};

using CandidateList = std::vector<boost::shared_ptr<AuxFileInfoInterface>>;

// About `count` candidates, whole cases only, sorted by path.
CandidateList const& studyCandidates(std::size_t count)
{
    static std::map<std::size_t, CandidateList> made;
    CandidateList& list = made[count];
    if (!list.empty())
        return list;
    static char const* const models[] = {"kEpsilon", "kOmegaSST", "SpalartAllmaras", "laminar", "LES"};
    static char const* const images[] = {"residuals", "cp", "velocity", "pressure", "streamlines"};
    std::vector<std::pair<std::string, std::size_t>> files;
    char text[160];
    for (std::size_t c = 0; files.size() < count; ++c) {
        std::snprintf(text, sizeof text, "study/Re=%zu/Mach=%g/alpha=%g/model=%s/", 100 * (c / 1000 + 1),
                      0.05 * double(c / 50 % 20 + 1), -4 + 0.5 * double(c / 5 % 10), models[c % 5]);
        std::string const folder = text;
        for (char const* name : {"mesh.msh", "params.json", "log.txt"})
            files.emplace_back(folder + name, c);
        for (int step = 1; step <= 20; ++step) {
            std::snprintf(text, sizeof text, "solution_%04d.vtu", step);
            files.emplace_back(folder + text, c);
        }
        for (char const* image : images)
            files.emplace_back(folder + "images/" + image + ".png", c);
    }
    std::sort(files.begin(), files.end());
    list.reserve(files.size());
    for (auto& file : files)
        list.push_back(boost::make_shared<Candidate>(std::move(file.first), file.second));
    return list;
}

// The same study's files as the parser's entries that belong to a case, as
// the importer hands them to the host.
CandidateList const& parsedCandidates(std::size_t count)
{
    static std::map<std::size_t, CandidateList> made;
    static std::map<std::size_t, std::unique_ptr<CrawlerBasicImporterParser>> parsers;
    CandidateList& list = made[count];
    if (!list.empty())
        return list;
    auto& parser = parsers[count];
    parser = std::make_unique<CrawlerBasicImporterParser>();
    for (auto const& candidate : studyCandidates(count))
        parser->appendRawFilePath(candidate->filePath());
    parser->applyMetadataPatternList({MetadataPattern("Re=", MetadataPattern::Numeric),
                                      MetadataPattern("Mach=", MetadataPattern::Numeric),
                                      MetadataPattern("alpha=", MetadataPattern::Numeric),
                                      MetadataPattern("model=", MetadataPattern::String)});
    for (auto& file : parser->crawlerFilePathList())
        if (file->isIdentified())
            list.push_back(std::move(file));
    return list;
}

QStringList studyNames(std::size_t count)
{
    QStringList names;
    for (auto const& candidate : studyCandidates(count))
        names.append(QString::fromLatin1(candidate->filePath().c_str()));
    return names;
}

std::vector<AuxFileIdentifier> const IDENTIFIERS = {
    {"*.vtu", "solution"},     {"mesh.msh", "mesh"}, {"images/*.png", "image"},
    {"params.js?n", "params"}, {"*.cgns", "grid"}, // selects nothing
};

class Identifiers : public AuxFileIdentifierValidator::IdentifierProviderInterface {
public:
    std::vector<AuxFileIdentifier> identifiers() const override { return IDENTIFIERS; }
};

// The identification done literally, step by step.
struct LiteralIdentification {
    explicit LiteralIdentification(CandidateList const& candidates)
    {
        for (auto const& candidate : candidates) {
            QString const name = QString::fromLatin1(candidate->filePath().c_str());
            byPath[name.toLatin1().toStdString()] = candidate;
            names.append(name);
        }
    }

    bool usable(TagValidator const& tags, AuxFileIdentifier const& identifier)
    {
        if (!tags.validate(identifier.tag).isValid())
            return false;
        if (valid.count(identifier.syntaxName) != 0)
            return true;
        if (literal::selectLiterally(names, identifier.syntaxName).isEmpty())
            return false;
        valid.insert(identifier.syntaxName);
        return true;
    }

    std::size_t fileCount(TagValidator const& tags)
    {
        std::set<boost::shared_ptr<AuxFileInfoInterface>> claimed;
        std::map<std::size_t, std::map<std::string, std::vector<std::string>>> collection;
        for (AuxFileIdentifier const& identifier : IDENTIFIERS) {
            if (!usable(tags, identifier))
                continue;
            for (QString const& name : literal::selectLiterally(names, identifier.syntaxName)) {
                auto const& candidate = byPath[name.toLatin1().toStdString()];
                if (claimed.insert(candidate).second)
                    collection[candidate->caseIndex()][identifier.tag].push_back(candidate->filePath());
            }
        }
        return claimed.size();
    }

    QStringList names;
    std::map<std::string, boost::shared_ptr<AuxFileInfoInterface>> byPath;
    std::set<std::string> valid;
};

std::size_t filedCount(AuxFileCollectionInterface const& collection)
{
    std::size_t count = 0;
    for (std::size_t c = 0; c < collection.caseCount(); ++c)
        for (std::string const& tag : collection.tags())
            count += collection.auxFilePaths(c, tag).size();
    return count;
}

void runIdentification(benchmark::State& state, CandidateList const& candidates)
{
    auto const tags = boost::make_shared<TagValidator>();
    Identifiers const provider;
    std::size_t filed = 0;
    for (auto _ : state) {
        AuxFileIdentifierValidator validator(provider, candidates, tags);
        benchmark::DoNotOptimize(validator.isValid());
        auto const collection = validator.auxFiles();
        state.PauseTiming();
        filed = filedCount(*collection);
        state.ResumeTiming();
    }
    state.counters["candidates"] = double(candidates.size());
    state.counters["filed"] = double(filed);
    state.counters["candidates/s"] =
        benchmark::Counter(double(candidates.size()), benchmark::Counter::kIsIterationInvariantRate);
}

void BM_Identification(benchmark::State& state)
{
    runIdentification(state, studyCandidates(static_cast<std::size_t>(state.range(0))));
}
BENCHMARK(BM_Identification)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

void BM_IdentificationOfParsedFiles(benchmark::State& state)
{
    runIdentification(state, parsedCandidates(static_cast<std::size_t>(state.range(0))));
}
BENCHMARK(BM_IdentificationOfParsedFiles)->Arg(1000000)->Unit(benchmark::kMillisecond);

void BM_IdentificationLiterally(benchmark::State& state)
{
    CandidateList const& candidates = studyCandidates(static_cast<std::size_t>(state.range(0)));
    TagValidator const tags;
    std::size_t filed = 0;
    for (auto _ : state) {
        LiteralIdentification identification(candidates);
        bool valid = true;
        for (AuxFileIdentifier const& identifier : IDENTIFIERS)
            if (!(valid = identification.usable(tags, identifier)))
                break;
        benchmark::DoNotOptimize(valid);
        filed = identification.fileCount(tags);
    }
    state.counters["candidates"] = double(candidates.size());
    state.counters["filed"] = double(filed);
    state.counters["candidates/s"] =
        benchmark::Counter(double(candidates.size()), benchmark::Counter::kIsIterationInvariantRate);
}
// A million candidates take about two minutes this way; leave them out with
// --benchmark_filter=-BM_IdentificationLiterally/1000000.
BENCHMARK(BM_IdentificationLiterally)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

// One syntax name over `count` study paths.
void runSelection(benchmark::State& state, std::string const& syntaxName, bool literally,
                  std::size_t count = 100000)
{
    QStringList const names = studyNames(count);
    int selected = 0;
    for (auto _ : state) {
        selected =
            (literally ? literal::selectLiterally(names, syntaxName) : syntaxname::select(names, syntaxName))
                .size();
        benchmark::DoNotOptimize(selected);
    }
    state.counters["selected"] = selected;
    state.counters["names/s"] =
        benchmark::Counter(double(names.size()), benchmark::Counter::kIsIterationInvariantRate);
}

void BM_SelectLiterally(benchmark::State& state, std::string const& syntaxName)
{
    runSelection(state, syntaxName, true);
}

void BM_Select(benchmark::State& state, std::string const& syntaxName)
{
    runSelection(state, syntaxName, false);
}

void BM_SelectsAny(benchmark::State& state, std::string const& syntaxName)
{
    QStringList const names = studyNames(100000);
    for (auto _ : state)
        benchmark::DoNotOptimize(syntaxname::selectsAny(names, syntaxName));
    state.counters["names/s"] =
        benchmark::Counter(double(names.size()), benchmark::Counter::kIsIterationInvariantRate);
}

#define SELECTION_BENCHMARKS(label, syntaxName)                                                              \
    BENCHMARK_CAPTURE(BM_SelectLiterally, label, syntaxName)->Unit(benchmark::kMillisecond);                 \
    BENCHMARK_CAPTURE(BM_Select, label, syntaxName)->Unit(benchmark::kMillisecond);                          \
    BENCHMARK_CAPTURE(BM_SelectsAny, label, syntaxName)->Unit(benchmark::kMillisecond)

SELECTION_BENCHMARKS(none, std::string("*.cgns"));
SELECTION_BENCHMARKS(suffix, std::string("*.vtu"));
SELECTION_BENCHMARKS(name, std::string("solution_00?1.vtu"));
SELECTION_BENCHMARKS(set, std::string("model=k*/images/[cpv]*.png"));
SELECTION_BENCHMARKS(trailing_star, std::string("alpha=-4/*"));

// Forms that QRegExp once had to test itself: a backslash (a Windows
// separator), and 300 '?' (a pattern of 300 positions, which no study path
// is long enough for). The argument is the number of names; the literal
// procedure takes about a millisecond a name on the second, so it runs on
// a few thousand.
void BM_SelectAmong(benchmark::State& state, std::string const& syntaxName)
{
    runSelection(state, syntaxName, false, static_cast<std::size_t>(state.range(0)));
}

void BM_SelectLiterallyAmong(benchmark::State& state, std::string const& syntaxName)
{
    runSelection(state, syntaxName, true, static_cast<std::size_t>(state.range(0)));
}

BENCHMARK_CAPTURE(BM_SelectAmong, backslash, std::string("*model=k*\\images\\c?.png"))
    ->Arg(300000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SelectLiterallyAmong, backslash, std::string("*model=k*\\images\\c?.png"))
    ->Arg(30000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK_CAPTURE(BM_SelectAmong, question_marks_300, std::string(300, '?'))
    ->Arg(300000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SelectLiterallyAmong, question_marks_300, std::string(300, '?'))
    ->Arg(3000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

} // namespace

BENCHMARK_MAIN();
