#include "charts/trend_chart.h"

#include "base/texts.h"
#include "history/history_tables.h"

#include <QChart>
#include <QDateTimeAxis>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPen>
#include <QScatterSeries>
#include <QValueAxis>

#include <algorithm>

namespace quilex {

namespace {

const TextPair LocationTitle{u"Точка %1", u"Location %1"};
const TextPair ThicknessAxis{u"Толщина, мм", u"Thickness, mm"};
const TextPair DateAxis{u"Дата", u"Date"};
const TextPair ReadingsName{u"Измерения", u"Readings"};
const TextPair LeftOutName{u"Не учтены", u"Left out"};
const TextPair LongTermName{u"Долгосрочная скорость %1 мм/год", u"Long-term rate %1 mm/y"};
const TextPair RequiredName{u"Допустимый минимум %1 мм", u"Required %1 mm"};
const TextPair NominalName{u"Номинал %1 мм", u"Nominal %1 mm"};
const TextPair ProjectionName{u"Прогноз %1 мм/год до %2", u"Projection %1 mm/y to %2"};
const TextPair NextInspectionName{u"Следующий контроль %1", u"Next inspection %1"};

// The columns of ratesRow the chart takes its figures' texts from, so that the legend says
// exactly what "history rates" writes.
enum RatesColumn {
    CellColumn = 3,
    NominalColumn = 4,
    RequiredColumn = 5,
    LongTermColumn = 12,
    GoverningColumn = 14,
    RetirementColumn = 16,
    NextColumn = 18,
};

constexpr int ProjectionYearsShown = 10; // of a retirement further away, only the start is drawn

// The axis of dates shows local time: each day at its local midnight.
qreal when(QDate date)
{
    return qreal(date.startOfDay().toMSecsSinceEpoch());
}

QLineSeries* addLine(QChart& chart, const char* name, const QString& legend, const QPen& pen,
                     std::initializer_list<QPointF> points)
{
    auto* line = new QLineSeries;
    line->setObjectName(QLatin1String(name));
    line->setName(legend);
    line->setPen(pen);
    for (const QPointF& p : points)
        line->append(p);
    chart.addSeries(line);
    return line;
}

QPen linePen(const QColor& colour, Qt::PenStyle style, qreal width = 2)
{
    QPen pen(colour);
    pen.setWidthF(width);
    pen.setStyle(style);
    return pen;
}

} // namespace

std::vector<TrendPoint> trendPoints(const LocationTrend& trend)
{
    std::vector<TrendPoint> points;
    points.reserve(trend.measurements.size());
    for (const Measurement& m : trend.measurements)
        points.push_back({m.date, m.thickness, m.mark, false});
    std::stable_sort(points.begin(), points.end(), [](const TrendPoint& a, const TrendPoint& b) {
        return a.date != b.date ? a.date < b.date : a.thickness < b.thickness;
    });
    // A reading counts when it is its day's value and that value is kept: the first of the
    // day's thinnest readings that the user did not ignore.
    const std::vector<DayValue>& values = trend.rates.figures.values;
    QDate countedDay; // the points are in date order: one counted a day
    for (TrendPoint& p : points) {
        const auto day = std::lower_bound(values.begin(), values.end(), p.date,
                                          [](const DayValue& v, const QDate& d) { return v.date < d; });
        if (day == values.end() || day->date != p.date || !day->kept() || day->thickness != p.thickness
            || p.mark == Mark::Ignored || countedDay == p.date)
            continue;
        p.counted = true;
        countedDay = p.date;
    }
    return points;
}

std::optional<LocationTrend> trendOf(LocationKey location, std::span<const LocationRates> rates,
                                     std::span<const LocationMeasurements> measurements,
                                     const HistorySettings& settings)
{
    const auto r = std::lower_bound(rates.begin(), rates.end(), location,
                                    [](const LocationRates& l, LocationKey k) { return l.location < k; });
    if (r == rates.end() || r->location != location)
        return std::nullopt;
    LocationTrend trend;
    trend.rates = *r;
    const auto m = std::lower_bound(measurements.begin(), measurements.end(), location,
                                    [](const LocationMeasurements& l, LocationKey k) { return l.location < k; });
    if (m != measurements.end() && m->location == location)
        trend.measurements = m->measurements;
    const auto l = std::lower_bound(settings.locations.begin(), settings.locations.end(), location,
                                    [](const LocationSettings& s, LocationKey k) { return s.key < k; });
    if (l != settings.locations.end() && l->key == location)
        trend.description = l->description;
    if (const GroupSettings* group = settings.group(location.series))
        trend.groupName = group->name;
    return trend;
}

std::unique_ptr<QChart> makeTrendChart(const LocationTrend& trend, const TrendOptions& options)
{
    const auto language = std::uint8_t(options.languageIndex);
    const auto text = [&](const TextPair& pair) { return Text(pair, language); };
    const QStringList figures = ratesRow(trend.rates, options.locale);
    const LocationFigures& f = trend.rates.figures;

    auto chart = std::make_unique<QChart>();
    chart->setLocalizeNumbers(true);
    chart->setLocale(options.locale);
    QStringList title{text(LocationTitle).arg(locationText(trend.rates.location))};
    if (!figures[CellColumn].isEmpty())
        title.back() += QStringLiteral(" (%1)").arg(figures[CellColumn]);
    if (!trend.groupName.isEmpty())
        title << trend.groupName;
    if (!trend.description.isEmpty())
        title << trend.description;
    chart->setTitle(title.join(QStringLiteral(" · ")));

    auto* x = new QDateTimeAxis;
    // Year and month: a full date under each of a few ticks would not fit a chart in a window.
    x->setFormat(QStringLiteral("yyyy-MM"));
    x->setTitleText(text(DateAxis));
    x->setTickCount(5);
    auto* y = new QValueAxis;
    y->setTitleText(text(ThicknessAxis));
    y->setLabelFormat(QStringLiteral("%.2f"));
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);

    const std::vector<TrendPoint> points = trendPoints(trend);
    QDate first = points.empty() ? (f.last ? f.last->date : QDate::currentDate()) : points.front().date;
    QDate end = points.empty() ? first : points.back().date;
    double lowest = 1e9, highest = 0;
    const auto reach = [&](double mm) {
        lowest = std::min(lowest, mm);
        highest = std::max(highest, mm);
    };

    const QColor readingsColour(0x1F, 0x4E, 0x9A);
    auto* counted = new QScatterSeries;
    counted->setObjectName(QStringLiteral("readings"));
    counted->setName(text(ReadingsName));
    counted->setMarkerSize(9);
    counted->setColor(readingsColour);
    counted->setBorderColor(readingsColour.darker(130));
    auto* leftOut = new QScatterSeries;
    leftOut->setObjectName(QStringLiteral("left-out"));
    leftOut->setName(text(LeftOutName));
    leftOut->setMarkerSize(9);
    leftOut->setBrush(Qt::white);
    leftOut->setPen(linePen(readingsColour, Qt::SolidLine, 1.5));
    for (const TrendPoint& p : points) {
        (p.counted ? counted : leftOut)->append(when(p.date), p.thickness / 100.0);
        reach(p.thickness / 100.0);
    }

    const QPen trendPen = linePen(readingsColour, Qt::SolidLine);
    std::vector<QLineSeries*> lines;
    if (f.base && f.last && f.longTermRate)
        lines.push_back(addLine(*chart, "long-term", text(LongTermName).arg(figures[LongTermColumn]), trendPen,
                                {{when(f.base->date), f.base->thickness / 100.0},
                                 {when(f.last->date), f.last->thickness / 100.0}}));
    if (f.nextInspection)
        end = std::max(end, *f.nextInspection);
    // The projection: from the last value at the governing rate down to the required thickness,
    // reached on the retirement date. A retirement decades away is drawn only over its first
    // years, so that the readings keep the width of the chart.
    if (f.last && f.required && f.retirement && f.governingRate && *f.governingRate > 0) {
        const QDate shownUntil = std::min(*f.retirement, std::max(end, f.last->date.addYears(ProjectionYearsShown)));
        const double years = yearsBetween(f.last->date, shownUntil);
        const double at = f.last->thickness / 100.0 - *f.governingRate * years;
        const double reached = shownUntil == *f.retirement ? *f.required / 100.0 : at;
        end = std::max(end, shownUntil);
        reach(reached);
        lines.push_back(addLine(*chart, "projection",
                                text(ProjectionName).arg(figures[GoverningColumn], figures[RetirementColumn]),
                                linePen(QColor(0xE0, 0x7B, 0x00), Qt::DashDotLine),
                                {{when(f.last->date), f.last->thickness / 100.0}, {when(shownUntil), reached}}));
    }
    if (f.required)
        reach(*f.required / 100.0);
    if (trend.rates.nominal)
        reach(*trend.rates.nominal / 100.0);
    if (highest < lowest) { // nothing at all to show
        lowest = 0;
        highest = 1;
    }
    // A margin round everything, in time and in thickness.
    const qint64 span = std::max<qint64>(first.daysTo(end), 180);
    const QDate from = first.addDays(-span / 20);
    const QDate to = end.addDays(span / 20);
    const double margin = std::max(0.1, (highest - lowest) * 0.08);
    // Round ticks (6.00, 7.00, ...), and the vertical line of the next inspection from the
    // axis's bottom to its top.
    y->setRange(std::max(0.0, lowest - margin), highest + margin);
    y->applyNiceNumbers();
    const double bottom = y->min();
    const double top = y->max();

    if (f.required)
        lines.push_back(addLine(*chart, "required", text(RequiredName).arg(figures[RequiredColumn]),
                                linePen(Qt::red, Qt::DashLine),
                                {{when(from), *f.required / 100.0}, {when(to), *f.required / 100.0}}));
    if (trend.rates.nominal)
        lines.push_back(addLine(*chart, "nominal", text(NominalName).arg(figures[NominalColumn]),
                                linePen(Qt::darkGreen, Qt::DashLine),
                                {{when(from), *trend.rates.nominal / 100.0}, {when(to), *trend.rates.nominal / 100.0}}));
    if (f.nextInspection)
        lines.push_back(addLine(*chart, "next-inspection", text(NextInspectionName).arg(figures[NextColumn]),
                                linePen(QColor(0x75, 0x50, 0x7B), Qt::DotLine),
                                {{when(*f.nextInspection), bottom}, {when(*f.nextInspection), top}}));
    for (QLineSeries* line : lines) {
        line->attachAxis(x);
        line->attachAxis(y);
    }
    // The readings over the lines.
    for (QScatterSeries* dots : {leftOut, counted}) {
        chart->addSeries(dots);
        dots->attachAxis(x);
        dots->attachAxis(y);
    }
    x->setRange(from.startOfDay(), to.startOfDay());
    // No entry in the legend for what is not there.
    if (leftOut->count() == 0)
        for (QLegendMarker* marker : chart->legend()->markers(leftOut))
            marker->setVisible(false);
    // Beside the plot, one entry a line: in a row under it the entries' figures would be cut.
    chart->legend()->setAlignment(Qt::AlignRight);
    return chart;
}

} // namespace quilex
