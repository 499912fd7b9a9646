#pragma once
// A group's grid as a colour map: each location with a cell (A1, B1, ...) drawn where its cell
// lies, coloured by one figure (the last thickness, the loss since the previous survey or the
// corrosion rate) from good to bad, with the cell's name and the figure written on it, so that
// the colour is never the only sign.

#include "history/rates.h"

#include <QColor>
#include <QLocale>
#include <QWidget>

#include <optional>
#include <span>
#include <vector>

namespace quilex {

enum class MapFigure { LastThickness, Loss, Rate };

struct MapCell {
    LocationKey location;
    QString name;  // "C3"
    int column = 0; // from 0
    int row = 0;    // from 0
    std::optional<double> value; // mm or mm/year; none when the location has no such figure
    QString text;  // the value as the rates write it, in the locale's decimal separator
    QColor colour;
};

// The cells of a group's locations (rates of any locations: those of other series are passed
// over) for a grid of `columns` columns from `firstNumber`, each coloured within the range of
// the values shown: thin, losing or fast is red, thick, steady or slow is green.
std::vector<MapCell> mapCells(std::span<const LocationRates> rates, std::int32_t series, int columns,
                              std::int32_t firstNumber, MapFigure figure, const QLocale& locale = QLocale::system());

class GridMap final : public QWidget {
    Q_OBJECT
public:
    explicit GridMap(QWidget* parent = nullptr);

    void setCells(std::vector<MapCell> cells);
    const std::vector<MapCell>& cells() const { return cells_; }
    // The cell under a point of the widget, if any.
    const MapCell* cellAt(QPoint point) const;
    QSize cellSize() const;
    QSize sizeHint() const override;

Q_SIGNALS:
    void locationActivated(quilex::LocationKey location);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    std::vector<MapCell> cells_;
    int columns_ = 0;
    int rows_ = 0;
};

} // namespace quilex
