#include "windows/text_fit.h"

#include "table/string_grid.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QFontMetrics>
#include <QHeaderView>
#include <QStyle>
#include <QTableView>
#include <QTimer>

#include <algorithm>

namespace quilex {

int textWidth(const QWidget* widget, const QString& text)
{
    return widget->fontMetrics().horizontalAdvance(text);
}

int widestText(const QWidget* widget, const QStringList& texts)
{
    int widest = 0;
    for (const QString& text : texts)
        widest = std::max(widest, textWidth(widget, text));
    return widest;
}

int widthForCaption(const QWidget* window, const QString& caption)
{
    // Title bars use a bold face of about the window's font in most themes; the icon and three
    // buttons take about four times the bar's height.
    QFont font = window->font();
    font.setBold(true);
    const QFontMetrics metrics(font);
    return metrics.horizontalAdvance(caption) + 4 * (metrics.height() + 12);
}

namespace {

// Each column's width for its header and cells, from the longest texts of the column: a text
// much shorter than the longest is not wider in any font we meet.
QList<int> columnNeeds(const QTableView* view, const StringGrid& grid, const QList<int>& leastWidths)
{
    const int columns = grid.colCount();
    const QFontMetrics cells(view->font());
    const QFontMetrics header(view->horizontalHeader()->font());
    const int headerPadding = 2 * view->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, view) + 8;
    const int cellPadding = 2 * view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 8;
    const int firstData = grid.fixedRows() > 0 ? 1 : 0;
    QList<int> needs(columns, 0);
    for (int col = 0; col < columns; ++col) {
        int need = col < leastWidths.size() ? leastWidths[col] : 0;
        if (firstData == 1)
            need = std::max(need, header.horizontalAdvance(grid.cell(col, 0)) + headerPadding);
        qsizetype longest = 0;
        for (int row = firstData; row < grid.rowCount(); ++row)
            longest = std::max(longest, grid.cell(col, row).size());
        int measured = 0;
        for (int row = firstData; row < grid.rowCount() && measured < 64; ++row) {
            const QString& text = grid.cell(col, row);
            if (text.size() + 2 >= longest && !text.isEmpty()) {
                need = std::max(need, cells.horizontalAdvance(text) + cellPadding);
                ++measured;
            }
        }
        needs[col] = need;
    }
    return needs;
}

} // namespace

int neededColumnsWidth(const QTableView* view, const StringGrid& grid, const QList<int>& leastWidths)
{
    const QList<int> needs = columnNeeds(view, grid, leastWidths);
    int sum = 0;
    for (int need : needs)
        sum += need;
    return sum;
}

void fitColumns(QTableView* view, const StringGrid& grid, const QList<int>& leastWidths)
{
    const QList<int> needs = columnNeeds(view, grid, leastWidths);
    int sum = 0;
    for (int need : needs)
        sum += need;
    const int room = view->viewport()->width();
    int spare = sum > 0 && room > sum ? room - sum : 0;
    const int total = spare;
    for (int col = 0; col < needs.size(); ++col) {
        int extra = 0;
        if (total > 0) {
            // The last column takes what the rounding leaves, so the columns fill the view.
            extra = col + 1 == needs.size() ? spare : int(qint64(total) * needs[col] / sum);
            spare -= extra;
        }
        view->setColumnWidth(col, needs[col] + extra);
    }
}

void startOnModelChanges(QAbstractItemModel* model, QTimer& timer)
{
    const auto start = [&timer] { timer.start(); };
    QObject::connect(model, &QAbstractItemModel::modelReset, &timer, start);
    QObject::connect(model, &QAbstractItemModel::layoutChanged, &timer, start);
    QObject::connect(model, &QAbstractItemModel::dataChanged, &timer, start);
    QObject::connect(model, &QAbstractItemModel::rowsInserted, &timer, start);
    QObject::connect(model, &QAbstractItemModel::columnsInserted, &timer, start);
    QObject::connect(model, &QAbstractItemModel::headerDataChanged, &timer, start);
}

} // namespace quilex
