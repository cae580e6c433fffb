#include "filecrawler/SyntaxNameSelection.h"

#include <QRegExp>

#include <algorithm>

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

QStringList select(QStringList const& names, std::string const& syntaxName)
{
    return selectLiterally(names, syntaxName);
}

bool selectsAny(QStringList const& names, std::string const& syntaxName)
{
    return !select(names, syntaxName).isEmpty();
}

} // namespace syntaxname
