#pragma once

#include "filecrawler/Export.h"
#include "filecrawler/MetadataPattern.h"

#include <string>
#include <vector>

// The names of the case table's columns, one per pattern in list order: the
// pattern's text, made unique as Re=, Re=(2), Re=(3), ... The counter starts
// at 2 for each column and follows the pattern's own text; a name that an
// earlier column has, made up or not, is passed over, so the texts A, A and
// A(2) give A, A(2) and A(2)(2). Column names are C text: a pattern's text
// counts up to its first NUL character. Takes time linear in the length of
// the names.
BRIM_FILECRAWLER_EXPORT std::vector<std::string>
caseColumnNameList(std::vector<MetadataPattern> const& patterns);
