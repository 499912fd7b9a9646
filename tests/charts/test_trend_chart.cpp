// The trend of one location: what it draws from the history's figures (which readings count,
// the lines and where they lie, the figures in the legend as "history rates" writes them, in
// both languages and the locale's decimal separator), the SVG read back as vector shapes, and
// "quilex-cli history trend" end to end.

#include "charts/readings_chart.h"
#include "charts/trend_chart.h"
#include "base/texts.h"
#include "history/history_tables.h"
#include "support/test_support.h"
#include "windows/history_sample.h"

#include <QApplication>
#include <QChart>
#include <QDateTimeAxis>
#include <QFile>
#include <QImage>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QProcess>
#include <QScatterSeries>
#include <QValueAxis>

#include <gtest/gtest.h>

#include <cmath>

using namespace quilex;

namespace {

class QtApp final : public ::testing::Environment {
public:
    void SetUp() override
    {
        static int argc = 1;
        static char name[] = "test_trend_chart";
        static char* argv[] = {name, nullptr};
        app_ = std::make_unique<QApplication>(argc, argv);
    }
    void TearDown() override { app_.reset(); }

private:
    std::unique_ptr<QApplication> app_;
};

[[maybe_unused]] auto* const environment = ::testing::AddGlobalTestEnvironment(new QtApp);

const QDate D2016(2016, 3, 1), D2020(2020, 3, 1), D2022(2022, 3, 1), D2024(2024, 3, 1);

// One location of group 1 (nominal 10.00, required 6.00) with these readings, as the history
// computes it on 2024-03-01.
LocationTrend trendWith(std::vector<Measurement> readings, std::optional<QDate> renewed = std::nullopt)
{
    HistorySettings settings;
    settings.groups = {{1, QStringLiteral("Shell"), {1000, 600, 3, std::nullopt}}};
    settings.locations = {{{1, 4}, QStringLiteral("north"), std::nullopt, renewed}};
    const std::vector<LocationMeasurements> measured{{{1, 4}, readings}};
    const auto rates = historyRates(settings, measured, RateChoice::Larger, D2024);
    auto trend = trendOf({1, 4}, rates, measured, settings);
    EXPECT_TRUE(trend.has_value());
    return trend.value_or(LocationTrend{});
}

template <typename T>
T* seriesNamed(QChart& chart, const char* name)
{
    for (QAbstractSeries* s : chart.series())
        if (s->objectName() == QLatin1String(name))
            return qobject_cast<T*>(s);
    return nullptr;
}

qreal when(QDate day)
{
    return qreal(day.startOfDay().toMSecsSinceEpoch());
}

QString local(const char* number)
{
    return QString::fromLatin1(number).replace(u'.', QLocale::system().decimalPoint());
}

QByteArray bytesOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

TEST(TrendPoints, OnlyTheDaysValuesThatAreKeptCount)
{
    // 2022 grew by 12.5 % (left out, E); the thicker second reading of 2020 is not the day's
    // value; the ignored one of 2024 is out; everything before a renewal is out.
    const LocationTrend trend = trendWith({{D2020, 800, Mark::None},
                                           {D2020, 830, Mark::None},
                                           {D2022, 900, Mark::None},
                                           {D2024, 780, Mark::None},
                                           {D2024, 700, Mark::Ignored}});
    std::vector<std::pair<std::int32_t, bool>> seen;
    for (const TrendPoint& p : trendPoints(trend))
        seen.push_back({p.thickness, p.counted});
    EXPECT_EQ(seen, (std::vector<std::pair<std::int32_t, bool>>{
                        {800, true}, {830, false}, {900, false}, {700, false}, {780, true}}));
    EXPECT_EQ(flagLetters(trend.rates.figures.flags), "E");

    // Marked verified, the grown value counts; after a renewal in 2021 only 2022 on counts.
    const LocationTrend verified = trendWith({{D2020, 800, Mark::None}, {D2022, 900, Mark::Verified}, {D2024, 780, Mark::None}});
    EXPECT_TRUE(trendPoints(verified)[1].counted);
    const LocationTrend renewed = trendWith({{D2020, 800, Mark::None}, {D2022, 900, Mark::None}, {D2024, 780, Mark::None}},
                                            QDate(2021, 1, 1));
    const auto points = trendPoints(renewed);
    EXPECT_FALSE(points[0].counted);
    EXPECT_TRUE(points[1].counted);
    EXPECT_TRUE(points[2].counted);
}

class TrendChartIn : public ::testing::TestWithParam<std::uint8_t> {};

TEST_P(TrendChartIn, DrawsTheFiguresOfTheRates)
{
    // The worked example that turns amber: 7.60, 7.20, 6.48 give LT 0.140, ST 0.180, RL 2.7,
    // retirement 2026-11-01, next inspection 2025-07-01.
    const LocationTrend trend = trendWith({{D2016, 760, Mark::None}, {D2020, 720, Mark::None}, {D2024, 648, Mark::None}});
    TrendOptions options;
    options.languageIndex = GetParam();
    const auto chart = makeTrendChart(trend, options);
    const bool english = GetParam() == LanguageEnglish;
    EXPECT_EQ(chart->title(), english ? "Location 1-4 (A2) · Shell · north" : "Точка 1-4 (A2) · Shell · north");

    auto* readings = seriesNamed<QScatterSeries>(*chart, "readings");
    auto* leftOut = seriesNamed<QScatterSeries>(*chart, "left-out");
    ASSERT_TRUE(readings && leftOut);
    EXPECT_EQ(readings->count(), 3);
    EXPECT_EQ(leftOut->count(), 0);
    EXPECT_EQ(readings->at(0), QPointF(when(D2016), 7.60));

    auto* longTerm = seriesNamed<QLineSeries>(*chart, "long-term");
    ASSERT_TRUE(longTerm);
    EXPECT_EQ(longTerm->points(), (QList<QPointF>{{when(D2016), 7.60}, {when(D2024), 6.48}}));
    EXPECT_EQ(longTerm->name(), english ? "Long-term rate " + local("0.140") + " mm/y"
                                        : "Долгосрочная скорость " + local("0.140") + " мм/год");
    // The projection reaches the required thickness on the retirement date.
    auto* projection = seriesNamed<QLineSeries>(*chart, "projection");
    ASSERT_TRUE(projection);
    EXPECT_EQ(projection->at(0), QPointF(when(D2024), 6.48));
    EXPECT_EQ(projection->at(1), QPointF(when(QDate(2026, 11, 1)), 6.00));
    EXPECT_TRUE(projection->name().contains(local("0.180"))) << projection->name().toStdString();
    EXPECT_TRUE(projection->name().contains("2026-11-01"));
    auto* next = seriesNamed<QLineSeries>(*chart, "next-inspection");
    ASSERT_TRUE(next);
    EXPECT_EQ(next->at(0).x(), when(QDate(2025, 7, 1)));
    EXPECT_EQ(next->at(1).x(), when(QDate(2025, 7, 1)));
    EXPECT_TRUE(next->name().endsWith("2025-07-01"));
    auto* required = seriesNamed<QLineSeries>(*chart, "required");
    auto* nominal = seriesNamed<QLineSeries>(*chart, "nominal");
    ASSERT_TRUE(required && nominal);
    EXPECT_EQ(required->at(0).y(), 6.00);
    EXPECT_EQ(nominal->at(1).y(), 10.00);
    EXPECT_TRUE(required->name().contains(local("6.00")));

    // Everything lies within the axes: the readings, the nominal and the next inspection.
    auto* x = qobject_cast<QDateTimeAxis*>(chart->axes(Qt::Horizontal).front());
    auto* y = qobject_cast<QValueAxis*>(chart->axes(Qt::Vertical).front());
    ASSERT_TRUE(x && y);
    EXPECT_LT(x->min().toMSecsSinceEpoch(), when(D2016));
    EXPECT_GT(x->max().toMSecsSinceEpoch(), when(QDate(2026, 11, 1)));
    EXPECT_LT(y->min(), 6.0);
    EXPECT_GT(y->max(), 10.0);
    EXPECT_EQ(x->format(), "yyyy-MM");
    EXPECT_EQ(y->min(), std::round(y->min())); // round ticks
    // Nothing left out: no entry for it in the legend.
    for (QLegendMarker* marker : chart->legend()->markers(seriesNamed<QScatterSeries>(*chart, "left-out")))
        EXPECT_FALSE(marker->isVisible());
    EXPECT_TRUE(chart->localizeNumbers());
    EXPECT_EQ(chart->locale().decimalPoint(), QLocale::system().decimalPoint());
}

TEST_P(TrendChartIn, AGrownReadingIsHollowAndNoLimitMeansNoProjection)
{
    // 8.00 then 8.00: no thinning, no remaining-life limit and so nothing to project; the
    // grown reading between is drawn hollow.
    const LocationTrend trend = trendWith({{D2020, 800, Mark::None}, {D2022, 900, Mark::None}, {D2024, 800, Mark::None}});
    TrendOptions options;
    options.languageIndex = GetParam();
    const auto chart = makeTrendChart(trend, options);
    auto* leftOut = seriesNamed<QScatterSeries>(*chart, "left-out");
    ASSERT_TRUE(leftOut);
    ASSERT_EQ(leftOut->count(), 1);
    EXPECT_EQ(leftOut->at(0), QPointF(when(D2022), 9.00));
    EXPECT_EQ(leftOut->brush().color(), QColor(Qt::white));
    EXPECT_EQ(seriesNamed<QLineSeries>(*chart, "projection"), nullptr);
    EXPECT_NE(seriesNamed<QLineSeries>(*chart, "next-inspection"), nullptr);
}

TEST_P(TrendChartIn, SavedAsSvgOfShapesAndAsPng)
{
    test::TempDir dir;
    const LocationTrend trend = trendWith({{D2016, 760, Mark::None}, {D2020, 720, Mark::None}, {D2024, 648, Mark::None}});
    TrendOptions options;
    options.languageIndex = GetParam();
    auto chart = makeTrendChart(trend, options);
    const QString svg = QString::fromStdString(dir.file("trend.svg"));
    ASSERT_TRUE(saveChart(*chart, svg, QSize(900, 500)).ok());
    const QByteArray text = bytesOf(svg);
    EXPECT_TRUE(text.startsWith("<?xml"));
    EXPECT_FALSE(text.contains("<image")) << "a bitmap inside the SVG";
    EXPECT_TRUE(text.contains("<path") || text.contains("<polyline"));
    EXPECT_TRUE(text.contains("2025-07-01"));
    EXPECT_TRUE(text.contains(GetParam() == LanguageEnglish ? "Location 1-4" : "Точка 1-4"));

    const QString png = QString::fromStdString(dir.file("trend.png"));
    ASSERT_TRUE(saveChart(*chart, png, QSize(640, 400)).ok());
    const QImage image(png);
    EXPECT_EQ(image.size(), QSize(640, 400));
}

INSTANTIATE_TEST_SUITE_P(Languages, TrendChartIn, ::testing::Values(LanguageRussian, LanguageEnglish),
                         [](const auto& info) { return info.param == LanguageEnglish ? "English" : "Russian"; });

// quilex-cli history trend on a real history, as the user runs it.
TEST(HistoryTrendCli, DrawsOneLocationAndRefusesWhatItCannot)
{
    test::TempDir dir;
    const QString history = QString::fromStdString(dir.file("unit4.qlh"));
    test::makeSampleHistory(history);
    const auto run = [](const QStringList& args) {
        QProcess process;
        process.start(QString::fromStdString(test::binPath("quilex-cli")), QStringList{"history", "trend"} + args);
        EXPECT_TRUE(process.waitForFinished(60000));
        return std::pair{process.exitCode(), QString::fromUtf8(process.readAllStandardError())};
    };
    const QString svg = QString::fromStdString(dir.file("1-2.svg"));
    auto [status, err] = run({history, "1-2", "-o", svg, "--as-of", "2024-03-01", "--lang", "en"});
    ASSERT_EQ(status, 0) << err.toStdString();
    const QByteArray drawn = bytesOf(svg);
    EXPECT_FALSE(drawn.contains("<image"));
    EXPECT_TRUE(drawn.contains("Location 1-2 (B1)"));
    EXPECT_TRUE(drawn.contains("2026-11-01")); // the retirement, as rates has it
    // --rate lt: the projection at the long-term rate, 0.140 mm/y: retirement 2027-08-01 (41 months).
    std::tie(status, err) = run({history, "1-2", "-o", svg, "--as-of", "2024-03-01", "--rate", "lt"});
    ASSERT_EQ(status, 0) << err.toStdString();
    EXPECT_TRUE(bytesOf(svg).contains("2027-08-01"));
    EXPECT_TRUE(bytesOf(svg).contains("Точка 1-2"));

    const QString png = QString::fromStdString(dir.file("1-1.png"));
    std::tie(status, err) = run({history, "1-1", "-o", png, "--size", "500x300"});
    ASSERT_EQ(status, 0) << err.toStdString();
    EXPECT_EQ(QImage(png).size(), QSize(500, 300));

    // A location the history does not have, no -o, a bad size: usage (1), nothing written.
    const QString none = QString::fromStdString(dir.file("none.png"));
    std::tie(status, err) = run({history, "9-9", "-o", none, "--lang", "en"});
    EXPECT_EQ(status, 1);
    EXPECT_TRUE(err.contains("the history has no location 9-9")) << err.toStdString();
    EXPECT_FALSE(QFile::exists(none));
    EXPECT_EQ(run({history, "1-1"}).first, 1);
    EXPECT_EQ(run({history, "1-1", "-o", none, "--size", "20x20"}).first, 1);
    // A file that is no history: 4, and left as it was.
    const QString text = QString::fromStdString(dir.file("notes.qlh"));
    {
        QFile file(text);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("not a history\n");
    }
    std::tie(status, err) = run({text, "1-1", "-o", none, "--lang", "en"});
    EXPECT_EQ(status, 4);
    EXPECT_TRUE(err.contains("is not a Quilex-A survey history")) << err.toStdString();
    EXPECT_EQ(bytesOf(text), "not a history\n");
}
