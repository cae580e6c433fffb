#include "filecrawler/SyntaxNameFilter.h"

#include "filecrawler/private/SyntaxNameSelection.h"

SyntaxNameFilter::SyntaxNameFilter(QStringList const& names) : names_(names) {}

SyntaxNameFilter::SyntaxNameFilter(std::string const& name)
    : names_(QStringList() << QString::fromLatin1(name.c_str()))
{
}

SyntaxNameFilter::SyntaxNameFilter(boost::shared_ptr<support::NameStore const> names)
    : storedNames_(std::move(names))
{
}

SyntaxNameFilter::~SyntaxNameFilter() = default;

QStringList SyntaxNameFilter::filter(std::string const& syntaxName) const
{
    if (storedNames_)
        return syntaxname::select(*storedNames_, syntaxName);
    return syntaxname::select(names_, syntaxName);
}

norvale::ValidationResult SyntaxNameFilter::validate(std::string const& syntaxName) const
{
    norvale::ValidationResult result;
    bool const any = storedNames_ ? syntaxname::selectsAny(*storedNames_, syntaxName)
                                  : syntaxname::selectsAny(names_, syntaxName);
    if (!any)
        result.setErrorString("Invalid pattern.");
    return result;
}
