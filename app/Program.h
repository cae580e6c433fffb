#pragma once

#include <QStringList>

namespace cli {

// The filecrawler program: parses `arguments` (the program name first, each
// argument decoded as Latin-1), crawls, imports, writes, and returns the exit
// status. Needs a QCoreApplication.
int runProgram(QStringList const& arguments);

} // namespace cli
