#pragma once

#include "support/NameStore.h"

#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// Selection of names by a wildcard syntax name. Internal.
//
// A name is selected when QRegExp (Wildcard, case-sensitive), searching
// backwards from the name's last character, first matches at some position
// and the name ends with the text matched there. The syntax name is read as
// Latin-1 up to its first NUL character.
namespace syntaxname {

// Empty, or nothing but '*'.
bool isBlank(std::string const& syntaxName);

// A syntax name prepared once for testing many names. Every form of syntax
// name is read as QRegExp's Wildcard mode translates it, and names are tested
// in one pass from their end, in time linear in the name's length times the
// pattern's length. No QRegExp is involved.
class Selector {
public:
    explicit Selector(std::string const& syntaxName);
    ~Selector();
    Selector(Selector&&) noexcept;
    Selector& operator=(Selector&&) noexcept;
    Selector(Selector const&) = delete;
    Selector& operator=(Selector const&) = delete;

    bool selects(QString const& name) const;
    // The name given as Latin-1 bytes.
    bool selects(std::string_view name) const;

    // False when no name can be selected (a blank syntax name, or one that
    // QRegExp refuses to compile).
    bool selectsSomething() const;

    class Matcher;

private:
    std::unique_ptr<Matcher const> matcher_;
};

// The names of long lists of similar paths, as Latin-1 bytes.
using support::NameStore;

// The names that the syntax name selects, in list order.
QStringList select(QStringList const& names, std::string const& syntaxName);
QStringList select(NameStore const& names, std::string const& syntaxName);

// Calls `visit(position, name)` for each selected name, in list order.
void visitSelected(NameStore const& names, std::string const& syntaxName,
                   std::function<void(std::size_t, std::string_view)> const& visit);

// Which of up to `maxSelectionBits` syntax names select each name, in one
// pass: bit k of element i is set when syntaxNames[k] selects the name at
// position i. Each name is decoded once for all of them, on the calling
// thread.
constexpr std::size_t maxSelectionBits = 8;
std::vector<std::uint8_t> selectionBits(NameStore const& names, std::vector<std::string> const& syntaxNames);

// Whether select() would be non-empty; stops at the first selected name.
bool selectsAny(QStringList const& names, std::string const& syntaxName);
bool selectsAny(NameStore const& names, std::string const& syntaxName);

} // namespace syntaxname
