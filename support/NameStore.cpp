#include "support/NameStore.h"

#include "support/Varint.h"

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <cstring>

namespace support {

namespace {

// The length of the common prefix of two byte strings, compared eight bytes
// at a time.
std::size_t commonPrefix(std::string_view a, std::string_view b)
{
    std::size_t const most = std::min(a.size(), b.size());
    std::size_t i = 0;
    for (; i + sizeof(std::uint64_t) <= most; i += sizeof(std::uint64_t)) {
        std::uint64_t x = 0;
        std::uint64_t y = 0;
        std::memcpy(&x, a.data() + i, sizeof x);
        std::memcpy(&y, b.data() + i, sizeof y);
        if (x != y)
            break;
    }
    while (i < most && a[i] == b[i])
        ++i;
    return i;
}

} // namespace

NameStore::NameStore() = default;
NameStore::~NameStore() = default;

void NameStore::append(std::string_view name)
{
    std::string_view const last(last_);
    std::size_t const most = std::min(name.size(), last.size());
    std::size_t const common = commonPrefix(name, last);
    if (size_ > 0 && ascending_)
        ascending_ = common < most
                         ? static_cast<unsigned char>(name[common]) > static_cast<unsigned char>(last[common])
                         : name.size() > last.size();
    std::size_t shared = common;
    if (size_ % restartInterval == 0) {
        restarts_.push_back(bytes_.size());
        shared = 0;
    }
    appendVarint(bytes_, shared);
    appendVarint(bytes_, name.size() - shared);
    bytes_.append(name.data() + shared, name.size() - shared);
    last_.replace(common, std::string::npos, name.data() + common, name.size() - common);
    ++size_;
}

std::size_t NameStore::size() const
{
    return size_;
}

bool NameStore::isAscending() const
{
    return ascending_;
}

NameStore::Reader::Reader(NameStore const& store) : store_(store) {}

std::string_view NameStore::Reader::at(std::size_t position)
{
    assert(position < store_.size_);
    if (position + 1 == next_)
        return current_;
    // The next name or the one after: a step or two from the current one.
    if (position >= next_ && position < next_ + 2) {
        while (next_ <= position)
            decodeNext();
        return current_;
    }
    jumpTo(position);
    return current_;
}

// Reads the name at `position` from the name stored whole before it, and
// copies each of its bytes once: its rest, then the part of each earlier
// rest that the names after it share, latest first. Decoding name by name
// copied every rest on the way, and a jump was most of the time spent
// filing and listing a study's auxiliary files.
void NameStore::Reader::jumpTo(std::size_t position)
{
    struct Step {
        std::size_t shared;
        std::size_t rest;
        std::size_t offset; // of the rest's bytes
    };
    std::size_t const block = position / restartInterval;
    Step steps[restartInterval];
    std::size_t offset = store_.restarts_[block];
    std::size_t const count = position - block * restartInterval + 1;
    for (std::size_t k = 0; k < count; ++k) {
        steps[k].shared = readVarint(store_.bytes_, offset);
        steps[k].rest = readVarint(store_.bytes_, offset);
        steps[k].offset = offset;
        offset += steps[k].rest;
    }
    Step const& last = steps[count - 1];
    current_.resize(last.shared + last.rest);
    std::size_t needed = current_.size(); // bytes [0, needed) still to fill
    for (std::size_t k = count; k-- > 0 && needed > 0;) {
        Step const& step = steps[k];
        if (step.shared >= needed)
            continue;
        assert(step.shared + step.rest >= needed); // a name shares no more than the one before it holds
        store_.bytes_.copy(current_.data() + step.shared, needed - step.shared, step.offset);
        needed = step.shared;
    }
    next_ = position + 1;
    offset_ = offset;
}

void NameStore::Reader::decodeNext()
{
    std::size_t const shared = readVarint(store_.bytes_, offset_);
    std::size_t const rest = readVarint(store_.bytes_, offset_);
    assert(shared <= current_.size() && offset_ + rest <= store_.bytes_.size());
    current_.resize(shared);
    current_.append(store_.bytes_, offset_, rest);
    offset_ += rest;
    ++next_;
}

} // namespace support
