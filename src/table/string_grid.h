#pragma once
// A rectangle of text cells with fixed rows and columns, knowing nothing of widgets. The
// archive table and the material grid are both one of these; a window shows it through a
// Qt model adapter that listens to the change hook.
//
// Cells are addressed (column, row), both from 0. ColCount and RowCount say how much of the
// grid is in use; cells outside them keep their texts and come back when a count grows.

#include "table/block_allocator.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace quilex {

// An inclusive rectangle of column and row indices.
struct GridRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;

    friend bool operator==(const GridRect&, const GridRect&) = default;
};

// What changed, told after the change. A model adapter maps Cells to dataChanged and
// Structure to a model reset; Selection only concerns a view.
struct GridChange {
    enum class Kind {
        Cells,     // texts inside Area changed; counts did not
        Structure, // counts, fixed counts or many things at once: re-read everything
        Selection, // only the selection rectangle moved
    };
    Kind kind = Kind::Structure;
    GridRect area; // for Cells
};

class StringGrid {
public:
    using ChangeHandler = std::function<void(const GridChange&)>;

    // Something kept per row beside the texts (the archive's values, table_values.h): told of
    // every change to the rows at once, also inside an UpdateBatch, so that it never serves
    // what a row held before. A sort's row exchanges are told as exchanges, which lets it move
    // what it keeps instead of reading the rows again.
    class RowCompanion {
    public:
        virtual ~RowCompanion() = default;
        virtual void rowsChanged(int first, int last) = 0; // texts of these rows (inclusive)
        virtual void rowsExchanged(int a, int b) = 0;
        virtual void rowCountChanged(int count) = 0;
        virtual void allRowsChanged() = 0; // the grid took another grid's contents
    };

    // The archive table starts with 8 columns, 9 rows, one fixed row and one fixed column.
    StringGrid(int colCount = 8, int rowCount = 9, int fixedCols = 1, int fixedRows = 1);
    // A copy takes the cells, counts and selection, never the change handler: that belongs to
    // whoever watches this grid. Assigning keeps this grid's handler and tells it.
    StringGrid(const StringGrid& other);
    StringGrid(StringGrid&& other) noexcept;
    StringGrid& operator=(const StringGrid& other);
    StringGrid& operator=(StringGrid&& other) noexcept;
    ~StringGrid() = default;

    int colCount() const { return colCount_; }
    int rowCount() const { return rowCount_; }
    // A count below 1 becomes 1. The fixed counts stay below the counts, so a count of 1
    // turns the fixed row or column into an ordinary one; nothing sets it back but setFixed*.
    void setColCount(int count);
    void setRowCount(int count);

    int fixedCols() const { return fixedCols_; }
    int fixedRows() const { return fixedRows_; }
    // Clamped to 0 .. count - 1.
    void setFixedCols(int count);
    void setFixedRows(int count);

    // The text of a cell, also outside the counts; empty if never written or out of range.
    // The reference stays valid until the grid is next changed.
    const QString& cell(int col, int row) const;
    // Writes a cell, also outside the counts. Negative coordinates are ignored.
    void setCell(int col, int row, const QString& text);
    void setCell(int col, int row, QString&& text);

    // setCell(col, row, text(col, row)) for every col < cols and row < rows, row by row, told as
    // one change of those cells. Opening a file fills its table this way, in the order the
    // cells lie in memory.
    template <typename Text>
    void setCells(int cols, int rows, Text&& text);

    // The ColCount texts of a row.
    QStringList row(int row) const;
    // Empties the row's ColCount cells, then fills them from the first one on. An empty text
    // is stored as a single space; texts beyond ColCount are dropped.
    void setRow(int row, const QStringList& texts);

    // Exchanges the first ColCount cells of two rows, storing empty cells as " " in both, just
    // as reading both rows and writing each list into the other would. The sort's row moves.
    void exchangeRows(int a, int b);

    // The selection covers non-fixed cells only; it is kept inside them when counts change.
    GridRect selection() const { return selection_; }
    void setSelection(GridRect rect);

    // The table holds no archive when cell (0, 1) is empty.
    bool isEmptyTable() const { return cell(0, 1).isEmpty(); }

    // Called after every change, or once at the end of an UpdateBatch.
    void setChangeHandler(ChangeHandler handler) { handler_ = std::move(handler); }
    // At most one; a copy of the grid has none. Whoever sets it clears it before it goes.
    void setCompanion(RowCompanion* companion) { companion_ = companion; }
    RowCompanion* companion() const { return companion_; }

    // While one of these lives, changes are gathered and told once when the last one ends.
    class UpdateBatch {
    public:
        explicit UpdateBatch(StringGrid& grid);
        ~UpdateBatch();
        UpdateBatch(const UpdateBatch&) = delete;
        UpdateBatch& operator=(const UpdateBatch&) = delete;

    private:
        StringGrid& grid_;
    };

private:
    QString* writableCell(int col, int row);
    // Room for every cell (c, r) with c < cols and r < rows.
    void makeRoom(size_t cols, size_t rows);
    void clampSelection();
    void cellsChanged(GridRect area);
    void structureChanged();
    void selectionChanged();
    void endBatch();
    void takeContents(const StringGrid& other);
    void takeContents(StringGrid&& other);

    // The cells written so far, row by row in one block, width_ of them a row: one allocation
    // for a whole table instead of one a row. A cell outside was never written and is empty.
    // The block grows as far as a write needs, and as wide as ColCount at least when it widens.
    std::vector<QString, BlockAllocator<QString>> cells_;
    size_t width_ = 0;
    size_t height_ = 0;
    int colCount_ = 1;
    int rowCount_ = 1;
    int fixedCols_ = 0;
    int fixedRows_ = 0;
    GridRect selection_;

    ChangeHandler handler_;
    RowCompanion* companion_ = nullptr;
    int batchDepth_ = 0;
    bool pendingStructure_ = false;
    bool pendingSelection_ = false;
    bool pendingCells_ = false;
    GridRect pendingArea_;
};

template <typename Text>
void StringGrid::setCells(int cols, int rows, Text&& text)
{
    if (cols <= 0 || rows <= 0)
        return;
    makeRoom(static_cast<size_t>(cols), static_cast<size_t>(rows));
    for (int r = 0; r < rows; ++r) {
        QString* row = cells_.data() + static_cast<size_t>(r) * width_;
        for (int c = 0; c < cols; ++c)
            row[c] = text(c, r);
    }
    if (companion_)
        companion_->rowsChanged(0, rows - 1);
    cellsChanged({0, 0, cols - 1, rows - 1});
}

} // namespace quilex
