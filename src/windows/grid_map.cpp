#include "windows/grid_map.h"

#include "history/history_tables.h"

#include <QEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace quilex {

namespace {

// Red through amber to green: t 0 is the good end, 1 the bad one.
QColor rampColour(double t)
{
    t = std::clamp(t, 0.0, 1.0);
    const QColor good(0x5C, 0xB8, 0x5C), middle(0xF0, 0xC0, 0x40), bad(0xD9, 0x4B, 0x4B);
    const QColor& from = t < 0.5 ? good : middle;
    const QColor& to = t < 0.5 ? middle : bad;
    const double u = t < 0.5 ? t * 2 : (t - 0.5) * 2;
    return QColor::fromRgbF(float(from.redF() + (to.redF() - from.redF()) * u),
                            float(from.greenF() + (to.greenF() - from.greenF()) * u),
                            float(from.blueF() + (to.blueF() - from.blueF()) * u));
}

const QColor NoValueColour(0xE4, 0xE4, 0xE4);

// The loss since the previous survey: the kept value before the last, less the last.
std::optional<std::int32_t> lossSincePrevious(const LocationFigures& f)
{
    std::optional<std::int32_t> before, last;
    for (const DayValue& v : f.values) {
        if (!v.kept())
            continue;
        before = last;
        last = v.thickness;
    }
    if (!before || !last)
        return std::nullopt;
    return *before - *last;
}

constexpr int RatesGoverningColumn = 14;

} // namespace

std::vector<MapCell> mapCells(std::span<const LocationRates> rates, std::int32_t series, int columns,
                              std::int32_t firstNumber, MapFigure figure, const QLocale& locale)
{
    std::vector<MapCell> cells;
    if (columns < 1)
        return cells;
    for (const LocationRates& r : rates) {
        if (r.location.series != series || r.location.number < firstNumber)
            continue;
        const auto name = gridCell(r.location.number, columns, firstNumber);
        if (!name)
            continue;
        MapCell cell;
        cell.location = r.location;
        cell.name = *name;
        const std::int64_t offset = std::int64_t(r.location.number) - firstNumber;
        cell.column = int(offset % columns);
        cell.row = int(offset / columns);
        const LocationFigures& f = r.figures;
        switch (figure) {
        case MapFigure::LastThickness:
            if (f.last) {
                cell.value = f.last->thickness / 100.0;
                cell.text = thicknessText(f.last->thickness, locale);
            }
            break;
        case MapFigure::Loss:
            if (const auto loss = lossSincePrevious(f)) {
                cell.value = *loss / 100.0;
                cell.text = thicknessText(*loss, locale);
            }
            break;
        case MapFigure::Rate:
            if (f.governingRate) {
                cell.value = *f.governingRate;
                cell.text = ratesRow(r, locale)[RatesGoverningColumn];
            }
            break;
        }
        cells.push_back(std::move(cell));
    }
    double low = 0, high = 0;
    bool any = false;
    for (const MapCell& c : cells) {
        if (!c.value)
            continue;
        low = any ? std::min(low, *c.value) : *c.value;
        high = any ? std::max(high, *c.value) : *c.value;
        any = true;
    }
    for (MapCell& c : cells) {
        if (!c.value) {
            c.colour = NoValueColour;
            continue;
        }
        double t = high > low ? (*c.value - low) / (high - low) : 0.0;
        if (figure == MapFigure::LastThickness)
            t = 1.0 - t; // thin is bad
        c.colour = rampColour(t);
    }
    return cells;
}

GridMap::GridMap(QWidget* parent) : QWidget(parent)
{
    setMouseTracking(true);
}

void GridMap::setCells(std::vector<MapCell> cells)
{
    cells_ = std::move(cells);
    columns_ = 0;
    rows_ = 0;
    for (const MapCell& c : cells_) {
        columns_ = std::max(columns_, c.column + 1);
        rows_ = std::max(rows_, c.row + 1);
    }
    const QSize cell = cellSize();
    setFixedSize(std::max(1, columns_ * cell.width() + 1), std::max(1, rows_ * cell.height() + 1));
    update();
}

QSize GridMap::cellSize() const
{
    const QFontMetrics metrics = fontMetrics();
    int wide = metrics.horizontalAdvance(QStringLiteral("AA000"));
    for (const MapCell& c : cells_)
        wide = std::max({wide, metrics.horizontalAdvance(c.name), metrics.horizontalAdvance(c.text)});
    return {wide + 10, 2 * metrics.height() + 8};
}

QSize GridMap::sizeHint() const
{
    return size();
}

const MapCell* GridMap::cellAt(QPoint point) const
{
    const QSize cell = cellSize();
    const int column = point.x() / cell.width();
    const int row = point.y() / cell.height();
    for (const MapCell& c : cells_)
        if (c.column == column && c.row == row)
            return &c;
    return nullptr;
}

void GridMap::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    const QSize cell = cellSize();
    const QFontMetrics metrics = fontMetrics();
    const QRect exposed = event->rect();
    for (const MapCell& c : cells_) {
        const QRect box(c.column * cell.width(), c.row * cell.height(), cell.width(), cell.height());
        if (!box.intersects(exposed))
            continue;
        painter.fillRect(box, c.colour);
        painter.setPen(QColor(0x60, 0x60, 0x60));
        painter.drawRect(box.adjusted(0, 0, -1, -1));
        painter.setPen(Qt::black);
        const QRect top(box.left(), box.top() + 3, box.width(), metrics.height());
        const QRect bottom(box.left(), top.bottom() + 2, box.width(), metrics.height());
        QFont bold = font();
        bold.setBold(true);
        painter.setFont(bold);
        painter.drawText(top, Qt::AlignHCenter | Qt::AlignVCenter, c.name);
        painter.setFont(font());
        painter.drawText(bottom, Qt::AlignHCenter | Qt::AlignVCenter, c.text.isEmpty() ? QStringLiteral("—") : c.text);
    }
}

void GridMap::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (const MapCell* c = cellAt(event->position().toPoint()))
        Q_EMIT locationActivated(c->location);
}

void GridMap::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        setCells(std::move(cells_));
}

} // namespace quilex
