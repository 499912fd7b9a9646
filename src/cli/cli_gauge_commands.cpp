// The commands that talk to the gauge (archive, materials, screenshot) and convert.

#include "table/archive_columns.h"
#include "table/archive_rows.h"
#include "table/material_grid.h"
#include "table/grid_sort.h"
#include "table/project_file.h"
#include "base/texts.h"
#include "cli/cli_commands.h"
#include "cli/cli_exchange.h"
#include "cli/cli_options.h"
#include "cli/cli_table_io.h"
#include "exchange/bmtread_usb.h"
#include "exchange/screen_image.h"

#include <QImage>

#include <cstdio>

namespace quilex::cli {

const char* const ArchiveHelp =
    "Usage: quilex-cli archive [-o FILE] [--lang ru|en] [--wait SECONDS]\n"
    "\n"
    "Reads the gauge's archive as the first \"Read archive\" of a run does: the gauge's\n"
    "material names first, then the version, the parameter block and every record.\n"
    "Writes the table with its header row (in --lang, default ru) to FILE: .qlx a project\n"
    "file, .csv comma-separated, .xlsx a spreadsheet workbook, anything else\n"
    "tab-separated (the report's .pdf pages: see \"convert\"); without -o tab-separated\n"
    "text on standard output. Text is UTF-8; dates and numbers follow the system locale.\n"
    "\n"
    "  -o FILE         where to write the table\n"
    "  --lang ru|en    language of the header row, material names and messages\n"
    "  --wait SECONDS  give up when the gauge has not answered for this long (default 10)\n"
    "\n"
    "Every record is read and checked before anything is written: a record that cannot be\n"
    "read is asked for again, and after a failed connection the download starts afresh.\n"
    "FILE is written only from a whole archive; otherwise it stays as it was.\n"
    "\n"
    "Exit status: 0 done, 1 usage, 2 the gauge was not reached or sent nothing for --wait\n"
    "seconds, 3 a block failed its check (\"CRC16 Error\"), 4 the file could not be written.\n";

const char* const MaterialsHelp =
    "Usage: quilex-cli materials [-o FILE] [--lang ru|en] [--wait SECONDS]\n"
    "       quilex-cli materials --write FILE [--lang ru|en] [--wait SECONDS]\n"
    "\n"
    "Reads the gauge's table of 13 materials and writes it as the material settings\n"
    "window shows it: number, name in --lang, speed of sound in m/s, after a header row.\n"
    "Output as for \"archive\" (.qlx, .csv, else tab-separated; standard output without -o).\n"
    "\n"
    "With --write FILE the table is read from the gauge, the names (in --lang) and speeds of\n"
    "FILE's 13 material rows replace those shown, and the table is loaded into the gauge; the\n"
    "names of the other language stay as the gauge had them. FILE is in the form that\n"
    "\"materials -o\" writes. A speed that is not a whole number stops the write before\n"
    "anything is sent.\n"
    "\n"
    "Exit status: 0 done, 1 usage, 2 the gauge was not reached or sent nothing for --wait\n"
    "seconds, or the link failed after the gauge had taken the write command (the message\n"
    "says its table may be incomplete: write it again), 3 a block failed its check,\n"
    "4 a file could not be read or written, or a speed in it is not a number.\n";

const char* const ScreenshotHelp =
    "Usage: quilex-cli screenshot -o FILE [--wait SECONDS]\n"
    "\n"
    "Fetches the picture on the gauge's 128 x 64 screen and saves it framed, 132 x 68\n"
    "pixels, black on white, as the screenshot window shows it: PNG when FILE ends in\n"
    ".png, else a Windows bitmap (BMP).\n"
    "\n"
    "Exit status: 0 done, 1 usage, 2 the gauge was not reached or sent nothing for --wait\n"
    "seconds (FILE is then not written), 4 the file could not be written.\n";

const char* const ConvertHelp =
    "Usage: quilex-cli convert IN OUT [--sort COLUMN[:desc]] [--lang ru|en]\n"
    "\n"
    "Reads the table IN (a .qlx project file, or .tsv / .csv text) and writes it to OUT:\n"
    ".qlx a project file, .csv comma-separated, .xlsx a spreadsheet workbook as \"Save in\n"
    "Excel\" writes it (sheets titled in --lang, numbers, dates and times of the system\n"
    "locale as values), .pdf the printed report's A4 pages as the print preview shows them\n"
    "(title in --lang), anything else tab-separated; \"-\" for standard output. With\n"
    "--sort the table is first sorted as one click on the header of COLUMN (counted from\n"
    "0) sorts it: ascending, or descending with :desc. Numbers sort as numbers, the\n"
    "thickness in hundredths of a millimetre, other columns by the collation of the\n"
    "system locale.\n"
    "\n"
    "Exit status: 0 done, 1 usage, 4 a file could not be read or written, or a cell could\n"
    "not be converted for the sort.\n";

namespace {

int fileFailure(const QString& message)
{
    std::fprintf(stderr, "quilex-cli: %s\n", message.toUtf8().constData());
    return ExitFileError;
}

// The material grid of the settings window: three columns, a header row and 13 materials.
StringGrid materialGrid(int languageIndex)
{
    StringGrid grid(3, int(MaterialCount) + 1, 1, 1);
    const QStringList header = archiveHeaderTexts(languageIndex);
    for (int col = 0; col < 3; ++col)
        grid.setCell(col, 0, header[col]);
    return grid;
}

// Reads the material table into grid (modes 4, 6, 10 of a material settings run).
ExchangeRun readMaterials(ExchangeState& state, MaterialGridTarget& grid, double wait)
{
    state.ReadMaterialsFirst = false;
    state.ArchiveRequested = false;
    return runExchange(state, Mode::ReadMaterials, &grid, wait);
}

const TextPair MaterialFileRows{u"в файле \"%1\" %2 строк материалов, нужно 13",
                                u"\"%1\" holds %2 material rows, 13 are needed"};

} // namespace

int runArchive(const QStringList& args)
{
    const Options options = parseOptions(args, {QStringLiteral("-o"), QStringLiteral("--lang"), QStringLiteral("--wait")});
    QString error = options.error;
    if (error.isEmpty() && !options.positional.isEmpty())
        error = QStringLiteral("unexpected argument \"%1\"").arg(options.positional.front());
    const auto lang = error.isEmpty() ? languageOption(options, error) : std::nullopt;
    const auto wait = error.isEmpty() ? waitOption(options, error) : std::nullopt;
    if (!error.isEmpty())
        return usageError("archive", error, ArchiveHelp);
    setLanguageIndex(std::uint8_t(*lang));

    ExchangeState state;
    // The first read of a run: the gauge's material names come first.
    state.ReadMaterialsFirst = false;
    state.ArchiveRequested = true;
    const ExchangeRun run = runExchange(state, Mode::ReadMaterials, nullptr, *wait);
    reportExchange(run, *wait);
    if (run.gaveUp || run.outcome != ExchangeOutcome::Completed)
        return run.exitStatus();
    StringGrid table;
    writeArchiveHeader(table, *lang);
    putArchiveRows(table, archiveRows(run.download.records, run.download.names, *lang));
    if (const auto written = writeTable(table, options.value(QStringLiteral("-o")), *lang); !written)
        return fileFailure(written.error());
    return run.exitStatus();
}

int runMaterials(const QStringList& args)
{
    const Options options = parseOptions(
        args, {QStringLiteral("-o"), QStringLiteral("--write"), QStringLiteral("--lang"), QStringLiteral("--wait")});
    QString error = options.error;
    if (error.isEmpty() && !options.positional.isEmpty())
        error = QStringLiteral("unexpected argument \"%1\"").arg(options.positional.front());
    if (error.isEmpty() && options.has(QStringLiteral("-o")) && options.has(QStringLiteral("--write")))
        error = QStringLiteral("-o and --write do not go together");
    const auto lang = error.isEmpty() ? languageOption(options, error) : std::nullopt;
    const auto wait = error.isEmpty() ? waitOption(options, error) : std::nullopt;
    if (!error.isEmpty())
        return usageError("materials", error, MaterialsHelp);
    setLanguageIndex(std::uint8_t(*lang));

    // Read the file before the gauge, so that a bad file costs no exchange.
    StringGrid wanted(3, 1, 0, 0);
    const QString writeFrom = options.value(QStringLiteral("--write"));
    if (!writeFrom.isEmpty()) {
        if (const auto read = readTable(writeFrom, wanted, *lang); !read)
            return fileFailure(read.error());
        if (wanted.rowCount() - 1 < int(MaterialCount) || wanted.colCount() < 3)
            return fileFailure(Text(MaterialFileRows).arg(writeFrom).arg(std::max(0, wanted.rowCount() - 1)));
    }

    ExchangeState state;
    StringGrid grid = materialGrid(*lang);
    MaterialGridTarget gridTarget(grid);
    ExchangeRun run = readMaterials(state, gridTarget, *wait);
    reportExchange(run, *wait);
    if (run.exitStatus() != ExitDone)
        return run.exitStatus();
    if (writeFrom.isEmpty()) {
        if (const auto written = writeTable(grid, options.value(QStringLiteral("-o")), *lang); !written)
            return fileFailure(written.error());
        return ExitDone;
    }
    for (int row = 1; row <= int(MaterialCount); ++row) {
        grid.setCell(1, row, wanted.cell(1, row));
        grid.setCell(2, row, wanted.cell(2, row));
    }
    run = runExchange(state, Mode::WriteMaterials, &gridTarget, *wait);
    reportExchange(run, *wait);
    return run.exitStatus();
}

int runScreenshot(const QStringList& args)
{
    const Options options = parseOptions(args, {QStringLiteral("-o"), QStringLiteral("--wait")});
    QString error = options.error;
    if (error.isEmpty() && !options.positional.isEmpty())
        error = QStringLiteral("unexpected argument \"%1\"").arg(options.positional.front());
    if (error.isEmpty() && options.value(QStringLiteral("-o")).isEmpty())
        error = QStringLiteral("-o FILE is needed");
    const auto wait = error.isEmpty() ? waitOption(options, error) : std::nullopt;
    if (!error.isEmpty())
        return usageError("screenshot", error, ScreenshotHelp);

    ExchangeState state;
    const ExchangeRun run = runExchange(state, Mode::ReadScreen, nullptr, *wait);
    reportExchange(run, *wait);
    if (run.exitStatus() != ExitDone)
        return run.exitStatus();

    const ScreenMatrix matrix = buildScreenMatrix(state.ScreenImage);
    QImage image(matrix.width(), matrix.height(), QImage::Format_Mono);
    image.setColor(0, qRgb(255, 255, 255));
    image.setColor(1, qRgb(0, 0, 0));
    for (int y = 0; y < matrix.height(); ++y)
        for (int x = 0; x < matrix.width(); ++x)
            image.setPixel(x, y, matrix.at(x, y) ? 1 : 0);
    const QString path = options.value(QStringLiteral("-o"));
    const char* format = path.endsWith(QLatin1String(".png"), Qt::CaseInsensitive) ? "PNG" : "BMP";
    if (!image.save(path, format))
        return fileFailure(QStringLiteral("cannot write \"%1\"").arg(path));
    return ExitDone;
}

int runConvert(const QStringList& args)
{
    const Options options = parseOptions(args, {QStringLiteral("--sort"), QStringLiteral("--lang")});
    QString error = options.error;
    if (error.isEmpty() && options.positional.size() != 2)
        error = QStringLiteral("needs IN and OUT");
    const auto lang = error.isEmpty() ? languageOption(options, error) : std::nullopt;
    int column = -1;
    SortDirection before = 0; // one header click from here gives the asked direction
    if (error.isEmpty() && options.has(QStringLiteral("--sort"))) {
        QString sortKey = options.value(QStringLiteral("--sort"));
        if (sortKey.endsWith(QLatin1String(":desc"))) {
            sortKey.chop(5);
            before = 1;
        } else if (sortKey.endsWith(QLatin1String(":asc"))) {
            sortKey.chop(4);
        }
        bool ok = false;
        column = sortKey.toInt(&ok);
        if (!ok || column < 0)
            error = QStringLiteral("--sort takes a column number from 0, optionally with :desc");
    }
    if (!error.isEmpty())
        return usageError("convert", error, ConvertHelp);
    setLanguageIndex(std::uint8_t(*lang));

    const QString in = options.positional[0];
    const QString out = options.positional[1] == QLatin1String("-") ? QString() : options.positional[1];
    // One project sorted into another straight from its bytes is done by quilex-cli itself
    // (cli_launcher.cpp); it comes here when that takes the long way.
    StringGrid table;
    // A project's thickness limits and title block go on to a project, the limits also into a
    // workbook's statistics.
    const auto read = readTable(in, table, *lang);
    if (!read)
        return fileFailure(read.error());
    if (column >= 0) {
        if (column >= table.colCount())
            return usageError("convert", QStringLiteral("the table has no column %1").arg(column), ConvertHelp);
        SortDirection direction = before;
        const HeaderClickResult click = headerClick(table, direction, true, column, 0, *lang);
        if (click.outcome == HeaderClickOutcome::Failed)
            return fileFailure(click.error);
    }
    if (const auto written = writeTable(table, out, *lang, *read); !written)
        return fileFailure(written.error());
    return ExitDone;
}

} // namespace quilex::cli
