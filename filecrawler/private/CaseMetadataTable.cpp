#include "filecrawler/private/CaseMetadataTable.h"

#include "filecrawler/CaseColumnNames.h"

#include <boost/lexical_cast.hpp>
#include <vtkAbstractArray.h>
#include <vtkSmartPointer.h>
#include <vtkStringArray.h>
#include <vtkTable.h>
#include <vtkVariant.h>
#include <vtkVariantArray.h>

#include <string>

namespace {

std::string const MISSING_VALUE_TEXT = "NULL";
vtkVariant const MISSING_VALUE(MISSING_VALUE_TEXT.c_str());

vtkSmartPointer<vtkAbstractArray> newColumn(MetadataPattern::ValueType type)
{
    if (type == MetadataPattern::String)
        return vtkSmartPointer<vtkStringArray>::New();
    return vtkSmartPointer<vtkVariantArray>::New();
}

vtkVariant toVariant(std::string const& text, MetadataPattern::ValueType type)
{
    if (type == MetadataPattern::Numeric) {
        try {
            boost::lexical_cast<double>(text);
        } catch (boost::bad_lexical_cast const&) {
            return MISSING_VALUE;
        }
    }
    // Numbers keep the text they were written with, not a converted double.
    return vtkVariant(text.c_str());
}

} // namespace

namespace casetable {

void addColumns(CrawlerImporterParserInterface& parser, std::vector<MetadataPattern> patterns,
                vtkTable* table)
{
    // The table is new: its columns are these alone.
    std::vector<std::string> const names = caseColumnNameList(patterns);
    for (std::size_t k = 0; k < patterns.size(); ++k) {
        vtkSmartPointer<vtkAbstractArray> const column = newColumn(patterns[k].valueType);
        column->SetNumberOfComponents(1);
        column->SetNumberOfTuples(static_cast<vtkIdType>(parser.numDefinedCases()));
        column->SetName(names[k].c_str());
        table->AddColumn(column);
    }
}

void addRows(CrawlerImporterParserInterface& parser, std::vector<MetadataPattern> patterns, vtkTable* table)
{
    for (std::size_t c = 0; c < parser.numDefinedCases(); ++c) {
        auto const row = vtkSmartPointer<vtkVariantArray>::New();
        for (std::size_t k = 0; k < patterns.size(); ++k)
            row->InsertNextValue(toVariant(parser.caseMetadataSValue(c, k), patterns[k].valueType));
        table->SetRow(static_cast<vtkIdType>(c), row);
    }
}

} // namespace casetable
