#include "charts/report_chart.h"

#include "charts/readings_chart.h"
#include "charts/trend_chart.h"

#include <QChart>
#include <QGraphicsScene>
#include <QImage>
#include <QPainter>

#include <cmath>

namespace quilex {

namespace {

// The chart is drawn as a picture of this many dots per inch of the page, sharp on paper
// without making the file large, and so that its axis labels stay out of the report's text.
constexpr double PictureDpi = 220;
// The chart's own layout in pixels of this width, whatever the page: its labels keep their size.
constexpr double LayoutWidth = 900;

} // namespace

PicturePainter readingsChartPicture(std::span<const ArchiveValues> rows, const TableLimits& limits, int languageIndex)
{
    return [rows, limits, languageIndex](QPainter& painter, const QRectF& target) {
        const double deviceDpi = painter.device() ? painter.device()->logicalDpiX() : 96;
        const double inches = target.width() / deviceDpi;
        const QSizeF layout(LayoutWidth, LayoutWidth * target.height() / target.width());
        const double scale = std::max(1.0, inches * PictureDpi / LayoutWidth);
        ChartOptions options;
        options.languageIndex = languageIndex;
        options.pointsAcross = int(2 * layout.width() * scale);
        std::unique_ptr<QChart> chart = makeReadingsChart(rows, limits, options);
        QGraphicsScene scene;
        scene.addItem(chart.get());
        const QRectF area(QPointF(0, 0), layout);
        chart->setGeometry(area);
        QImage image((layout * scale).toSize(), QImage::Format_RGB32);
        image.fill(Qt::white);
        {
            QPainter picture(&image);
            picture.setRenderHint(QPainter::Antialiasing);
            scene.render(&picture, QRectF(QPointF(0, 0), layout * scale), area);
        }
        scene.removeItem(chart.get());
        painter.drawImage(target, image);
    };
}

HistoryReport::TrendPainter trendPicture(std::span<const LocationMeasurements> measurements,
                                         const HistorySettings& settings, std::span<const LocationRates> rates,
                                         int languageIndex, const QLocale& locale)
{
    return [measurements, &settings, rates, languageIndex, locale](QPainter& painter, const QRectF& target,
                                                                   const LocationRates& location) {
        const std::optional<LocationTrend> trend = trendOf(location.location, rates, measurements, settings);
        if (!trend)
            return;
        TrendOptions options;
        options.languageIndex = languageIndex;
        options.locale = locale;
        std::unique_ptr<QChart> chart = makeTrendChart(*trend, options);
        // Laid out at a window's width, whatever the page, so that its labels keep their size,
        // then drawn into the place as lines and text.
        const QSizeF layout(LayoutWidth, LayoutWidth * target.height() / target.width());
        QGraphicsScene scene;
        scene.addItem(chart.get());
        const QRectF area(QPointF(0, 0), layout);
        chart->setGeometry(area);
        painter.save();
        painter.setRenderHint(QPainter::Antialiasing);
        scene.render(&painter, target, area);
        painter.restore();
        scene.removeItem(chart.get());
    };
}

} // namespace quilex
