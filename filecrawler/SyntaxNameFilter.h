#pragma once

#include "filecrawler/Export.h"
#include "filecrawler/ValidatorInterface.h"
#include "host/ValidationResult.h"

#include <QStringList>
#include <boost/shared_ptr.hpp>

#include <string>

namespace support {
class NameStore;
} // namespace support

// Selects names by a syntax name: a wildcard pattern ('*' any run of
// characters, separators included; '?' one character; '[...]' a set),
// matched case-sensitively against text at the end of each name. So
// "mesh.dat" selects "case1/mesh.dat" and "oldmesh.dat", and "mesh" selects
// neither. A syntax name that is empty or only '*' selects nothing.
//
// Syntax names are converted to QString as Latin-1, so every byte string
// round-trips exactly.
class BRIM_FILECRAWLER_EXPORT SyntaxNameFilter : public virtual norvale::ValidatorInterface<std::string> {
public:
    explicit SyntaxNameFilter(QStringList const& names);
    // One name; the text ends at its first NUL character.
    explicit SyntaxNameFilter(std::string const& name);
    ~SyntaxNameFilter() override;

    // Valid when the syntax name selects at least one name, otherwise
    // "Invalid pattern.".
    norvale::ValidationResult validate(std::string const& syntaxName) const override;

    // The selected names, in the order of the list, duplicates kept.
    virtual QStringList filter(std::string const& syntaxName) const;

protected:
    // For filters within the library over long lists of paths: the names
    // kept as Latin-1 bytes in a compact store rather than as QStrings.
    BRIM_FILECRAWLER_NO_EXPORT explicit SyntaxNameFilter(boost::shared_ptr<support::NameStore const> names);

private:
    QStringList names_;
    boost::shared_ptr<support::NameStore const> storedNames_; // used instead of names_ when set
};
