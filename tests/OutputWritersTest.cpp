// The output formats on values that need care: separators, quotes, line
// breaks and bytes that are not UTF-8 in texts, numbers that are not.
#include "OutputWriters.h"
#include "ImportReport.h"

#include <QBuffer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>
#include <vtkDoubleArray.h>
#include <vtkNew.h>
#include <vtkStringArray.h>
#include <vtkTable.h>
#include <vtkTableReader.h>
#include <vtkXMLTableReader.h>

#include <cmath>

namespace {

std::string written(cli::ImportReport const& report, cli::OutputFormat format)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    cli::writeReport(report, format, buffer);
    return buffer.data().toStdString();
}

template <typename Reader> vtkSmartPointer<vtkTable> readBack(std::string const& bytes)
{
    vtkNew<Reader> reader;
    reader->ReadFromInputStringOn();
    reader->SetInputString(bytes);
    reader->Update();
    return reader->GetOutput();
}

// Texts are written as they stand in the paths (a D exponent too); a
// numeric column's value is the number, none where there is none, and
// infinity beyond the range of double (null in JSON, NULL in CSV).
TEST(OutputWriters, OddValuesSurviveEveryFormat)
{
    cli::ImportReport report;
    report.columns = {{"v=", false}, {"x=", true}};
    report.texts = {{"a,b\"c", "1"}, {"caf\xe9", "0.3D+01"}, {"two\nlines", "1e999"}, {"x\ry", "x"}};
    EXPECT_EQ(written(report, cli::OutputFormat::Csv),
              "v=,x=\n\"a,b\"\"c\",1\ncaf\xe9,0.3D+01\n\"two\nlines\",1e999\n\"x\ry\",NULL\n");
    QJsonArray const cases =
        QJsonDocument::fromJson(QByteArray::fromStdString(written(report, cli::OutputFormat::Json)))
            .object()["cases"]
            .toArray();
    ASSERT_EQ(cases.size(), 4);
    // value() copies; operator[] on the temporaries would hand out a dangling reference.
    auto const value = [&](int c, QString const& name, char const* kind = "values") -> QJsonValue {
        return cases[c].toObject().value(kind).toObject().value(name);
    };
    EXPECT_EQ(value(0, "v=").toString(), "a,b\"c");
    EXPECT_EQ(value(1, "x=").toDouble(), 3.0);
    EXPECT_EQ(value(1, "x=", "texts").toString(), "0.3D+01");
    EXPECT_TRUE(value(2, "x=").isNull());
    EXPECT_TRUE(value(3, "x=").isNull());
    EXPECT_EQ(value(2, "v=").toString(), "two\nlines");
    // VTK reads back every byte, NaN for no number, infinity for one too large.
    for (vtkSmartPointer<vtkTable> const& table :
         {readBack<vtkTableReader>(written(report, cli::OutputFormat::VtkLegacy)),
          readBack<vtkXMLTableReader>(written(report, cli::OutputFormat::VtkXml))}) {
        ASSERT_EQ(table->GetNumberOfRows(), 4);
        auto* const v = vtkStringArray::SafeDownCast(table->GetColumnByName("v="));
        auto* const x = vtkDoubleArray::SafeDownCast(table->GetColumnByName("x="));
        ASSERT_TRUE(v && x);
        EXPECT_EQ(v->GetValue(1), "caf\xe9");
        EXPECT_EQ(v->GetValue(2), "two\nlines");
        EXPECT_EQ(x->GetValue(1), 3.0);
        EXPECT_EQ(x->GetValue(2), HUGE_VAL);
        EXPECT_TRUE(std::isnan(x->GetValue(3)));
    }

    // A row of one empty field is no empty line, which readers skip.
    report.columns = {{"v=", false}};
    report.texts = {{""}, {"x"}};
    EXPECT_EQ(written(report, cli::OutputFormat::Csv), "v=\n\"\"\nx\n");
}

} // namespace
