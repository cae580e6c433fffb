#include "OutputWriters.h"

#include "ImportReport.h"
#include "TextUtil.h"

#include "filecrawler/MetadataValueNumber.h"

#include <QIODevice>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <vtkDoubleArray.h>
#include <vtkNew.h>
#include <vtkStringArray.h>
#include <vtkTable.h>
#include <vtkTableWriter.h>
#include <vtkXMLTableWriter.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

namespace cli {
namespace {

void put(QIODevice& device, std::string const& text)
{
    device.write(text.data(), qint64(text.size()));
}

QString jsonText(std::string const& text)
{
    return QString::fromUtf8(text.data(), int(text.size()));
}

// --- table ---

struct TableColumn {
    std::string heading;
    bool rightAligned;
    std::vector<std::string> cells;
    std::size_t width = 0;
};

void writeAligned(std::vector<TableColumn>& columns, QIODevice& device)
{
    for (TableColumn& column : columns) {
        column.width = displayWidth(column.heading);
        for (std::string const& cell : column.cells)
            column.width = std::max(column.width, displayWidth(cell));
    }
    std::size_t const rows = columns.empty() ? 0 : columns.front().cells.size();
    for (std::size_t row = 0; row <= rows; ++row) {
        std::string line;
        for (std::size_t c = 0; c < columns.size(); ++c) {
            std::string const& cell = row == 0 ? columns[c].heading : columns[c].cells[row - 1];
            std::string const padding(columns[c].width - displayWidth(cell), ' ');
            if (c > 0)
                line += "  ";
            line += columns[c].rightAligned ? padding + cell : cell + padding;
        }
        line.erase(line.find_last_not_of(' ') + 1);
        put(device, line + "\n");
    }
}

// "Re=100", or "run=7" for a column name that ends in a letter or digit.
std::string labelled(std::string const& name, std::string const& value)
{
    char const last = name.empty() ? '=' : name.back();
    bool const alphanumeric =
        (last >= '0' && last <= '9') || (last >= 'a' && last <= 'z') || (last >= 'A' && last <= 'Z');
    return printable(name) + (alphanumeric ? "=" : "") + printable(value);
}

void writeTable(ImportReport const& report, QIODevice& device)
{
    std::vector<TableColumn> columns;
    columns.push_back(TableColumn{"case", true, {}});
    for (ReportColumn const& column : report.columns)
        columns.push_back(TableColumn{printable(column.name), column.numeric, {}});
    for (std::string const& tag : report.tags)
        columns.push_back(TableColumn{printable(tag), true, {}});

    for (std::size_t caseIndex = 0; caseIndex < report.caseCount(); ++caseIndex) {
        columns[0].cells.push_back(std::to_string(caseIndex));
        std::size_t c = 1;
        for (std::string const& text : report.texts[caseIndex])
            columns[c++].cells.push_back(printable(text));
        for (std::size_t t = 0; t < report.tags.size(); ++t)
            columns[c++].cells.push_back(
                caseIndex < report.files.size() ? std::to_string(report.files[caseIndex][t].size()) : "");
    }
    writeAligned(columns, device);
    if (report.caseCount() == 0)
        put(device, "(no case)\n");

    std::size_t tagWidth = 0;
    for (std::string const& tag : report.tags)
        tagWidth = std::max(tagWidth, displayWidth(printable(tag)));
    for (std::size_t caseIndex = 0; caseIndex < report.files.size(); ++caseIndex) {
        std::vector<std::vector<std::string>> const& byTag = report.files[caseIndex];
        bool const anyFile =
            std::any_of(byTag.begin(), byTag.end(), [](auto const& files) { return !files.empty(); });
        if (!anyFile)
            continue;
        std::string heading = "\ncase " + std::to_string(caseIndex) + ":";
        for (std::size_t c = 0; c < report.columns.size(); ++c)
            heading += " " + labelled(report.columns[c].name, report.texts[caseIndex][c]);
        put(device, heading + "\n");
        for (std::size_t t = 0; t < byTag.size(); ++t) {
            std::string const tag = printable(report.tags[t]);
            for (std::size_t f = 0; f < byTag[t].size(); ++f) {
                std::string const label = f == 0 ? tag : std::string();
                put(device, "  " + label + std::string(tagWidth - displayWidth(label) + 2, ' ') +
                                printable(byTag[t][f]) + "\n");
            }
        }
    }
}

// --- csv ---

std::string csvField(std::string const& text)
{
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (char const c : text) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

void writeCsvRow(std::vector<std::string> const& fields, QIODevice& device)
{
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i)
        line += (i > 0 ? "," : "") + csvField(fields[i]);
    // A row of one empty field would be an empty line, which readers skip.
    if (fields.size() == 1 && line.empty())
        line = "\"\"";
    put(device, line + "\n");
}

void writeCsv(ImportReport const& report, QIODevice& device)
{
    std::vector<std::string> heading;
    for (ReportColumn const& column : report.columns)
        heading.push_back(column.name);
    writeCsvRow(heading, device);
    for (std::vector<std::string> row : report.texts) {
        for (std::size_t c = 0; c < row.size(); ++c)
            if (report.columns[c].numeric && !metadataValueNumber(row[c]))
                row[c] = "NULL";
        writeCsvRow(row, device);
    }
}

// --- json ---

void writeJson(ImportReport const& report, QIODevice& device)
{
    QJsonArray columns;
    for (ReportColumn const& column : report.columns)
        columns.append(
            QJsonObject{{"name", jsonText(column.name)}, {"type", column.numeric ? "numeric" : "string"}});
    QJsonArray tags;
    for (std::string const& tag : report.tags)
        tags.append(jsonText(tag));

    QJsonArray cases;
    for (std::size_t caseIndex = 0; caseIndex < report.caseCount(); ++caseIndex) {
        QJsonObject values;
        QJsonObject texts;
        for (std::size_t c = 0; c < report.columns.size(); ++c) {
            QString const name = jsonText(report.columns[c].name);
            QJsonValue const text = jsonText(report.texts[caseIndex][c]);
            QJsonValue value = text;
            if (report.columns[c].numeric) {
                // JSON has no infinity: 1e999 is null too.
                std::optional<double> const number = metadataValueNumber(report.texts[caseIndex][c]);
                value = number && std::isfinite(*number) ? QJsonValue(*number) : QJsonValue(QJsonValue::Null);
            }
            values.insert(name, value);
            texts.insert(name, text);
        }
        QJsonObject files;
        for (std::size_t t = 0; t < report.tags.size(); ++t) {
            QJsonArray paths;
            if (caseIndex < report.files.size())
                for (std::string const& path : report.files[caseIndex][t])
                    paths.append(jsonText(path));
            files.insert(jsonText(report.tags[t]), paths);
        }
        cases.append(
            QJsonObject{{"case", qint64(caseIndex)}, {"values", values}, {"texts", texts}, {"files", files}});
    }

    QJsonObject const document{{"root", jsonText(report.root)},
                               {"columns", columns},
                               {"tags", tags},
                               {"cases", cases},
                               {"fileCount", qint64(report.fileCount)},
                               {"unmatchedFileCount", qint64(report.unmatchedFileCount)}};
    device.write(QJsonDocument(document).toJson(QJsonDocument::Indented));
}

// --- vtk ---

void writeVtkLegacy(ImportReport const& report, QIODevice& device)
{
    vtkNew<vtkTableWriter> writer;
    writer->SetInputData(vtkCaseTable(report));
    writer->SetHeader("filecrawler case table");
    // Binary: the ASCII form cannot read NaN back.
    writer->SetFileTypeToBinary();
    writer->WriteToOutputStringOn();
    if (writer->Write() != 1 || writer->GetOutputString() == nullptr)
        throw std::runtime_error("the VTK table writer failed");
    device.write(writer->GetOutputString(), writer->GetOutputStringLength());
}

void writeVtkXml(ImportReport const& report, QIODevice& device)
{
    vtkNew<vtkXMLTableWriter> writer;
    writer->SetInputData(vtkCaseTable(report));
    writer->WriteToOutputStringOn();
    if (writer->Write() != 1 || writer->GetErrorCode() != 0)
        throw std::runtime_error("the VTK XML table writer failed");
    put(device, writer->GetOutputString());
}

} // namespace

vtkSmartPointer<vtkTable> vtkCaseTable(ImportReport const& report)
{
    auto table = vtkSmartPointer<vtkTable>::New();
    vtkIdType const rows = vtkIdType(report.caseCount());
    for (std::size_t c = 0; c < report.columns.size(); ++c) {
        vtkSmartPointer<vtkAbstractArray> column;
        if (report.columns[c].numeric) {
            auto numbers = vtkSmartPointer<vtkDoubleArray>::New();
            numbers->SetNumberOfTuples(rows);
            for (vtkIdType r = 0; r < rows; ++r)
                numbers->SetValue(r, metadataValueNumber(report.texts[std::size_t(r)][c])
                                         .value_or(std::numeric_limits<double>::quiet_NaN()));
            column = numbers;
        } else {
            auto texts = vtkSmartPointer<vtkStringArray>::New();
            texts->SetNumberOfTuples(rows);
            for (vtkIdType r = 0; r < rows; ++r)
                texts->SetValue(r, report.texts[std::size_t(r)][c]);
            column = texts;
        }
        column->SetName(report.columns[c].name.c_str());
        table->AddColumn(column);
    }
    return table;
}

bool showsFiles(OutputFormat format)
{
    return format == OutputFormat::Table || format == OutputFormat::Json;
}

void writeReport(ImportReport const& report, OutputFormat format, QIODevice& device)
{
    switch (format) {
    case OutputFormat::Table:
        writeTable(report, device);
        break;
    case OutputFormat::Csv:
        writeCsv(report, device);
        break;
    case OutputFormat::Json:
        writeJson(report, device);
        break;
    case OutputFormat::VtkLegacy:
        writeVtkLegacy(report, device);
        break;
    case OutputFormat::VtkXml:
        writeVtkXml(report, device);
        break;
    }
}

} // namespace cli
