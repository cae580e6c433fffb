#include "filecrawler/SyntaxNameSelection.h"

#include "host/SideBySide.h"

#include <QChar>
#include <QRegExp>

#include <algorithm>
#include <array>
#include <atomic>
#include <bitset>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <utility>

namespace syntaxname {

bool isBlank(std::string const& syntaxName)
{
    return std::all_of(syntaxName.begin(), syntaxName.end(), [](char c) { return c == '*'; });
}

QStringList selectLiterally(QStringList const& names, std::string const& syntaxName)
{
    QStringList selected;
    if (isBlank(syntaxName))
        return selected;
    QRegExp const expression(QString::fromLatin1(syntaxName.c_str()), Qt::CaseSensitive, QRegExp::Wildcard);
    for (QString const& name : names) {
        if (expression.lastIndexIn(name, -1, QRegExp::CaretAtZero) == -1)
            continue;
        if (name.endsWith(expression.capturedTexts().first(), Qt::CaseSensitive))
            selected.append(name);
    }
    return selected;
}

class Selector::Matcher {
public:
    virtual ~Matcher() = default;
    virtual bool selects(QString const& name) const = 0;
    virtual bool selects(std::string_view latin1Name) const = 0;
};

namespace {

// The literal procedure for one name, for the syntax names whose wildcard
// translation the state machine below does not follow.
class LiteralMatcher : public Selector::Matcher {
public:
    explicit LiteralMatcher(QString const& pattern)
        : expression_(pattern, Qt::CaseSensitive, QRegExp::Wildcard)
    {
    }

    bool selects(QString const& name) const override
    {
        if (expression_.lastIndexIn(name, -1, QRegExp::CaretAtZero) == -1)
            return false;
        return name.endsWith(expression_.capturedTexts().first(), Qt::CaseSensitive);
    }

    bool selects(std::string_view latin1Name) const override
    {
        return selects(QString::fromLatin1(latin1Name.data(), static_cast<int>(latin1Name.size())));
    }

private:
    QRegExp expression_;
};

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

// One character position of a syntax name and the units it accepts.
using Atom = std::bitset<HIGH_UNIT + 1>;

// A syntax name as a sequence of character positions, with a flag per state
// (number of positions matched so far) for a '*' that may consume any run of
// characters there.
struct Pattern {
    std::vector<Atom> atoms;
    std::vector<bool> loops{false}; // atoms.size() + 1 entries
};

enum class ParseOutcome {
    Parsed,       // read as QRegExp reads it
    NeverMatches, // QRegExp refuses to compile it
    Unsupported,  // left to QRegExp itself
};

// The units that a set "[...]" accepts, asked of QRegExp itself with the set
// alone as the pattern. A set's meaning does not depend on what surrounds it
// as long as it holds no backslash and does not start with ']', which the
// caller ensures. False when QRegExp refuses the set.
bool probeSet(std::string const& text, Atom& atom, bool& consistent)
{
    QRegExp const set(QString::fromLatin1(text.data(), static_cast<int>(text.size())), Qt::CaseSensitive,
                      QRegExp::Wildcard);
    if (!set.isValid())
        return false;
    for (ushort unit = 0; unit < HIGH_UNIT; ++unit)
        atom[unit] = set.exactMatch(QString(QChar(unit)));
    // A set of Latin-1 characters holds either all or none of the others;
    // make sure on a few.
    bool const high = set.exactMatch(QString(QChar(ushort(0x100))));
    consistent = set.exactMatch(QString(QChar(ushort(0x3a9)))) == high &&
                 set.exactMatch(QString(QChar(ushort(0xd800)))) == high &&
                 set.exactMatch(QString(QChar(ushort(0xffff)))) == high;
    atom[HIGH_UNIT] = high;
    return true;
}

// Reads a syntax name the way QRegExp's Wildcard mode translates it: '*' any
// run of characters, '?' any one character, '[...]' a set, ']' outside a set
// an error, and every other character itself (regular-expression characters
// such as '.', '(', '+' or '^' are escaped by the translation).
ParseOutcome parse(std::string const& text, Pattern& pattern)
{
    std::size_t i = 0;
    while (i < text.size()) {
        char const c = text[i];
        if (c == '\\')
            return ParseOutcome::Unsupported;
        if (c == ']')
            return ParseOutcome::NeverMatches;
        if (c == '*') {
            pattern.loops.back() = true;
            ++i;
            continue;
        }
        Atom atom;
        if (c == '?') {
            atom.set();
            ++i;
        } else if (c == '[') {
            std::size_t body = i + 1;
            if (body < text.size() && text[body] == '^')
                ++body;
            if (body == text.size())
                return ParseOutcome::NeverMatches;
            if (text[body] == ']')
                return ParseOutcome::Unsupported;
            std::size_t const close = text.find(']', body);
            if (text.find('\\', body) < close)
                return ParseOutcome::Unsupported;
            if (close == std::string::npos)
                return ParseOutcome::NeverMatches;
            bool consistent = true;
            if (!probeSet(text.substr(i, close + 1 - i), atom, consistent))
                return ParseOutcome::NeverMatches;
            if (!consistent)
                return ParseOutcome::Unsupported;
            i = close + 1;
        } else {
            atom[static_cast<unsigned char>(c)] = true;
            ++i;
        }
        pattern.atoms.push_back(atom);
        pattern.loops.push_back(false);
    }
    return ParseOutcome::Parsed;
}

// The selection as a bit-parallel automaton of the reversed pattern: bit j
// of the state set is "the last j positions of the pattern matched", and the
// name is read once, from its last character backwards.
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
// names are rejected on their last character.
template <std::size_t Bits> class StateMachine : public Selector::Matcher {
public:
    using States = std::bitset<Bits>;

    explicit StateMachine(Pattern const& pattern) : accepting_(pattern.atoms.size())
    {
        std::size_t const count = pattern.atoms.size();
        for (std::size_t slot = 0; slot <= HIGH_UNIT; ++slot)
            for (std::size_t j = 0; j < count; ++j)
                accepts_[slot][j] = pattern.atoms[count - 1 - j][slot];
        for (std::size_t j = 0; j <= count; ++j)
            loops_[j] = pattern.loops[count - j];
    }

    bool selects(QString const& name) const override { return selects(name.constData(), name.size()); }

    bool selects(std::string_view latin1Name) const override
    {
        return selects(latin1Name.data(), static_cast<std::ptrdiff_t>(latin1Name.size()));
    }

private:
    template <typename Unit> bool selects(Unit const* units, std::ptrdiff_t size) const
    {
        if (size == 0)
            return false;
        States states;
        states.set(0);
        for (std::ptrdiff_t k = size - 1; !states[accepting_]; --k) {
            if (k < 0 || states.none())
                return false;
            states = ((states & accepts_[unitSlot(units[k])]) << 1) | (states & loops_);
        }
        return true;
    }

    std::array<States, HIGH_UNIT + 1> accepts_{}; // by unit: the states whose next position accepts it
    States loops_;                                // the states where a '*' may take the unit
    std::size_t accepting_;                       // all positions matched
};

} // namespace

Selector::Selector(std::string const& syntaxName)
{
    if (isBlank(syntaxName))
        return;
    // The text QRegExp would see: Latin-1, up to the first NUL.
    std::string const text(syntaxName.c_str());
    Pattern pattern;
    switch (parse(text, pattern)) {
    case ParseOutcome::NeverMatches:
        return;
    case ParseOutcome::Unsupported:
        break;
    case ParseOutcome::Parsed:
        if (pattern.atoms.size() < 64) {
            matcher_ = std::make_unique<StateMachine<64>>(pattern);
            return;
        }
        if (pattern.atoms.size() < 256) {
            matcher_ = std::make_unique<StateMachine<256>>(pattern);
            return;
        }
        break;
    }
    matcher_ = std::make_unique<LiteralMatcher>(QString::fromLatin1(text.c_str()));
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

bool Selector::isLiteral() const
{
    return dynamic_cast<LiteralMatcher const*>(matcher_.get()) != nullptr;
}

namespace {

std::atomic<std::size_t> scans{0};

// The selector of a syntax name for one pass over a list, counted.
Selector scanWith(std::string const& syntaxName)
{
    Selector selector(syntaxName);
    if (selector.selectsSomething())
        scans.fetch_add(1, std::memory_order_relaxed);
    return selector;
}

void writeCount(std::string& bytes, std::size_t value)
{
    while (value >= 0x80) {
        bytes.push_back(static_cast<char>(value | 0x80));
        value >>= 7;
    }
    bytes.push_back(static_cast<char>(value));
}

std::size_t readCount(std::string const& bytes, std::size_t& offset)
{
    std::size_t value = 0;
    for (int shift = 0;; shift += 7) {
        auto const byte = static_cast<unsigned char>(bytes[offset++]);
        value |= static_cast<std::size_t>(byte & 0x7f) << shift;
        if (byte < 0x80)
            return value;
    }
}

// The length of the common prefix of two byte strings, compared eight bytes
// at a time.
std::size_t commonPrefix(std::string_view a, std::string_view b)
{
    std::size_t const most = std::min(a.size(), b.size());
    std::size_t i = 0;
    for (; i + 8 <= most; i += 8) {
        std::uint64_t x = 0;
        std::uint64_t y = 0;
        std::memcpy(&x, a.data() + i, 8);
        std::memcpy(&y, b.data() + i, 8);
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
    if (size_ % RESTART_INTERVAL == 0) {
        restarts_.push_back(bytes_.size());
        shared = 0;
    }
    writeCount(bytes_, shared);
    writeCount(bytes_, name.size() - shared);
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
    std::size_t const block = position / RESTART_INTERVAL;
    if (position + 1 < next_ || block * RESTART_INTERVAL > next_) {
        next_ = block * RESTART_INTERVAL;
        offset_ = store_.restarts_[block];
    }
    while (next_ <= position)
        decodeNext();
    return current_;
}

void NameStore::Reader::decodeNext()
{
    std::size_t const shared = readCount(store_.bytes_, offset_);
    std::size_t const rest = readCount(store_.bytes_, offset_);
    current_.resize(shared);
    current_.append(store_.bytes_, offset_, rest);
    offset_ += rest;
    ++next_;
}

QStringList select(QStringList const& names, std::string const& syntaxName)
{
    QStringList selected;
    Selector const selector = scanWith(syntaxName);
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
    Selector const selector = scanWith(syntaxName);
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

// Lists shorter than this are not worth a second thread.
constexpr std::size_t sharedScanLength = 1 << 16;

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

// Sets the selection bits of the names in [first, last).
void markSelected(NameStore const& names, BitSelectors const& selectors, std::size_t first, std::size_t last,
                  std::uint8_t* bits)
{
    NameStore::Reader reader(names);
    for (std::size_t i = first; i < last; ++i) {
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
    std::size_t const count = names.size();
    std::vector<std::uint8_t> bits(count, 0);
    BitSelectors const selectors = bitSelectors(syntaxNames);
    scans.fetch_add(selectors.size(), std::memory_order_relaxed); // as separate passes would count
    if (selectors.empty())
        return bits;
    // A helper takes the later half of a long list, with selectors of its
    // own made here. Syntax names tested with QRegExp keep to this thread.
    bool const literal = std::any_of(selectors.begin(), selectors.end(),
                                     [](auto const& selector) { return selector.first.isLiteral(); });
    if (count >= sharedScanLength && !literal) {
        BitSelectors const helperSelectors = bitSelectors(syntaxNames);
        std::size_t const middle = count / 2;
        if (runSideBySide([&] { markSelected(names, helperSelectors, middle, count, bits.data()); },
                          [&] { markSelected(names, selectors, 0, middle, bits.data()); }))
            return bits;
    }
    markSelected(names, selectors, 0, count, bits.data());
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
    Selector const selector = scanWith(syntaxName);
    if (!selector.selectsSomething())
        return false;
    return std::any_of(names.begin(), names.end(),
                       [&](QString const& name) { return selector.selects(name); });
}

bool selectsAny(NameStore const& names, std::string const& syntaxName)
{
    Selector const selector = scanWith(syntaxName);
    if (!selector.selectsSomething())
        return false;
    NameStore::Reader reader(names);
    for (std::size_t i = 0; i < names.size(); ++i)
        if (selector.selects(reader.at(i)))
            return true;
    return false;
}

std::size_t scanCount()
{
    return scans.load(std::memory_order_relaxed);
}

} // namespace syntaxname
