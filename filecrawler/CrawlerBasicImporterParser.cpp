#include "filecrawler/CrawlerBasicImporterParser.h"

#include "filecrawler/private/Config.h"
#include "filecrawler/private/CrawlerFilePath.h"
#include "support/PathOrder.h"
#include "support/TupleNumbering.h"

#include <boost/make_shared.hpp>

#include <algorithm>
#include <atomic>
#include <cassert>
#include <functional>
#include <iterator>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

// The entries are kept in a vector sorted by path rather than in a map from
// path to entry: a study has millions of them, and a crawl hands them over
// almost in order. Each entry is made (and its type asked for) when its path
// is appended; the entries of paths new since the last look wait in the order
// of appending and are sorted and merged in when entries are next needed.
// Cases are numbered through a hash table of their value tuples
// (support/TupleNumbering.h).
struct CrawlerBasicImporterParser::Impl {
    using Entry = boost::shared_ptr<CrawlerFilePath>;

    // Sorts the pending entries into `files`; of entries with equal paths the
    // one appended last stays.
    void settle();
    // Keeps an entry that leaves `files` alive while a case holds it.
    void retire(Entry&& entry);

    std::vector<Entry> files;   // ascending byte order of the paths, one per path
    std::vector<Entry> pending; // appended since the last settle(), in order; their paths are not in `files`
    std::vector<Entry> retired; // entries of the current cases that are no longer in `files`
    support::TupleNumbering cases; // the tuple of each case index
    // Where the last path looked up by metadataInfoList() lies in `files`,
    // plus one: paths are mostly asked for in crawl order, which is nearly
    // their sorted order, so the next one asked for is usually there. Only a
    // hint, checked before use (atomic: const look-ups may run on several
    // threads at once).
    mutable std::atomic<std::size_t> nextLookup{0};
};

using Entry = boost::shared_ptr<CrawlerFilePath>;

void CrawlerBasicImporterParser::Impl::retire(Entry&& entry)
{
    if (entry->isIdentified())
        retired.push_back(std::move(entry));
}

void CrawlerBasicImporterParser::Impl::settle()
{
    if (pending.empty())
        return;
    support::stableSortAlmostSorted(
        pending, [](Entry const& a, Entry const& b) { return a->pathText() < b->pathText(); });

    // Of equal paths, the last appended stays.
    std::size_t kept = 0;
    for (std::size_t i = 0; i < pending.size(); ++i) {
        if (i + 1 < pending.size() && pending[i]->pathText() == pending[i + 1]->pathText())
            continue;
        if (kept != i)
            pending[kept] = std::move(pending[i]);
        ++kept;
    }
    pending.resize(kept);

    if (files.empty()) {
        files.swap(pending);
        pending = std::vector<Entry>();
        return;
    }
    std::vector<Entry> merged;
    merged.reserve(files.size() + pending.size());
    auto older = files.begin();
    auto newer = pending.begin();
    while (older != files.end() && newer != pending.end()) {
        if ((*older)->pathText() < (*newer)->pathText())
            merged.push_back(std::move(*older++));
        else
            merged.push_back(std::move(*newer++));
    }
    std::move(older, files.end(), std::back_inserter(merged));
    std::move(newer, pending.end(), std::back_inserter(merged));
    files.swap(merged);
    pending = std::vector<Entry>();
}

CrawlerBasicImporterParser::CrawlerBasicImporterParser() : impl_(std::make_unique<Impl>()) {}

CrawlerBasicImporterParser::~CrawlerBasicImporterParser()
{
    impl_->cases.clear();
    impl_->retired.clear();
    impl_->pending.clear();
    impl_->files.clear();
}

void CrawlerBasicImporterParser::appendRawFilePath(std::string const& path)
{
    // The entry first: if it cannot be made (the host's auxFileType throws,
    // say), nothing has changed.
    Entry entry = boost::make_shared<CrawlerFilePath>(path);
    Impl& impl = *impl_;

    // A path already among the sorted entries gets the fresh entry in its
    // place at once; any other waits to be sorted in.
    if (!impl.files.empty()) {
        auto const found =
            std::lower_bound(impl.files.begin(), impl.files.end(), std::string_view(path),
                             [](Entry const& e, std::string_view p) { return e->pathText() < p; });
        if (found != impl.files.end() && (*found)->pathText() == path) {
            if ((*found)->isIdentified())
                impl.retired.reserve(impl.retired.size() + 1);
            Entry old = std::move(*found);
            *found = std::move(entry);
            impl.retire(std::move(old));
            return;
        }
    }
    if (impl.pending.size() == impl.pending.capacity())
        impl.pending.reserve(std::max(config::pendingPathsLeast, 2 * impl.pending.capacity()));
    impl.pending.push_back(std::move(entry));
}

void CrawlerBasicImporterParser::clearFilePaths()
{
    // The cases keep answering from the last application, and keep their entries.
    for (Entry& entry : impl_->files)
        impl_->retire(std::move(entry));
    impl_->files.clear();
    impl_->pending.clear();
}

void CrawlerBasicImporterParser::applyMetadataPatternList(std::vector<MetadataPattern> const& patterns)
{
    Impl& impl = *impl_;
    impl.settle();
    impl.retired.clear();
    impl.cases.clear();

    std::vector<Entry> const& files = impl.files;
    CrawlerFilePath::Transitions transitions;
    if (patterns.empty()) {
        // Without patterns no file belongs to a case, so none may claim one.
        for (Entry const& entry : files) {
            entry->clearMetadataInfoList(transitions);
            entry->clearIdentification();
        }
        return;
    }

    auto const shared = boost::make_shared<std::vector<MetadataPattern> const>(patterns);
    CrawlerFilePath::Scratch scratch;
    std::size_t next = 0;
    std::size_t lastCase = 0; // the case of the last entry matched
    try {
        for (; next < files.size(); ++next) {
            CrawlerFilePath& entry = *files[next];
            if (!entry.rematchMetadataPatterns(shared, scratch, transitions))
                continue;
            // Values read from the same part of the path as the last entry's
            // are the same values: the same case.
            if (!scratch.sameAsLast) {
                std::string_view const path = entry.pathText();
                auto const value = [&](std::size_t i) {
                    return path.substr(scratch.spans[i].valuePosition, scratch.spans[i].valueLength);
                };
                lastCase = impl.cases.number(value, scratch.spans.size());
            }
            entry.setCaseIndex(lastCase);
        }
    } catch (...) {
        // As if every entry had been reset before the first was matched.
        CrawlerFilePath::Transitions clearing;
        for (++next; next < files.size(); ++next)
            files[next]->clearMetadataInfoList(clearing);
        throw;
    }
}

std::vector<MetadataInfo> CrawlerBasicImporterParser::metadataInfoList(std::string const& path) const
{
    impl_->settle();
    std::vector<Entry> const& files = impl_->files;
    std::size_t const hint = impl_->nextLookup.load(std::memory_order_relaxed);
    auto found = files.end();
    if (hint < files.size() && files[hint]->pathText() == path) {
        found = files.begin() + static_cast<std::ptrdiff_t>(hint);
    } else {
        found =
            std::lower_bound(files.begin(), files.end(), std::string_view(path),
                             [](Entry const& entry, std::string_view p) { return entry->pathText() < p; });
        if (found == files.end() || (*found)->pathText() != path)
            return {};
    }
    impl_->nextLookup.store(static_cast<std::size_t>(found - files.begin()) + 1, std::memory_order_relaxed);
    return (*found)->metadataInfoList();
}

std::size_t CrawlerBasicImporterParser::numDefinedCases() const
{
    return impl_->cases.size();
}

std::string CrawlerBasicImporterParser::caseMetadataSValue(std::size_t caseIndex,
                                                           std::size_t metadataIndex) const
{
    std::vector<std::string> const& tuple = impl_->cases.tuple(caseIndex); // asserts caseIndex
    assert(metadataIndex < tuple.size());
    return tuple[metadataIndex];
}

std::vector<boost::shared_ptr<AuxFileInfoInterface>> CrawlerBasicImporterParser::crawlerFilePathList() const
{
    impl_->settle();
    std::vector<boost::shared_ptr<AuxFileInfoInterface>> list;
    list.reserve(impl_->files.size());
    for (Entry const& file : impl_->files)
        list.push_back(file);
    return list;
}
