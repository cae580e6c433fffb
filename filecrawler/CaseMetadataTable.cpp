#include "filecrawler/CaseMetadataTable.h"

#include <boost/format.hpp>
#include <boost/lexical_cast.hpp>
#include <vtkAbstractArray.h>
#include <vtkSmartPointer.h>
#include <vtkStringArray.h>
#include <vtkTable.h>
#include <vtkVariant.h>
#include <vtkVariantArray.h>

#include <cstdint>
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

std::string uniqueColumnName(vtkTable* table, std::string const& text)
{
    std::string name = text;
    std::uint64_t counter = 2;
    while (table->GetColumnByName(name.c_str()) != nullptr) {
        name = (boost::format("%1%(%2%)") % text % counter).str();
        ++counter;
    }
    return name;
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
    for (MetadataPattern const& pattern : patterns) {
        vtkSmartPointer<vtkAbstractArray> const column = newColumn(pattern.valueType);
        column->SetNumberOfComponents(1);
        column->SetNumberOfTuples(static_cast<vtkIdType>(parser.numDefinedCases()));
        column->SetName(uniqueColumnName(table, pattern.pattern).c_str());
        table->AddColumn(column);
    }
}

void addRows(CrawlerImporterParserInterface& parser, std::vector<MetadataPattern> patterns,
             vtkTable* table)
{
    for (std::size_t c = 0; c < parser.numDefinedCases(); ++c) {
        auto const row = vtkSmartPointer<vtkVariantArray>::New();
        for (std::size_t k = 0; k < patterns.size(); ++k)
            row->InsertNextValue(toVariant(parser.caseMetadataSValue(c, k), patterns[k].valueType));
        table->SetRow(static_cast<vtkIdType>(c), row);
    }
}

} // namespace casetable
