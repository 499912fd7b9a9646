#pragma once
// The files a table goes into and comes out of, as one list of formats that the window and the
// command line share: each with its id, its name, its endings, and what it can do. A front end
// only looks a format up by a file's ending, and chooses for itself what a name with no known
// ending means (the window: a project file; the command line: tab-separated text).

#include "table/project_file.h"
#include "table/string_grid.h"
#include "table/thickness_limits.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <span>
#include <vector>

namespace quilex {

struct TableFormat {
    const char* id;       // "qlx", "tsv", "csv", "xlsx", "pdf"
    const char* name;     // for file dialogs
    QStringList endings;  // with the dot, lower case; matched without regard to case
    // Replace the grid with the file's table, or say why not (languageIndex 1 English, else
    // Russian), with the thickness limits the file keeps (none for a format without them).
    // Null for a format that is only written.
    Result<ProjectExtras> (*read)(const QString& path, StringGrid& grid, int languageIndex);
    // Write the whole table (all RowCount rows, header row first) and, where the format keeps
    // them, the limits (a project file; the workbook's statistics) and the report's title block
    // (a project file), or say why not.
    TableWriter write;
};

// Every format, the project file first.
std::span<const TableFormat> tableFormats();
// The format a file's name says, or nullptr for an ending no format has.
const TableFormat* tableFormatFor(const QString& path);
// Opens a file that its name says is in the format named (a project file for a name with no
// ending of a table read): a file that starts as a project file opens as one whatever its name,
// and one that is neither a project nor text is refused with a message naming it.
Result<ProjectExtras> readTableFile(const QString& path, const TableFormat& named, StringGrid& grid,
                                    int languageIndex);
// A format by its id ("tsv"); nullptr for an unknown id.
const TableFormat* tableFormatById(const char* id);

// The text forms: tab-separated (lines ended by LF) and comma-separated (RFC 4180, lines ended
// by CR LF, fields with a comma, quote or line break quoted), UTF-8.
QByteArray tableAsText(const StringGrid& grid, const TableFormat& format);
// Parses such text into rows of cells; false on a quoted field that is never closed.
bool parseTableText(const QByteArray& text, const TableFormat& format, std::vector<QStringList>& rows);

} // namespace quilex
