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
    std::size_t const block = position / restartInterval;
    if (position + 1 < next_ || block * restartInterval > next_) {
        next_ = block * restartInterval;
        offset_ = store_.restarts_[block];
    }
    while (next_ <= position)
        decodeNext();
    return current_;
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
