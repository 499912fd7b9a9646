#include "windows/string_grid_view.h"

#include <QApplication>
#include <QItemSelection>

#include <climits>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMouseEvent>
#include <QPalette>

namespace quilex {

StringGridModel::StringGridModel(StringGrid& grid, QObject* parent) : QAbstractTableModel(parent), grid_(grid)
{
    grid_.setChangeHandler([this](const GridChange& change) { gridChanged(change); });
}

StringGridModel::~StringGridModel()
{
    grid_.setChangeHandler({});
}

void StringGridModel::gridChanged(const GridChange& change)
{
    switch (change.kind) {
    case GridChange::Kind::Cells: {
        const int top = std::max(0, change.area.Top - firstDataRow());
        const int bottom = change.area.Bottom - firstDataRow();
        if (change.area.Top < firstDataRow())
            Q_EMIT headerDataChanged(Qt::Horizontal, change.area.Left, change.area.Right);
        if (bottom >= top && bottom >= 0)
            Q_EMIT dataChanged(index(top, change.area.Left), index(bottom, change.area.Right));
        break;
    }
    case GridChange::Kind::Structure:
        beginResetModel();
        endResetModel();
        break;
    case GridChange::Kind::Selection:
        break;
    }
}

int StringGridModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : grid_.rowCount() - firstDataRow();
}

int StringGridModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : grid_.colCount();
}

QVariant StringGridModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return grid_.cell(index.column(), gridRow(index.row()));
    case Qt::BackgroundRole:
        if (index.column() < grid_.fixedCols() || gridRow(index.row()) < grid_.fixedRows())
            return QApplication::palette().button();
        if (rowColour_)
            if (const std::optional<QColor> colour = rowColour_(gridRow(index.row())))
                return *colour;
        return {};
    default:
        return {};
    }
}

QVariant StringGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && firstDataRow() == 1)
        return grid_.cell(section, 0);
    if (role == Qt::TextAlignmentRole)
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    return {};
}

Qt::ItemFlags StringGridModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    if (index.column() < grid_.fixedCols() || gridRow(index.row()) < grid_.fixedRows())
        return Qt::ItemIsEnabled;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (editable_)
        f |= Qt::ItemIsEditable;
    return f;
}

bool StringGridModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable))
        return false;
    grid_.setCell(index.column(), gridRow(index.row()), value.toString());
    return true;
}

StringGridView::StringGridView(StringGrid& grid, QWidget* parent)
    : QTableView(parent), model_(new StringGridModel(grid, this))
{
    setModel(model_);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(20);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setDefaultSectionSize(40);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    horizontalHeader()->viewport()->installEventFilter(this);
    viewport()->installEventFilter(this);
    setSelectionMode(QAbstractItemView::ContiguousSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { syncSelectionToGrid(); });
    connect(model_, &QAbstractItemModel::modelReset, this, [this] {
        applyHeaderVisibility();
        // The model was rebuilt: the selection model lost its ranges, the grid keeps its own.
    });
    applyHeaderVisibility();
}

void StringGridView::applyHeaderVisibility()
{
    horizontalHeader()->setVisible(model_->firstDataRow() == 1);
}

void StringGridView::setColumnWidths(const std::vector<int>& widths)
{
    for (std::size_t i = 0; i < widths.size(); ++i)
        setColumnWidth(int(i), widths[i]);
}

bool StringGridView::cellAtHeader(int x, int& column) const
{
    column = horizontalHeader()->logicalIndexAt(x);
    return column >= 0;
}

bool StringGridView::eventFilter(QObject* watched, QEvent* event)
{
    // What counts is where the button is released, not where it was pressed: the release goes
    // to the widget that took the press, so its position is looked at over the header.
    if ((watched == horizontalHeader()->viewport() || watched == viewport()) &&
        event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        QWidget* header = horizontalHeader()->viewport();
        const QPoint at = header->mapFromGlobal(mouse->globalPosition().toPoint());
        int column = -1;
        if (horizontalHeader()->isVisible() && header->rect().contains(at) && cellAtHeader(at.x(), column))
            Q_EMIT headerReleased(mouse->button(), column, 0);
    }
    return QTableView::eventFilter(watched, event);
}

void StringGridView::syncSelectionToGrid()
{
    // The ranges, not every selected index: a selection may span 100,000 rows.
    const QItemSelection selection = selectionModel()->selection();
    if (selection.isEmpty())
        return;
    GridRect rect{INT_MAX, INT_MAX, -1, -1};
    for (const QItemSelectionRange& range : selection) {
        rect.Left = std::min(rect.Left, range.left());
        rect.Right = std::max(rect.Right, range.right());
        rect.Top = std::min(rect.Top, model_->gridRow(range.top()));
        rect.Bottom = std::max(rect.Bottom, model_->gridRow(range.bottom()));
    }
    grid().setSelection(rect);
}

} // namespace quilex
