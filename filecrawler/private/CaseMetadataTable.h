#pragma once

#include "filecrawler/CrawlerImporterParserInterface.h"
#include "filecrawler/MetadataPattern.h"

#include <vector>

class vtkTable;

// Fills a new vtkTable with the parser's cases: one column per pattern, named
// by its text (made unique as Re, Re(2), Re(3); see CaseColumnNames.h), and
// one row per case. Numeric
// columns keep each value's text as it stood in the path, or "NULL" when the
// text is not a number. Internal.
namespace casetable {

void addColumns(CrawlerImporterParserInterface& parser, std::vector<MetadataPattern> patterns,
                vtkTable* table);
void addRows(CrawlerImporterParserInterface& parser, std::vector<MetadataPattern> patterns, vtkTable* table);

} // namespace casetable
