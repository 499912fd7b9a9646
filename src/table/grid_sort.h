#pragma once
// The archive table's header-click sort. A click on a header cell reverses the one
// SortDirection of the table and sorts the data rows by the clicked column: numbers as
// numbers, thicknesses in hundredths of a millimetre (with "," or "." before the decimals),
// dates and times by their value, everything else by the collation of the user's locale.
// Whole rows move, the record number included.

#include "base/result.h"
#include "table/string_grid.h"

#include <QLocale>
#include <QString>

#include <cstdint>
#include <optional>
#include <span>
#include <variant>
#include <vector>

namespace quilex {

// The sort key of one data row.
struct TMyData {
    std::int32_t RowIndex = 0; // the row's index before the sort
    std::int32_t Key = 0;      // numeric columns: the cell's value; text columns: the rank of the
                               // cell's text in the locale's order among the column's texts
};

// 0 before the first header click, then 1 (ascending) or -1 (descending); one value for the
// whole table, kept for the whole run.
using SortDirection = std::int32_t;

// 1 becomes -1; 0 and -1 become 1.
SortDirection toggledSortDirection(SortDirection direction);

enum class ColumnKey { Integer, Hundredths, Date, Time, Text };
// Columns 0, 2, 4 and 5 hold whole numbers, column 3 the thickness, 6 the date (in the
// locale's short date format), 7 the time (hh:mm:ss), all others text. Dates sort with the
// time of their row as the tie-break; cells that hold no date or time ("NAN") come after all
// that do.
ColumnKey columnKey(int column);

class TableValues;

// Sorts the data rows (those below the fixed rows) by one column; direction 1 ascending, any
// other non-zero value descending, 0 does nothing. Nothing happens without fixed rows or data
// rows. A cell that does not convert stops the sort before any row moves: the table is left as
// it was and the message (Russian for languageIndex 0, English for 1) is returned.
// The locale gives the decimal separator of thicknesses and the collation of texts. With the
// values kept beside this grid, number, date and time columns sort by them and no cell is read
// as a number again; the order is the same.
Result<void> sortGrid(StringGrid& grid, int column, SortDirection direction,
                                int languageIndex, const QLocale& locale = QLocale::system(),
                                const TableValues* values = nullptr);

// Moves the data rows into an order sortedRows gave (entry k is the row that becomes data row
// k), by exchanges of whole rows.
void moveRows(StringGrid& grid, const std::vector<int>& order);

// The order that sortGrid would leave the data rows in, without moving any, from the texts of
// the sort column (all RowCount rows, header first) and the number of fixed rows: entry k is
// the index of the row that ends up as data row k. Empty when sortGrid would do nothing. A
// sort that moves rows also stores every empty cell of the data rows' ColCount as " ". For the
// date column, times holds the texts of the time column (all rows), the dates' tie-break.
Result<std::vector<int>> sortedRows(std::span<const QString> texts, int fixedRows, int column,
                                                   SortDirection direction, int languageIndex,
                                                   const QLocale& locale = QLocale::system(),
                                                   std::span<const QString> times = {});

// The same order from the values kept beside a grid, for one of its columns.
Result<std::vector<int>> sortedRows(const TableValues& values, int column, SortDirection direction,
                                                   int languageIndex, const QLocale& locale = QLocale::system());

// The quicksort of sortedRows for keys already built: each entry's RowIndex its row, its Key the
// row's value or the rank of its text. Ascending for direction 1, descending for any other.
// The command line's sort of a project file reads its keys from the file's bytes.
void sortKeys(std::vector<TMyData>& keys, SortDirection direction);

enum class HeaderClickOutcome {
    Ignored,       // not the left button, or not over a header cell: nothing changed
    EmptyTable,    // direction toggled, no archive to sort
    Sorted,        // direction toggled and rows sorted
    Failed,        // direction toggled, a cell did not convert, table unchanged
};

struct HeaderClickResult {
    HeaderClickOutcome outcome = HeaderClickOutcome::Ignored;
    QString error; // for Failed: the text to show the user
};

// A mouse button released over the table at cell (column, row); the window converts the
// pointer position, the command line passes a column. Only the left button over a header
// cell of an existing column counts: it toggles sortDirection and, unless the table is empty
// (cell (0, 1) empty), sorts by that column.
HeaderClickResult headerClick(StringGrid& grid, SortDirection& sortDirection, bool leftButton,
                              int column, int row, int languageIndex,
                              const QLocale& locale = QLocale::system(), const TableValues* values = nullptr);

} // namespace quilex
