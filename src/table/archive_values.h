#pragma once
// An archive row as values: what the sort, the red rows, the statistics, the chart, the limits
// and the workbook read instead of the texts. The texts stay the truth (a project shows exactly
// what it holds); the values are read from them once per change (table_values.h keeps them
// beside a table), or made straight from the gauge's records at a download. Every field is
// missing where its cell holds no value, such as "NAN".

#include "table/cell_values.h"
#include "table/string_grid.h"

#include <QDate>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace quilex {

struct ArchiveValues {
    int row = 0;                              // the table row it came from
    QString record;                           // column 0, "№", as written
    QString material;                         // column 1
    std::optional<std::int32_t> recordNumber; // column 0 as a whole number
    std::optional<std::int32_t> soundSpeed;   // column 2, m/s
    std::optional<std::int32_t> thickness;    // column 3, hundredths of a millimetre
    std::optional<std::int32_t> number;       // column 4
    std::optional<std::int32_t> series;       // column 5
    std::optional<QDate> date;                // column 6, the locale's short date format
    std::optional<int> secondsOfDay;          // column 7, hh:mm:ss

    // How the cells were written, for whoever writes them again as values (the workbook): a
    // whole number written as a spreadsheet writes it (no sign but a minus, no leading zeros,
    // no minus zero), bit per column of WholeNumberColumns; and the decimals of a thickness
    // written as a plain decimal number in that form (-1 when it was not).
    std::uint8_t plainWholeNumbers = 0;
    std::int8_t thicknessDecimals = -1;
    bool plainWholeNumber(int column) const;
};

// What of a row is read: all of it, or only what the statistics and the chart use (the record
// number, the thickness and the series).
enum class ArchiveFields { All, Measurements };

class ArchiveRowReader {
public:
    explicit ArchiveRowReader(const QLocale& locale = QLocale::system()) : cells_(locale) {}
    ArchiveValues row(const StringGrid& grid, int row, ArchiveFields fields = ArchiveFields::All) const;
    // Every data row (below the fixed rows; all rows when the table has none). An empty table
    // (cell (0, 1) empty) has none.
    std::vector<ArchiveValues> rows(const StringGrid& grid, ArchiveFields fields = ArchiveFields::All) const;
    // Only the thickness of a row, for what is asked of many rows quickly.
    std::optional<std::int32_t> thickness(const StringGrid& grid, int row) const;
    static std::optional<std::int32_t> series(const StringGrid& grid, int row);
    const CellReader& cells() const { return cells_; }

private:
    CellReader cells_;
};

// Where the data rows of a table begin, as rows() and every reader of the values count them.
inline int firstDataRow(const StringGrid& grid)
{
    return grid.fixedRows() > 0 ? 1 : 0;
}

} // namespace quilex
