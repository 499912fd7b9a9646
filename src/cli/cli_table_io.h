#pragma once
// Tables in and out of the command line, through the formats the window uses too
// (export/table_formats.h): a file's ending chooses its format, and a name with no known ending
// (and standard output) is tab-separated text.

#include "base/result.h"
#include "table/project_file.h"
#include "table/string_grid.h"
#include "table/thickness_limits.h"

#include <QByteArray>
#include <QString>

namespace quilex::cli {

// True when the path names a project file.
bool isProjectFile(const QString& path);

// All RowCount rows, header row first, ColCount cells each, into the format the name's ending
// says; an empty path is standard output. A project file keeps the limits and the report's title
// block after its cells; a workbook's statistics sheet uses the limits.
Result<void> writeTable(const StringGrid& grid, const QString& path, int languageIndex, const ProjectExtras& kept = {});

// Replaces the grid with the file's table, with the limits it keeps: a project whatever its
// name when its bytes are one, else the text its ending says. Limits that could not be read are
// told on standard error, and the cells come all the same.
Result<ProjectExtras> readTable(const QString& path, StringGrid& grid, int languageIndex);

} // namespace quilex::cli
