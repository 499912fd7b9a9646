// bench_history_window HISTORY.qlh: the survey history in the window. The window shown with the
// whole history (from the call that hands it the history to the first paint of its table; the
// reference: the same history's figures read and computed without a window, as "history rates"
// does before it writes), and a location's trend drawn (from choosing the location in the table
// to the first paint of its chart; the reference: the readings chart of a 2048-row download
// made and painted at the same size).

#include "bench_table.h"
#include "window_support.h"

#include "charts/readings_chart.h"
#include "history/sqlite_history.h"
#include "table/table_values.h"
#include "windows/history_models.h"
#include "windows/history_window.h"

#include <QChart>
#include <QChartView>
#include <QGraphicsScene>
#include <QImage>
#include <QPainter>
#include <QTableView>

#include <algorithm>
#include <cstdio>

int main(int argc, char* argv[])
{
    using namespace quilex;
    bench::useOffscreenUnlessSet();
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_history_window HISTORY.qlh\n");
        return 1;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
    auto store = openHistory(path);
    if (!store) {
        std::fprintf(stderr, "%s\n", qPrintable(store.error()));
        return 1;
    }
    const QDate asOf(2030, 1, 1);
    constexpr int Runs = 3;

    double reference = 1e9;
    std::size_t locations = 0, readings = 0;
    for (int run = 0; run < Runs; ++run) {
        bench::Stopwatch plain;
        const auto settings = (*store)->settings();
        const auto measurements = (*store)->measurements();
        if (!settings || !measurements)
            return 1;
        const auto rates = historyRates(*settings, *measurements, RateChoice::Larger, asOf);
        reference = std::min(reference, plain.seconds());
        locations = rates.size();
        readings = 0;
        for (const auto& m : *measurements)
            readings += m.measurements.size();
    }

    double shown = 1e9;
    bool painted = true;
    std::unique_ptr<HistoryWindow> window;
    for (int run = 0; run < Runs; ++run) {
        window = std::make_unique<HistoryWindow>();
        window->setAsOf(asOf);
        window->show();
        QApplication::processEvents();
        bench::PaintWatch watch(window->locationsView()->viewport());
        const int before = watch.paints();
        bench::Stopwatch ours;
        window->setHistory(store->get(), path);
        painted = watch.waitForPaintAfter(before) && painted;
        shown = std::min(shown, ours.seconds());
    }
    const bool allRows = std::size_t(window->locationsModel()->rowCount()) == locations;
    std::printf("   %zu locations, %zu readings\n", locations, readings);
    std::printf("CHECK history-window-rows %s\n", allRows && painted ? "ok" : "FAILED");
    bench::printFigure("history_window_20000x50", shown, 1.0);
    bench::printReference("history_window_20000x50", reference, "rates_read_and_computed_without_a_window");

    // The trend of the locations at the top of the table, one after another.
    const QSize size = window->trendView()->size();
    double trend = 1e9;
    bool drawn = true;
    const auto& rates = window->locationsModel()->rates();
    for (int i = 0; i < 10 && i < int(rates.size()); ++i) {
        bench::PaintWatch watch(window->trendView()->viewport());
        const int before = watch.paints();
        bench::Stopwatch ours;
        window->selectLocation(rates[std::size_t(i) * rates.size() / 10].location);
        drawn = watch.waitForPaintAfter(before) && drawn;
        trend = std::min(trend, ours.seconds());
    }
    StringGrid table = bench::archiveTable(2048);
    const TableValues values(table);
    double chartReference = 1e9;
    for (int run = 0; run < 10; ++run) {
        bench::Stopwatch plain;
        auto chart = makeReadingsChart(values.dataRows(), TableLimits{}, ChartOptions{});
        QGraphicsScene scene;
        scene.addItem(chart.get());
        chart->setGeometry(QRectF(QPointF(0, 0), size));
        QImage image(size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        QPainter painter(&image);
        scene.render(&painter);
        painter.end();
        scene.removeItem(chart.get());
        chartReference = std::min(chartReference, plain.seconds());
    }
    std::printf("CHECK history-trend-drawn %s\n", drawn ? "ok" : "FAILED");
    bench::printFigure("history_trend", trend, 0.05);
    bench::printReference("history_trend", chartReference, "readings_chart_of_2048_rows_painted");
    return allRows && painted && drawn ? 0 : 2;
}
