#include "charts/readings_chart.h"

#include "base/texts.h"
#include "export/file_replace.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QGraphicsScene>
#include <QImage>
#include <QLineSeries>
#include <QLocale>
#include <QPainter>
#include <QScatterSeries>
#include <QSvgGenerator>
#include <QValueAxis>

#include <algorithm>
#include <cmath>
#include <map>

namespace quilex {

namespace {

const TextPair ReadingsTitle{u"Толщина по номерам записей", u"Thickness by record number"};
const TextPair HistogramTitle{u"Распределение толщины", u"Distribution of the thickness"};
const TextPair ThicknessAxis{u"Толщина, мм", u"Thickness, mm"};
const TextPair CountAxis{u"Измерений", u"Readings"};
const TextPair SeriesName{u"Серия %1", u"Series %1"};
const TextPair NoSeriesName{u"Без серии", u"No series"};
const TextPair MinimumLine{u"Допустимый минимум", u"Allowable minimum"};
const TextPair NominalLine{u"Номинал", u"Nominal"};

QString text(const TextPair& pair, int languageIndex)
{
    return Text(pair, std::uint8_t(languageIndex));
}

constexpr std::size_t MostSeriesInTheLegend = 24;

QImage markerImage(const QColor& colour, int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(colour.darker(130));
    painter.setBrush(colour);
    painter.drawEllipse(QRectF(0.5, 0.5, size - 1, size - 1));
    return image;
}

void addLimitLine(QChart& chart, QValueAxis* x, QValueAxis* y, double value, double from, double to,
                  const QString& name, QColor colour)
{
    auto* line = new QLineSeries;
    line->setName(name);
    line->append(from, value);
    line->append(to, value);
    QPen pen(colour);
    pen.setWidth(2);
    pen.setStyle(Qt::DashLine);
    line->setPen(pen);
    chart.addSeries(line);
    line->attachAxis(x);
    line->attachAxis(y);
}

std::unique_ptr<QChart> readingsChart(std::span<const ArchiveValues> rows, const TableLimits& limits,
                                      const ChartOptions& options)
{
    auto chart = std::make_unique<QChart>();
    chart->setTitle(text(ReadingsTitle, options.languageIndex));
    auto* x = new QValueAxis;
    x->setTitleText(QStringLiteral("№"));
    x->setLabelFormat(QStringLiteral("%d"));
    auto* y = new QValueAxis;
    y->setTitleText(text(ThicknessAxis, options.languageIndex));
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);

    // The readings of each series in record order; a record number that is not a number takes
    // the row's place.
    std::map<std::int64_t, std::vector<ChartPoint>> bySeries; // key -1: no series
    double lowest = 0, highest = 0, first = 0, last = 0;
    bool any = false;
    for (const ArchiveValues& row : rows) {
        if (!row.thickness)
            continue;
        const ChartPoint p{row.recordNumber ? double(*row.recordNumber) : double(row.row), *row.thickness / 100.0};
        bySeries[row.series ? *row.series : -1].push_back(p);
        lowest = any ? std::min(lowest, p.y) : p.y;
        highest = any ? std::max(highest, p.y) : p.y;
        first = any ? std::min(first, p.x) : p.x;
        last = any ? std::max(last, p.x) : p.x;
        any = true;
    }
    // Readings are points: a series measured in two visits would otherwise be joined by a line
    // across the records between. Each series its own colour, evenly round the colour wheel.
    int index = 0;
    const int colours = std::max<int>(1, int(bySeries.size()));
    // The chart keeps about as many points as it has pixels across, shared by the series: each
    // keeps the lowest and highest reading of as many stretches of record numbers as its share.
    const int buckets = std::max(2, options.pointsAcross / (2 * colours));
    for (auto& [series, points] : bySeries) {
        std::sort(points.begin(), points.end(), [](const ChartPoint& a, const ChartPoint& b) { return a.x < b.x; });
        const std::vector<ChartPoint> shown = thinPoints(points, buckets);
        auto* dots = new QScatterSeries;
        dots->setName(series >= 0 ? text(SeriesName, options.languageIndex).arg(series)
                                  : text(NoSeriesName, options.languageIndex));
        const QColor colour = QColor::fromHsv((index++ * 360 / colours + 210) % 360, 200, 200);
        const int size = shown.size() > 500 ? 5 : 7;
        dots->setMarkerSize(size);
        dots->setColor(colour);
        dots->setBorderColor(colour.darker(130));
        // Painted as one picture per point rather than one graphics item each: a long archive
        // draws in a moment.
        dots->setLightMarker(markerImage(colour, size));
        QList<QPointF> list;
        list.reserve(qsizetype(shown.size()));
        for (const ChartPoint& p : shown)
            list.append(QPointF(p.x, p.y));
        dots->replace(list);
        chart->addSeries(dots);
        dots->attachAxis(x);
        dots->attachAxis(y);
    }
    if (limits.table.minimum) {
        const double value = *limits.table.minimum / 100.0;
        lowest = any ? std::min(lowest, value) : value;
        highest = any ? std::max(highest, value) : value;
        addLimitLine(*chart, x, y, value, first, last, text(MinimumLine, options.languageIndex), Qt::red);
    }
    if (limits.table.nominal) {
        const double value = *limits.table.nominal / 100.0;
        lowest = std::min(lowest, value);
        highest = std::max(highest, value);
        addLimitLine(*chart, x, y, value, first, last, text(NominalLine, options.languageIndex), Qt::darkGreen);
    }
    const double margin = std::max(0.1, (highest - lowest) * 0.05);
    y->setRange(std::max(0.0, lowest - margin), highest + margin);
    x->setRange(first, std::max(last, first + 1));
    // A legend of a few dozen series names is still read; of a couple of hundred it is not, and
    // laying it out would cost more than the whole chart.
    chart->legend()->setAlignment(Qt::AlignRight);
    chart->legend()->setVisible(bySeries.size() <= MostSeriesInTheLegend);
    return chart;
}

std::unique_ptr<QChart> histogram(std::span<const ArchiveValues> rows, const TableLimits& limits,
                                  const ChartOptions& options)
{
    auto chart = std::make_unique<QChart>();
    chart->setTitle(text(HistogramTitle, options.languageIndex));
    std::vector<std::int32_t> values;
    for (const ArchiveValues& row : rows)
        if (row.thickness)
            values.push_back(*row.thickness);
    const auto [lo, hi] = values.empty() ? std::pair{0, 0}
                                         : std::pair{*std::min_element(values.begin(), values.end()),
                                                     *std::max_element(values.begin(), values.end())};
    // About twenty bars, each a whole number of hundredths wide.
    const int width = std::max(1, int(std::ceil((hi - lo + 1) / 20.0)));
    const int bars = values.empty() ? 0 : (hi - lo) / width + 1;
    std::vector<int> counts(std::size_t(bars), 0);
    for (std::int32_t v : values)
        ++counts[std::size_t((v - lo) / width)];
    auto* set = new QBarSet(text(CountAxis, options.languageIndex));
    QStringList categories;
    QLocale plain = QLocale::system();
    plain.setNumberOptions(QLocale::OmitGroupSeparator);
    int most = 0;
    for (int i = 0; i < bars; ++i) {
        *set << counts[std::size_t(i)];
        most = std::max(most, counts[std::size_t(i)]);
        categories << plain.toString((lo + i * width) / 100.0, 'f', 2);
    }
    if (limits.table.minimum)
        set->setColor(QColor(0x40, 0x70, 0xB0));
    auto* series = new QBarSeries;
    series->append(set);
    chart->addSeries(series);
    auto* x = new QBarCategoryAxis;
    x->append(categories);
    x->setLabelsAngle(-60); // twenty thicknesses side by side do not fit upright
    x->setTitleText(text(ThicknessAxis, options.languageIndex));
    auto* y = new QValueAxis;
    y->setTitleText(text(CountAxis, options.languageIndex));
    y->setLabelFormat(QStringLiteral("%d"));
    y->setRange(0, std::max(1, most));
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    series->attachAxis(x);
    series->attachAxis(y);
    chart->legend()->hide();
    return chart;
}

} // namespace

std::vector<ChartPoint> thinPoints(const std::vector<ChartPoint>& points, int buckets)
{
    if (buckets < 1 || points.size() <= std::size_t(2 * buckets))
        return points;
    const double first = points.front().x;
    const double span = std::max(points.back().x - first, 1e-9);
    std::vector<ChartPoint> out;
    out.reserve(std::size_t(2 * buckets));
    std::size_t i = 0;
    while (i < points.size()) {
        const int bucket = std::min(buckets - 1, int((points[i].x - first) / span * buckets));
        std::size_t low = i, high = i, j = i;
        for (; j < points.size() && std::min(buckets - 1, int((points[j].x - first) / span * buckets)) == bucket; ++j) {
            if (points[j].y < points[low].y)
                low = j;
            if (points[j].y > points[high].y)
                high = j;
        }
        out.push_back(points[std::min(low, high)]);
        if (low != high)
            out.push_back(points[std::max(low, high)]);
        i = j;
    }
    return out;
}

std::unique_ptr<QChart> makeReadingsChart(std::span<const ArchiveValues> rows, const TableLimits& limits,
                                          const ChartOptions& options)
{
    return options.histogram ? histogram(rows, limits, options) : readingsChart(rows, limits, options);
}

std::optional<QString> saveChart(QChart& chart, const QString& path, QSize size)
{
    ReplacingFile target(path);
    if (!target.prepare())
        return target.errorString();
    QGraphicsScene scene;
    scene.addItem(&chart);
    chart.setGeometry(QRectF(QPointF(0, 0), size));
    const QRectF area(QPointF(0, 0), size);
    bool drawn = false;
    if (path.endsWith(QLatin1String(".svg"), Qt::CaseInsensitive)) {
        QSvgGenerator svg;
        svg.setFileName(target.temporaryPath());
        svg.setSize(size);
        svg.setViewBox(area);
        svg.setTitle(chart.title());
        QPainter painter;
        drawn = painter.begin(&svg);
        if (drawn) {
            scene.render(&painter, area, area);
            drawn = painter.end();
        }
    } else {
        QImage image(size, QImage::Format_ARGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        scene.render(&painter, area, area);
        painter.end();
        drawn = image.save(target.temporaryPath(), "PNG");
    }
    scene.removeItem(&chart);
    if (!drawn)
        return QStringLiteral("cannot draw the chart into the file");
    if (!target.commit())
        return target.errorString();
    return std::nullopt;
}

} // namespace quilex
