#pragma once

#include <QStringList>

#include <string>

// Selection of names by a wildcard syntax name. Internal.
namespace syntaxname {

// Empty, or nothing but '*'.
bool isBlank(std::string const& syntaxName);

// The names that the syntax name selects, in list order.
QStringList select(QStringList const& names, std::string const& syntaxName);

// Whether select() would be non-empty; stops at the first selected name.
bool selectsAny(QStringList const& names, std::string const& syntaxName);

// The selection made literally, one QRegExp per call searching backwards
// from the last character of every name. Kept as the reference the faster
// selection is compared with.
QStringList selectLiterally(QStringList const& names, std::string const& syntaxName);

} // namespace syntaxname
