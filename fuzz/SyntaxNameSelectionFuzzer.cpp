// Fuzzes the selection of names by a wildcard syntax name.
//
// Input: NUL-separated pieces. The first is the syntax name, in which the byte
// 0x01 stands for a NUL character (so that syntax names with an embedded NUL
// are tried too); each further piece is one name, read as Latin-1. So
// "*.dat\0" "a.dat\0" "b.txt" selects a.dat among a.dat and b.txt.
// In every piece the byte 0x02 followed by a byte n repeats the character
// before it n more times, and 0x03 repeats all that comes before it, up to
// 400 characters, so that syntax names of hundreds of positions (300 '?' is
// "?\x02\xff?\x02\x2b") and names long enough for them fit in a short input.
//
// Checked for every input: the fast selection (select, selectsAny), over the
// names as QStrings and as bytes in a name store, and the filter built on it
// agree with the plain QRegExp procedure, entry for entry and in order.
#include "FuzzInput.h"

#include "filecrawler/SyntaxNameFilter.h"
#include "filecrawler/private/SyntaxNameSelection.h"

#include <QRegExp>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace {

// The selection procedure in its plain form (bench/LiteralSelection.h has the
// same), kept here so that the harness stands on its own: a wildcard QRegExp searched
// backwards from the last character of each name; a name is selected when it
// ends with the text matched. A syntax name of nothing but '*' selects nothing.
QStringList plainSelection(QStringList const& names, std::string const& syntaxName)
{
    QStringList selected;
    if (syntaxName.find_first_not_of('*') == std::string::npos)
        return selected;
    QRegExp const expression(QString::fromLatin1(syntaxName.c_str()), Qt::CaseSensitive, QRegExp::Wildcard);
    for (QString const& name : names) {
        if (expression.lastIndexIn(name, -1, QRegExp::CaretAtZero) != -1 &&
            name.endsWith(expression.capturedTexts().first(), Qt::CaseSensitive))
            selected.append(name);
    }
    return selected;
}

// The most stars a syntax name may hold for the QRegExp reference to be asked.
constexpr long maxStarsCompared = 8;

// A piece with its repetitions (0x02 n, 0x03) written out.
std::string expand(std::string const& piece)
{
    std::size_t const most = 400;
    std::string text;
    for (std::size_t i = 0; i < piece.size(); ++i) {
        if (piece[i] == '\x02' && i + 1 < piece.size()) {
            std::size_t const more = static_cast<unsigned char>(piece[++i]);
            if (!text.empty())
                text.append(std::min(more, most - std::min(most, text.size())), text.back());
        } else if (piece[i] == '\x03') {
            text += text.substr(0, most - std::min(most, text.size()));
        } else if (text.size() < most) {
            text += piece[i];
        }
    }
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* data, std::size_t size)
{
    using fuzzinput::require;

    std::vector<std::string> const parts = fuzzinput::pieces(data, size);
    std::string syntaxName = expand(parts.front());
    std::replace(syntaxName.begin(), syntaxName.end(), '\x01', '\0');
    QStringList names;
    syntaxname::NameStore store;
    for (std::size_t i = 1; i < parts.size() && names.size() < 32; ++i) {
        std::string const name = expand(parts[i]);
        names.append(QString::fromLatin1(name.data(), static_cast<int>(name.size())));
        store.append(name);
    }

    // QRegExp backtracks through the ways of sharing a name among the stars:
    // past a few stars the reference alone takes seconds a call. Such inputs
    // still run through the matcher (whose cost does not grow with the
    // stars), for the sanitizers, without the comparison.
    if (std::count(syntaxName.begin(), syntaxName.end(), '*') > maxStarsCompared) {
        require(syntaxname::select(names, syntaxName).size() <= names.size(), "select lists names");
        syntaxname::selectsAny(names, syntaxName);
        return 0;
    }

    QStringList const literal = plainSelection(names, syntaxName);
    for (QString const& name : literal)
        require(names.contains(name), "only listed names are selected");

    require(syntaxname::select(names, syntaxName) == literal, "select agrees with the QRegExp procedure");
    require(syntaxname::selectsAny(names, syntaxName) == !literal.isEmpty(),
            "selectsAny agrees with the QRegExp procedure");
    require(syntaxname::select(store, syntaxName) == literal,
            "select over bytes agrees with the QRegExp procedure");
    require(syntaxname::selectsAny(store, syntaxName) == !literal.isEmpty(),
            "selectsAny over bytes agrees with the QRegExp procedure");

    SyntaxNameFilter const filter(names);
    require(filter.filter(syntaxName) == literal, "filter agrees with the QRegExp procedure");
    norvale::ValidationResult const result = filter.validate(syntaxName);
    require(result.isValid() == !literal.isEmpty(), "validate is valid exactly when something is selected");
    require(result.isValid() ? result.errorString().empty() : result.errorString() == "Invalid pattern.",
            "validate's message");
    if (syntaxname::isBlank(syntaxName))
        require(literal.isEmpty(), "a blank syntax name selects nothing");

    // Each name on its own is selected exactly when the list selects it.
    for (QString const& name : names)
        require(syntaxname::selectsAny(QStringList() << name, syntaxName) == literal.contains(name),
                "a name is selected alone as in the list");
    return 0;
}
