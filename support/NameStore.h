#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace support {

// A list of byte strings kept compactly, for long lists of similar paths:
// each name is stored as the length of the prefix it shares with the name
// before it and the bytes after that prefix (LevelDB's block format).
//
//   names:    Re=1/a.vtu   Re=1/b.vtu   Re=2/a.vtu
//   bytes_:   [0][10]Re=1/a.vtu [5][5]b.vtu [3][7]2/a.vtu
//              ^shared ^rest: varints (support/Varint.h), then the rest's bytes
//   restarts_: offset in bytes_ of names 0, 16, 32, ...: stored whole
//
// Every `restartInterval`th name is stored whole, so any name is read after
// decoding at most restartInterval - 1 others; 16 keeps that short while the
// whole names cost little (a study's names share most of their bytes). Not
// measured.
class NameStore {
public:
    static constexpr std::size_t restartInterval = 16;

    NameStore();
    ~NameStore();

    void append(std::string_view name);
    std::size_t size() const;
    // True when each name sorts after the one before it, byte by byte (so
    // no name occurs twice).
    bool isAscending() const;

    // Reads names by position; reading in ascending order of positions costs
    // one step per name.
    class Reader {
    public:
        explicit Reader(NameStore const& store);
        // Valid until the next call. REQUIRES: position < store.size().
        std::string_view at(std::size_t position);

    private:
        void decodeNext();
        void jumpTo(std::size_t position);

        NameStore const& store_;
        std::size_t next_ = 0;   // position of the name decoded next
        std::size_t offset_ = 0; // where it starts in the store's bytes
        std::string current_;    // the name at next_ - 1
    };

private:
    std::string bytes_;
    std::vector<std::size_t> restarts_; // offset of every restartInterval-th name
    std::string last_;
    std::size_t size_ = 0;
    bool ascending_ = true;
};

} // namespace support
