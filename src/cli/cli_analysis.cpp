// The commands that look at a table as an inspector does: its statistics per series, and the
// chart of its readings.

#include "table/archive_values.h"
#include "table/statistics.h"
#include "table/table_values.h"
#include "base/texts.h"
#include "charts/readings_chart.h"
#include "cli/cli_commands.h"
#include "cli/cli_options.h"
#include "cli/cli_table_io.h"

#include <QChart>

#include <cstdio>

namespace quilex::cli {

const char* const StatsHelp =
    "Usage: quilex-cli stats FILE [-o OUT] [--lang ru|en] [--min MM] [--nominal MM]\n"
    "\n"
    "Reads the archive table FILE (any table \"convert\" reads) and writes its statistics:\n"
    "one row per series (ascending), then the whole table's row (\"Все\" / \"All\"). Columns:\n"
    "series, readings, minimum, the \"№\" of the minimum, maximum, the \"№\" of the maximum,\n"
    "mean, sample standard deviation (empty for a single reading), range; with limits also\n"
    "the readings below the minimum allowable thickness and the thinnest reading in percent\n"
    "of the nominal. Thicknesses in millimetres with two decimals in the locale's separator.\n"
    "Rows whose thickness is not a value (\"NAN\") are left out of the figures.\n"
    "\n"
    "OUT is written by its ending as \"convert\" writes (.qlx, .csv, .xlsx, .pdf, else\n"
    "tab-separated); without -o tab-separated text on standard output.\n"
    "\n"
    "  --min MM       minimum allowable thickness for the whole table\n"
    "  --nominal MM   nominal thickness for the whole table\n"
    "A project file's own limits apply unless these options replace them.\n"
    "\n"
    "Exit status: 0 done, 1 usage, 4 a file could not be read or written.\n";

const char* const ChartHelp =
    "Usage: quilex-cli chart FILE -o OUT.png|OUT.svg [--histogram [--side-by-side]] [--min MM]\n"
    "                        [--nominal MM] [--lang ru|en] [--size WIDTHxHEIGHT] [--scale F]\n"
    "\n"
    "Draws the archive table FILE as the chart window does: thickness against record number,\n"
    "one colour per series with a legend, the minimum allowable and the nominal thickness as\n"
    "lines when they are set (a series' own limits in its colour); with --histogram the\n"
    "distribution of the thickness instead, the series stacked. Axis numbers use the locale's\n"
    "decimal separator. OUT ending in .svg is an SVG picture (every point a shape, no embedded\n"
    "bitmaps), anything else PNG. No display is needed.\n"
    "\n"
    "  --min MM, --nominal MM   the limits for the whole table (a project's own apply else)\n"
    "  --side-by-side           the histogram's series side by side instead of stacked\n"
    "  --size WxH               the picture's size in pixels (default 900x500)\n"
    "  --scale F                texts and lines F times as large, 0.5 to 4 (default 1; 2 draws\n"
    "                           as a screen at twice the scale does)\n"
    "\n"
    "Exit status: 0 done, 1 usage, 4 a file could not be read or written.\n";

namespace {

// The archive table FILE with its limits, the options' over the file's own; the exit status
// when that cannot be had.
std::optional<int> readArchiveAndLimits(const Options& options, const char* command, const char* help,
                                        int languageIndex, StringGrid& table, TableLimits& limits)
{
    const auto read = readTable(options.positional.front(), table, languageIndex);
    if (!read) {
        std::fprintf(stderr, "quilex-cli: %s\n", read.error().toUtf8().constData());
        return ExitFileError;
    }
    const TableLimits& kept = read->limits;
    QString error;
    const auto given = limitOptions(options, kept, error);
    if (!given)
        return usageError(command, error, help);
    limits = *given;
    return std::nullopt;
}

} // namespace

int runStats(const QStringList& args)
{
    const Options options = parseOptions(
        args, {QStringLiteral("-o"), QStringLiteral("--lang"), QStringLiteral("--min"), QStringLiteral("--nominal")});
    QString error = options.error;
    if (error.isEmpty() && options.positional.size() != 1)
        error = QStringLiteral("needs one FILE");
    const auto lang = error.isEmpty() ? languageOption(options, error) : std::nullopt;
    if (!error.isEmpty())
        return usageError("stats", error, StatsHelp);
    setLanguageIndex(std::uint8_t(*lang));

    StringGrid table;
    TableLimits limits;
    if (const auto failed = readArchiveAndLimits(options, "stats", StatsHelp, *lang, table, limits))
        return *failed;

    const TableValues values(table);
    const StatisticsTable figures = statisticsTable(computeStatistics(values.dataRows(), limits), *lang);
    StringGrid out(int(figures.header.size()), int(figures.rows.size()) + 1, 1, 0);
    for (int col = 0; col < figures.header.size(); ++col)
        out.setCell(col, 0, figures.header[col]);
    for (std::size_t r = 0; r < figures.rows.size(); ++r)
        for (std::size_t c = 0; c < figures.rows[r].size(); ++c)
            out.setCell(int(c), int(r) + 1, statisticsCellText(figures.rows[r][c], int(c)));
    if (const auto written = writeTable(out, options.value(QStringLiteral("-o")), *lang); !written) {
        std::fprintf(stderr, "quilex-cli: %s\n", written.error().toUtf8().constData());
        return ExitFileError;
    }
    return ExitDone;
}

int runChart(const QStringList& args)
{
    const Options options = parseOptions(args,
                                         {QStringLiteral("-o"), QStringLiteral("--lang"), QStringLiteral("--min"),
                                          QStringLiteral("--nominal"), QStringLiteral("--size"), QStringLiteral("--scale")},
                                         {QStringLiteral("--histogram"), QStringLiteral("--side-by-side")});
    QString error = options.error;
    if (error.isEmpty() && options.positional.size() != 1)
        error = QStringLiteral("needs one FILE");
    if (error.isEmpty() && options.value(QStringLiteral("-o")).isEmpty())
        error = QStringLiteral("-o OUT is needed");
    QSize size(900, 500);
    if (error.isEmpty() && options.has(QStringLiteral("--size"))) {
        const QStringList parts = options.value(QStringLiteral("--size")).split(u'x');
        bool w = false, h = false;
        if (parts.size() == 2)
            size = QSize(parts[0].toInt(&w), parts[1].toInt(&h));
        if (!w || !h || size.width() < 100 || size.height() < 100 || size.width() > 10000 || size.height() > 10000)
            error = QStringLiteral("--size takes WIDTHxHEIGHT in pixels, 100 to 10000 each");
    }
    double scale = 1;
    if (error.isEmpty() && options.has(QStringLiteral("--scale"))) {
        bool ok = false;
        scale = options.value(QStringLiteral("--scale")).toDouble(&ok);
        if (!ok || !(scale >= 0.5 && scale <= 4))
            error = QStringLiteral("--scale takes a factor from 0.5 to 4");
    }
    if (error.isEmpty() && options.has(QStringLiteral("--side-by-side")) && !options.has(QStringLiteral("--histogram")))
        error = QStringLiteral("--side-by-side is for --histogram");
    const auto lang = error.isEmpty() ? languageOption(options, error) : std::nullopt;
    if (!error.isEmpty())
        return usageError("chart", error, ChartHelp);
    setLanguageIndex(std::uint8_t(*lang));

    StringGrid table;
    TableLimits limits;
    if (const auto failed = readArchiveAndLimits(options, "chart", ChartHelp, *lang, table, limits))
        return *failed;
    ChartOptions chartOptions;
    chartOptions.histogram = options.has(QStringLiteral("--histogram"));
    chartOptions.stacked = !options.has(QStringLiteral("--side-by-side"));
    chartOptions.languageIndex = *lang;
    chartOptions.pointsAcross = int(2 * size.width() / scale);
    const TableValues values(table);
    const auto chart = makeReadingsChart(values.dataRows(), limits, chartOptions);
    const QString out = options.value(QStringLiteral("-o"));
    if (const auto saved = saveChart(*chart, out, size, scale); !saved) {
        std::fprintf(stderr, "quilex-cli: cannot write \"%s\": %s\n", out.toUtf8().constData(),
                     saved.error().toUtf8().constData());
        return ExitFileError;
    }
    return ExitDone;
}

} // namespace quilex::cli
