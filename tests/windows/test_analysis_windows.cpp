// The statistics and the chart windows beside the main window, on the offscreen platform in
// both languages: they follow the archive table (a download, an opened project, a sort), the
// limits set in place colour the archive's rows and go into the project file, and the figures
// and the picture are copied, saved and printed.

#include "windows/main_window.h"
#include "table/archive_columns.h"
#include "table/project_file.h"
#include "base/texts.h"
#include "support/sim_gauge.h"
#include "charts/readings_chart.h"
#include "windows/chart_window.h"
#include "windows/statistics_window.h"
#include "windows/windows_test_support.h"

#include <QAction>
#include <QChart>
#include <QChartView>
#include <QClipboard>
#include <QFile>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QScatterSeries>
#include <QTableView>

using namespace quilex;
using namespace quilex::test;

namespace {

[[maybe_unused]] auto* const environment = ::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);

class AnalysisWindows : public ::testing::TestWithParam<std::uint8_t> {
protected:
    void SetUp() override
    {
        state = gauge.makeState(pacing);
        window = std::make_unique<TForm1>(*state);
        window->askAboutUnsavedTable = [](QWidget*) { return TForm1::UnsavedTable::Discard; };
        if (GetParam() == LanguageEnglish)
            window->Lang1Click();
    }
    void TearDown() override
    {
        window.reset();
        setLanguageIndex(LanguageRussian);
    }
    void download()
    {
        window->Button1Click();
        window->runner().waitForEnd();
        QApplication::processEvents();
    }
    QString cell(int row, int column) const
    {
        QAbstractItemModel* model = window->statisticsWindow()->model();
        return model->index(row, column).data().toString();
    }

    RecordingPacing pacing;
    SimGauge gauge{Transport::Usb, "records=40"};
    std::unique_ptr<ExchangeState> state;
    std::unique_ptr<TForm1> window;
};

} // namespace

TEST_P(AnalysisWindows, StatisticsFollowTheTableAndTheirLimitsColourTheRows)
{
    const bool english = GetParam() == LanguageEnglish;
    window->show();
    window->Statistics1->trigger();
    StatisticsWindow* stats = window->statisticsWindow();
    ASSERT_NE(stats, nullptr);
    EXPECT_EQ(stats->windowTitle(), english ? "Statistics" : "Статистика");
    EXPECT_EQ(window->Statistics1->text(), english ? "Statistics" : "Статистика");
    EXPECT_EQ(stats->model()->rowCount(), 1); // an empty table: only the whole table's row

    download(); // a download shows anew
    const int rows = stats->model()->rowCount();
    ASSERT_GE(rows, 2);
    EXPECT_EQ(cell(rows - 1, 0), english ? "All" : "Все");
    EXPECT_EQ(cell(rows - 1, 1), "40");

    // The whole table's minimum, set in place: rows below it turn red in the archive table.
    QAbstractItemModel* model = stats->model();
    const int minimumColumn = model->columnCount() - 1;
    ASSERT_TRUE(model->setData(model->index(rows - 1, minimumColumn), QStringLiteral("12,25")));
    QApplication::processEvents();
    ASSERT_TRUE(window->limits().table.minimum);
    EXPECT_EQ(*window->limits().table.minimum, 1225);
    EXPECT_TRUE(window->tableModified());
    int red = 0;
    QAbstractItemModel* archive = window->grid()->model();
    for (int r = 0; r < archive->rowCount(); ++r) {
        const bool thin = QLocale::system().toDouble(archive->index(r, 3).data().toString().replace(u'.', QLocale::system().decimalPoint())) < 12.25;
        const QVariant background = archive->index(r, 1).data(Qt::BackgroundRole);
        EXPECT_EQ(background.isValid(), thin) << "row " << r;
        red += background.isValid();
    }
    EXPECT_GT(red, 0);
    EXPECT_FALSE(model->setData(model->index(rows - 1, minimumColumn), QStringLiteral("thin"))); // not a thickness
    // The count below the minimum is in the figures now.
    const int belowColumn = model->columnCount() - 4;
    EXPECT_EQ(cell(stats->model()->rowCount() - 1, belowColumn), QString::number(red));

    // A sort shows anew (the figures stay, the order of the archive does not matter to them).
    window->StringGrid1MouseUp(Qt::LeftButton, 3, 0);
    QApplication::processEvents();
    EXPECT_EQ(cell(stats->model()->rowCount() - 1, 1), "40");

    // Copied as text and as HTML; saved as a PDF.
    stats->copyTable();
    EXPECT_TRUE(QApplication::clipboard()->text().startsWith(english ? "Series\tReadings" : "Серия\tИзмерений"));
    EXPECT_TRUE(QApplication::clipboard()->mimeData()->html().contains("<table"));
    TempDir dir;
    const QString pdf = QString::fromStdString(dir.file("stats.pdf"));
    ASSERT_TRUE(stats->saveTablePdf(pdf));
    QFile file(pdf);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.read(5) == "%PDF-");

    // The limits travel in the project file, and come back with it into a fresh window.
    const QString project = QString::fromStdString(dir.file("limits.qlx"));
    window->saveProjectDialog = [&](QWidget*, const QString&, const QString&) { return project; };
    window->Save2Click();
    TForm1 other(*state);
    other.openProjectDialog = [&](QWidget*, const QString&, const QString&) { return project; };
    other.Action1Execute(true);
    EXPECT_EQ(other.limits(), window->limits());
}

TEST_P(AnalysisWindows, TheChartShowsTheSeriesAndTheHistogramAndSavesPngAndSvg)
{
    download();
    window->show();
    window->Chart1->trigger();
    ChartWindow* chart = window->chartWindow();
    ASSERT_NE(chart, nullptr);
    QChart* drawn = chart->view()->chart();
    ASSERT_NE(drawn, nullptr);
    int scatter = 0;
    for (QAbstractSeries* s : drawn->series())
        scatter += qobject_cast<QScatterSeries*>(s) != nullptr;
    EXPECT_GE(scatter, 1);
    chart->setHistogram(true);
    EXPECT_TRUE(chart->view()->chart()->title().contains(GetParam() == LanguageEnglish ? "Distribution" : "Распределение"));
    TempDir dir;
    for (const char* name : {"chart.png", "chart.svg"}) {
        const QString path = QString::fromStdString(dir.file(name));
        ASSERT_TRUE(chart->saveChartFile(path));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray head = file.read(64);
        EXPECT_TRUE(QByteArray(name).endsWith("png") ? head.startsWith("\x89PNG") : head.contains("<?xml")) << name;
    }
}

INSTANTIATE_TEST_SUITE_P(Languages, AnalysisWindows, ::testing::Values(LanguageRussian, LanguageEnglish),
                         [](const auto& info) { return info.param == LanguageEnglish ? "English" : "Russian"; });

// A long archive is thinned for the chart without losing its extremes: of each stretch of
// record numbers the lowest and the highest reading stay, in order.
TEST(ChartThinning, KeepsTheLowestAndHighestOfEachStretch)
{
    std::vector<ChartPoint> points;
    for (int i = 0; i < 10000; ++i)
        points.push_back({double(i), 5.0 + (i % 97) * 0.01});
    points[4321].y = 1.0; // a thin spot
    points[8765].y = 9.0;
    const std::vector<ChartPoint> thin = thinPoints(points, 50);
    EXPECT_LE(thin.size(), 100u);
    EXPECT_TRUE(std::any_of(thin.begin(), thin.end(), [](const ChartPoint& p) { return p.x == 4321 && p.y == 1.0; }));
    EXPECT_TRUE(std::any_of(thin.begin(), thin.end(), [](const ChartPoint& p) { return p.x == 8765 && p.y == 9.0; }));
    EXPECT_TRUE(std::is_sorted(thin.begin(), thin.end(), [](const ChartPoint& a, const ChartPoint& b) { return a.x < b.x; }));
    EXPECT_EQ(thinPoints({{1, 2}, {3, 4}}, 50).size(), 2u); // few points stay as they are
}

// A long table's rows are read from their texts once after it is opened, however many times
// the statistics, the chart, a sort, the red rows and a changed limit ask for them.
TEST(AnalysisWindowsLongTable, ARowIsReadOnceAfterTheOpen)
{
    const int rows = 100000;
    StringGrid grid(8, rows + 1);
    writeArchiveHeader(grid, 0);
    const QLocale locale = QLocale::system();
    for (int r = 1; r <= rows; ++r)
        grid.setRow(r, {QString::number(r), QStringLiteral("сталь 1"), "5920",
                        locale.toString((500 + r % 1000) / 100.0, 'f', 2), QString::number(r % 50),
                        QString::number(r % 7), locale.toString(QDate(2013, 5, 1 + r % 28), locale.dateFormat(QLocale::ShortFormat)),
                        "09:03:00"});
    TempDir dir;
    const QString path = QString::fromStdString(dir.file("long.qlx"));
    ASSERT_TRUE(writeProjectFile(grid, path, 0).ok());

    ExchangeState state;
    TForm1 window(state);
    window.show();
    window.openProjectDialog = [&](QWidget*, const QString&, const QString&) { return path; };
    window.Action1Execute(true);
    ASSERT_EQ(window.archiveTable().rowCount(), rows + 1);
    window.Statistics1->trigger();
    window.Chart1->trigger();
    QApplication::processEvents();
    window.StringGrid1MouseUp(Qt::LeftButton, 3, 0); // by thickness
    window.StringGrid1MouseUp(Qt::LeftButton, 6, 0); // by date
    TableLimits limits;
    limits.table.minimum = 700;
    window.setLimits(limits);
    window.grid()->viewport()->repaint();
    QApplication::processEvents();
    EXPECT_EQ(window.statisticsWindow()->model()->index(window.statisticsWindow()->model()->rowCount() - 1, 1)
                  .data()
                  .toString(),
              QString::number(rows));
    EXPECT_EQ(window.tableValues().rowsRead(), std::uint64_t(rows));
}
