#pragma once
// "Save in Excel": the archive table as an Office Open XML workbook, and the pieces of the save
// dialog that need no window (its filter, the extension rule on a type change, the check that
// an archive is in the table).
//
// Table row r goes to row r mod 65535 + 1 of worksheet r div 65535 + 1, table column j to
// column j + 1; the header row is therefore on the first worksheet only. Worksheets are named
// the sheet title followed by their number. Cells hold what a spreadsheet program makes of the
// texts typed in: numbers, dates and times of the given locale become values shown in exactly
// the table's form, everything else stays text.

#include "base/result.h"
#include "table/string_grid.h"
#include "table/thickness_limits.h"

#include <QLocale>
#include <QString>
#include <QStringList>

#include <optional>

namespace quilex {

class TableValues;
struct ArchiveValues;

// Table rows per worksheet, and the rows of the area that every worksheet formats (one more:
// its last row always stays empty).
inline constexpr int RowsPerSheet = 65535;
inline constexpr int SheetAreaRows = 65536;

// The save dialog's start name and its file types, 1-based: 1 "Exel 2007", 2 "All Files". The
// spelling is the one users have always seen. The workbook is always Excel 2007 and later
// (Office Open XML): a type that promised the old binary format under a .xls name would be a
// file spreadsheet programs open only after a warning about its format.
inline constexpr char16_t SpreadsheetInitialFileName[] = u"Arhive.xlsx";
inline constexpr char16_t SpreadsheetFilter[] = u"Exel 2007|*.xlsx|All Files|*.*";

// The same two types as QFileDialog name filters ("Exel 2007 (*.xlsx)", ...), in order; the
// selected type's 1-based index is its position in this list plus one.
QStringList spreadsheetNameFilters();

// The dialog's file name after the user picks file type filterIndex (1-based): for the workbook
// type ".xlsx" is appended unless the name already contains it anywhere (case-sensitive);
// nothing is ever removed, so "Arhive.xls" becomes "Arhive.xls.xlsx". "All Files" leaves the
// name as it is.
QString spreadsheetFileNameForType(const QString& fileName, int filterIndex);

// The check made after the dialog: "Архив не считан!" / "Archive not read!" in the language in
// use when cell (0, 1) is empty, done when there is an archive to export.
Result<void> spreadsheetTableCheck(const StringGrid& grid);

// Writes RowCount rows by ColCount columns of grid to path, whatever its ending: the content
// is always the xlsx workbook. The file is built under a temporary name in path's folder and
// renamed over path only when complete, so a failure leaves neither a partial file nor a
// damaged earlier one. Fails with "Экспорт данных - Ошибка !!!" / "Export of the data - Error !!!"
// in the language in use, its detail a short description of what went wrong (for the command
// line; the window shows only the message). The grid is only
// read. After the archive's sheets, which stay as they always were, one more sheet
// "Статистика" / "Statistics" (in statisticsLanguage; -1 the language in use) holds the
// statistics per series with the limits given, as numbers.
Result<void> ExportToSpreadsheet(const StringGrid& grid, const QString& path, const QString& sheetTitle,
                                 const QLocale& locale = QLocale::system(), const TableLimits& limits = {},
                                 int statisticsLanguage = -1, const TableValues* values = nullptr);

// The statistics sheet's name.
QString statisticsSheetName(int languageIndex);

// What one cell text becomes in the workbook. Public for the tests and for anyone who wants to
// know how a cell will be read.
struct SpreadsheetCell {
    enum class Kind { Empty, Text, Number, Date, Time };
    Kind kind = Kind::Empty;
    double value = 0;     // Number: the number; Date: days since 1899-12-30; Time: fraction of a day
    QString numberFormat; // the format that shows value as the table shows the text
};
SpreadsheetCell spreadsheetCell(const QString& text, const QLocale& locale);
// The same from the values of the cell's row, where they settle it (a plainly written number, a
// date, a time of an archive column); nothing where the text has to be typed. Whatever it gives
// is what spreadsheetCell gives for the cell's text.
std::optional<SpreadsheetCell> spreadsheetCell(const ArchiveValues& row, int column, const QLocale& locale);

} // namespace quilex
