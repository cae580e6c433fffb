#include "filecrawler/CrawlerBasicImporterParser.h"

#include "filecrawler/CrawlerFilePath.h"
#include "filecrawler/PathOrder.h"

#include <boost/make_shared.hpp>

#include <algorithm>
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
// Cases are numbered through a hash of their value tuples.
namespace {

// Numbers value tuples in the order they are first met. The tuples are found
// again through a table of their hashes (open addressing), compared value by
// value with the texts in the path, so nothing is built per file. Files of one
// case often follow each other in path order, so the last tuple is tried
// first.
class CaseNumbering {
public:
    // The number of the tuple read from `path` at `spans`; a new tuple gets
    // the next number.
    std::size_t number(std::string_view path, std::vector<CrawlerFilePath::ValueSpan> const& spans)
    {
        auto const value = [&](std::size_t i) {
            return path.substr(spans[i].valuePosition, spans[i].valueLength);
        };
        if (havePrevious_ && sameTuple(tuples[previous_], value, spans.size()))
            return previous_;
        std::size_t const hash = hashOf(value, spans.size());
        std::size_t const found = find(hash, value, spans.size());
        if (found != tuples.size()) {
            remember(found);
            return found;
        }
        std::vector<std::string> tuple;
        tuple.reserve(spans.size());
        for (std::size_t i = 0; i < spans.size(); ++i)
            tuple.emplace_back(value(i));
        return add(std::move(tuple), hash);
    }

    // The number of `tuple`, a new one if it is new.
    std::size_t number(std::vector<std::string>&& tuple)
    {
        auto const value = [&tuple](std::size_t i) { return std::string_view(tuple[i]); };
        std::size_t const hash = hashOf(value, tuple.size());
        std::size_t const found = find(hash, value, tuple.size());
        if (found != tuples.size())
            return found;
        return add(std::move(tuple), hash);
    }

    void clear() { *this = CaseNumbering(); }

    std::vector<std::vector<std::string>> tuples; // by number

private:
    template <typename Value> static std::size_t hashOf(Value const& value, std::size_t count)
    {
        std::size_t hash = count;
        for (std::size_t i = 0; i < count; ++i) {
            hash ^= std::hash<std::string_view>()(value(i)) + 0x9e3779b97f4a7c15u + (hash << 6) + (hash >> 2);
        }
        return hash;
    }

    template <typename Value>
    static bool sameTuple(std::vector<std::string> const& tuple, Value const& value, std::size_t count)
    {
        if (tuple.size() != count)
            return false;
        for (std::size_t i = 0; i < count; ++i)
            if (tuple[i] != value(i))
                return false;
        return true;
    }

    // The number of the tuple with these values, or tuples.size().
    template <typename Value> std::size_t find(std::size_t hash, Value const& value, std::size_t count) const
    {
        if (slots_.empty())
            return tuples.size();
        std::size_t const mask = slots_.size() - 1;
        for (std::size_t slot = hash & mask; slots_[slot] != 0; slot = (slot + 1) & mask) {
            std::size_t const number = slots_[slot] - 1;
            if (hashes_[number] == hash && sameTuple(tuples[number], value, count))
                return number;
        }
        return tuples.size();
    }

    std::size_t add(std::vector<std::string>&& tuple, std::size_t hash)
    {
        if (2 * (tuples.size() + 1) > slots_.size())
            grow();
        tuples.push_back(std::move(tuple));
        hashes_.push_back(hash);
        place(tuples.size() - 1);
        remember(tuples.size() - 1);
        return tuples.size() - 1;
    }

    void grow()
    {
        slots_.assign(std::max<std::size_t>(64, 2 * slots_.size()), 0);
        for (std::size_t number = 0; number < tuples.size(); ++number)
            place(number);
    }

    void place(std::size_t number)
    {
        std::size_t const mask = slots_.size() - 1;
        std::size_t slot = hashes_[number] & mask;
        while (slots_[slot] != 0)
            slot = (slot + 1) & mask;
        slots_[slot] = number + 1;
    }

    void remember(std::size_t number)
    {
        previous_ = number;
        havePrevious_ = true;
    }

    std::vector<std::size_t> hashes_; // by number
    std::vector<std::size_t> slots_;  // number + 1, 0 when empty; a power of two long
    std::size_t previous_ = 0;
    bool havePrevious_ = false;
};

} // namespace

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
    CaseNumbering cases;        // the tuple of each case index
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
    pathorder::stableSortAlmostSorted(
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
        impl.pending.reserve(std::max<std::size_t>(1024, 2 * impl.pending.capacity()));
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
    try {
        for (; next < files.size(); ++next) {
            CrawlerFilePath& entry = *files[next];
            if (entry.rematchMetadataPatterns(shared, scratch, transitions))
                entry.setCaseIndex(impl.cases.number(entry.pathText(), scratch.spans));
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
    auto const found =
        std::lower_bound(files.begin(), files.end(), std::string_view(path),
                         [](Entry const& entry, std::string_view p) { return entry->pathText() < p; });
    if (found == files.end() || (*found)->pathText() != path)
        return {};
    return (*found)->metadataInfoList();
}

std::size_t CrawlerBasicImporterParser::numDefinedCases() const
{
    return impl_->cases.tuples.size();
}

std::string CrawlerBasicImporterParser::caseMetadataSValue(std::size_t caseIndex,
                                                           std::size_t metadataIndex) const
{
    return impl_->cases.tuples[caseIndex][metadataIndex];
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
