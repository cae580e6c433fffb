// A crawl's path list handed from the crawler to the importer without a copy
// (FolderCrawler::takeResult, MetadataFileCrawler::setCrawlResult(Result&&)),
// and the importer's entries referring to the stored paths rather than
// copying them: they must stay valid and unchanged for as long as the
// entries live, whatever the importer does meanwhile.
#include "filecrawler/CrawlerBasicImporterParser.h"
#include "filecrawler/FolderCrawler.h"
#include "filecrawler/MetadataFileCrawler.h"
#include "host/ExceptionBase.h"
#include "host/LocalFileInfo.h"

#include <QTemporaryDir>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

std::vector<std::string> paths(std::vector<boost::shared_ptr<AuxFileInfoInterface>> const& entries)
{
    std::vector<std::string> out;
    for (auto const& entry : entries)
        out.push_back(entry->filePath() + ":" + std::to_string(entry->caseIndex()));
    return out;
}

TEST(CrawlResultHandOver, TakenResultLeavesTheCrawlerItsFolderAndError)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    std::string const root = folder.path().toStdString();
    for (char const* name : {"Re=2.dat", "Re=1.dat"})
        std::ofstream(root + "/" + name) << "x";

    FolderCrawler crawler(LocalFileInfo::create(root));
    crawler.start();
    crawler.wait();
    FolderCrawler::Result const taken = crawler.takeResult();
    EXPECT_THAT(taken.files, ElementsAre("Re=1.dat", "Re=2.dat"));
    EXPECT_EQ(taken.folder, crawler.result().folder);
    EXPECT_TRUE(taken.errorString.isNull());
    EXPECT_THAT(crawler.result().files, IsEmpty());
    EXPECT_EQ(crawler.takeResult().files.size(), 0u);
}

TEST(CrawlResultHandOver, ImporterTakesAResultOverOnlyWhenItsFolderPasses)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    MetadataFileCrawler importer(std::make_unique<CrawlerBasicImporterParser>());

    FolderCrawler::Result missing;
    missing.folder = LocalFileInfo::create(folder.path().toStdString() + "/absent");
    missing.files = {"Re=1/a"};
    EXPECT_THROW(importer.setCrawlResult(std::move(missing)), norvale::ExceptionBase);
    EXPECT_THAT(missing.files, ElementsAre("Re=1/a")); // left as it was
    EXPECT_FALSE(importer.folder());

    FolderCrawler::Result result;
    result.folder = LocalFileInfo::create(folder.path().toStdString());
    result.files = {"Re=2/a", "Re=1/a"};
    importer.setCrawlResult(std::move(result));
    EXPECT_THAT(importer.files(), ElementsAre("Re=2/a", "Re=1/a"));
    importer.setMetadataPatternList({MetadataPattern("Re=", MetadataPattern::Numeric)});
    EXPECT_THAT(paths(importer.identifiedAuxFiles()), ElementsAre("Re=1/a:0", "Re=2/a:1"));
}

TEST(CrawlResultHandOver, EntriesKeepTheirPathsAfterTheImporterMovesOnOrEnds)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    auto importer = std::make_unique<MetadataFileCrawler>(std::make_unique<CrawlerBasicImporterParser>());
    FolderCrawler::Result first;
    first.folder = LocalFileInfo::create(folder.path().toStdString());
    first.files = {"x=1/a", "x=2/b"};
    importer->setCrawlResult(first);
    importer->setMetadataPatternList({MetadataPattern("x=", MetadataPattern::Numeric)});
    std::vector<boost::shared_ptr<AuxFileInfoInterface>> const held = importer->identifiedAuxFiles();

    // A second result replaces the stored one (the parser keeps the first
    // one's paths too, with paths appended but not yet made entries).
    FolderCrawler::Result second = first;
    second.files = {"x=3/c"};
    importer->setCrawlResult(std::move(second));
    first.files.clear();
    importer->setMetadataPatternList({MetadataPattern("x=", MetadataPattern::Numeric)});
    EXPECT_THAT(paths(importer->identifiedAuxFiles()), ElementsAre("x=1/a:0", "x=2/b:1", "x=3/c:2"));
    EXPECT_THAT(importer->files(), ElementsAre("x=3/c"));

    importer.reset();
    EXPECT_THAT(paths(held), ElementsAre("x=1/a:0", "x=2/b:1"));
}

} // namespace
