// The chart and the histogram as drawn, on the offscreen platform: ticks at round values in the
// locale's decimals, the limits in pens no series has, bin labels whole at any width, tooltips
// that name the reading, a zoom that shows detail, and pictures at the size asked, the SVG all
// shapes. Also through "quilex-cli chart".

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
#include <QImage>
#include <QImageReader>
#include <QLegendMarker>
#include <QLineSeries>
#include <QProcess>
#include <QRegularExpression>
#include <QScatterSeries>
#include <QValueAxis>
#include <QXmlStreamReader>

#include <cmath>
#include <set>

using namespace quilex;
using namespace quilex::test;

namespace {

[[maybe_unused]] auto* const environment = ::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);

// count readings in `series` series, record numbers from 1, thicknesses spread over
// 5.00..14.99 mm (from base), dates in May 2013.
std::vector<ArchiveValues> readings(int count, int series, std::int32_t base = 500)
{
    std::vector<ArchiveValues> rows;
    for (int i = 0; i < count; ++i) {
        ArchiveValues row;
        row.row = i + 1;
        row.record = QString::number(i + 1);
        row.recordNumber = i + 1;
        row.thickness = base + (i * 37) % 1000;
        row.series = i % series;
        row.date = QDate(2013, 5, 1 + i % 28);
        rows.push_back(row);
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
        QApplication::processEvents();
    }
    QChartView view;
    ReadingsChart* chart;
};

struct Label {
    QString text;
    QRectF box;
};

// The axis labels drawn below the plot (across) or left of it (up), left to right and bottom
// to top, without the axis titles.
std::vector<Label> axisLabels(const ReadingsChart& chart, Qt::Orientation orientation)
{
    const QRectF plot = chart.mapToScene(chart.plotArea()).boundingRect();
    std::vector<Label> out;
    for (QGraphicsItem* item : chart.scene()->items()) {
        auto* text = dynamic_cast<QGraphicsTextItem*>(item);
        if (!text || !text->isVisible() || text->toPlainText().isEmpty())
            continue;
        const QString plain = text->toPlainText();
        if (plain == chart.xAxis()->titleText() || plain == chart.yAxis()->titleText() || plain == chart.title())
            continue;
        const QRectF box = text->sceneBoundingRect();
        const bool across = box.top() >= plot.bottom() - 1 && box.center().x() >= plot.left() - 30 &&
                            box.center().x() <= plot.right() + 30;
        const bool up = box.right() <= plot.left() + 1 && box.center().y() >= plot.top() - 20 &&
                        box.center().y() <= plot.bottom() + 20;
        if ((orientation == Qt::Horizontal && across) || (orientation == Qt::Vertical && up))
            out.push_back({plain, box});
    }
    std::sort(out.begin(), out.end(), [&](const Label& a, const Label& b) {
        return orientation == Qt::Horizontal ? a.box.center().x() < b.box.center().x()
                                             : a.box.center().y() > b.box.center().y();
    });
    return out;
}

bool isRoundStep(double step)
{
    const double power = std::pow(10.0, std::floor(std::log10(step) + 1e-9));
    const double mantissa = step / power;
    return std::abs(mantissa - 1) < 1e-6 || std::abs(mantissa - 2) < 1e-6 || std::abs(mantissa - 5) < 1e-6;
}

// The labels read as numbers in the locale, evenly a round step apart, on multiples of it.
void expectRoundTicks(const std::vector<Label>& labels, const QLocale& locale, const std::string& where)
{
    QStringList texts;
    for (const Label& label : labels)
        texts << label.text;
    const std::string all = where + ": " + texts.join(u' ').toStdString();
    ASSERT_GE(labels.size(), 3u) << all;
    std::vector<double> values;
    for (const Label& label : labels) {
        bool ok = false;
        values.push_back(locale.toDouble(label.text, &ok));
        EXPECT_TRUE(ok) << where << ": \"" << label.text.toStdString() << "\" is not a number here";
        EXPECT_FALSE(label.text.contains(QStringLiteral("…")) || label.text.contains(QStringLiteral("...")))
            << where << ": cut \"" << label.text.toStdString() << '"';
    }
    const double step = values[1] - values[0];
    EXPECT_TRUE(step > 0 && isRoundStep(step)) << all;
    for (std::size_t i = 1; i < values.size(); ++i)
        EXPECT_NEAR(values[i] - values[i - 1], step, step * 1e-6) << all;
    EXPECT_NEAR(std::remainder(values[0], step), 0, step * 1e-6) << all;
}

QLocale russian()
{
    return QLocale(QLocale::Russian, QLocale::Russia);
}

QLocale english()
{
    return QLocale(QLocale::English, QLocale::UnitedStates);
}

struct SvgShapes {
    bool hasImage = false;
    std::map<QString, int> filled; // fill colour -> shapes (paths, ellipses, circles, rects)
    int texts = 0;
};

SvgShapes readSvg(const QString& path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    QXmlStreamReader xml(&file);
    SvgShapes shapes;
    // QSvgGenerator puts the fill on the group around each shape.
    std::vector<QString> fills{QStringLiteral("none")};
    while (!xml.atEnd()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::EndElement) {
            if (xml.name() == u"g")
                fills.pop_back();
            continue;
        }
        if (token != QXmlStreamReader::StartElement)
            continue;
        const QString fill = xml.attributes().hasAttribute("fill") ? xml.attributes().value("fill").toString() : QString();
        if (xml.name() == u"g") {
            fills.push_back(fill.isEmpty() ? fills.back() : fill);
        } else if (xml.name() == u"image") {
            shapes.hasImage = true;
        } else if (xml.name() == u"text") {
            ++shapes.texts;
        } else if (xml.name() == u"path" || xml.name() == u"ellipse" || xml.name() == u"circle" ||
                   xml.name() == u"rect" || xml.name() == u"polygon") {
            ++shapes.filled[(fill.isEmpty() ? fills.back() : fill).toLower()];
        }
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    return shapes;
}

QPointF positionOf(ReadingsChart& chart, double x, double y)
{
    return chart.mapToPosition(QPointF(x, y), chart.series().front());
}

} // namespace

// The steps a reader reads off a ruler, as few as the room asks for.
TEST(RoundTicks, StepsOfOneTwoOrFiveOnMultiplesOfThemselves)
{
    RoundTicks t = roundTicks(0.9, 9.9, 6, 0.01); // Qt's own gave 0.9, 2.7, 4.5...
    EXPECT_DOUBLE_EQ(t.step, 2);
    EXPECT_DOUBLE_EQ(t.first, 2);
    EXPECT_EQ(t.decimals, 0);
    t = roundTicks(5.23, 6.01, 8, 0.01);
    EXPECT_DOUBLE_EQ(t.step, 0.2);
    EXPECT_NEAR(t.first, 5.4, 1e-12);
    EXPECT_EQ(t.decimals, 1);
    EXPECT_DOUBLE_EQ(roundTicks(1, 378, 12, 1).step, 50);
    EXPECT_DOUBLE_EQ(roundTicks(3, 5, 20, 1).step, 1); // record numbers never get halves
    EXPECT_DOUBLE_EQ(roundTicks(12.00, 12.03, 20, 0.01).step, 0.01);
    const AxisRange range = roundRange(5.23, 12.87, 8, 0.01);
    EXPECT_DOUBLE_EQ(range.low, 4);
    EXPECT_DOUBLE_EQ(range.high, 14);
}

// What the inspector reads off the axes: round ticks written as the locale writes decimals,
// at every size of the chart, for the readings and the histogram alike.
TEST(ReadingsChart, AxisTicksAreRoundInTheLocalesDecimals)
{
    const std::vector<ArchiveValues> rows = readings(378, 4);
    for (const QLocale& locale : {russian(), english()}) {
        for (const bool histogram : {false, true}) {
            for (const QSize size : {QSize(640, 400), QSize(1200, 700), QSize(1800, 900)}) {
                ChartOptions options;
                options.locale = locale;
                options.histogram = histogram;
                options.pointsAcross = 2 * size.width();
                Shown shown(makeReadingsChart(rows, TableLimits{}, options), size);
                const std::string where = locale.name().toStdString() + (histogram ? " histogram " : " readings ") +
                                          std::to_string(size.width());
                const auto across = axisLabels(*shown.chart, Qt::Horizontal);
                const auto up = axisLabels(*shown.chart, Qt::Vertical);
                expectRoundTicks(across, locale, where + " x");
                expectRoundTicks(up, locale, where + " y");
                // The thickness is written with the locale's separator, never the other one.
                const auto& thickness = histogram ? across : up;
                const QChar foreign = locale.decimalPoint() == u"," ? u'.' : u',';
                for (const Label& label : thickness)
                    EXPECT_FALSE(label.text.contains(foreign)) << where << ' ' << label.text.toStdString();
                if (!histogram) {
                    for (const Label& label : across)
                        EXPECT_FALSE(label.text.contains(locale.decimalPoint())) << "record numbers are whole";
                }
            }
        }
    }
    // The thicknesses of the histogram in steps of tenths in Russian have a comma.
    ChartOptions options;
    options.locale = russian();
    options.histogram = true;
    std::vector<ArchiveValues> close = readings(40, 1);
    for (std::size_t i = 0; i < close.size(); ++i)
        close[i].thickness = 1200 + std::int32_t(i);
    Shown narrow(makeReadingsChart(close, TableLimits{}, options), QSize(900, 500));
    const auto labels = axisLabels(*narrow.chart, Qt::Horizontal);
    ASSERT_FALSE(labels.empty());
    EXPECT_TRUE(std::any_of(labels.begin(), labels.end(), [](const Label& l) { return l.text.contains(u','); }));
}

// With nothing to draw the axes carry no numbers (no "0 0 0 0 1") and the title says why.
TEST(ReadingsChart, AnEmptyTableIsAnEmptyChart)
{
    std::vector<ArchiveValues> rows(3);
    rows[1].row = 2;
    rows[1].thickness = std::nullopt; // "NAN"
    TableLimits limits;
    limits.table.minimum = 1000;
    for (const std::uint8_t language : {LanguageRussian, LanguageEnglish}) {
        for (const bool histogram : {false, true}) {
            ChartOptions options;
            options.histogram = histogram;
            options.languageIndex = language;
            Shown shown(makeReadingsChart(rows, limits, options), QSize(800, 500));
            EXPECT_TRUE(shown.chart->empty());
            EXPECT_EQ(shown.chart->title(), language == LanguageEnglish ? "No thickness readings" : "Нет измерений толщины");
            for (const Label& l : axisLabels(*shown.chart, Qt::Horizontal)) ADD_FAILURE() << "x " << l.text.toStdString() << " " << l.box.x() << "," << l.box.y();
            for (const Label& l : axisLabels(*shown.chart, Qt::Vertical)) ADD_FAILURE() << "y " << l.text.toStdString()<< " " << l.box.x() << "," << l.box.y();
            EXPECT_TRUE(shown.chart->tipAt(shown.chart->plotArea().center()).isEmpty());
        }
    }
}

// The table's minimum and nominal are told from every series at a glance: colours no series
// has (the nominal used to be series 8's green) and dashes of their own. A series' own limits are
// drawn in its colour over its readings, and stay out of the legend.
TEST(ReadingsChart, LimitLinesHavePensNoSeriesHas)
{
    TableLimits limits;
    limits.table = {1200, 800};
    limits.series[2] = {1300, 900};
    limits.series[5] = {std::nullopt, 700};
    limits.series[99] = {1000, 600}; // no readings: nothing drawn
    for (const int seriesCount : {1, 8, 12, 40}) {
        for (const bool histogram : {false, true}) {
            ChartOptions options;
            options.histogram = histogram;
            Shown shown(makeReadingsChart(readings(400, seriesCount), limits, options), QSize(900, 500));
            ReadingsChart* chart = shown.chart;
            const std::string where = std::to_string(seriesCount) + (histogram ? " histogram" : " readings");
            ASSERT_EQ(chart->tableLimitLines().size(), 2u) << where;
            const std::size_t own = seriesCount > 5 ? 3 : seriesCount > 2 ? 2 : 0;
            ASSERT_EQ(chart->seriesLimitLines().size(), own) << where;

            std::vector<QColor> seriesColours;
            for (QAbstractSeries* s : chart->series()) {
                if (auto* dots = qobject_cast<QScatterSeries*>(s)) {
                    seriesColours.push_back(dots->color());
                    seriesColours.push_back(dots->borderColor());
                } else if (auto* bars = qobject_cast<QAreaSeries*>(s)) {
                    seriesColours.push_back(bars->color());
                    seriesColours.push_back(bars->borderColor());
                }
            }
            ASSERT_EQ(int(seriesColours.size()), 2 * seriesCount) << where;
            std::set<QRgb> tableColours;
            for (QLineSeries* line : chart->tableLimitLines()) {
                const QPen pen = line->pen();
                tableColours.insert(pen.color().rgb());
                EXPECT_EQ(pen.style(), Qt::CustomDashLine) << where;
                for (const QColor& colour : seriesColours)
                    EXPECT_NE(pen.color().rgb(), colour.rgb()) << where << " " << line->name().toStdString();
                for (QLineSeries* other : chart->seriesLimitLines()) {
                    EXPECT_NE(pen.color().rgb(), other->pen().color().rgb()) << where;
                    EXPECT_NE(pen.dashPattern(), other->pen().dashPattern()) << where;
                }
                // Drawn where the limit is: level across the readings, upright in the histogram.
                ASSERT_EQ(line->count(), 2);
                const double value = line->name().contains(u"минимум") ? 8.0 : 12.0;
                EXPECT_DOUBLE_EQ(histogram ? line->at(0).x() : line->at(0).y(), value) << where;
                EXPECT_DOUBLE_EQ(histogram ? line->at(1).x() : line->at(1).y(), value) << where;
                for (QLegendMarker* marker : chart->legend()->markers(line))
                    EXPECT_EQ(marker->isVisible(), seriesCount <= 24) << where << ": a legend of 40 series is not drawn";
            }
            EXPECT_EQ(tableColours.size(), 2u) << "the minimum and the nominal differ";
            for (QLineSeries* line : chart->seriesLimitLines()) {
                EXPECT_TRUE(std::any_of(seriesColours.begin(), seriesColours.end(),
                                        [&](const QColor& c) { return c.rgb() == line->pen().color().rgb(); }))
                    << where << ": " << line->name().toStdString() << " not in its series' colour";
                for (QLegendMarker* marker : chart->legend()->markers(line))
                    EXPECT_FALSE(marker->isVisible());
            }
            // Every limit is inside the range shown.
            const QRectF range = chart->shownRange().normalized();
            for (const double limit : {6.0, 13.0})
                EXPECT_TRUE(histogram ? range.left() <= limit && limit <= range.right()
                                      : range.top() <= limit && limit <= range.bottom())
                    << where;
        }
    }
}

// The histogram counts every reading once, stacked or side by side, and its bin labels are
// whole at every width ("10…" at 1,800 px before).
TEST(ReadingsChart, HistogramStackedOrSideBySideCountsEveryReading)
{
    const std::vector<ArchiveValues> rows = readings(300, 3, 200);
    for (const bool stacked : {true, false}) {
        ChartOptions options;
        options.histogram = true;
        options.stacked = stacked;
        for (const int width : {500, 900, 1800}) {
            Shown shown(makeReadingsChart(rows, TableLimits{}, options), QSize(width, 500));
            for (const Label& label : axisLabels(*shown.chart, Qt::Horizontal))
                EXPECT_FALSE(label.text.contains(QStringLiteral("…")) || label.text.contains(QStringLiteral("...")))
                    << width << ": " << label.text.toStdString();
        }
        const auto chart = makeReadingsChart(rows, TableLimits{}, options);
        std::vector<QAreaSeries*> areas;
        for (QAbstractSeries* s : chart->series())
            if (auto* area = qobject_cast<QAreaSeries*>(s))
                areas.push_back(area);
        ASSERT_EQ(areas.size(), 3u);
        // Each bar is two points of the upper line at its height; side by side a bar's height
        // stands between two zeros.
        for (QAreaSeries* area : areas) {
            const QList<QPointF> upper = area->upperSeries()->points();
            const QList<QPointF> lower = area->lowerSeries()->points();
            double counted = 0;
            if (stacked) {
                ASSERT_EQ(upper.size(), lower.size());
                for (qsizetype i = 0; i + 1 < upper.size(); i += 2)
                    counted += upper[i].y() - lower[i].y();
            } else {
                for (qsizetype i = 0; i + 3 < upper.size(); i += 4)
                    counted += upper[i + 1].y();
            }
            EXPECT_DOUBLE_EQ(counted, 100) << (stacked ? "stacked " : "side by side ") << area->name().toStdString();
        }
        // Stacked, the last series' top is every reading of the bin.
        if (stacked) {
            double tops = 0;
            const QList<QPointF> top = areas.back()->upperSeries()->points();
            for (qsizetype i = 0; i + 1 < top.size(); i += 2)
                tops += top[i].y();
            EXPECT_DOUBLE_EQ(tops, 300);
        }
    }
}

// A pointer on a reading tells its record number, series, thickness and date, in the language
// and the locale of the chart; on a bar, its thicknesses and counts.
TEST(ReadingsChart, TooltipsNameTheReadingAndTheBar)
{
    std::vector<ArchiveValues> rows = readings(60, 3);
    rows[16].thickness = 1234; // record 17, series 1
    rows[16].record = QStringLiteral("17");
    for (const std::uint8_t language : {LanguageRussian, LanguageEnglish}) {
        const bool english = language == LanguageEnglish;
        ChartOptions options;
        options.languageIndex = language;
        options.locale = english ? QLocale(QLocale::English, QLocale::UnitedKingdom) : russian();
        Shown shown(makeReadingsChart(rows, TableLimits{}, options), QSize(900, 500));
        const QPointF at = positionOf(*shown.chart, 17, 12.34);
        const QString tip = shown.chart->tipAt(at + QPointF(2, -1));
        const QString date = options.locale.toString(QDate(2013, 5, 17), QLocale::ShortFormat);
        EXPECT_EQ(tip, english ? "№ 17\nSeries 1\n12.34 mm\n" + date : "№ 17\nСерия 1\n12,34 мм\n" + date);
        EXPECT_TRUE(shown.chart->tipAt(positionOf(*shown.chart, 17, 14.9)).isEmpty()); // above it, nothing
        EXPECT_TRUE(shown.chart->tipAt(QPointF(1, 1)).isEmpty()); // outside the plot

        options.histogram = true;
        Shown bars(makeReadingsChart(rows, TableLimits{}, options), QSize(900, 500));
        // The bar of 12.34 mm, low in its stack: series 0 of that bin or the first with readings.
        const QString barTip = bars.chart->tipAt(positionOf(*bars.chart, 12.345, 0.3));
        EXPECT_TRUE(barTip.contains(english ? "Series " : "Серия ")) << barTip.toStdString();
        EXPECT_TRUE(barTip.contains(english ? " mm" : " мм")) << barTip.toStdString();
        EXPECT_TRUE(barTip.contains(english ? "In all: " : "Всего: ")) << barTip.toStdString();
        EXPECT_TRUE(bars.chart->tipAt(positionOf(*bars.chart, 12.345, 1000)).isEmpty());
    }
}

// A zoom into a long archive shows the readings the whole chart had no room for, and coming
// back shows the whole chart as it was.
TEST(ReadingsChart, ZoomThinsAgainForTheRangeShown)
{
    const std::vector<ArchiveValues> rows = readings(100000, 1);
    ChartOptions options;
    options.pointsAcross = 400;
    Shown shown(makeReadingsChart(rows, TableLimits{}, options), QSize(900, 500));
    auto* dots = qobject_cast<QScatterSeries*>(shown.chart->series().front());
    ASSERT_NE(dots, nullptr);
    EXPECT_LE(dots->count(), 400);
    const int whole = dots->count();
    EXPECT_FALSE(shown.chart->zoomed());
    std::vector<bool> told;
    QObject::connect(shown.chart, &ReadingsChart::zoomChanged, [&](bool zoomed) { told.push_back(zoomed); });

    shown.chart->showRange(QRectF(QPointF(1000, 0), QPointF(1099.5, 20)));
    EXPECT_TRUE(shown.chart->zoomed());
    EXPECT_EQ(dots->count(), 100); // records 1000..1099, every one
    for (const QPointF& p : dots->points())
        EXPECT_TRUE(p.x() >= 1000 && p.x() <= 1099);
    // A rectangle dragged on the chart zooms the same way.
    const QPointF a = positionOf(*shown.chart, 1020, 14), b = positionOf(*shown.chart, 1040, 6);
    shown.chart->zoomIn(QRectF(a, b));
    EXPECT_LE(shown.chart->xAxis()->max() - shown.chart->xAxis()->min(), 21);
    EXPECT_GE(dots->count(), 15);

    shown.chart->showAll();
    EXPECT_FALSE(shown.chart->zoomed());
    EXPECT_EQ(dots->count(), whole);
    EXPECT_EQ(told, (std::vector<bool>{true, false}));
    // No zoom out past the whole chart.
    shown.chart->showRange(QRectF(QPointF(-1e6, -100), QPointF(1e6, 100)));
    EXPECT_FALSE(shown.chart->zoomed());
}

// The picture at the size asked, drawn at the scale asked; the SVG draws every reading as a
// shape of its series' colour and embeds no picture at all.
TEST(ReadingsChart, SavedPicturesHaveTheSizeAskedAndTheSvgIsAllShapes)
{
    TempDir dir;
    const std::vector<ArchiveValues> rows = readings(378, 3);
    TableLimits limits;
    limits.table = {1200, 800};
    for (const auto& [size, scale] : {std::pair{QSize(640, 400), 1.0}, std::pair{QSize(1756, 1020), 2.0}}) {
        const QString png = QString::fromStdString(dir.file("chart.png"));
        auto chart = makeReadingsChart(rows, limits, ChartOptions{});
        ASSERT_FALSE(saveChart(*chart, png, size, scale));
        EXPECT_EQ(QImageReader(png).size(), size);
    }
    for (const bool histogram : {false, true}) {
        ChartOptions options;
        options.histogram = histogram;
        options.pointsAcross = 4000; // every reading kept
        auto chart = makeReadingsChart(rows, limits, options);
        std::vector<QColor> colours;
        for (QAbstractSeries* s : chart->series())
            if (auto* dots = qobject_cast<QScatterSeries*>(s))
                colours.push_back(dots->color());
        const QString svg = QString::fromStdString(dir.file(histogram ? "histogram.svg" : "chart.svg"));
        ASSERT_FALSE(saveChart(*chart, svg, QSize(1200, 700), 1.0));
        QFile file(svg);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        EXPECT_FALSE(text.contains("<image")) << (histogram ? "histogram" : "chart");
        EXPECT_FALSE(text.contains("data:image")) << (histogram ? "histogram" : "chart");
        EXPECT_LT(text.size(), 400 * 1024);
        const SvgShapes shapes = readSvg(svg);
        EXPECT_FALSE(shapes.hasImage);
        EXPECT_GT(shapes.texts, 10); // titles, ticks, legend as text
        // 126 readings in each series: one marker each (and one in the legend).
        for (const QColor& colour : colours) {
            const auto found = shapes.filled.find(colour.name());
            ASSERT_NE(found, shapes.filled.end()) << colour.name().toStdString();
            EXPECT_GE(found->second, 126) << colour.name().toStdString();
            EXPECT_LE(found->second, 127) << colour.name().toStdString();
        }
    }
}

// The command line draws the same: the size and scale asked, an SVG of shapes, the histogram
// side by side on request, and says what is wrong with an option.
TEST(ChartCommand, WritesThePictureAsAsked)
{
    TempDir dir;
    StringGrid grid(8, 301);
    writeArchiveHeader(grid, 0);
    const QLocale locale = QLocale::system();
    for (int r = 1; r <= 300; ++r)
        grid.setRow(r, {QString::number(r), QStringLiteral("сталь"), "5920", locale.toString((500 + r * 37 % 1000) / 100.0, 'f', 2),
                        QString::number(r), QString::number(r % 4), locale.toString(QDate(2013, 5, 1 + r % 28), locale.dateFormat(QLocale::ShortFormat)),
                        "09:03:00"});
    const QString table = QString::fromStdString(dir.file("table.qlx"));
    TableLimits limits;
    limits.table = {1200, 800};
    limits.series[1] = {1300, std::nullopt};
    ASSERT_FALSE(writeProjectFile(grid, table, 0, limits));
    const auto run = [](const QStringList& args) {
        QProcess process;
        process.start(QString::fromStdString(binPath("quilex-cli")), args);
        EXPECT_TRUE(process.waitForFinished(60000));
        return process.exitCode();
    };
    const QString png = QString::fromStdString(dir.file("out.png"));
    ASSERT_EQ(run({"chart", table, "-o", png, "--size", "1234x567", "--scale", "2"}), 0);
    EXPECT_EQ(QImageReader(png).size(), QSize(1234, 567));
    const QString svg = QString::fromStdString(dir.file("out.svg"));
    ASSERT_EQ(run({"chart", table, "-o", svg, "--size", "1000x600"}), 0);
    const SvgShapes shapes = readSvg(svg);
    EXPECT_FALSE(shapes.hasImage);
    int markers = 0;
    for (int s = 0; s < 4; ++s) {
        const auto found = shapes.filled.find(seriesColour(s, 4).name());
        markers += found == shapes.filled.end() ? 0 : found->second;
    }
    EXPECT_GE(markers, 300); // every reading, and the legend's four
    EXPECT_LE(markers, 304);
    ASSERT_EQ(run({"chart", table, "-o", svg, "--histogram", "--side-by-side"}), 0);
    EXPECT_FALSE(readSvg(svg).hasImage);
    EXPECT_EQ(run({"chart", table, "-o", svg, "--side-by-side"}), 1);
    EXPECT_EQ(run({"chart", table, "-o", svg, "--scale", "9"}), 1);
    EXPECT_EQ(run({"chart", table, "-o", svg, "--scale", "two"}), 1);
}
