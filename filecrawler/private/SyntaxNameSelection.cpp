#include "filecrawler/private/SyntaxNameSelection.h"

#include <QChar>

#include <algorithm>
#include <array>
#include <bitset>
#include <cstdint>
#include <stdexcept>
#include <type_traits>
#include <utility>

namespace syntaxname {

bool isBlank(std::string const& syntaxName)
{
    return std::all_of(syntaxName.begin(), syntaxName.end(), [](char c) { return c == '*'; });
}

class Selector::Matcher {
public:
    virtual ~Matcher() = default;
    virtual bool selects(QString const& name) const = 0;
    virtual bool selects(std::string_view latin1Name) const = 0;
};

namespace {

// Characters are tested by their UTF-16 code unit, as QRegExp does. A
// syntax name is Latin-1, so every unit above 255 is treated alike; it gets
// the last slot of the tables.
constexpr std::size_t HIGH_UNIT = 256;

inline std::size_t unitSlot(QChar c)
{
    ushort const unit = c.unicode();
    return unit < HIGH_UNIT ? unit : HIGH_UNIT;
}

inline std::size_t unitSlot(char c)
{
    return static_cast<unsigned char>(c);
}

// The units that one position of a syntax name (a set) accepts.
using Atom = std::bitset<HIGH_UNIT + 1>;

// A syntax name as a sequence of character positions, with a flag per state
// (number of positions matched so far) for a '*' that may consume any run of
// characters there. A position accepts one unit (its value), any unit
// (ANY_UNIT), or a set (SET_BASE - its index in `sets`).
struct Pattern {
    static constexpr int ANY_UNIT = -1;
    static constexpr int SET_BASE = -2;

    std::vector<int> positions;
    std::vector<Atom> sets;
    std::vector<bool> loops{false}; // positions.size() + 1 entries

    void add(int position)
    {
        positions.push_back(position);
        loops.push_back(false);
    }

    void addCharacter(char c) { add(static_cast<unsigned char>(c)); }

    void addSet(Atom const& set)
    {
        sets.push_back(set);
        add(SET_BASE - static_cast<int>(sets.size() - 1));
    }
};

// The units that a set accepts, from the characters between "[" (and its
// '^', `negated`) and the closing ']', read as QRegExp reads a set: a '-'
// after a character that does not end a range joins it and the next
// character into a range (either way round), a '-' at the end is itself,
// and every other character, a backslash too, is itself. Its characters are
// Latin-1, so a set holds either all units above 255 or none.
Atom setAtom(std::string_view members, bool negated)
{
    Atom atom;
    auto const addRange = [&](unsigned char from, unsigned char to) {
        for (unsigned unit = std::min(from, to); unit <= std::max(from, to); ++unit)
            atom[unit] = true;
    };
    bool pending = false; // a character that may start a range
    bool rangePending = false;
    unsigned char first = 0;
    for (char const c : members) {
        auto const unit = static_cast<unsigned char>(c);
        if (c == '-' && pending && !rangePending) {
            rangePending = true;
        } else if (rangePending) {
            addRange(first, unit);
            pending = rangePending = false;
        } else {
            if (pending)
                atom[first] = true;
            first = unit;
            pending = true;
        }
    }
    if (rangePending)
        atom['-'] = true;
    if (pending)
        atom[first] = true;
    if (negated)
        atom.flip();
    return atom;
}

// Reads a syntax name the way QRegExp's Wildcard mode translates it (as Qt
// 5.15 does; the fuzzer's comparison with the literal procedure bears it
// out):
// - '*' any run of characters, '?' any one character;
// - '[' a set: an optional '^', then an optional ']' that belongs to the
//   set, up to the next ']'; without that ']' the pattern never compiles;
// - ']' outside a set makes the pattern fail to compile;
// - a backslash stands for itself, and takes away the meaning of a '*',
//   '?', '[' or ']' right after it (which then stand for themselves); before
//   any other character it stands for two backslashes ("\a" is "\\a");
// - every other character stands for itself (regular-expression characters
//   such as '.', '(', '+' or '^' are escaped by the translation).
// False when QRegExp would refuse the pattern: it never matches.
bool parse(std::string const& text, Pattern& pattern)
{
    bool escaped = false; // the character before was a backslash
    std::size_t i = 0;
    while (i < text.size()) {
        char const c = text[i];
        if (c == '\\') {
            pattern.addCharacter(c);
            escaped = true;
            ++i;
            continue;
        }
        if (escaped) {
            escaped = false;
            if (c == '*' || c == '?' || c == '[' || c == ']') {
                pattern.addCharacter(c);
                ++i;
                continue;
            }
            pattern.addCharacter('\\');
        }
        if (c == ']')
            return false;
        if (c == '*') {
            pattern.loops.back() = true;
            ++i;
        } else if (c == '?') {
            pattern.add(Pattern::ANY_UNIT);
            ++i;
        } else if (c == '[') {
            std::size_t members = i + 1;
            bool const negated = members < text.size() && text[members] == '^';
            if (negated)
                ++members;
            std::size_t const close =
                text.find(']', members < text.size() && text[members] == ']' ? members + 1 : members);
            if (close == std::string::npos)
                return false;
            pattern.addSet(setAtom(std::string_view(text).substr(members, close - members), negated));
            i = close + 1;
        } else {
            pattern.addCharacter(c);
            ++i;
        }
    }
    return true;
}

// The selection as a bit-parallel automaton of the reversed pattern: bit j
// of the state set is "the last j positions of the pattern matched", and the
// name is read once, from its last character backwards. A name is tested in
// at most (its length) x (pattern positions / 64) word operations, whatever
// the pattern.
//
// Why that is the literal procedure: QRegExp takes, at the last position S
// from which the pattern matches, the longest match, S to E (QRegExp's
// matches are the longest; the comparison with the literal procedure in the
// tests bears it out), and the name is selected when it ends with the
// matched text. Then some suffix of the name
// (the text it ends with) matches the whole pattern. Conversely, if a suffix
// matches the whole pattern, a match at S can always be stretched to the
// end of the name: without a '*' every match has the suffix's length, so S is
// where the suffix starts; with one, the text after the last '*' can be
// matched where the suffix has it, the '*' taking up any gap. So E is the
// name's end. A non-empty name is therefore selected exactly when one of its
// suffixes (the empty one too) matches the whole pattern, which the reversed
// pattern, anchored at the name's end, tells as soon as it accepts; most
// names are rejected on their last character, and names shorter than the
// pattern's positions at once.
//
// Words is std::uint64_t for patterns of fewer than 64 positions, else a
// vector of them.
template <typename Words> class StateMachine : public Selector::Matcher {
public:
    explicit StateMachine(Pattern const& pattern)
        : positions_(pattern.positions.size()), wordCount_(positions_ / 64 + 1)
    {
        for (auto& accepts : accepts_)
            resize(accepts);
        resize(loops_);
        Words any;
        resize(any);
        for (std::size_t j = 0; j < positions_; ++j) {
            int const position = pattern.positions[positions_ - 1 - j];
            if (position >= 0) {
                setBit(accepts_[static_cast<std::size_t>(position)], j);
            } else if (position == Pattern::ANY_UNIT) {
                setBit(any, j);
            } else {
                Atom const& set = pattern.sets[static_cast<std::size_t>(Pattern::SET_BASE - position)];
                for (std::size_t slot = 0; slot <= HIGH_UNIT; ++slot)
                    if (set[slot])
                        setBit(accepts_[slot], j);
            }
        }
        for (auto& accepts : accepts_)
            orWith(accepts, any);
        for (std::size_t j = 0; j <= positions_; ++j)
            if (pattern.loops[positions_ - j])
                setBit(loops_, j);
    }

    bool selects(QString const& name) const override { return selects(name.constData(), name.size()); }

    bool selects(std::string_view latin1Name) const override
    {
        return selects(latin1Name.data(), static_cast<std::ptrdiff_t>(latin1Name.size()));
    }

private:
    static constexpr bool NARROW = std::is_same_v<Words, std::uint64_t>;

    void resize(Words& words) const
    {
        if constexpr (NARROW)
            words = 0;
        else
            words.assign(wordCount_, 0);
    }

    static void orWith(Words& words, Words const& other)
    {
        if constexpr (NARROW)
            words |= other;
        else
            for (std::size_t w = 0; w < words.size(); ++w)
                words[w] |= other[w];
    }

    static void setBit(Words& words, std::size_t j)
    {
        if constexpr (NARROW)
            words |= std::uint64_t(1) << j;
        else
            words[j / 64] |= std::uint64_t(1) << (j % 64);
    }

    template <typename Unit> bool selects(Unit const* units, std::ptrdiff_t size) const
    {
        if (size == 0 || static_cast<std::size_t>(size) < positions_)
            return false;
        if constexpr (NARROW) {
            std::uint64_t const accepting = std::uint64_t(1) << positions_;
            std::uint64_t states = 1;
            for (std::ptrdiff_t k = size - 1; (states & accepting) == 0; --k) {
                if (k < 0 || states == 0)
                    return false;
                states = ((states & accepts_[unitSlot(units[k])]) << 1) | (states & loops_);
            }
            return true;
        } else {
            // After reading r characters no bit above r is set, so only the
            // words up to `top` are worked on.
            thread_local std::vector<std::uint64_t> states;
            states.assign(wordCount_, 0);
            states[0] = 1;
            std::size_t const acceptingWord = positions_ / 64;
            std::uint64_t const accepting = std::uint64_t(1) << (positions_ % 64);
            std::size_t top = 0;
            for (std::ptrdiff_t k = size - 1; (states[acceptingWord] & accepting) == 0; --k) {
                if (k < 0)
                    return false;
                Words const& accepts = accepts_[unitSlot(units[k])];
                std::uint64_t carry = 0;
                bool alive = false;
                for (std::size_t w = 0; w <= top; ++w) {
                    std::uint64_t const moved = states[w] & accepts[w];
                    std::uint64_t const next = (moved << 1) | carry | (states[w] & loops_[w]);
                    carry = moved >> 63;
                    states[w] = next;
                    alive = alive || next != 0;
                }
                if (carry != 0 && top + 1 < wordCount_) {
                    states[++top] |= carry;
                    alive = true;
                }
                if (!alive)
                    return false;
            }
            return true;
        }
    }

    std::size_t positions_;                      // pattern positions; the accepting state
    std::size_t wordCount_;                      // words of a state set
    std::array<Words, HIGH_UNIT + 1> accepts_{}; // by unit: the states whose next position accepts it
    Words loops_{};                              // the states where a '*' may take the unit
};

} // namespace

Selector::Selector(std::string const& syntaxName)
{
    if (isBlank(syntaxName))
        return;
    // The text QRegExp would see: Latin-1, up to the first NUL.
    Pattern pattern;
    if (!parse(std::string(syntaxName.c_str()), pattern))
        return;
    if (pattern.positions.size() < 64)
        matcher_ = std::make_unique<StateMachine<std::uint64_t>>(pattern);
    else
        matcher_ = std::make_unique<StateMachine<std::vector<std::uint64_t>>>(pattern);
}

Selector::~Selector() = default;
Selector::Selector(Selector&&) noexcept = default;
Selector& Selector::operator=(Selector&&) noexcept = default;

bool Selector::selects(QString const& name) const
{
    return matcher_ && matcher_->selects(name);
}

bool Selector::selects(std::string_view name) const
{
    return matcher_ && matcher_->selects(name);
}

bool Selector::selectsSomething() const
{
    return matcher_ != nullptr;
}

QStringList select(QStringList const& names, std::string const& syntaxName)
{
    QStringList selected;
    Selector const selector(syntaxName);
    if (!selector.selectsSomething())
        return selected;
    for (QString const& name : names)
        if (selector.selects(name))
            selected.append(name);
    return selected;
}

void visitSelected(NameStore const& names, std::string const& syntaxName,
                   std::function<void(std::size_t, std::string_view)> const& visit)
{
    Selector const selector(syntaxName);
    if (!selector.selectsSomething())
        return;
    NameStore::Reader reader(names);
    for (std::size_t i = 0; i < names.size(); ++i) {
        std::string_view const name = reader.at(i);
        if (selector.selects(name))
            visit(i, name);
    }
}

namespace {

using BitSelectors = std::vector<std::pair<Selector, std::uint8_t>>;

// The selectors of the syntax names that can select something, each with
// its bit.
BitSelectors bitSelectors(std::vector<std::string> const& syntaxNames)
{
    BitSelectors selectors;
    for (std::size_t k = 0; k < syntaxNames.size(); ++k) {
        Selector selector(syntaxNames[k]);
        if (selector.selectsSomething())
            selectors.emplace_back(std::move(selector), std::uint8_t(1u << k));
    }
    return selectors;
}

// Sets the selection bits of every name.
void markSelected(NameStore const& names, BitSelectors const& selectors, std::uint8_t* bits)
{
    NameStore::Reader reader(names);
    for (std::size_t i = 0; i < names.size(); ++i) {
        std::string_view const name = reader.at(i);
        std::uint8_t mask = 0;
        for (auto const& [selector, bit] : selectors)
            if (selector.selects(name))
                mask |= bit;
        bits[i] = mask;
    }
}

} // namespace

std::vector<std::uint8_t> selectionBits(NameStore const& names, std::vector<std::string> const& syntaxNames)
{
    if (syntaxNames.size() > maxSelectionBits)
        throw std::invalid_argument("selectionBits: more than 8 syntax names");
    std::vector<std::uint8_t> bits(names.size(), 0);
    BitSelectors const selectors = bitSelectors(syntaxNames);
    if (selectors.empty())
        return bits;
    // On the calling thread: the library starts no thread but the crawler's.
    markSelected(names, selectors, bits.data());
    return bits;
}

QStringList select(NameStore const& names, std::string const& syntaxName)
{
    QStringList selected;
    visitSelected(names, syntaxName, [&](std::size_t, std::string_view name) {
        selected.append(QString::fromLatin1(name.data(), static_cast<int>(name.size())));
    });
    return selected;
}

bool selectsAny(QStringList const& names, std::string const& syntaxName)
{
    Selector const selector(syntaxName);
    if (!selector.selectsSomething())
        return false;
    return std::any_of(names.begin(), names.end(),
                       [&](QString const& name) { return selector.selects(name); });
}

bool selectsAny(NameStore const& names, std::string const& syntaxName)
{
    Selector const selector(syntaxName);
    if (!selector.selectsSomething())
        return false;
    NameStore::Reader reader(names);
    for (std::size_t i = 0; i < names.size(); ++i)
        if (selector.selects(reader.at(i)))
            return true;
    return false;
}

} // namespace syntaxname
