#include "filecrawler/SyntaxNameFilter.h"

#include "filecrawler/SyntaxNameSelection.h"

SyntaxNameFilter::SyntaxNameFilter(QStringList const& names) : names_(names) {}

SyntaxNameFilter::SyntaxNameFilter(std::string const& name)
    : names_(QStringList() << QString::fromLatin1(name.c_str()))
{
}

SyntaxNameFilter::~SyntaxNameFilter() = default;

QStringList const& SyntaxNameFilter::names() const
{
    return names_;
}

QStringList SyntaxNameFilter::filter(std::string const& syntaxName) const
{
    return syntaxname::select(names_, syntaxName);
}

norvale::ValidationResult SyntaxNameFilter::validate(std::string const& syntaxName) const
{
    norvale::ValidationResult result;
    if (!syntaxname::selectsAny(names_, syntaxName))
        result.setErrorString("Invalid pattern.");
    return result;
}
