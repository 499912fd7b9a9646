#pragma once
// A table view over a StringGrid. The grid's fixed row is the view's horizontal header and
// stays in place while the rows scroll; the fixed column is drawn in the button-face colour
// and cannot be selected. The model reads the grid's cells on demand, so a table of 100,000
// rows opens and scrolls without delay.

#include "table/string_grid.h"

#include <QAbstractTableModel>
#include <QTableView>

#include <QColor>

#include <functional>
#include <optional>

namespace quilex {

class StringGridModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit StringGridModel(StringGrid& grid, QObject* parent = nullptr);
    ~StringGridModel() override;

    StringGrid& grid() { return grid_; }
    // Grid rows above this one are in the header: the first fixed row, when there is one.
    int firstDataRow() const { return grid_.fixedRows() > 0 ? 1 : 0; }
    int gridRow(int modelRow) const { return modelRow + firstDataRow(); }

    void setEditable(bool editable) { editable_ = editable; }
    // A background for a whole data row (by grid row), or none for the usual one.
    using RowColour = std::function<std::optional<QColor>(int gridRow)>;
    void setRowColour(RowColour colour) { rowColour_ = std::move(colour); }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

private:
    void gridChanged(const GridChange& change);

    StringGrid& grid_;
    bool editable_ = false;
    RowColour rowColour_;
};

class StringGridView final : public QTableView {
    Q_OBJECT
public:
    explicit StringGridView(StringGrid& grid, QWidget* parent = nullptr);

    StringGridModel* gridModel() const { return model_; }
    StringGrid& grid() const { return model_->grid(); }

    void setColumnWidths(const std::vector<int>& widths);
    // The grid's (column, row) under a point of the view's viewport or header; row -1 when
    // there is none. Header cells are in row 0.
    bool cellAtHeader(int x, int& column) const;

Q_SIGNALS:
    // A mouse button released over a cell of the header row, as (button, column, row 0).
    void headerReleased(Qt::MouseButton button, int column, int row);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void syncSelectionToGrid();
    void applyHeaderVisibility();

    StringGridModel* model_;
};

} // namespace quilex
