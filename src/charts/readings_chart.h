#pragma once
// The chart of an archive: thickness against record number, one colour per series with a
// legend, the table's minimum and nominal as horizontal lines when they are set; or, as a
// second view, the histogram of the thicknesses. Drawn with Qt Charts from the archive's values,
// for the chart window and for "quilex-cli chart", which saves it as PNG or SVG.

#include "table/archive_values.h"
#include "table/thickness_limits.h"

#include <QSize>
#include <QString>

#include <memory>
#include <optional>
#include <span>
#include <vector>

QT_BEGIN_NAMESPACE
class QChart;
QT_END_NAMESPACE

namespace quilex {

struct ChartOptions {
    bool histogram = false;
    int languageIndex = 0;
    // The points the chart keeps, about: a long archive is thinned to the lowest and highest
    // reading of each stretch of record numbers, the stretches shared out among the series.
    int pointsAcross = 2000;
};

std::unique_ptr<QChart> makeReadingsChart(std::span<const ArchiveValues> rows, const TableLimits& limits,
                                          const ChartOptions& options);

// Saves a chart as SVG for a name ending in ".svg", else as PNG, replacing the file only when
// the new one is whole. Returns what went wrong, or nothing.
std::optional<QString> saveChart(QChart& chart, const QString& path, QSize size);

// The thinning on its own: of points in x order, at most 2 per bucket of the x range (the lowest
// and the highest, in x order). Public for the tests.
struct ChartPoint {
    double x;
    double y;
};
std::vector<ChartPoint> thinPoints(const std::vector<ChartPoint>& points, int buckets);

} // namespace quilex
