// Fuzzes the selection of names by a wildcard syntax name.
//
// Input: NUL-separated pieces. The first is the syntax name, in which the byte
// 0x01 stands for a NUL character (so that syntax names with an embedded NUL
// are tried too); each further piece is one name, read as Latin-1. So
// "*.dat\0" "a.dat\0" "b.txt" selects a.dat among a.dat and b.txt.
//
// Checked for every input: the fast selection (select, selectsAny) and the
// filter built on it agree with the literal QRegExp procedure
// (selectLiterally), entry for entry and in order.
#include "FuzzInput.h"

#include "filecrawler/SyntaxNameFilter.h"
#include "filecrawler/SyntaxNameSelection.h"

#include <QString>
#include <QStringList>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* data, std::size_t size)
{
    using fuzzinput::require;

    std::vector<std::string> const parts = fuzzinput::pieces(data, size);
    std::string syntaxName = parts.front();
    std::replace(syntaxName.begin(), syntaxName.end(), '\x01', '\0');
    QStringList names;
    for (std::size_t i = 1; i < parts.size() && names.size() < 32; ++i)
        names.append(QString::fromLatin1(parts[i].data(), static_cast<int>(parts[i].size())));

    QStringList const literal = syntaxname::selectLiterally(names, syntaxName);
    for (QString const& name : literal)
        require(names.contains(name), "only listed names are selected");

    require(syntaxname::select(names, syntaxName) == literal, "select agrees with the QRegExp procedure");
    require(syntaxname::selectsAny(names, syntaxName) == !literal.isEmpty(),
            "selectsAny agrees with the QRegExp procedure");

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
