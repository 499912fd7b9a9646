#include "charts/readings_chart.h"

#include "base/texts.h"
#include "charts/chart_axes.h"
#include "export/file_replace.h"

#include <QAreaSeries>
#include <QBuffer>
#include <QFile>
#include <QGraphicsLayout>
#include <QGraphicsScene>
#include <QGuiApplication>
#include <QImage>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPainter>
#include <QRegularExpression>
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
const TextPair NoReadingsTitle{u"Нет измерений толщины", u"No thickness readings"};
const TextPair ThicknessAxis{u"Толщина, мм", u"Thickness, mm"};
const TextPair CountAxis{u"Измерений", u"Readings"};
const TextPair SeriesName{u"Серия %1", u"Series %1"};
const TextPair NoSeriesName{u"Без серии", u"No series"};
const TextPair MinimumLine{u"Допустимый минимум", u"Allowable minimum"};
const TextPair NominalLine{u"Номинал", u"Nominal"};
const TextPair SeriesMinimumLine{u"Минимум серии %1", u"Minimum of series %1"};
const TextPair SeriesNominalLine{u"Номинал серии %1", u"Nominal of series %1"};
const TextPair RecordTip{u"№ %1", u"№ %1"};
const TextPair ThicknessTip{u"%1 мм", u"%1 mm"};
const TextPair BinTip{u"%1 – %2 мм", u"%1 – %2 mm"};
const TextPair CountTip{u"%1: %2", u"%1: %2"};
const TextPair TotalTip{u"Всего: %1", u"In all: %1"};

constexpr std::size_t MostSeriesInTheLegend = 24;
constexpr std::int64_t NoSeries = -1;
// Pixels between ticks at the least: room for a label and a gap.
constexpr int XTickSpacing = 70;
constexpr int YTickSpacing = 40;

// The table's limits: colours no series has (the series keep out of the reds, and none is
// black) and dash patterns no series' own limit line has.
const QColor MinimumColour(0xD0, 0x00, 0x00);
const QColor NominalColour(0x00, 0x00, 0x00);
const QList<qreal> MinimumDashes{7, 3};
const QList<qreal> NominalDashes{7, 3, 1.5, 3};

QPen tableLimitPen(bool minimum)
{
    QPen pen(minimum ? MinimumColour : NominalColour);
    pen.setWidthF(2);
    pen.setDashPattern(minimum ? MinimumDashes : NominalDashes);
    return pen;
}

QPen seriesLimitPen(const QColor& colour, bool minimum)
{
    QPen pen(colour);
    pen.setWidthF(1.5);
    pen.setStyle(minimum ? Qt::DashLine : Qt::DotLine);
    return pen;
}

// A marker drawn once for the whole series, at `ratio` device pixels to the pixel so that it
// stays round at twice the scale instead of being blown up.
QImage markerImage(const QColor& colour, int size, qreal ratio)
{
    const int pixels = int(std::ceil(size * ratio));
    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(colour.darker(130));
    painter.setBrush(colour);
    painter.drawEllipse(QRectF(0.5, 0.5, size - 1, size - 1));
    return image;
}

qreal screenRatio()
{
    return qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
}

// Of the candidates (indices into points, in x order), at most two per bucket of their x range:
// the lowest and the highest reading, in x order.
template <class Point>
std::vector<std::size_t> thinIndices(const std::vector<Point>& points, const std::vector<std::size_t>& candidates,
                                     int buckets)
{
    if (buckets < 1 || candidates.size() <= std::size_t(2 * buckets))
        return candidates;
    const double first = points[candidates.front()].x;
    const double span = std::max(points[candidates.back()].x - first, 1e-9);
    const auto bucketOf = [&](std::size_t c) {
        return std::min(buckets - 1, int((points[candidates[c]].x - first) / span * buckets));
    };
    std::vector<std::size_t> out;
    out.reserve(std::size_t(2 * buckets));
    std::size_t i = 0;
    while (i < candidates.size()) {
        const int bucket = bucketOf(i);
        std::size_t low = i, high = i, j = i;
        for (; j < candidates.size() && bucketOf(j) == bucket; ++j) {
            if (points[candidates[j]].y < points[candidates[low]].y)
                low = j;
            if (points[candidates[j]].y > points[candidates[high]].y)
                high = j;
        }
        out.push_back(candidates[std::min(low, high)]);
        if (low != high)
            out.push_back(candidates[std::max(low, high)]);
        i = j;
    }
    return out;
}

double millimetres(std::int32_t hundredths)
{
    return hundredths / 100.0;
}

} // namespace

QColor seriesColour(int index, int count)
{
    // Evenly round the wheel from blue, within 35..325 degrees: the reds belong to the minimum.
    count = std::max(1, count);
    const int hue = 35 + (175 + index * 290 / count) % 290;
    return QColor::fromHsv(hue, 200, 200);
}

std::vector<ChartPoint> thinPoints(const std::vector<ChartPoint>& points, int buckets)
{
    std::vector<std::size_t> all(points.size());
    for (std::size_t i = 0; i < all.size(); ++i)
        all[i] = i;
    std::vector<ChartPoint> out;
    for (std::size_t i : points.empty() ? all : thinIndices(points, all, buckets))
        out.push_back(points[i]);
    return out;
}

// One series of the readings chart: every reading of it in x order, and those shown.
struct ReadingsChart::Dots {
    QScatterSeries* series = nullptr;
    std::int64_t key = NoSeries;
    std::vector<Reading> readings;
    std::vector<std::size_t> shown;
};

// The histogram's bars: bins of `width` hundredths from `low`, each series' count in each.
struct ReadingsChart::Bars {
    std::int32_t low = 0;
    std::int32_t width = 1;
    int bins = 0;
    std::vector<std::int64_t> keys;
    std::vector<std::vector<int>> counts; // [series][bin]
    bool stacked = true;
};

ReadingsChart::ReadingsChart(std::span<const ArchiveValues> rows, const TableLimits& limits,
                             const ChartOptions& options)
    : options_(options), x_(new QValueAxis), y_(new QValueAxis)
{
    localizeChart(*this, options_.locale);
    // Narrow margins: at twice the scale on a small screen every pixel goes to the plot and
    // the legend (the limits' entries come last and were the first to be cut off).
    layout()->setContentsMargins(0, 0, 0, 0);
    setMargins(QMargins(8, 4, 8, 4));
    setBackgroundRoundness(0);
    addAxis(x_, Qt::AlignBottom);
    addAxis(y_, Qt::AlignLeft);
    if (options_.histogram)
        buildHistogram(rows, limits);
    else
        buildReadings(rows, limits);
    finishAxes();
}

ReadingsChart::~ReadingsChart() = default;

QString ReadingsChart::seriesName(std::int64_t key) const
{
    return key >= 0 ? Text(SeriesName, std::uint8_t(options_.languageIndex)).arg(key)
                    : Text(NoSeriesName, std::uint8_t(options_.languageIndex));
}

QLineSeries* ReadingsChart::addLine(QPointF from, QPointF to, const QString& name, const QPen& pen)
{
    auto* line = new QLineSeries;
    line->setName(name);
    line->append(from);
    line->append(to);
    line->setPen(pen);
    addSeries(line);
    line->attachAxis(x_);
    line->attachAxis(y_);
    return line;
}

void ReadingsChart::buildReadings(std::span<const ArchiveValues> rows, const TableLimits& limits)
{
    const std::uint8_t language = std::uint8_t(options_.languageIndex);
    setTitle(Text(ReadingsTitle, language));
    x_->setTitleText(QStringLiteral("№"));
    y_->setTitleText(Text(ThicknessAxis, language));

    // The readings of each series in record order; a record number that is not a number takes
    // the row's place.
    std::map<std::int64_t, std::vector<Reading>> bySeries;
    for (const ArchiveValues& row : rows) {
        if (!row.thickness)
            continue;
        bySeries[row.series ? *row.series : NoSeries].push_back(
            {row.recordNumber ? double(*row.recordNumber) : double(row.row), millimetres(*row.thickness), row.record,
             row.date.value_or(QDate())});
    }
    empty_ = bySeries.empty();
    if (empty_)
        return;

    double lowest = 0, highest = 0, first = 0, last = 0;
    bool any = false;
    const auto take = [&](double y) {
        lowest = any ? std::min(lowest, y) : y;
        highest = any ? std::max(highest, y) : y;
        any = true;
    };
    // Readings are points: a series measured in two visits would otherwise be joined by a line
    // across the records between.
    const int count = int(bySeries.size());
    // The chart keeps about as many points as it has pixels across, shared by the series: each
    // keeps the lowest and highest reading of as many stretches of record numbers as its share.
    bucketsPerSeries_ = std::max(2, options_.pointsAcross / (2 * count));
    int index = 0;
    dots_.reserve(bySeries.size());
    for (auto& [key, readings] : bySeries) {
        std::stable_sort(readings.begin(), readings.end(), [](const Reading& a, const Reading& b) { return a.x < b.x; });
        Dots dots;
        dots.key = key;
        dots.readings = std::move(readings);
        dots.series = new QScatterSeries;
        dots.series->setName(seriesName(key));
        const QColor colour = seriesColour(index++, count);
        dots.series->setColor(colour);
        dots.series->setBorderColor(colour.darker(130));
        for (const Reading& r : dots.readings)
            take(r.y);
        first = dots_.empty() ? dots.readings.front().x : std::min(first, dots.readings.front().x);
        last = dots_.empty() ? dots.readings.back().x : std::max(last, dots.readings.back().x);
        addSeries(dots.series);
        dots.series->attachAxis(x_);
        dots.series->attachAxis(y_);
        dots_.push_back(std::move(dots));
    }

    // The limits: the table's across the chart, a series' own across that series' readings.
    const double left = first - 0.5, right = last + 0.5;
    if (limits.table.minimum) {
        const double value = millimetres(*limits.table.minimum);
        take(value);
        tableLimitLines_.push_back(addLine({left, value}, {right, value}, Text(MinimumLine, language), tableLimitPen(true)));
    }
    if (limits.table.nominal) {
        const double value = millimetres(*limits.table.nominal);
        take(value);
        tableLimitLines_.push_back(addLine({left, value}, {right, value}, Text(NominalLine, language), tableLimitPen(false)));
    }
    for (const Dots& dots : dots_) {
        const auto own = limits.series.find(std::int32_t(dots.key));
        if (dots.key < 0 || own == limits.series.end())
            continue;
        const double from = dots.readings.front().x - 0.5, to = dots.readings.back().x + 0.5;
        const QColor colour = dots.series->color();
        if (own->second.minimum) {
            const double value = millimetres(*own->second.minimum);
            take(value);
            seriesLimitLines_.push_back(addLine({from, value}, {to, value},
                                                Text(SeriesMinimumLine, language).arg(dots.key),
                                                seriesLimitPen(colour, true)));
        }
        if (own->second.nominal) {
            const double value = millimetres(*own->second.nominal);
            take(value);
            seriesLimitLines_.push_back(addLine({from, value}, {to, value},
                                                Text(SeriesNominalLine, language).arg(dots.key),
                                                seriesLimitPen(colour, false)));
        }
    }

    // Across, the records and a little room for the markers at both ends (a range widened to
    // round record numbers would start at -50 for a table from 1); up, from and to round
    // thicknesses.
    const double pad = std::max(0.5, (last - first) * 0.015);
    const AxisRange across{first - pad, last + pad};
    const double margin = std::max(0.05, (highest - lowest) * 0.03);
    const AxisRange up = roundRange(std::max(0.0, lowest - margin), highest + margin, 8, 0.01);
    home_ = QRectF(QPointF(across.low, up.low), QPointF(across.high, up.high));
}

void ReadingsChart::buildHistogram(std::span<const ArchiveValues> rows, const TableLimits& limits)
{
    const std::uint8_t language = std::uint8_t(options_.languageIndex);
    setTitle(Text(HistogramTitle, language));
    x_->setTitleText(Text(ThicknessAxis, language));
    y_->setTitleText(Text(CountAxis, language));

    std::map<std::int64_t, std::vector<std::int32_t>> bySeries;
    std::int32_t lo = 0, hi = 0;
    for (const ArchiveValues& row : rows) {
        if (!row.thickness)
            continue;
        const std::int32_t v = *row.thickness;
        lo = bySeries.empty() ? v : std::min(lo, v);
        hi = bySeries.empty() ? v : std::max(hi, v);
        bySeries[row.series ? *row.series : NoSeries].push_back(v);
    }
    empty_ = bySeries.empty();
    if (empty_)
        return;

    // About twenty bars, each a round number of hundredths wide (1, 2, 5, 10, 20...) and
    // starting at a whole number of widths, so that the bars' edges fall on round thicknesses.
    bars_ = std::make_unique<Bars>();
    Bars& bars = *bars_;
    bars.stacked = options_.stacked;
    bars.width = std::int32_t(std::lround(roundTicks(0, hi - lo + 1, 21, 1).step));
    bars.low = std::int32_t(std::floor(double(lo) / bars.width)) * bars.width;
    bars.bins = (hi - bars.low) / bars.width + 1;
    std::vector<int> totals(std::size_t(bars.bins), 0);
    for (const auto& [key, values] : bySeries) {
        bars.keys.push_back(key);
        std::vector<int> counts(std::size_t(bars.bins), 0);
        for (std::int32_t v : values) {
            ++counts[std::size_t((v - bars.low) / bars.width)];
            ++totals[std::size_t((v - bars.low) / bars.width)];
        }
        bars.counts.push_back(std::move(counts));
    }
    const auto edge = [&](int bin) { return millimetres(bars.low + bin * bars.width); };
    const int count = int(bars.keys.size());
    int most = 0;
    std::vector<int> below(std::size_t(bars.bins), 0); // the stack under the next series
    for (int s = 0; s < count; ++s) {
        const std::vector<int>& counts = bars.counts[std::size_t(s)];
        auto* upper = new QLineSeries;
        auto* lower = new QLineSeries;
        if (bars.stacked) {
            for (int b = 0; b < bars.bins; ++b) {
                const int under = below[std::size_t(b)];
                const int top = under + counts[std::size_t(b)];
                upper->append(edge(b), top);
                upper->append(edge(b + 1), top);
                lower->append(edge(b), under);
                lower->append(edge(b + 1), under);
                below[std::size_t(b)] = top;
                most = std::max(most, top);
            }
        } else {
            // Side by side: each bin shared out among the series in their order.
            const double part = millimetres(bars.width) / count;
            for (int b = 0; b < bars.bins; ++b) {
                const int n = counts[std::size_t(b)];
                if (n == 0)
                    continue;
                const double from = edge(b) + s * part, to = from + part;
                upper->append(from, 0);
                upper->append(from, n);
                upper->append(to, n);
                upper->append(to, 0);
                most = std::max(most, n);
            }
            lower->append(edge(0), 0);
            lower->append(edge(bars.bins), 0);
        }
        auto* area = new QAreaSeries(upper, lower);
        upper->setParent(area);
        lower->setParent(area);
        area->setName(seriesName(bars.keys[std::size_t(s)]));
        const QColor colour = seriesColour(s, count);
        area->setColor(colour);
        // White edges part the bars and the series in a stack; an edge in a colour would also
        // be drawn along every empty stretch of a series, over the bars below it.
        area->setBorderColor(Qt::white);
        addSeries(area);
        area->attachAxis(x_);
        area->attachAxis(y_);
    }
    const AxisRange up = roundRange(0, std::max(1.0, most * 1.05), 8, 1);

    // The limits upright, from the floor to the top.
    double left = edge(0), right = edge(bars.bins);
    const auto upright = [&](std::int32_t value, const QString& name, const QPen& pen) {
        const double x = millimetres(value);
        left = std::min(left, x);
        right = std::max(right, x);
        return addLine({x, 0}, {x, up.high}, name, pen);
    };
    if (limits.table.minimum)
        tableLimitLines_.push_back(upright(*limits.table.minimum, Text(MinimumLine, language), tableLimitPen(true)));
    if (limits.table.nominal)
        tableLimitLines_.push_back(upright(*limits.table.nominal, Text(NominalLine, language), tableLimitPen(false)));
    for (int s = 0; s < count; ++s) {
        const std::int64_t key = bars.keys[std::size_t(s)];
        const auto own = limits.series.find(std::int32_t(key));
        if (key < 0 || own == limits.series.end())
            continue;
        const QColor colour = seriesColour(s, count);
        if (own->second.minimum)
            seriesLimitLines_.push_back(upright(*own->second.minimum, Text(SeriesMinimumLine, language).arg(key),
                                                seriesLimitPen(colour, true)));
        if (own->second.nominal)
            seriesLimitLines_.push_back(upright(*own->second.nominal, Text(SeriesNominalLine, language).arg(key),
                                                seriesLimitPen(colour, false)));
    }
    const AxisRange across = roundRange(left, right, std::max(2, options_.pointsAcross / (2 * XTickSpacing)), 0.01);
    home_ = QRectF(QPointF(across.low, up.low), QPointF(across.high, up.high));
}

void ReadingsChart::finishAxes()
{
    if (empty_) {
        // No numbers to draw: no axis of "0 0 0 0 1".
        setTitle(Text(NoReadingsTitle, std::uint8_t(options_.languageIndex)));
        for (QValueAxis* axis : {x_, y_}) {
            axis->setRange(0, 1);
            // A format without a number writes empty labels; hidden labels would take the
            // axis title's room with them, and the title would read "...".
            axis->setLabelFormat(QStringLiteral(" "));
            axis->setGridLineVisible(false);
            axis->setTickCount(2);
        }
        legend()->hide();
        return;
    }
    for (QValueAxis* axis : {x_, y_}) {
        const bool across = axis == x_;
        const double low = across ? home_.left() : home_.top();
        const double high = across ? home_.right() : home_.bottom();
        const double hair = (high - low) * 1e-9;
        axis->setRange(low - hair, high + hair);
    }
    thinAgain();
    const double xFinest = options_.histogram ? 0.01 : 1;
    const double yFinest = options_.histogram ? 1 : 0.01;
    xTicks_ = new RoundAxis(*this, *x_, Qt::Horizontal, XTickSpacing, xFinest);
    yTicks_ = new RoundAxis(*this, *y_, Qt::Vertical, YTickSpacing, yFinest);
    connect(x_, &QValueAxis::rangeChanged, this, &ReadingsChart::followRange);
    connect(y_, &QValueAxis::rangeChanged, this, &ReadingsChart::followRange);

    // A legend of a few dozen series names is still read; of a couple of hundred it is not, and
    // laying it out would cost more than the whole chart. A series' own limit lines are told by
    // their colour and dashes, not by a line each in the legend.
    legend()->setAlignment(Qt::AlignRight);
    const std::size_t named = options_.histogram ? (bars_ ? bars_->keys.size() : 0) : dots_.size();
    legend()->setVisible(named <= MostSeriesInTheLegend);
    for (QLineSeries* line : seriesLimitLines_)
        for (QLegendMarker* marker : legend()->markers(line))
            marker->setVisible(false);
}

void ReadingsChart::followRange()
{
    if (!options_.histogram)
        thinAgain();
    const bool now = zoomed();
    if (now != zoomedBefore_) {
        zoomedBefore_ = now;
        Q_EMIT zoomChanged(now);
    }
}

void ReadingsChart::thinAgain()
{
    if (dots_.empty())
        return;
    // The readings inside the range shown, thinned for it: a zoom into a long archive shows the
    // readings the whole chart had no room for.
    const double left = x_->min(), right = x_->max(), bottom = y_->min(), top = y_->max();
    for (Dots& dots : dots_) {
        const auto begin = std::lower_bound(dots.readings.begin(), dots.readings.end(), left,
                                            [](const Reading& r, double x) { return r.x < x; });
        const auto end = std::upper_bound(begin, dots.readings.end(), right,
                                          [](double x, const Reading& r) { return x < r.x; });
        std::vector<std::size_t> inside;
        inside.reserve(std::size_t(end - begin));
        for (auto it = begin; it != end; ++it)
            if (it->y >= bottom && it->y <= top)
                inside.push_back(std::size_t(it - dots.readings.begin()));
        std::vector<std::size_t> shown = thinIndices(dots.readings, inside, bucketsPerSeries_);
        if (shown == dots.shown && dots.series->count() == int(shown.size()))
            continue;
        dots.shown = std::move(shown);
        QList<QPointF> points;
        points.reserve(qsizetype(dots.shown.size()));
        for (std::size_t i : dots.shown)
            points.append(QPointF(dots.readings[i].x, dots.readings[i].y));
        // Painted as one picture per point rather than a graphics item each: a long archive draws
        // in a moment. A saved SVG draws them as shapes.
        const int size = dots.shown.size() > 500 ? 5 : 7;
        if (dots.series->markerSize() != size || dots.series->lightMarker().isNull()) {
            dots.series->setMarkerSize(size);
            dots.series->setLightMarker(markerImage(dots.series->color(), size, screenRatio()));
        }
        dots.series->replace(points);
    }
}

QRectF ReadingsChart::shownRange() const
{
    return QRectF(QPointF(x_->min(), y_->min()), QPointF(x_->max(), y_->max()));
}

void ReadingsChart::showRange(const QRectF& values)
{
    // Never wider than the whole chart: a zoom out stops there.
    const QRectF r = values.normalized().intersected(home_);
    if (r.width() <= 0 || r.height() <= 0 || empty_)
        return;
    if (r.width() >= home_.width() * (1 - 1e-6) && r.height() >= home_.height() * (1 - 1e-6)) {
        showAll();
        return;
    }
    xTicks_->setRange(r.left(), r.right());
    yTicks_->setRange(r.top(), r.bottom());
}

void ReadingsChart::showAll()
{
    if (empty_)
        return;
    const double xHair = home_.width() * 1e-9, yHair = home_.height() * 1e-9;
    xTicks_->setRange(home_.left() - xHair, home_.right() + xHair);
    yTicks_->setRange(home_.top() - yHair, home_.bottom() + yHair);
}

bool ReadingsChart::zoomed() const
{
    if (empty_)
        return false;
    const double xTolerance = home_.width() * 1e-6, yTolerance = home_.height() * 1e-6;
    return std::abs(x_->min() - home_.left()) > xTolerance || std::abs(x_->max() - home_.right()) > xTolerance ||
           std::abs(y_->min() - home_.top()) > yTolerance || std::abs(y_->max() - home_.bottom()) > yTolerance;
}

QString ReadingsChart::tipAt(QPointF position)
{
    if (empty_ || !plotArea().contains(position))
        return {};
    return options_.histogram ? barTip(position) : readingTip(position);
}

QString ReadingsChart::readingTip(QPointF position)
{
    const Dots* best = nullptr;
    std::size_t bestIndex = 0;
    double bestDistance = 0;
    for (const Dots& dots : dots_) {
        if (dots.shown.empty() || !dots.series->isVisible())
            continue;
        const double reach = dots.series->markerSize() / 2.0 + 3;
        const double from = mapToValue(position - QPointF(reach, 0), dots.series).x();
        const double to = mapToValue(position + QPointF(reach, 0), dots.series).x();
        auto it = std::lower_bound(dots.shown.begin(), dots.shown.end(), from,
                                   [&](std::size_t i, double x) { return dots.readings[i].x < x; });
        for (; it != dots.shown.end() && dots.readings[*it].x <= to; ++it) {
            const Reading& r = dots.readings[*it];
            const QPointF at = mapToPosition(QPointF(r.x, r.y), dots.series);
            const double distance = std::hypot(at.x() - position.x(), at.y() - position.y());
            // The series drawn last lies on top: it wins a tie.
            if (distance <= reach && (!best || distance <= bestDistance)) {
                best = &dots;
                bestIndex = *it;
                bestDistance = distance;
            }
        }
    }
    if (!best)
        return {};
    const std::uint8_t language = std::uint8_t(options_.languageIndex);
    const Reading& r = best->readings[bestIndex];
    QStringList lines{Text(RecordTip, language).arg(r.record), seriesName(best->key),
                      Text(ThicknessTip, language).arg(options_.locale.toString(r.y, 'f', 2))};
    if (r.date.isValid())
        lines << options_.locale.toString(r.date, QLocale::ShortFormat);
    return lines.join(u'\n');
}

QString ReadingsChart::barTip(QPointF position)
{
    if (!bars_)
        return {};
    const Bars& bars = *bars_;
    const QPointF value = mapToValue(position, series().front());
    const double hundredths = value.x() * 100.0;
    const int bin = int(std::floor((hundredths - bars.low) / bars.width));
    if (bin < 0 || bin >= bars.bins || value.y() < 0)
        return {};
    const int count = int(bars.keys.size());
    int total = 0;
    for (const auto& counts : bars.counts)
        total += counts[std::size_t(bin)];
    // The series under the pointer: in a stack the one whose part of the bar it is on, side by
    // side the one whose share of the bin it is over.
    int under = -1;
    if (bars.stacked) {
        int top = 0;
        for (int s = 0; s < count && under < 0; ++s) {
            top += bars.counts[std::size_t(s)][std::size_t(bin)];
            if (value.y() <= top && bars.counts[std::size_t(s)][std::size_t(bin)] > 0)
                under = s;
        }
    } else {
        const double share = (hundredths - bars.low - bin * bars.width) / bars.width;
        const int s = std::clamp(int(share * count), 0, count - 1);
        if (value.y() <= bars.counts[std::size_t(s)][std::size_t(bin)])
            under = s;
    }
    if (under < 0)
        return {};
    const std::uint8_t language = std::uint8_t(options_.languageIndex);
    const std::int32_t from = bars.low + bin * bars.width, to = from + bars.width - 1;
    QStringList lines{
        from == to ? Text(ThicknessTip, language).arg(options_.locale.toString(millimetres(from), 'f', 2))
                   : Text(BinTip, language).arg(options_.locale.toString(millimetres(from), 'f', 2),
                                                options_.locale.toString(millimetres(to), 'f', 2)),
        Text(CountTip, language).arg(seriesName(bars.keys[std::size_t(under)])).arg(bars.counts[std::size_t(under)][std::size_t(bin)])};
    if (count > 1)
        lines << Text(TotalTip, language).arg(total);
    return lines.join(u'\n');
}

std::unique_ptr<ReadingsChart> makeReadingsChart(std::span<const ArchiveValues> rows, const TableLimits& limits,
                                                 const ChartOptions& options)
{
    return std::make_unique<ReadingsChart>(rows, limits, options);
}

Result<void> saveChart(QChart& chart, const QString& path, QSize pixels, double scale)
{
    ReplacingFile target(path);
    if (!target.prepare())
        return fail(target.errorString());
    const bool svgFile = path.endsWith(QLatin1String(".svg"), Qt::CaseInsensitive);
    scale = std::max(scale, 0.1);
    // Markers as shapes in an SVG: a light marker is a picture, and an SVG of pictures is
    // neither small nor sharp. In a PNG, pictures drawn at the picture's own scale.
    for (QAbstractSeries* series : chart.series())
        if (auto* dots = qobject_cast<QScatterSeries*>(series); dots && !dots->lightMarker().isNull())
            dots->setLightMarker(svgFile ? QImage() : markerImage(dots->color(), int(dots->markerSize()), scale));
    const QSizeF laidOut(pixels.width() / scale, pixels.height() / scale);
    QGraphicsScene scene;
    scene.addItem(&chart);
    chart.setGeometry(QRectF(QPointF(0, 0), laidOut));
    const QRectF source(QPointF(0, 0), laidOut);
    const QRectF area(QPointF(0, 0), pixels);
    bool drawn = false;
    if (svgFile) {
        QBuffer written;
        QSvgGenerator svg;
        svg.setOutputDevice(&written);
        svg.setSize(pixels);
        svg.setViewBox(area);
        // At the screen's 96 dots per inch a pixel of the picture is a CSS pixel, and the texts
        // come out as large as they were laid out (at the default 72 they shrink by a quarter).
        svg.setResolution(96);
        svg.setTitle(chart.title());
        QPainter painter;
        drawn = painter.begin(&svg);
        if (drawn) {
            scene.render(&painter, area, source);
            drawn = painter.end();
        }
        if (drawn) {
            // The generator opens a group at every change of pen or font, drawn into or not: two
            // thirds of a chart's SVG are empty groups.
            static const QRegularExpression emptyGroup(QStringLiteral(R"(<g [^>]*>\s*</g>\s*)"));
            const QByteArray kept = QString::fromUtf8(written.data()).remove(emptyGroup).toUtf8();
            QFile file(target.temporaryPath());
            drawn = file.open(QIODevice::WriteOnly) && file.write(kept) == kept.size() && file.flush();
        }
    } else {
        QImage image(pixels, QImage::Format_ARGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        scene.render(&painter, area, source);
        painter.end();
        drawn = image.save(target.temporaryPath(), "PNG");
    }
    scene.removeItem(&chart);
    if (!drawn)
        return fail(QStringLiteral("cannot draw the chart into the file"));
    if (!target.commit())
        return fail(target.errorString());
    return done();
}

} // namespace quilex
