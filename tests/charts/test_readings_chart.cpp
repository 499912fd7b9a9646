// The chart and the histogram as drawn, on the offscreen platform: ticks at round values in the
// locale's decimals, the limits in pens no series has, bin labels whole at any width, tooltips
// that name the reading, a zoom that shows detail, and pictures at the size asked, the SVG all
// shapes, also through "quilex-cli chart".

#include "base/texts.h"
#include "charts/chart_axes.h"
#include "charts/readings_chart.h"
#include "table/archive_columns.h"
#include "table/project_file.h"
#include "support/test_support.h"
#include "windows/windows_test_support.h"

#include <QAreaSeries>
#include <QChartView>
#include <QFile>
#include <QGraphicsScene>
#include <QGraphicsTextItem>
#include <QImageReader>
#include <QLegendMarker>
#include <QLineSeries>
#include <QProcess>
#include <QScatterSeries>
#include <QValueAxis>

#include <cmath>

using namespace quilex;
using namespace quilex::test;

namespace {

[[maybe_unused]] auto* const environment = ::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);

// count readings in `series` series, record numbers from 1, thicknesses over 5.00..14.99 mm,
// dates in May 2013.
std::vector<ArchiveValues> readings(int count, int series)
{
    std::vector<ArchiveValues> rows{std::size_t(count)};
    for (int i = 0; i < count; ++i) {
        ArchiveValues& row = rows[std::size_t(i)];
        row.row = i + 1;
        row.record = QString::number(i + 1);
        row.recordNumber = i + 1;
        row.thickness = 500 + (i * 37) % 1000;
        row.series = i % series;
        row.date = QDate(2013, 5, 1 + i % 28);
    }
    return rows;
}

// A chart laid out in a view of the given size, as the window shows it.
struct Shown {
    Shown(std::unique_ptr<ReadingsChart> made, QSize size) : chart(made.get())
    {
        // The view's own first chart is the view's no more once another is set.
        std::unique_ptr<QChart> first(view.chart());
        view.setChart(made.release());
        view.resize(size);
        view.show();
        QApplication::processEvents();
    }
    QPointF at(double x, double y) { return chart->mapToPosition(QPointF(x, y), chart->series().front()); }
    QChartView view;
    ReadingsChart* chart;
};

// The texts of the axis labels drawn below the plot (across) or left of it, left to right and
// bottom to top.
QStringList axisLabels(const ReadingsChart& chart, Qt::Orientation orientation)
{
    const QRectF plot = chart.mapToScene(chart.plotArea()).boundingRect();
    std::vector<std::pair<double, QString>> found;
    for (QGraphicsItem* item : chart.scene()->items()) {
        auto* text = dynamic_cast<QGraphicsTextItem*>(item);
        const QString plain = text ? text->toPlainText() : QString();
        if (!text || !text->isVisible() || plain.isEmpty() || plain == chart.xAxis()->titleText() ||
            plain == chart.yAxis()->titleText())
            continue;
        const QRectF box = text->sceneBoundingRect();
        if (orientation == Qt::Horizontal && box.top() >= plot.bottom() - 1 && box.center().x() < plot.right() + 30)
            found.emplace_back(box.center().x(), plain);
        if (orientation == Qt::Vertical && box.right() <= plot.left() + 1 && box.center().y() > plot.top() - 20)
            found.emplace_back(-box.center().y(), plain);
    }
    std::sort(found.begin(), found.end());
    QStringList out;
    for (const auto& [place, text] : found)
        out << text;
    return out;
}

// The labels read as numbers in the locale, whole (never "10…"), evenly a step of 1, 2 or 5 x
// 10^k apart, on multiples of it.
void expectRoundTicks(const QStringList& labels, const QLocale& locale, const std::string& where)
{
    const std::string all = where + ": " + labels.join(u' ').toStdString();
    ASSERT_GE(labels.size(), 3) << all;
    std::vector<double> values;
    for (const QString& label : labels) {
        bool ok = false;
        values.push_back(locale.toDouble(label, &ok));
        EXPECT_TRUE(ok) << all;
    }
    const double step = values[1] - values[0];
    const double mantissa = step / std::pow(10.0, std::floor(std::log10(step) + 1e-9));
    EXPECT_TRUE(std::abs(mantissa - 1) < 1e-6 || std::abs(mantissa - 2) < 1e-6 || std::abs(mantissa - 5) < 1e-6) << all;
    for (std::size_t i = 1; i < values.size(); ++i)
        EXPECT_NEAR(values[i] - values[i - 1], step, step * 1e-6) << all;
    EXPECT_NEAR(std::remainder(values[0], step), 0, step * 1e-6) << all;
}

const QLocale Russian(QLocale::Russian, QLocale::Russia);
const QLocale English(QLocale::English, QLocale::UnitedKingdom);

} // namespace

TEST(RoundTicks, StepsOfOneTwoOrFiveOnMultiplesOfThemselves)
{
    const RoundTicks t = roundTicks(0.9, 9.9, 6, 0.01); // Qt's own gave 0.9, 2.7, 4.5...
    EXPECT_EQ(std::tuple(t.step, t.first, t.decimals), std::tuple(2.0, 2.0, 0));
    EXPECT_DOUBLE_EQ(roundTicks(5.23, 6.01, 8, 0.01).step, 0.2);
    EXPECT_EQ(roundTicks(5.23, 6.01, 8, 0.01).decimals, 1);
    EXPECT_DOUBLE_EQ(roundTicks(3, 5, 20, 1).step, 1); // record numbers never get halves
    const AxisRange range = roundRange(5.23, 12.87, 8, 0.01);
    EXPECT_EQ(std::pair(range.low, range.high), std::pair(4.0, 14.0));
}

// What the inspector reads off the axes at every size of the chart, for the readings and the
// histogram alike: round ticks, written as the locale writes decimals, never cut.
TEST(ReadingsChart, AxisTicksAreRoundInTheLocalesDecimals)
{
    const std::vector<ArchiveValues> rows = readings(378, 4);
    for (const QLocale& locale : {Russian, English}) {
        for (const bool histogram : {false, true}) {
            for (const QSize size : {QSize(640, 400), QSize(1800, 900)}) {
                ChartOptions options;
                options.locale = locale;
                options.histogram = histogram;
                options.pointsAcross = 2 * size.width();
                Shown shown(makeReadingsChart(rows, TableLimits{}, options), size);
                const std::string where = locale.name().toStdString() + (histogram ? " histogram " : " readings ") +
                                          std::to_string(size.width());
                expectRoundTicks(axisLabels(*shown.chart, Qt::Horizontal), locale, where + " across");
                expectRoundTicks(axisLabels(*shown.chart, Qt::Vertical), locale, where + " up");
            }
        }
    }
    // Tenths of a millimetre: the Russian comma, the English point.
    std::vector<ArchiveValues> close = readings(40, 1);
    for (std::size_t i = 0; i < close.size(); ++i)
        close[i].thickness = 1200 + std::int32_t(i);
    for (const QLocale& locale : {Russian, English}) {
        ChartOptions options;
        options.locale = locale;
        for (const bool histogram : {false, true}) {
            options.histogram = histogram;
            Shown shown(makeReadingsChart(close, TableLimits{}, options), QSize(900, 500));
            const QString thickness = axisLabels(*shown.chart, histogram ? Qt::Horizontal : Qt::Vertical).join(u' ');
            EXPECT_TRUE(thickness.contains(locale.decimalPoint())) << thickness.toStdString();
            EXPECT_FALSE(thickness.contains(locale == Russian ? u'.' : u',')) << thickness.toStdString();
        }
    }
}

// With nothing to draw the axes carry no numbers (no "0 0 0 0 1") and the title says why.
TEST(ReadingsChart, AnEmptyTableIsAnEmptyChart)
{
    std::vector<ArchiveValues> rows(3); // no thickness ("NAN")
    TableLimits limits;
    limits.table.minimum = 1000;
    for (const std::uint8_t language : {LanguageRussian, LanguageEnglish}) {
        for (const bool histogram : {false, true}) {
            ChartOptions options;
            options.histogram = histogram;
            options.languageIndex = language;
            Shown shown(makeReadingsChart(rows, limits, options), QSize(800, 500));
            EXPECT_EQ(shown.chart->title(), language == LanguageEnglish ? "No thickness readings" : "Нет измерений толщины");
            EXPECT_EQ(axisLabels(*shown.chart, Qt::Horizontal), QStringList());
            EXPECT_EQ(axisLabels(*shown.chart, Qt::Vertical), QStringList());
            EXPECT_TRUE(shown.chart->tipAt(shown.chart->plotArea().center()).isEmpty());
        }
    }
}

// The table's minimum and nominal are told from every series at a glance: colours no series
// has (the nominal used to be series 8's green) and dashes of their own. A series' own limits
// are drawn in its colour and stay out of the legend. Level in the chart, upright in the
// histogram.
TEST(ReadingsChart, LimitLinesHavePensNoSeriesHas)
{
    TableLimits limits;
    limits.table = {1200, 800}; // nominal, minimum
    limits.series[2] = {1300, 900};
    limits.series[5] = {std::nullopt, 700};
    limits.series[99] = {1000, 600}; // no readings: nothing drawn
    for (const int seriesCount : {1, 12, 40}) {
        for (const bool histogram : {false, true}) {
            ChartOptions options;
            options.histogram = histogram;
            Shown shown(makeReadingsChart(readings(400, seriesCount), limits, options), QSize(900, 500));
            ReadingsChart* chart = shown.chart;
            const std::string where = std::to_string(seriesCount) + (histogram ? " histogram" : " readings");
            ASSERT_EQ(chart->tableLimitLines().size(), 2u) << where;
            ASSERT_EQ(chart->seriesLimitLines().size(), seriesCount > 5 ? 3u : 0u) << where;
            std::vector<QRgb> seriesColours;
            for (QAbstractSeries* s : chart->series()) {
                if (auto* dots = qobject_cast<QScatterSeries*>(s))
                    seriesColours.insert(seriesColours.end(), {dots->color().rgb(), dots->borderColor().rgb()});
                if (auto* bars = qobject_cast<QAreaSeries*>(s))
                    seriesColours.insert(seriesColours.end(), {bars->color().rgb(), bars->borderColor().rgb()});
            }
            ASSERT_EQ(int(seriesColours.size()), 2 * seriesCount) << where;
            const QPen minimum = chart->tableLimitLines()[0]->pen(), nominal = chart->tableLimitLines()[1]->pen();
            EXPECT_NE(minimum.color(), nominal.color());
            for (const QPen& pen : {minimum, nominal}) {
                EXPECT_EQ(std::count(seriesColours.begin(), seriesColours.end(), pen.color().rgb()), 0) << where;
                for (QLineSeries* own : chart->seriesLimitLines()) {
                    EXPECT_NE(pen.color(), own->pen().color()) << where;
                    EXPECT_NE(pen.dashPattern(), own->pen().dashPattern()) << where;
                }
            }
            for (const auto& [line, value] : {std::pair{chart->tableLimitLines()[0], 8.0}, {chart->tableLimitLines()[1], 12.0}}) {
                const auto along = [&](int i) { return histogram ? line->at(i).x() : line->at(i).y(); };
                EXPECT_EQ(std::pair(along(0), along(1)), std::pair(value, value)) << where;
                for (QLegendMarker* marker : chart->legend()->markers(line))
                    EXPECT_EQ(marker->isVisible(), seriesCount <= 24) << where << ": 40 series have no legend";
            }
            for (QLineSeries* own : chart->seriesLimitLines()) {
                EXPECT_EQ(std::count(seriesColours.begin(), seriesColours.end(), own->pen().color().rgb()), 1) << where;
                EXPECT_FALSE(chart->legend()->markers(own).front()->isVisible()) << where;
            }
            const QRectF range = chart->shownRange();
            EXPECT_TRUE(histogram ? range.left() <= 6 && range.right() >= 13 : range.top() <= 6 && range.bottom() >= 13)
                << where << ": every limit in the range shown";
        }
    }
}

// The histogram counts every reading once, stacked or side by side.
TEST(ReadingsChart, HistogramStackedOrSideBySideCountsEveryReading)
{
    for (const bool stacked : {true, false}) {
        ChartOptions options;
        options.histogram = true;
        options.stacked = stacked;
        const auto chart = makeReadingsChart(readings(300, 3), TableLimits{}, options);
        std::vector<double> counted;
        for (QAbstractSeries* s : chart->series()) {
            auto* area = qobject_cast<QAreaSeries*>(s);
            if (!area)
                continue;
            const QList<QPointF> upper = area->upperSeries()->points(), lower = area->lowerSeries()->points();
            double count = 0;
            // Stacked, a bar is two points of each line; side by side, four of the upper, from
            // the floor up and down again.
            for (qsizetype i = 0; stacked && i + 1 < upper.size(); i += 2)
                count += upper[i].y() - lower[i].y();
            for (qsizetype i = 0; !stacked && i + 3 < upper.size(); i += 4)
                count += upper[i + 1].y();
            counted.push_back(count);
        }
        EXPECT_EQ(counted, (std::vector<double>{100, 100, 100})) << (stacked ? "stacked" : "side by side");
    }
}

// A pointer on a reading tells its record number, series, thickness and date, in the language
// and the locale of the chart; on a bar, its thicknesses and counts.
TEST(ReadingsChart, TooltipsNameTheReadingAndTheBar)
{
    std::vector<ArchiveValues> rows = readings(60, 3);
    rows[16].thickness = 1234; // record 17, series 1, 17 May
    for (const std::uint8_t language : {LanguageRussian, LanguageEnglish}) {
        const bool english = language == LanguageEnglish;
        ChartOptions options;
        options.languageIndex = language;
        options.locale = english ? English : Russian;
        Shown shown(makeReadingsChart(rows, TableLimits{}, options), QSize(900, 500));
        const QString date = options.locale.toString(QDate(2013, 5, 17), QLocale::ShortFormat);
        EXPECT_EQ(shown.chart->tipAt(shown.at(17, 12.34) + QPointF(2, -1)),
                  english ? "№ 17\nSeries 1\n12.34 mm\n" + date : "№ 17\nСерия 1\n12,34 мм\n" + date);
        EXPECT_EQ(shown.chart->tipAt(shown.at(17, 14.9)), QString()); // nothing there

        options.histogram = true;
        Shown bars(makeReadingsChart(rows, TableLimits{}, options), QSize(900, 500));
        // The bar of 12.00 to 12.49 mm: at its foot series 1 (three readings; series 0 has none
        // there), five readings in all.
        EXPECT_EQ(bars.chart->tipAt(bars.at(12.3, 0.3)).toStdString(),
                  english ? "12.00 – 12.49 mm\nSeries 1: 3\nIn all: 5" : "12,00 – 12,49 мм\nСерия 1: 3\nВсего: 5");
        EXPECT_EQ(bars.chart->tipAt(bars.at(12.3, 1000)), QString());
    }
}

// A zoom into a long archive shows the readings the whole chart had no room for, and coming
// back shows the whole chart as it was; no zoom out past it.
TEST(ReadingsChart, ZoomThinsAgainForTheRangeShown)
{
    ChartOptions options;
    options.pointsAcross = 400;
    Shown shown(makeReadingsChart(readings(100000, 1), TableLimits{}, options), QSize(900, 500));
    auto* dots = qobject_cast<QScatterSeries*>(shown.chart->series().front());
    ASSERT_NE(dots, nullptr);
    const int whole = dots->count();
    EXPECT_LE(whole, 400);
    std::vector<bool> told;
    QObject::connect(shown.chart, &ReadingsChart::zoomChanged, [&](bool zoomed) { told.push_back(zoomed); });

    shown.chart->showRange(QRectF(QPointF(1000, 0), QPointF(1099.5, 20)));
    EXPECT_EQ(dots->count(), 100); // records 1000..1099, every one
    shown.chart->zoomIn(QRectF(shown.at(1020, 14), shown.at(1040, 6))); // a dragged rectangle
    EXPECT_LE(shown.chart->xAxis()->max() - shown.chart->xAxis()->min(), 21);
    EXPECT_GE(dots->count(), 15);
    shown.chart->showAll();
    EXPECT_EQ(dots->count(), whole);
    EXPECT_EQ(told, (std::vector<bool>{true, false}));
    shown.chart->showRange(QRectF(QPointF(-1e6, -100), QPointF(1e6, 100)));
    EXPECT_FALSE(shown.chart->zoomed());
}

// Pictures at the size asked, from the program and from the command line; the SVG draws every
// reading as a shape and embeds no picture (596 KB of them for 378 points before).
TEST(ReadingsChart, SavedPicturesHaveTheSizeAskedAndTheSvgIsAllShapes)
{
    TempDir dir;
    const QString png = QString::fromStdString(dir.file("chart.png")), svg = QString::fromStdString(dir.file("chart.svg"));
    for (const auto& [size, scale] : {std::pair{QSize(640, 400), 1.0}, std::pair{QSize(1756, 1020), 2.0}}) {
        const auto chart = makeReadingsChart(readings(378, 3), TableLimits{}, ChartOptions{});
        ASSERT_TRUE(saveChart(*chart, png, size, scale).ok());
        EXPECT_EQ(QImageReader(png).size(), size);
    }
    const auto svgOf = [&] {
        QFile file(svg);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    ChartOptions options;
    options.pointsAcross = 4000; // every reading kept
    const auto chart = makeReadingsChart(readings(378, 3), TableLimits{{1200, 800}, {}}, options);
    ASSERT_TRUE(saveChart(*chart, svg, QSize(1200, 700)).ok());
    QByteArray text = svgOf();
    EXPECT_FALSE(text.contains("<image"));
    EXPECT_EQ(text.count("<circle"), 378); // the legend's markers are squares
    EXPECT_LT(text.size(), 200 * 1024);
    EXPECT_TRUE(text.contains(">Серия 1</text>") || text.contains(">Series 1</text>"));

    // quilex-cli chart on a project file of 300 readings in four series.
    StringGrid grid(8, 301);
    writeArchiveHeader(grid, 0);
    const QLocale locale = QLocale::system();
    for (int r = 1; r <= 300; ++r)
        grid.setRow(r, {QString::number(r), "сталь", "5920", locale.toString((500 + r * 37 % 1000) / 100.0, 'f', 2),
                        QString::number(r), QString::number(r % 4), "", ""});
    const QString table = QString::fromStdString(dir.file("table.qlx"));
    ASSERT_TRUE(writeProjectFile(grid, table, 0, TableLimits{{1200, 800}, {{1, {1300, std::nullopt}}}}).ok());
    const auto cli = [](const QStringList& args) {
        QProcess process;
        process.start(QString::fromStdString(binPath("quilex-cli")), QStringList{"chart", "--lang", "en"} + args);
        EXPECT_TRUE(process.waitForFinished(60000));
        return process.exitCode();
    };
    ASSERT_EQ(cli({table, "-o", png, "--size", "1234x567", "--scale", "2"}), 0);
    EXPECT_EQ(QImageReader(png).size(), QSize(1234, 567));
    ASSERT_EQ(cli({table, "-o", svg, "--size", "1000x600"}), 0);
    text = svgOf();
    EXPECT_FALSE(text.contains("<image"));
    EXPECT_EQ(text.count("<circle"), 300);
    EXPECT_TRUE(text.contains("viewBox=\"0 0 1000 600\""));
    ASSERT_EQ(cli({table, "-o", svg, "--histogram", "--side-by-side"}), 0);
    EXPECT_FALSE(svgOf().contains("<image"));
    EXPECT_EQ(cli({table, "-o", svg, "--side-by-side"}), 1); // a histogram's option
    EXPECT_EQ(cli({table, "-o", svg, "--scale", "9"}), 1);
}
