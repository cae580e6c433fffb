#pragma once

#include "ProgramOptions.h"

#include <vtkSmartPointer.h>

class QIODevice;
class vtkTable;

namespace cli {

struct ImportReport;

// Writes the report in `format`. Write errors are left in the device's state;
// a VTK writer that fails throws std::runtime_error.
//
// Values are the texts as they stand in the paths, numbers read by
// metadataValueNumber():
// - table: the case table aligned for a terminal, with the number of files
//   of each tag, then each case's tagged files.
// - csv: the case table, quoted as RFC 4180 has it, values as they stood in
//   the paths (NULL for a numeric value that is no number).
// - json: columns, tags and cases with their values (numbers for numeric
//   columns, null for a value that is not a finite number), their texts and
//   their files by tag.
// - vtk, vtt: the case table as a VTK table (legacy binary, or XML), numeric
//   columns as doubles (NaN for a value that is not a number).
void writeReport(ImportReport const& report, OutputFormat format, QIODevice& device);

// Whether `format` shows each case's files (so they must be gathered).
bool showsFiles(OutputFormat format);

// The case table as the VTK formats write it.
vtkSmartPointer<vtkTable> vtkCaseTable(ImportReport const& report);

} // namespace cli
