#include "filecrawler/CrawlerBasicImporterParser.h"

#include "filecrawler/CrawlerFilePath.h"
#include "filecrawler/PathOrder.h"
#include "host/SideBySide.h"

#include <boost/make_shared.hpp>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <new>
#include <string_view>
#include <utility>
#include <vector>

// The entries are kept in a vector sorted by path rather than in a map from
// path to entry: a study has millions of them, and a crawl hands them over
// almost in order. Appending only records the path; the entries of the paths
// appended since the last look are made, sorted and merged in when entries
// are next needed. Cases are numbered through a hash of their value tuples.
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

// A path appended and not yet made an entry.
struct PendingPath {
    std::string const* path;
    std::size_t owner; // what keeps it: an index into Impl::pendingOwners
};

} // namespace

struct CrawlerBasicImporterParser::Impl {
    using Entry = boost::shared_ptr<CrawlerFilePath>;

    // Makes the entries of the pending paths and merges them into `files`; a
    // path appended again replaces the entry it had, the one appended last
    // winning.
    void settle();
    // Keeps an entry that leaves `files` alive while a case holds it.
    void retire(Entry&& entry);

    std::vector<Entry> files; // ascending byte order of the paths, one per path

    // Paths appended since the last settle(), in order of appending. They lie
    // in strings kept by pendingOwners[owner]: copies made by
    // appendRawFilePath() (in `copies`), or the importer's stored crawl
    // result. Entries refer to them too, and share their owner.
    using Pending = PendingPath;
    std::vector<Pending> pending;
    std::vector<boost::shared_ptr<void const>> pendingOwners;
    boost::shared_ptr<std::deque<std::string>> copies;
    std::size_t copiesOwner = 0;

    std::vector<Entry> retired; // entries of the current cases that are no longer in `files`
    CaseNumbering cases;        // the tuple of each case index
};

namespace {

using Entry = boost::shared_ptr<CrawlerFilePath>;

// Clears and matches the entries from `next` to `end`, numbering the cases of
// those that match in `cases`; `next` is left at the entry that threw.
void matchEntry(CrawlerFilePath& entry, CrawlerFilePath::PatternList const& patterns,
                CrawlerFilePath::Scratch& scratch, CaseNumbering& cases,
                CrawlerFilePath::Transitions& transitions)
{
    if (entry.rematchMetadataPatterns(patterns, scratch, transitions))
        entry.setCaseIndex(cases.number(entry.pathText(), scratch.spans));
}

void matchRange(std::vector<Entry> const& files, std::size_t& next, std::size_t end,
                CrawlerFilePath::PatternList const& patterns, CaseNumbering& cases,
                CrawlerFilePath::Transitions& transitions)
{
    CrawlerFilePath::Scratch scratch;
    for (; next < end; ++next)
        matchEntry(*files[next], patterns, scratch, cases, transitions);
}

// Lists shorter than this are matched on one thread.
constexpr std::size_t sharedMatchLength = 1 << 16;
constexpr std::size_t noCase = ~std::size_t(0);

// The values of the later part of a long list, read on a helper thread:
// the tuples get numbers of their own, in the order they are first met
// there. The entries themselves are changed on the calling thread only, in
// order, after the earlier part (their states are shared by all entries).
struct LaterPart {
    struct Read {
        std::size_t caseNumber; // in `numbering`; noCase if unmatched
        std::uint32_t recordCount;
        bool inSteps; // false: matched anew on the calling thread
    };
    std::size_t first;
    CaseNumbering numbering;
    std::vector<Read> reads;  // by entry from `first`
    std::exception_ptr error; // `reads` end where it was met

    void read(std::vector<Entry> const& files, CrawlerFilePath::PatternList const& patterns)
    {
        try {
            reads.reserve(files.size() - first);
            CrawlerFilePath::Scratch scratch;
            for (std::size_t i = first; i < files.size(); ++i) {
                CrawlerFilePath const& entry = *files[i];
                Read read{noCase, 0, entry.rematchesInSteps(patterns)};
                if (read.inSteps) {
                    scratch.spans.clear();
                    if (CrawlerFilePath::readValues(entry.pathText(), *patterns, scratch))
                        read.caseNumber = numbering.number(entry.pathText(), scratch.spans);
                    read.recordCount = static_cast<std::uint32_t>(scratch.spans.size());
                }
                reads.push_back(read);
            }
        } catch (...) {
            error = std::current_exception();
        }
    }

    // Matches the entries from `first` as matchRange() does, with the values
    // read ahead; the tuples first met here are numbered after those before.
    void settle(std::vector<Entry> const& files, std::size_t& next,
                CrawlerFilePath::PatternList const& patterns, CaseNumbering& cases,
                CrawlerFilePath::Transitions& transitions)
    {
        std::vector<std::size_t> numbers(numbering.tuples.size(), noCase);
        CrawlerFilePath::Scratch scratch;
        for (next = first; next < first + reads.size(); ++next) {
            Read const& read = reads[next - first];
            CrawlerFilePath& entry = *files[next];
            if (!read.inSteps) {
                matchEntry(entry, patterns, scratch, cases, transitions);
                continue;
            }
            entry.settleRematch(patterns, read.caseNumber != noCase, read.recordCount, transitions);
            if (read.caseNumber == noCase)
                continue;
            std::size_t& number = numbers[read.caseNumber];
            if (number == noCase)
                number = cases.number(std::move(numbering.tuples[read.caseNumber])); // read once
            entry.setCaseIndex(number);
        }
        if (error)
            std::rethrow_exception(error);
    }
};

// Matches files[next, end) as matchRange() does; the values of the later
// half of a long list are read on a helper thread meanwhile. On an error
// `next` is the entry that failed.
void matchAll(std::vector<Entry> const& files, std::size_t& next,
              CrawlerFilePath::PatternList const& patterns, CaseNumbering& cases,
              CrawlerFilePath::Transitions& transitions)
{
    std::size_t const end = files.size();
    if (end - next < sharedMatchLength)
        return matchRange(files, next, end, patterns, cases, transitions);
    LaterPart later;
    later.first = next + (end - next) / 2;
    if (!runSideBySide([&] { later.read(files, patterns); },
                       [&] { matchRange(files, next, later.first, patterns, cases, transitions); }))
        return matchRange(files, next, end, patterns, cases, transitions);
    later.settle(files, next, patterns, cases, transitions);
}

// Entries made together, in one allocation: a million allocations of their
// own, each with its own count, would take a third more memory. Every shared
// pointer to one of them keeps the whole block.
class EntryBlock {
public:
    explicit EntryBlock(std::size_t capacity) : entries_(allocator_.allocate(capacity)), capacity_(capacity)
    {
    }
    EntryBlock(EntryBlock const&) = delete;
    EntryBlock& operator=(EntryBlock const&) = delete;
    ~EntryBlock()
    {
        while (size_ > 0)
            entries_[--size_].~CrawlerFilePath();
        allocator_.deallocate(entries_, capacity_);
    }

    CrawlerFilePath* add(std::string const& path, CrawlerFilePath::StatePtr const& state)
    {
        CrawlerFilePath* const entry = new (entries_ + size_) CrawlerFilePath(path, state);
        ++size_;
        return entry;
    }

private:
    std::allocator<CrawlerFilePath> allocator_;
    CrawlerFilePath* entries_;
    std::size_t capacity_;
    std::size_t size_ = 0;
};

// Entries for the pending paths, in their order.
std::vector<Entry> makeEntries(std::vector<PendingPath> const& paths,
                               std::vector<boost::shared_ptr<void const>> const& owners)
{
    std::vector<CrawlerFilePath::StatePtr> initial(owners.size());
    std::vector<Entry> made;
    made.reserve(paths.size());
    auto const block = boost::make_shared<EntryBlock>(paths.size());
    for (auto const& path : paths) {
        CrawlerFilePath::StatePtr& state = initial[path.owner];
        if (!state)
            state = CrawlerFilePath::initialState(owners[path.owner]);
        made.emplace_back(block, block->add(*path.path, state));
    }
    return made;
}

} // namespace

void CrawlerBasicImporterParser::Impl::retire(Entry&& entry)
{
    if (entry->isIdentified())
        retired.push_back(std::move(entry));
}

void CrawlerBasicImporterParser::Impl::settle()
{
    if (pending.empty())
        return;
    pathorder::stableSortAlmostSorted(pending,
                                      [](Pending const& a, Pending const& b) { return *a.path < *b.path; });

    // Of equal paths, the last appended stays.
    std::size_t kept = 0;
    for (std::size_t i = 0; i < pending.size(); ++i) {
        if (i + 1 < pending.size() && *pending[i].path == *pending[i + 1].path)
            continue;
        pending[kept++] = pending[i];
    }
    pending.resize(kept);

    std::vector<Entry> made = makeEntries(pending, pendingOwners);
    pending = std::vector<Pending>();
    pendingOwners.clear();
    copies.reset();

    if (files.empty()) {
        files.swap(made);
        return;
    }
    std::vector<Entry> merged;
    merged.reserve(files.size() + made.size());
    auto older = files.begin();
    auto newer = made.begin();
    while (older != files.end() && newer != made.end()) {
        std::string const& a = (*older)->pathText();
        std::string const& b = (*newer)->pathText();
        if (a < b) {
            merged.push_back(std::move(*older++));
        } else {
            if (a == b)
                retire(std::move(*older++));
            merged.push_back(std::move(*newer++));
        }
    }
    std::move(older, files.end(), std::back_inserter(merged));
    std::move(newer, made.end(), std::back_inserter(merged));
    files.swap(merged);
}

CrawlerBasicImporterParser::CrawlerBasicImporterParser() : impl_(std::make_unique<Impl>()) {}

CrawlerBasicImporterParser::~CrawlerBasicImporterParser()
{
    impl_->cases.clear();
    impl_->retired.clear();
    impl_->files.clear();
}

void CrawlerBasicImporterParser::appendRawFilePath(std::string const& path)
{
    // A path appended again gets a fresh entry, replacing the old one; the
    // entry is made when entries are next needed.
    Impl& impl = *impl_;
    // Room first, so that nothing below fails half-way.
    if (impl.pending.size() == impl.pending.capacity())
        impl.pending.reserve(std::max<std::size_t>(1024, 2 * impl.pending.capacity()));
    if (!impl.copies) {
        impl.pendingOwners.reserve(impl.pendingOwners.size() + 1);
        impl.copies = boost::make_shared<std::deque<std::string>>();
        impl.pendingOwners.push_back(impl.copies);
        impl.copiesOwner = impl.pendingOwners.size() - 1;
    }
    impl.copies->push_back(path);
    impl.pending.push_back(Impl::Pending{&impl.copies->back(), impl.copiesOwner});
}

void CrawlerBasicImporterParser::appendRawFilePathList(std::list<std::string> const& paths,
                                                       boost::shared_ptr<void const> owner)
{
    Impl& impl = *impl_;
    impl.pending.reserve(impl.pending.size() + paths.size());
    impl.pendingOwners.push_back(std::move(owner));
    std::size_t const index = impl.pendingOwners.size() - 1;
    for (std::string const& path : paths)
        impl.pending.push_back(Impl::Pending{&path, index});
}

void CrawlerBasicImporterParser::clearFilePaths()
{
    // The cases keep answering from the last application, and keep their entries.
    for (Entry& entry : impl_->files)
        impl_->retire(std::move(entry));
    impl_->files.clear();
    impl_->pending.clear();
    impl_->pendingOwners.clear();
    impl_->copies.reset();
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
    std::size_t next = 0;
    try {
        matchAll(files, next, shared, impl.cases, transitions);
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
        std::lower_bound(files.begin(), files.end(), path,
                         [](Entry const& entry, std::string const& p) { return entry->pathText() < p; });
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
