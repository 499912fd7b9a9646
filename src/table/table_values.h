#pragma once
// The values of a table's rows, kept beside its texts. The grid of texts stays the truth; each
// row's values are read from its texts at most once per change of that row, when first asked
// for, or made straight from the gauge's records at a download. A sort moves them with their
// rows instead of reading them again. The sort, the red rows, the statistics, the chart and the
// workbook read them and parse no text.

#include "table/archive_values.h"
#include "table/string_grid.h"

#include <QLocale>

#include <cstdint>
#include <span>
#include <vector>

namespace quilex {

class TableValues final : public StringGrid::RowCompanion {
public:
    // Watches grid (as its one companion) until it goes; grid must outlive it.
    explicit TableValues(StringGrid& grid, const QLocale& locale = QLocale::system());
    // Values of a grid that does not change while they live, without watching it (a grid
    // being written to a file, which may have a companion of its own).
    struct Unwatched {};
    TableValues(const StringGrid& grid, const QLocale& locale, Unwatched);
    ~TableValues() override;
    TableValues(const TableValues&) = delete;
    TableValues& operator=(const TableValues&) = delete;

    // The values of grid row r (those of an empty row outside the table).
    const ArchiveValues& row(int r) const;
    // The data rows as ArchiveRowReader::rows picks them: none for an empty table.
    std::span<const ArchiveValues> dataRows() const;
    // Values made elsewhere for row r (a download's records), taken as they are until the row's
    // texts change again.
    void setRow(int r, ArchiveValues values);

    const CellReader& cells() const { return reader_.cells(); }
    const StringGrid& grid() const { return grid_; }
    // How many rows have been read from their texts since this was made.
    std::uint64_t rowsRead() const { return rowsRead_; }

    void rowsChanged(int first, int last) override;
    void rowsExchanged(int a, int b) override;
    void rowCountChanged(int count) override;
    void allRowsChanged() override;

private:
    void readStale(int first, int last) const;

    const StringGrid& grid_;
    StringGrid* watched_ = nullptr;
    ArchiveRowReader reader_;
    mutable std::vector<ArchiveValues> values_; // one per row of the grid
    mutable std::vector<std::uint8_t> stale_;
    mutable int staleRows_ = 0;
    mutable std::uint64_t rowsRead_ = 0;
};

} // namespace quilex
