// quilex-cli report: the inspection report of a table, as the window's "Inspection report"
// makes it, written as a PDF without a display.

#include "base/texts.h"
#include "charts/report_chart.h"
#include "cli/cli_commands.h"
#include "cli/cli_options.h"
#include "cli/cli_table_io.h"
#include "export/table_report.h"
#include "table/table_values.h"

#include <cstdio>

namespace quilex::cli {

const char* const ReportHelp =
    "Usage: quilex-cli report TABLE -o OUT.pdf [--object TEXT] [--place TEXT]\n"
    "                         [--operator TEXT] [--gauge TEXT] [--serial TEXT]\n"
    "                         [--probe TEXT] [--calibration TEXT] [--couplant TEXT]\n"
    "                         [--min MM] [--nominal MM] [--lang ru|en]\n"
    "\n"
    "Writes the inspection report of the archive table TABLE (any table \"convert\" reads)\n"
    "as a PDF on A4, as the window's \"Inspection report\" makes it: a title block with the\n"
    "texts given here and today's date, the thickness limits, the statistics per series\n"
    "and for the whole table as \"stats\" gives them, the chart of the readings, and every\n"
    "reading, those below their minimum allowable thickness marked in words and shaded.\n"
    "Thicknesses with two decimals in the locale's separator; every page says \"page N of\n"
    "M\". No display is needed.\n"
    "\n"
    "  --object, --place, --operator, --gauge, --serial, --probe, --calibration,\n"
    "  --couplant TEXT   the title block's texts (a project file's own unless given)\n"
    "  --min MM          minimum allowable thickness for the whole table\n"
    "  --nominal MM      nominal thickness for the whole table\n"
    "  --lang ru|en      the report's language (default ru)\n"
    "A project file's own limits apply unless --min or --nominal replace them.\n"
    "\n"
    "Exit status: 0 done, 1 usage, 4 a file could not be read or written; a report that\n"
    "cannot be written whole leaves OUT as it was.\n";

int runReport(const QStringList& args)
{
    const QStringList titleOptions{QStringLiteral("--object"), QStringLiteral("--place"),   QStringLiteral("--operator"),
                                   QStringLiteral("--gauge"),  QStringLiteral("--serial"),  QStringLiteral("--probe"),
                                   QStringLiteral("--calibration"), QStringLiteral("--couplant")};
    const Options options = parseOptions(args, titleOptions + QStringList{QStringLiteral("-o"), QStringLiteral("--lang"),
                                                                          QStringLiteral("--min"), QStringLiteral("--nominal")});
    QString error = options.error;
    if (error.isEmpty() && options.positional.size() != 1)
        error = QStringLiteral("needs one TABLE");
    if (error.isEmpty() && options.value(QStringLiteral("-o")).isEmpty())
        error = QStringLiteral("-o OUT.pdf is needed");
    const auto lang = error.isEmpty() ? languageOption(options, error) : std::nullopt;
    if (!error.isEmpty())
        return usageError("report", error, ReportHelp);
    setLanguageIndex(std::uint8_t(*lang));

    StringGrid table;
    const auto read = readTable(options.positional.front(), table, *lang);
    if (!read) {
        std::fprintf(stderr, "quilex-cli: %s\n", read.error().toUtf8().constData());
        return ExitFileError;
    }
    const auto limits = limitOptions(options, read->limits, error);
    if (!limits)
        return usageError("report", error, ReportHelp);

    const TableValues values(table);
    InspectionReport report;
    report.values = &values;
    report.limits = *limits;
    report.languageIndex = *lang;
    // The title block the project keeps, each text given as an option over the project's own.
    report.title = read->title;
    const auto take = [&options](const char* option, QString& text) {
        if (options.has(QLatin1String(option)))
            text = options.value(QLatin1String(option));
    };
    take("--object", report.title.object);
    take("--place", report.title.place);
    take("--operator", report.title.operatorName);
    take("--gauge", report.title.gauge);
    take("--serial", report.title.serial);
    take("--probe", report.title.probe);
    take("--calibration", report.title.calibration);
    take("--couplant", report.title.couplant);
    report.chart = readingsChartPicture(values.dataRows(), report.limits, *lang);
    if (auto written = writeInspectionReportPdf(report, options.value(QStringLiteral("-o"))); !written) {
        std::fprintf(stderr, "quilex-cli: %s\n", written.error().toUtf8().constData());
        return ExitFileError;
    }
    return ExitDone;
}

} // namespace quilex::cli
