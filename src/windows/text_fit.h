#pragma once
// Windows that fit their texts. The sizes the windows were drawn with are the least they take;
// with the fonts of a Linux desktop (DejaVu, Liberation, at any scale) a label, button, column
// or caption grows to what its text needs in the font actually in use.

#include <QString>
#include <QStringList>

class QAbstractItemModel;
class QFont;
class QTimer;
class QTableView;
class QWidget;

namespace quilex {

class StringGrid;

// The width a text takes in a widget's font.
int textWidth(const QWidget* widget, const QString& text);
// The widest of some texts in a widget's font.
int widestText(const QWidget* widget, const QStringList& texts);
// How wide a window must be for the window manager to show its caption whole: the caption in
// the title bar's font and room for the icon and the buttons beside it.
int widthForCaption(const QWidget* window, const QString& caption);

// The columns of a grid view made at least as wide as the least widths given, their header's
// text and their widest cell (for a big table: the longest texts of each column, measured),
// and, when the view has room to spare, widened in proportion to fill it.
void fitColumns(QTableView* view, const StringGrid& grid, const QList<int>& leastWidths);
// The width the columns fitColumns would give need, without the spare room.
int neededColumnsWidth(const QTableView* view, const StringGrid& grid, const QList<int>& leastWidths);

// Starts the timer whenever the model's cells, rows, columns, header or layout change: a
// single-shot timer of 0 ms then refits once after a whole batch of changes.
void startOnModelChanges(QAbstractItemModel* model, QTimer& timer);

} // namespace quilex
