#pragma once
// Tables in and out of the command line, through the formats the window uses too
// (export/table_formats.h): a file's ending chooses its format, and a name with no known ending
// (and standard output) is tab-separated text.

#include "table/string_grid.h"
#include "table/thickness_limits.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace quilex::cli {

// True when the path names a project file.
bool isProjectFile(const QString& path);

// All RowCount rows, header row first, ColCount cells each; an empty path is standard output.
// Returns the message on failure.
// A project file keeps the limits after its cells; a workbook's statistics sheet uses them.
std::optional<QString> writeTable(const StringGrid& grid, const QString& path, int languageIndex,
                                  const TableLimits& limits = {});

// Replaces the grid with the file's table, and *limits (when given) with the limits it keeps.
// Returns the message on failure.
std::optional<QString> readTable(const QString& path, StringGrid& grid, int languageIndex,
                                 TableLimits* limits = nullptr);

} // namespace quilex::cli
