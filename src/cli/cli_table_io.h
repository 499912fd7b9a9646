#pragma once
// Tables in and out of the command line: project files (.qlx), tab-separated (.tsv, and
// standard output) and comma-separated (.csv) text in UTF-8.

#include "app/string_grid.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace quilex::cli {

enum class TableFormat { Project, Tsv, Csv };

// By the file's ending; an empty path (standard output) is tab-separated.
TableFormat tableFormatFor(const QString& path);

// All RowCount rows, header row first, ColCount cells each. Returns the message on failure.
std::optional<QString> writeTable(const StringGrid& grid, const QString& path, int languageIndex);

// Replaces the grid with the file's table. Returns the message on failure.
std::optional<QString> readTable(const QString& path, StringGrid& grid, int languageIndex);

// The whole of a project file's bytes; empty when it is not a regular file of a size a project
// file can have or cannot be read (reading it as a table then says why).
QByteArray projectBytes(const QString& path);

// The text forms, for tests and for standard output.
QByteArray tableAsText(const StringGrid& grid, TableFormat format);
// Parses tab- or comma-separated text into rows of cells; false on a broken quoted field.
bool parseTableText(const QByteArray& text, TableFormat format, std::vector<QStringList>& rows);

} // namespace quilex::cli
