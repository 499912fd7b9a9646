// The inspector's view of 100,000 rows: the statistics per series inside the program (the
// reference is one plain pass that only reads every thickness cell as a number), and the chart
// window shown with the table (the reference is the main window shown with the same table).

#include "bench_table.h"
#include "window_support.h"

#include "table/archive_values.h"
#include "windows/main_window.h"
#include "table/project_file.h"
#include "table/statistics.h"
#include "windows/chart_window.h"
#include "windows/statistics_window.h"

#include <QAction>
#include <QChartView>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

int main(int argc, char* argv[])
{
    using namespace quilex;
    bench::useOffscreenUnlessSet();
    QApplication app(argc, argv);
    constexpr int Rows = 100000;
    constexpr int Runs = 5;
    const StringGrid table = bench::archiveTable(Rows);

    double reference = 1e9;
    double figure = 1e9;
    int readings = 0;
    for (int run = 0; run < Runs; ++run) {
        bench::Stopwatch plain;
        double sum = 0;
        for (int r = 1; r < table.rowCount(); ++r)
            sum += table.cell(3, r).toDouble();
        reference = std::min(reference, plain.seconds());
        bench::Stopwatch ours;
        const ArchiveStatistics statistics = computeStatistics(table, TableLimits{});
        figure = std::min(figure, ours.seconds());
        readings = statistics.all.readings + int(sum * 0);
    }
    std::printf("CHECK statistics-count %s\n", readings == Rows ? "ok" : "FAILED");
    bench::printFigure("statistics_100000", figure, 0.05);
    bench::printReference("statistics_100000", reference, "toDouble_of_every_thickness");

    SleepingPacing pacing;
    ExchangeState state(pacing, "/nonexistent/quilex-devices", "/nonexistent/libusb.so");
    TForm1 window(state);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("table.qlx"));
    if (const auto failed = writeProjectFile(table, path, 1); !failed) {
        std::fprintf(stderr, "%s\n", qPrintable(failed.error()));
        return 1;
    }
    window.openFromCommandLine({path});
    bench::Stopwatch mainShown;
    window.show();
    {
        bench::PaintWatch watch(window.grid()->viewport());
        watch.waitForPaintAfter(0);
    }
    const double mainSeconds = mainShown.seconds();

    bench::Stopwatch chartShown;
    window.Chart1->trigger();
    ChartWindow* chart = window.chartWindow();
    bool painted = false;
    if (chart) {
        bench::PaintWatch watch(chart->view()->viewport());
        painted = watch.waitForPaintAfter(0);
    }
    const double chartSeconds = chartShown.seconds();
    std::printf("CHECK chart-window-shown %s\n", painted ? "ok" : "FAILED");
    bench::printFigure("chart_window_100000", chartSeconds, 1.0);
    bench::printReference("chart_window_100000", mainSeconds, "main_window_shown_with_the_table");

    // A limit typed into the statistics window: the figures again from the values kept beside
    // the table, which are read once and not again. The reference is one pass over those values.
    if (chart)
        chart->hide();
    window.Statistics1->trigger();
    StatisticsWindow* statistics = window.statisticsWindow();
    const std::uint64_t readBefore = window.tableValues().rowsRead();
    double limitFigure = 1e9;
    double limitReference = 1e9;
    for (int run = 0; run < Runs; ++run) {
        TableLimits limits;
        limits.table.minimum = 600 + run;
        bench::Stopwatch ours;
        statistics->refresh(limits);
        limitFigure = std::min(limitFigure, ours.seconds());
        bench::Stopwatch plain;
        std::int64_t sum = 0;
        for (const ArchiveValues& row : window.tableValues().dataRows())
            sum += row.thickness.value_or(0);
        limitReference = std::min(limitReference, plain.seconds() + double(sum) * 0);
    }
    const bool readOnce = window.tableValues().rowsRead() == readBefore;
    std::printf("CHECK statistics-no-reading-again %s\n", readOnce ? "ok" : "FAILED");
    bench::printFigure("statistics_after_limit_100000", limitFigure, 0.005);
    bench::printReference("statistics_after_limit_100000", limitReference, "one_pass_over_the_values");
    return painted && readings == Rows && readOnce ? 0 : 2;
}
