// The main window opening a project file of 100,000 rows: from the File menu's Open command
// (its dialog answered at once) to the table view's first paint with the new table. The
// reference is reading the same file into a table with no window at all.

#include "bench_table.h"
#include "window_support.h"

#include "windows/main_window.h"
#include "table/project_file.h"
#include "windows/string_grid_view.h"

#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

int main(int argc, char* argv[])
{
    using namespace quilex;
    bench::useOffscreenUnlessSet();
    QApplication app(argc, argv);
    constexpr int Rows = 100000;
    constexpr int Runs = 3;

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("open.qlx"));
    if (const auto failed = writeProjectFile(bench::archiveTable(Rows), path, 1); !failed) {
        std::fprintf(stderr, "%s\n", qPrintable(failed.error()));
        return 1;
    }

    double reference = 1e9;
    for (int run = 0; run < Runs; ++run) {
        StringGrid grid;
        bench::Stopwatch watch;
        (void)readProjectFile(path, grid, 1);
        reference = std::min(reference, watch.seconds());
    }

    SleepingPacing pacing;
    ExchangeState state(pacing, "/nonexistent/quilex-devices", "/nonexistent/libusb.so");
    TForm1 window(state);
    window.openProjectDialog = [&](QWidget*, const QString&, const QString&) { return path; };
    window.show();
    QWidget* viewport = window.grid()->viewport();
    bench::PaintWatch watch(viewport);
    watch.waitForPaintAfter(0);

    double worst = 0;
    bool shown = true;
    for (int run = 0; run < Runs; ++run) {
        const int before = watch.paints();
        bench::Stopwatch timer;
        window.Action1Execute(true);
        shown = watch.waitForPaintAfter(before) && shown;
        const double seconds = timer.seconds();
        std::printf("open %d: %.3f s\n", run + 1, seconds);
        worst = std::max(worst, seconds);
    }
    const bool loaded = window.archiveTable().rowCount() == Rows + 1 &&
                        window.grid()->model()->rowCount() == Rows;
    std::printf("CHECK window-shows-table %s\n", shown && loaded ? "ok" : "FAILED");
    bench::printFigure("window_open", worst, 0.5);
    bench::printReference("window_open", reference, "readProjectFile_alone");
    return shown && loaded ? 0 : 2;
}
