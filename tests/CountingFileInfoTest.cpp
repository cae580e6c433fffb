// What the program's folder wrapper records when a listing fails: a folder
// that may not be read is not a machine out of memory or descriptors, nor a
// walk past its limits.
#include "CountingFileInfo.h"
#include "FakeFileTree.h"

#include "host/WalkLimits.h"

#include <gtest/gtest.h>

#include <functional>
#include <new>

namespace {

TEST(CountingFileInfo, ListingFailuresAreToldApartAndFilesCounted)
{
    using cli::CrawlStop;
    struct {
        std::function<void()> listing; // run when the folder is listed
        bool readable;
        CrawlStop::Kind kind;
        std::string what;
    } const cases[] = {
        {[] { throw std::bad_alloc(); }, true, CrawlStop::ResourcesExhausted, "memory ran out"},
        {[] {
             throw norvale::ExceptionBase(
                 "The specified path: /s/d could not be opened: Too many open files.", false);
         },
         true, CrawlStop::ResourcesExhausted, "Too many open files"},
        {[] { throw norvale::ExceptionBase("The specified path: /s/d is not readable.", false); }, true,
         CrawlStop::FolderUnreadable, ""},
        {[] { throw WalkLimitExceeded("/s/d", 1); }, true, CrawlStop::LimitPassed, ""},
        {nullptr, false, CrawlStop::FolderUnreadable, ""},
        {nullptr, true, CrawlStop::None, ""},
    };
    for (auto const& c : cases) {
        auto const folder = fakeDir("/s", {fakeFile("a"), fakeDir("d", {fakeFile("b")}), fakeFile("c")});
        folder->entries[1]->onChildren = c.listing;
        folder->entries[1]->readable = c.readable;
        auto const files = std::make_shared<cli::CountingFileInfo::Counter>(0);
        auto const stop = std::make_shared<CrawlStop>();
        auto const listed = cli::CountingFileInfo(folder, files, stop).children("");
        try {
            if (listed[1]->isReadable())
                listed[1]->children("");
        } catch (...) {
        }
        EXPECT_EQ(stop->kind, c.kind) << c.what;
        EXPECT_EQ(stop->what, c.what);
        EXPECT_EQ(stop->path, c.kind == CrawlStop::None ? "" : "/s/d");
        EXPECT_EQ(*files, c.kind == CrawlStop::None ? 3u : 2u);
    }
}

} // namespace
