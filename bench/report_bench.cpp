// The printed report of 2048 archive rows written as a PDF file: building the report form,
// laying out its pages and painting them. The reference is painting the same lines with
// QPainter::drawText onto the same kind of PDF writer, one page per 60 lines, with none of the
// report's layout.

#include "bench_table.h"

#include "export/report.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

int main(int argc, char* argv[])
{
    using namespace quilex;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    constexpr int Rows = 2048;
    constexpr int Runs = 3;
    const StringGrid grid = bench::archiveTable(Rows);
    QTemporaryDir dir;

    double worst = 0;
    bool ok = true;
    for (int run = 0; run < Runs; ++run) {
        bench::Stopwatch watch;
        const auto written = writeReportPdf(grid, dir.filePath(QStringLiteral("report.pdf")));
        ok = written.ok() && ok;
        worst = std::max(worst, watch.seconds());
        if (!written)
            std::fprintf(stderr, "%s\n", qPrintable(written.error()));
    }

    double reference = 1e9;
    for (int run = 0; run < Runs; ++run) {
        bench::Stopwatch watch;
        QPdfWriter writer(dir.filePath(QStringLiteral("plain.pdf")));
        writer.setPageSize(QPageSize(QPageSize::A4));
        QPainter painter(&writer);
        painter.setFont(reportFonts().lines);
        const int step = painter.fontMetrics().height();
        for (int r = 0; r <= Rows; ++r) {
            if (r > 0 && r % 60 == 0)
                writer.newPage();
            painter.drawText(0, step * (1 + r % 60), reportLine(grid, r));
        }
        painter.end();
        reference = std::min(reference, watch.seconds());
    }
    std::printf("CHECK report-written %s\n", ok ? "ok" : "FAILED");
    bench::printFigure("report_pdf_2048", worst, 2.0);
    bench::printReference("report_pdf_2048", reference, "plain_drawText_pages");
    return ok ? 0 : 2;
}
