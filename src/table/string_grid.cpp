#include "table/string_grid.h"

#include <algorithm>
#include <utility>

namespace quilex {

namespace {

const QString& emptyText()
{
    static const QString empty;
    return empty;
}

const QString& spaceText()
{
    static const QString space(QLatin1Char(' '));
    return space;
}

GridRect unite(const GridRect& a, const GridRect& b)
{
    return {std::min(a.Left, b.Left), std::min(a.Top, b.Top), std::max(a.Right, b.Right),
            std::max(a.Bottom, b.Bottom)};
}

} // namespace

StringGrid::StringGrid(int colCount, int rowCount, int fixedCols, int fixedRows)
    : colCount_(std::max(1, colCount)), rowCount_(std::max(1, rowCount))
{
    fixedCols_ = std::clamp(fixedCols, 0, colCount_ - 1);
    fixedRows_ = std::clamp(fixedRows, 0, rowCount_ - 1);
    selection_ = {fixedCols_, fixedRows_, fixedCols_, fixedRows_};
}

StringGrid::StringGrid(const StringGrid& other)
{
    takeContents(other);
}

StringGrid::StringGrid(StringGrid&& other) noexcept
{
    takeContents(std::move(other));
}

StringGrid& StringGrid::operator=(const StringGrid& other)
{
    if (this != &other) {
        takeContents(other);
        if (companion_)
            companion_->allRowsChanged();
        structureChanged();
    }
    return *this;
}

StringGrid& StringGrid::operator=(StringGrid&& other) noexcept
{
    if (this != &other) {
        takeContents(std::move(other));
        if (companion_)
            companion_->allRowsChanged();
        structureChanged();
    }
    return *this;
}

void StringGrid::takeContents(const StringGrid& other)
{
    cells_ = other.cells_;
    width_ = other.width_;
    height_ = other.height_;
    colCount_ = other.colCount_;
    rowCount_ = other.rowCount_;
    fixedCols_ = other.fixedCols_;
    fixedRows_ = other.fixedRows_;
    selection_ = other.selection_;
}

void StringGrid::takeContents(StringGrid&& other)
{
    cells_ = std::move(other.cells_);
    width_ = other.width_;
    height_ = other.height_;
    other.cells_.clear();
    other.width_ = other.height_ = 0;
    if (other.companion_)
        other.companion_->allRowsChanged();
    colCount_ = other.colCount_;
    rowCount_ = other.rowCount_;
    fixedCols_ = other.fixedCols_;
    fixedRows_ = other.fixedRows_;
    selection_ = other.selection_;
}

void StringGrid::setColCount(int count)
{
    count = std::max(1, count);
    if (count == colCount_)
        return;
    colCount_ = count;
    fixedCols_ = std::min(fixedCols_, colCount_ - 1);
    clampSelection();
    structureChanged();
}

void StringGrid::setRowCount(int count)
{
    count = std::max(1, count);
    if (count == rowCount_)
        return;
    rowCount_ = count;
    fixedRows_ = std::min(fixedRows_, rowCount_ - 1);
    clampSelection();
    if (companion_)
        companion_->rowCountChanged(rowCount_);
    structureChanged();
}

void StringGrid::setFixedCols(int count)
{
    count = std::clamp(count, 0, colCount_ - 1);
    if (count == fixedCols_)
        return;
    fixedCols_ = count;
    clampSelection();
    structureChanged();
}

void StringGrid::setFixedRows(int count)
{
    count = std::clamp(count, 0, rowCount_ - 1);
    if (count == fixedRows_)
        return;
    fixedRows_ = count;
    clampSelection();
    structureChanged();
}

const QString& StringGrid::cell(int col, int row) const
{
    if (row < 0 || col < 0 || static_cast<size_t>(row) >= height_ || static_cast<size_t>(col) >= width_)
        return emptyText();
    return cells_[static_cast<size_t>(row) * width_ + static_cast<size_t>(col)];
}

QString* StringGrid::writableCell(int col, int row)
{
    if (row < 0 || col < 0)
        return nullptr;
    const auto r = static_cast<size_t>(row);
    const auto c = static_cast<size_t>(col);
    makeRoom(c + 1, r + 1);
    return &cells_[r * width_ + c];
}

void StringGrid::makeRoom(size_t cols, size_t rows)
{
    if (cols > width_) {
        // Rows are filled cell by cell from the left: widen to the whole width at once, and lay
        // the cells out anew.
        const size_t width = std::max(cols, static_cast<size_t>(colCount_));
        const size_t height = std::max(rows, height_);
        std::vector<QString, BlockAllocator<QString>> wider(height * width);
        for (size_t r = 0; r < height_; ++r)
            std::move(cells_.begin() + static_cast<std::ptrdiff_t>(r * width_),
                      cells_.begin() + static_cast<std::ptrdiff_t>((r + 1) * width_),
                      wider.begin() + static_cast<std::ptrdiff_t>(r * width));
        cells_ = std::move(wider);
        width_ = width;
        height_ = height;
    } else if (rows > height_) {
        cells_.resize(rows * width_);
        height_ = rows;
    }
}

void StringGrid::setCell(int col, int row, const QString& text)
{
    setCell(col, row, QString(text));
}

void StringGrid::setCell(int col, int row, QString&& text)
{
    QString* target = writableCell(col, row);
    if (!target)
        return;
    *target = std::move(text);
    if (companion_)
        companion_->rowsChanged(row, row);
    cellsChanged({col, row, col, row});
}

QStringList StringGrid::row(int row) const
{
    QStringList texts;
    texts.reserve(colCount_);
    for (int c = 0; c < colCount_; ++c)
        texts.append(cell(c, row));
    return texts;
}

void StringGrid::setRow(int row, const QStringList& texts)
{
    if (row < 0)
        return;
    UpdateBatch batch(*this);
    const int filled = std::min<int>(colCount_, static_cast<int>(texts.size()));
    for (int c = 0; c < colCount_; ++c) {
        if (c < filled)
            setCell(c, row, texts[c].isEmpty() ? spaceText() : texts[c]);
        else if (!cell(c, row).isEmpty())
            setCell(c, row, QString());
    }
    cellsChanged({0, row, colCount_ - 1, row});
}

void StringGrid::exchangeRows(int a, int b)
{
    if (a < 0 || b < 0)
        return;
    // Make both rows exist and span ColCount first.
    makeRoom(static_cast<size_t>(colCount_), static_cast<size_t>(std::max(a, b)) + 1);
    const auto width = static_cast<std::ptrdiff_t>(colCount_);
    const auto rowA = cells_.begin() + static_cast<std::ptrdiff_t>(static_cast<size_t>(a) * width_);
    const auto rowB = cells_.begin() + static_cast<std::ptrdiff_t>(static_cast<size_t>(b) * width_);
    if (a != b)
        std::swap_ranges(rowA, rowA + width, rowB);
    for (std::ptrdiff_t c = 0; c < width; ++c) {
        if (rowA[c].isEmpty())
            rowA[c] = spaceText();
        if (rowB[c].isEmpty())
            rowB[c] = spaceText();
    }
    if (companion_)
        companion_->rowsExchanged(a, b);
    cellsChanged({0, std::min(a, b), colCount_ - 1, std::max(a, b)});
}

void StringGrid::setSelection(GridRect rect)
{
    if (rect.Left > rect.Right)
        std::swap(rect.Left, rect.Right);
    if (rect.Top > rect.Bottom)
        std::swap(rect.Top, rect.Bottom);
    const GridRect before = selection_;
    selection_ = rect;
    clampSelection();
    if (selection_ != before)
        selectionChanged();
}

void StringGrid::clampSelection()
{
    auto clampCol = [this](int c) { return std::clamp(c, fixedCols_, colCount_ - 1); };
    auto clampRow = [this](int r) { return std::clamp(r, fixedRows_, rowCount_ - 1); };
    selection_ = {clampCol(selection_.Left), clampRow(selection_.Top), clampCol(selection_.Right),
                  clampRow(selection_.Bottom)};
}

void StringGrid::cellsChanged(GridRect area)
{
    if (batchDepth_ > 0) {
        pendingArea_ = pendingCells_ ? unite(pendingArea_, area) : area;
        pendingCells_ = true;
        return;
    }
    if (handler_)
        handler_({GridChange::Kind::Cells, area});
}

void StringGrid::structureChanged()
{
    if (batchDepth_ > 0) {
        pendingStructure_ = true;
        return;
    }
    if (handler_)
        handler_({GridChange::Kind::Structure, {}});
}

void StringGrid::selectionChanged()
{
    if (batchDepth_ > 0) {
        pendingSelection_ = true;
        return;
    }
    if (handler_)
        handler_({GridChange::Kind::Selection, {}});
}

void StringGrid::endBatch()
{
    if (--batchDepth_ > 0)
        return;
    const bool structure = pendingStructure_;
    const bool cells = pendingCells_;
    const bool selection = pendingSelection_;
    pendingStructure_ = pendingCells_ = pendingSelection_ = false;
    if (!handler_)
        return;
    if (structure)
        handler_({GridChange::Kind::Structure, {}});
    else if (cells)
        handler_({GridChange::Kind::Cells, pendingArea_});
    // A structure change already tells a view to re-read the selection.
    if (selection && !structure)
        handler_({GridChange::Kind::Selection, {}});
}

StringGrid::UpdateBatch::UpdateBatch(StringGrid& grid) : grid_(grid)
{
    ++grid_.batchDepth_;
}

StringGrid::UpdateBatch::~UpdateBatch()
{
    grid_.endBatch();
}

} // namespace quilex
