#pragma once

// The selection of names by a syntax name exactly as first written down: one
// wildcard QRegExp per call, searched backwards from the last character of
// every name; a name is selected when it ends with the text matched there. A
// syntax name of nothing but '*' (or nothing) selects nothing. The library's
// state machine (filecrawler/private/SyntaxNameSelection.h) is compared with
// the same procedure by its fuzzer, and the benchmarks time the two side by side.

#include <QRegExp>
#include <QString>
#include <QStringList>

#include <string>

namespace literal {

inline QStringList selectLiterally(QStringList const& names, std::string const& syntaxName)
{
    QStringList selected;
    if (syntaxName.find_first_not_of('*') == std::string::npos)
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

} // namespace literal
