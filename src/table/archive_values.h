#pragma once
// An archive row as values: the one reader of the table's cells that the statistics, the
// limits' highlighting and the chart share (the sort and the workbook read single cells through
// the same CellReader). Every field is missing where its cell holds no value, such as "NAN".

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
    std::optional<std::int32_t> soundSpeed;   // column 2, m/s
    std::optional<std::int32_t> thickness;    // column 3, hundredths of a millimetre
    std::optional<std::int32_t> number;       // column 4
    std::optional<std::int32_t> series;       // column 5
    std::optional<QDate> date;                // column 6, the locale's short date format
    std::optional<int> secondsOfDay;          // column 7, hh:mm:ss
};

// What of a row is read: all of it, or only what the statistics and the chart use (the record
// number, the thickness and the series), which for a long archive is many times quicker than
// reading every date through the locale.
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

} // namespace quilex
