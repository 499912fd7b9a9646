#pragma once
// The archive table as clipboard text: cells separated by tabs, every line ended by CR LF.
// The whole-table copy lines the columns up for a tab-stop of 8 by adding tabs after cells
// shorter than a long header; the block copy uses single tabs.

#include "table/string_grid.h"

#include <QString>

namespace quilex {

// Every row, header row first. dateHeader is the current language's date header, after which
// the header line gets one more tab.
QString wholeTableText(const StringGrid& grid, const QString& dateHeader);

// The cells of rect (inclusive), row by row.
QString blockText(const StringGrid& grid, const GridRect& rect);

// The same cells as an HTML table, one <td> per cell with no extra cells, which a spreadsheet
// pastes into the right columns whatever the tabs of the plain text line up for.
QString htmlTable(const StringGrid& grid, const GridRect& rect);
inline GridRect wholeTable(const StringGrid& grid)
{
    return {0, 0, grid.colCount() - 1, grid.rowCount() - 1};
}

// Ctrl+C copies the whole table when a single cell is selected, else the block.
inline bool ctrlCCopiesWholeTable(const GridRect& selection)
{
    return selection.Top == selection.Bottom && selection.Left == selection.Right;
}

} // namespace quilex
