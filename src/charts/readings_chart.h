#pragma once
// The chart of an archive: thickness against record number, one colour per series with a
// legend, the limits as lines (the table's in colours and dashes of their own, a series' own in
// its colour); or, as a second view, the histogram of the thicknesses, the series stacked or
// side by side, the limits upright. Drawn with Qt Charts from the archive's values, for the
// chart window and for "quilex-cli chart", which saves it as PNG or SVG.

#include "base/result.h"
#include "table/archive_values.h"
#include "table/thickness_limits.h"

#include <QChart>
#include <QDate>
#include <QLocale>
#include <QSize>
#include <QString>

#include <memory>
#include <optional>
#include <span>
#include <vector>

QT_BEGIN_NAMESPACE
class QLineSeries;
class QValueAxis;
QT_END_NAMESPACE

namespace quilex {

class RoundAxis;

struct ChartOptions {
    bool histogram = false;
    // The histogram's series stacked into one bar per stretch of thickness, or side by side.
    bool stacked = true;
    int languageIndex = 0;
    // The points the chart keeps, about: a long archive is thinned to the lowest and highest
    // reading of each stretch of record numbers, the stretches shared out among the series.
    int pointsAcross = 2000;
    // Whose decimal separator and date format the axes and the tooltips use.
    QLocale locale = QLocale::system();
};

// The thinning on its own: of points in x order, at most 2 per bucket of the x range (the lowest
// and the highest, in x order). Public for the tests.
struct ChartPoint {
    double x;
    double y;
};
std::vector<ChartPoint> thinPoints(const std::vector<ChartPoint>& points, int buckets);

class ReadingsChart final : public QChart {
    Q_OBJECT
public:
    ReadingsChart(std::span<const ArchiveValues> rows, const TableLimits& limits, const ChartOptions& options);
    ~ReadingsChart() override;

    const ChartOptions& options() const { return options_; }
    // No thickness to draw: the axes carry no numbers.
    bool empty() const { return empty_; }
    QValueAxis* xAxis() const { return x_; }
    QValueAxis* yAxis() const { return y_; }
    // The lines of the whole table's limits, and those of the series' own.
    const std::vector<QLineSeries*>& tableLimitLines() const { return tableLimitLines_; }
    const std::vector<QLineSeries*>& seriesLimitLines() const { return seriesLimitLines_; }

    // What the pointer at this place of the chart (its own coordinates) tells: the reading under
    // it (record number, series, thickness, date), or the histogram's bar (its thicknesses and
    // the count of each series in it). Empty over nothing.
    QString tipAt(QPointF position);

    // The ranges shown, as values: x from left to right, y from top (the lower value) to bottom.
    QRectF shownRange() const;
    // Shows only this range of values, within the whole chart (a zoom); the points of a long
    // archive are thinned again for it, so that a zoom shows detail.
    void showRange(const QRectF& values);
    // Back to the whole chart.
    void showAll();
    bool zoomed() const;

Q_SIGNALS:
    void zoomChanged(bool zoomed);

private:
    struct Reading {
        double x;
        double y;
        QString record;
        QDate date;
    };
    struct Dots;
    struct Bars;

    void buildReadings(std::span<const ArchiveValues> rows, const TableLimits& limits);
    void buildHistogram(std::span<const ArchiveValues> rows, const TableLimits& limits);
    void finishAxes();
    void thinAgain();
    // After a zoom: the points thinned again, and word of whether the chart is zoomed.
    void followRange();
    QString seriesName(std::int64_t key) const;
    QLineSeries* addLine(QPointF from, QPointF to, const QString& name, const QPen& pen);
    QString readingTip(QPointF position);
    QString barTip(QPointF position);

    ChartOptions options_;
    bool empty_ = true;
    QValueAxis* x_;
    QValueAxis* y_;
    RoundAxis* xTicks_ = nullptr; // owned by their axes
    RoundAxis* yTicks_ = nullptr;
    QRectF home_; // the whole chart's ranges, as shownRange() has them
    std::vector<QLineSeries*> tableLimitLines_;
    std::vector<QLineSeries*> seriesLimitLines_;
    std::vector<Dots> dots_;
    std::unique_ptr<Bars> bars_;
    int bucketsPerSeries_ = 2;
    bool zoomedBefore_ = false;
};

std::unique_ptr<ReadingsChart> makeReadingsChart(std::span<const ArchiveValues> rows, const TableLimits& limits,
                                                 const ChartOptions& options);

// Saves a chart as SVG for a name ending in ".svg", else as PNG, `pixels` in size, the chart laid
// out at pixels / scale and drawn `scale` times as large (2 makes the picture of a screen at
// twice the scale). In the SVG every marker is a shape, no picture. Replaces the file only when
// the new one is whole. Fails with a short description of what went wrong.
Result<void> saveChart(QChart& chart, const QString& path, QSize pixels, double scale = 1.0);

// The pens of series and lines, the same for every chart: one colour per series round the colour
// wheel (never the reds of the minimum), the table's limits in colours and dashes no series has.
QColor seriesColour(int index, int count);

} // namespace quilex
