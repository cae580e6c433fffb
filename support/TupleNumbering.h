#pragma once

#include <algorithm>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace support {

// Numbers tuples of strings 0, 1, 2, ... in the order they are first met.
//
// A tuple is given as a count and a function from index to std::string_view,
// so the values can be read in place (from a path, say) and nothing is built
// for a tuple met before. Tuples are found again through an open-addressing
// table of their numbers:
//
//   tuples:  0: (100, 0.5)   1: (200, 0.5)   2: (100, 0.8)
//   hashes:  h0              h1              h2
//   slots:   [ 0 | 2 | 0 | 0 | 1 | 0 | 3 | 0 ]   number + 1, 0 when empty
//            a tuple sits in the first empty slot from firstSlot(hash) on
//
// The slots stay at most half full and a power of two long. Runs of one
// tuple are common (a case's files follow each other), so the last tuple
// numbered is tried first, without hashing.
class TupleNumbering {
public:
    // The number of the tuple (value(0), ..., value(count - 1)); a new one
    // gets the next number.
    template <typename Value> std::size_t number(Value const& value, std::size_t count)
    {
        if (havePrevious_ && sameTuple(tuples_[previous_], value, count))
            return previous_;
        std::size_t const hash = hashOf(value, count);
        std::size_t const found = find(hash, value, count);
        if (found != tuples_.size()) {
            remember(found);
            return found;
        }
        std::vector<std::string> tuple;
        tuple.reserve(count);
        for (std::size_t i = 0; i < count; ++i)
            tuple.emplace_back(value(i));
        return add(std::move(tuple), hash);
    }

    std::size_t size() const { return tuples_.size(); }
    // REQUIRES: number < size().
    std::vector<std::string> const& tuple(std::size_t number) const
    {
        assert(number < tuples_.size());
        return tuples_[number];
    }

    void clear() { *this = TupleNumbering(); }

private:
    // Tables start this many slots long: a study has tens of cases at least.
    // Not measured; the table as a whole took case forming of a million
    // paths with values in their names from 0.33 to 0.17 s (commit 7c0da80).
    static constexpr std::size_t minSlots = 64;

    // boost::hash_combine's mixing, with the 64-bit golden ratio.
    static std::size_t combineHash(std::size_t seed, std::size_t value)
    {
        constexpr std::size_t goldenRatio = 0x9e3779b97f4a7c15u;
        return seed ^ (value + goldenRatio + (seed << 6) + (seed >> 2));
    }

    template <typename Value> static std::size_t hashOf(Value const& value, std::size_t count)
    {
        std::size_t hash = count;
        for (std::size_t i = 0; i < count; ++i)
            hash = combineHash(hash, std::hash<std::string_view>()(value(i)));
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

    // The slot a hash starts looking at, and the one after `slot`, wrapping.
    std::size_t firstSlot(std::size_t hash) const { return hash & (slots_.size() - 1); }
    std::size_t nextSlot(std::size_t slot) const { return (slot + 1) & (slots_.size() - 1); }

    // The number of the tuple with these values, or size().
    template <typename Value> std::size_t find(std::size_t hash, Value const& value, std::size_t count) const
    {
        if (slots_.empty())
            return tuples_.size();
        for (std::size_t slot = firstSlot(hash); slots_[slot] != emptySlot; slot = nextSlot(slot)) {
            std::size_t const number = slots_[slot] - 1;
            if (hashes_[number] == hash && sameTuple(tuples_[number], value, count))
                return number;
        }
        return tuples_.size();
    }

    std::size_t add(std::vector<std::string>&& tuple, std::size_t hash)
    {
        if (2 * (tuples_.size() + 1) > slots_.size())
            grow();
        tuples_.push_back(std::move(tuple));
        hashes_.push_back(hash);
        place(tuples_.size() - 1);
        remember(tuples_.size() - 1);
        return tuples_.size() - 1;
    }

    void grow()
    {
        slots_.assign(std::max(minSlots, 2 * slots_.size()), emptySlot);
        assert((slots_.size() & (slots_.size() - 1)) == 0); // a power of two: firstSlot() masks
        for (std::size_t number = 0; number < tuples_.size(); ++number)
            place(number);
    }

    void place(std::size_t number)
    {
        std::size_t slot = firstSlot(hashes_[number]);
        while (slots_[slot] != emptySlot)
            slot = nextSlot(slot);
        slots_[slot] = number + 1;
    }

    void remember(std::size_t number)
    {
        previous_ = number;
        havePrevious_ = true;
    }

    static constexpr std::size_t emptySlot = 0;

    std::vector<std::vector<std::string>> tuples_; // by number
    std::vector<std::size_t> hashes_;              // by number
    std::vector<std::size_t> slots_;               // number + 1, or emptySlot
    std::size_t previous_ = 0;
    bool havePrevious_ = false;
};

} // namespace support
