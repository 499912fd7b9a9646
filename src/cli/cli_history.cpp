// quilex-cli history: the survey history of an object, kept in one file across many visits,
// and what it says about each measurement location.

#include "base/texts.h"
#include "charts/readings_chart.h"
#include "charts/report_chart.h"
#include "charts/trend_chart.h"
#include "cli/cli_commands.h"
#include "cli/cli_options.h"
#include "cli/cli_table_io.h"
#include "export/history_report.h"
#include "export/report_texts.h"
#include "export/table_formats.h"
#include "history/history_tables.h"
#include "history/history_texts.h"
#include "table/table_texts.h"
#include "history/rates.h"
#include "history/sqlite_history.h"
#include "history/table_readings.h"

#include <QChart>
#include <QFileInfo>
#include <QSaveFile>
#include <QSize>

#include <cstdio>
#include <cstring>
#include <functional>

namespace quilex::cli {

const char* const HistoryHelp =
    "Usage: quilex-cli history init H.qlh --object TEXT [--code api570|api510|api653]\n"
    "                                  [--class 1-4]\n"
    "       quilex-cli history add H.qlh TABLE... [--label TEXT] [--operator TEXT]\n"
    "                                  [--gauge TEXT] [--probe TEXT] [--dry-run]\n"
    "       quilex-cli history group H.qlh SERIES|all [--name TEXT] [--nominal MM]\n"
    "                                  [--required MM] [--columns N] [--first N]\n"
    "       quilex-cli history location H.qlh ID [--required MM] [--description TEXT]\n"
    "                                  [--renewed YYYY-MM-DD]\n"
    "       quilex-cli history mark H.qlh ID YYYY-MM-DD verified|ignored|clear\n"
    "       quilex-cli history rates H.qlh [--as-of YYYY-MM-DD] [--rate max|lt|st] [-o OUT]\n"
    "       quilex-cli history readings H.qlh [-o OUT]\n"
    "       quilex-cli history surveys H.qlh [-o OUT]\n"
    "       quilex-cli history trend H.qlh ID -o OUT.png|OUT.svg [--as-of YYYY-MM-DD]\n"
    "                                  [--rate max|lt|st] [--size WxH]\n"
    "       quilex-cli history report H.qlh -o OUT.pdf|OUT.xlsx [--as-of YYYY-MM-DD]\n"
    "                                  [--rate max|lt|st]\n"
    "Every subcommand also takes --lang ru|en (default ru) for its messages and headers.\n"
    "\n"
    "A survey history keeps the readings of many visits to one object in one file (an\n"
    "SQLite 3 database ending .qlh) and tells from them, for each measurement location, how\n"
    "fast the wall thins and when it must be inspected again, as API 570 (piping), API 510\n"
    "(pressure vessels) and API 653 (storage tanks) ask.\n"
    "\n"
    "A location is a gauge series and number: ID \"3-12\" is number 12 of series 3. Each\n"
    "series is a group (a line, a vessel, a tank shell) with a name, a nominal and a\n"
    "required thickness, and optionally a grid: with N columns from first number F (1 unless\n"
    "set), number n lies in column A + (n - F) mod N (after Z: AA, AB, ...) and row\n"
    "1 + (n - F) div N, so with 10 columns number 1 is A1, 23 is C3 and 100 is J10.\n"
    "\n"
    "  init      makes a new history for an object (default code api570 class 2);\n"
    "            --class is for api570 only; an existing file is refused (4).\n"
    "  add       adds the readings of the tables (any table \"convert\" reads) that the\n"
    "            history does not hold yet, as one survey dated by its latest reading, and\n"
    "            prints \"added N, already present M, skipped K\". A reading is the same when\n"
    "            its series, number, date, time and thickness are: the gauge's archive is\n"
    "            cumulative, so adding today's download after yesterday's adds only what is\n"
    "            new, and a reading given twice counts once. Rows without a thickness above 0,\n"
    "            a date, a series or a number are skipped; a row without a valid time is kept\n"
    "            without one. Nothing new: no survey, and the file stays exactly as it was.\n"
    "            --dry-run only counts.\n"
    "  group     sets a group's name, nominal and required thickness (MM, such as 6.35) and\n"
    "            grid, and prints the group; \"all\" sets the defaults every group without a\n"
    "            value of its own takes, also groups that later adds create. An empty value\n"
    "            (--required \"\") clears it. Creates the group if there is none.\n"
    "  location  sets a location's own required thickness, its description and the date\n"
    "            it was renewed (a replaced pipe or plate: readings before that day no\n"
    "            longer count), and prints it; creates it if there is none.\n"
    "  mark      marks the readings of a location on a day: verified (a reading that looks\n"
    "            wrong is right), ignored (it must not count), or clear. A location or day\n"
    "            without a reading is a usage error (1).\n"
    "  rates     one row per location, by series and number: location, series, number,\n"
    "            cell, nominal, required, base date, base, previous date, previous, last date,\n"
    "            last, long-term rate, short-term rate, governing rate, remaining life,\n"
    "            retirement date, interval, next inspection, status, flags.\n"
    "  readings  every reading: location, series, number, date, time, thickness, sound\n"
    "            speed, material, survey date, mark (empty, verified or ignored), with a\n"
    "            point for decimals and YYYY-MM-DD dates in every locale; -o NAME.csv gives\n"
    "            the comma-separated file plant databases load.\n"
    "  surveys   one row per survey: number, date, label, operator, gauge, probe, source\n"
    "            tables, readings added.\n"
    "  trend     draws one location's readings over the years (those left out of the rates\n"
    "            hollow), the long-term rate's line, the required and nominal thickness,\n"
    "            the projection to the required thickness and the next inspection, as PNG\n"
    "            or as SVG (by OUT's ending; --size in pixels, default 900x500).\n"
    "  report    the history's report. OUT.pdf: the object, its code and the surveys, a\n"
    "            summary (locations by status, the groups, the ten worst locations with\n"
    "            their next inspection), then each group's locations with the figures of\n"
    "            \"rates\"; A4, \"page N of M\" on every page. OUT.xlsx: the sheets Summary,\n"
    "            Locations (every column of \"rates\"), Surveys and Readings (every reading,\n"
    "            one a row, as \"readings\" lists them), numbers as numbers and dates as\n"
    "            dates, the header row frozen, each sheet printed one page wide.\n"
    "\n"
    "How rates reckons (thicknesses in hundredths of a millimetre, a year of 365.25 days,\n"
    "years moved to dates in whole calendar months):\n"
    "  - A location's value on a day is the thinnest reading of that day not ignored.\n"
    "  - A value more than 10 % thicker than the last value kept is left out of every rate\n"
    "    (flag E) until it is marked verified (kept) or ignored; thicker by up to 10 % it\n"
    "    is kept with flag W. Readings before a location's renewal date do not count.\n"
    "  - Base is the first value kept, last the latest, previous the latest at least 183\n"
    "    days before the last (flag T when closer values are passed over).\n"
    "  - Long-term rate = (base - last) / years between them, short-term rate = (previous -\n"
    "    last) / years, in mm/year; the governing rate is the larger (--rate lt or st: that\n"
    "    one only). One value gives no rate.\n"
    "  - Remaining life = (last - required) / governing rate in years: 0 when the last value\n"
    "    is at or below the required thickness, empty (not limited) without a rate above 0.\n"
    "    Retirement date = last date + the remaining life.\n"
    "  - Interval: API 570 half the remaining life, at most 5 years for class 1 and 10 for\n"
    "    classes 2 to 4; API 510 the remaining life up to 2 years when it is under 4, else\n"
    "    half of it up to 10; API 653 half of it up to 15 (5 while a location has one value).\n"
    "    Not limited: the longest. Next inspection = last date + the interval.\n"
    "  - Status on --as-of (default today): grey without a required thickness or a value;\n"
    "    red when the last value is below the required, on or after the retirement date or\n"
    "    after the next inspection; amber when the remaining life is under 4 years, the next\n"
    "    inspection is 90 days away or less, or a value has flag E; green otherwise.\n"
    "Thicknesses have 2 decimals, rates 3 and years 1, in the locale's decimal separator;\n"
    "dates are YYYY-MM-DD; status is green, amber, red or grey and flags the letters E, W, T\n"
    "in both languages; a figure that does not exist is an empty cell.\n"
    "\n"
    "OUT is written by its ending as \"convert\" writes (.qlx, .csv, .xlsx, .pdf, else\n"
    "tab-separated); without -o tab-separated text with one header row on standard output.\n"
    "\n"
    "Every change is one transaction: a history is never left half changed, and two programs\n"
    "changing it at once wait for each other (up to 30 s). A file that is not a history,\n"
    "is damaged or was written by a newer version is refused and left as it was. The\n"
    "schema is in \"man quilex-cli\": sqlite3 H.qlh 'SELECT * FROM reading_list' shows it all.\n"
    "\n"
    "Exit status: 0 done, 1 usage, 4 a file could not be read or written, is not a history,\n"
    "or exists already (init); the history is then left as it was.\n";

namespace {

namespace texts = history_texts;

int fileError(const QString& message)
{
    std::fprintf(stderr, "quilex-cli: %s\n", message.toUtf8().constData());
    return ExitFileError;
}

int historyUsage(const QString& message)
{
    return usageError("history", message, HistoryHelp);
}

// The options every subcommand shares, read the same way.
struct Common {
    Options options;
    int language = 0;
};

// Reads the arguments after the subcommand; a usage error's exit status when they are wrong.
std::optional<int> parse(const QStringList& args, QStringList valueOptions, const QStringList& flags,
                         qsizetype positionals, bool orMore, Common& common)
{
    valueOptions << QStringLiteral("--lang");
    common.options = parseOptions(args, valueOptions, flags);
    QString error = common.options.error;
    const auto lang = error.isEmpty() ? languageOption(common.options, error) : std::nullopt;
    if (!error.isEmpty())
        return historyUsage(error);
    common.language = *lang;
    setLanguageIndex(std::uint8_t(*lang));
    const qsizetype given = common.options.positional.size();
    if (given < positionals || (!orMore && given > positionals))
        return historyUsage(Text(given < positionals ? texts::TooFewArguments : texts::TooManyArguments));
    return std::nullopt;
}

// The history named first, or nothing after its message has been told.
std::unique_ptr<HistoryStore> open(const Common& common, int& status)
{
    auto store = openHistory(common.options.positional.front());
    if (!store) {
        status = fileError(store.error());
        return nullptr;
    }
    return std::move(store).value();
}

// A thickness option: unset when not given, cleared (an empty inner value) when given empty.
using ThicknessChange = std::optional<std::optional<std::int32_t>>;

bool thicknessOption(const Options& options, const QString& name, ThicknessChange& change, QString& error)
{
    if (!options.has(name))
        return true;
    const QString text = options.value(name);
    if (text.trimmed().isEmpty()) {
        change = std::optional<std::int32_t>();
        return true;
    }
    const auto value = thicknessFromText(text);
    if (!value) {
        error = Text(texts::BadThickness).arg(name, text);
        return false;
    }
    change = value;
    return true;
}

bool wholeOption(const Options& options, const QString& name, std::int64_t low, std::int64_t high,
                 std::optional<std::optional<std::int32_t>>& change, QString& error)
{
    if (!options.has(name))
        return true;
    const QString text = options.value(name).trimmed();
    if (text.isEmpty()) {
        change = std::optional<std::int32_t>();
        return true;
    }
    bool ok = false;
    const qlonglong value = text.toLongLong(&ok);
    if (!ok || value < low || value > high || text.startsWith(u'+')) {
        error = Text(texts::BadWholeNumber).arg(name, QString::number(low), QString::number(high), options.value(name));
        return false;
    }
    change = std::int32_t(value);
    return true;
}

bool dateOption(const QString& name, const QString& text, std::optional<QDate>& date, QString& error)
{
    date = dateFromIso(text.trimmed());
    if (!date)
        error = Text(texts::BadDate).arg(name, text);
    return bool(date);
}

// The rows of a table, made one at a time: a history's readings can be far more than fit in
// memory as one table of texts.
struct Rows {
    QStringList header;
    std::size_t count = 0;
    std::function<QStringList(std::size_t)> row;
};

QString writeFailure(const QString& path, const QString& why, int language)
{
    return Text(table_texts::TextNotWritten, std::uint8_t(language)).arg(path, why);
}

// Writes the rows as "convert" writes a table: by OUT's ending, tab-separated without one or
// on standard output ("-" too). Text goes out a slice at a time; the other forms take a whole
// table.
int writeRows(const Rows& rows, QString out, int language)
{
    if (out == QLatin1String("-"))
        out.clear();
    const TableFormat* format = out.isEmpty() ? nullptr : tableFormatFor(out);
    const bool text = !format || std::strcmp(format->id, "tsv") == 0 || std::strcmp(format->id, "csv") == 0;
    const int columns = int(rows.header.size());
    if (!text) {
        StringGrid grid(columns, int(rows.count) + 1, 1, 0);
        for (int col = 0; col < columns; ++col)
            grid.setCell(col, 0, rows.header[col]);
        for (std::size_t r = 0; r < rows.count; ++r) {
            const QStringList cells = rows.row(r);
            for (int col = 0; col < columns && col < cells.size(); ++col)
                grid.setCell(col, int(r) + 1, cells[col]);
        }
        if (const auto written = writeTable(grid, out, language); !written)
            return fileError(written.error());
        return ExitDone;
    }

    const TableFormat& textFormat = format ? *format : *tableFormatById("tsv");
    QSaveFile file(out);
    if (!out.isEmpty() && !file.open(QIODevice::WriteOnly))
        return fileError(writeFailure(out, file.errorString(), language));
    const auto put = [&](const QByteArray& bytes) {
        if (out.isEmpty())
            return std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout) == size_t(bytes.size());
        return file.write(bytes) == bytes.size();
    };
    constexpr std::size_t Slice = 4096;
    bool ok = true;
    for (std::size_t first = 0; ok && (first == 0 || first < rows.count); first += Slice) {
        const std::size_t last = std::min(rows.count, first + Slice);
        const int header = first == 0 ? 1 : 0;
        StringGrid slice(columns, int(last - first) + header, 0, 0);
        if (header)
            for (int col = 0; col < columns; ++col)
                slice.setCell(col, 0, rows.header[col]);
        for (std::size_t r = first; r < last; ++r) {
            const QStringList cells = rows.row(r);
            for (int col = 0; col < columns && col < cells.size(); ++col)
                slice.setCell(col, int(r - first) + header, cells[col]);
        }
        ok = put(tableAsText(slice, textFormat));
    }
    if (out.isEmpty()) {
        if (!ok || std::fflush(stdout) != 0)
            return fileError(Text(table_texts::CannotWriteStandardOutput, std::uint8_t(language)));
        return ExitDone;
    }
    if (!ok || !file.commit())
        return fileError(writeFailure(out, file.errorString(), language));
    return ExitDone;
}

int runInit(const QStringList& args)
{
    Common c;
    if (auto status = parse(args, {QStringLiteral("--object"), QStringLiteral("--code"), QStringLiteral("--class")}, {},
                            1, false, c))
        return *status;
    const Options& o = c.options;
    ObjectSettings object;
    object.name = o.value(QStringLiteral("--object")).trimmed();
    if (object.name.isEmpty())
        return historyUsage(Text(texts::ObjectNeeded));
    const QString codeText = o.value(QStringLiteral("--code"), QStringLiteral("api570"));
    const auto code = codeFromName(codeText.toLower());
    if (!code)
        return historyUsage(Text(texts::BadCode).arg(codeText));
    object.code = *code;
    if (o.has(QStringLiteral("--class"))) {
        if (object.code != InspectionCode::Api570)
            return historyUsage(Text(texts::ClassOnlyApi570));
        const QString classText = o.value(QStringLiteral("--class"));
        bool ok = false;
        const int pipingClass = classText.toInt(&ok);
        if (!ok || pipingClass < 1 || pipingClass > 4)
            return historyUsage(Text(texts::BadClass).arg(classText));
        object.pipingClass = pipingClass;
    } else {
        object.pipingClass = object.code == InspectionCode::Api570 ? std::optional<int>(2) : std::nullopt;
    }
    if (auto made = createHistory(o.positional.front(), object); !made)
        return fileError(made.error());
    return ExitDone;
}

int runAdd(const QStringList& args)
{
    Common c;
    if (auto status = parse(args,
                            {QStringLiteral("--label"), QStringLiteral("--operator"), QStringLiteral("--gauge"),
                             QStringLiteral("--probe")},
                            {QStringLiteral("--dry-run")}, 2, true, c))
        return *status;
    const Options& o = c.options;
    int status = ExitDone;
    const auto store = open(c, status);
    if (!store)
        return status;

    // Every table is read before anything is added: one that cannot be read adds nothing.
    IncomingReadings incoming;
    QStringList sources;
    for (const QString& path : o.positional.mid(1)) {
        StringGrid table;
        if (const auto read = readTable(path, table, c.language); !read)
            return fileError(Text(texts::CannotReadTable).arg(read.error()));
        IncomingReadings one = readingsOfTable(table);
        incoming.skipped += one.skipped;
        incoming.readings.insert(incoming.readings.end(), std::make_move_iterator(one.readings.begin()),
                                 std::make_move_iterator(one.readings.end()));
        sources << QFileInfo(path).fileName();
    }
    SurveyDetails details;
    details.label = o.value(QStringLiteral("--label"));
    details.operatorName = o.value(QStringLiteral("--operator"));
    details.gauge = o.value(QStringLiteral("--gauge"));
    details.probe = o.value(QStringLiteral("--probe"));
    details.source = sources.join(QStringLiteral(", "));
    const bool dry = o.has(QStringLiteral("--dry-run"));
    const auto counts = store->add(incoming, details, dry ? AddMode::DryRun : AddMode::Write);
    if (!counts)
        return fileError(counts.error());
    QString line = Text(texts::AddSummary).arg(counts->added).arg(counts->present).arg(counts->skipped);
    if (dry)
        line += u' ' + Text(texts::DryRunNote);
    std::printf("%s\n", line.toUtf8().constData());
    return ExitDone;
}

int runGroup(const QStringList& args)
{
    Common c;
    if (auto status = parse(args,
                            {QStringLiteral("--name"), QStringLiteral("--nominal"), QStringLiteral("--required"),
                             QStringLiteral("--columns"), QStringLiteral("--first")},
                            {}, 2, false, c))
        return *status;
    const Options& o = c.options;
    const QString seriesText = o.positional[1].trimmed();
    const bool all = seriesText == QLatin1String("all");
    const auto series = all ? std::nullopt : naturalFromText(seriesText);
    if (!all && !series)
        return historyUsage(Text(texts::BadSeries).arg(o.positional[1]));
    if (all && o.has(QStringLiteral("--name")))
        return historyUsage(Text(texts::NameOfAll));
    QString error;
    ThicknessChange nominal, required;
    std::optional<std::optional<std::int32_t>> columns, first;
    if (!thicknessOption(o, QStringLiteral("--nominal"), nominal, error)
        || !thicknessOption(o, QStringLiteral("--required"), required, error)
        || !wholeOption(o, QStringLiteral("--columns"), 1, MaxGridColumns, columns, error)
        || !wholeOption(o, QStringLiteral("--first"), 0, INT32_MAX, first, error))
        return historyUsage(error);

    int status = ExitDone;
    const auto store = open(c, status);
    if (!store)
        return status;
    const auto apply = [&](GroupValues& v) {
        if (nominal)
            v.nominal = *nominal;
        if (required)
            v.required = *required;
        if (columns)
            v.gridColumns = *columns;
        if (first)
            v.firstNumber = *first;
    };
    Rows rows{texts::groupHeader(c.language), 1, {}};
    if (all) {
        const auto values = store->updateDefaults(apply);
        if (!values)
            return fileError(values.error());
        rows.row = [&](std::size_t) { return groupRow(Text(texts::AllGroups), {}, *values); };
        return writeRows(rows, {}, c.language);
    }
    const auto group = store->updateGroup(*series, [&](GroupSettings& g) {
        if (o.has(QStringLiteral("--name")))
            g.name = o.value(QStringLiteral("--name")).trimmed();
        apply(g.values);
    });
    if (!group)
        return fileError(group.error());
    rows.row = [&](std::size_t) { return groupRow(QString::number(group->series), group->name, group->values); };
    return writeRows(rows, {}, c.language);
}

int runLocation(const QStringList& args)
{
    Common c;
    if (auto status = parse(args, {QStringLiteral("--required"), QStringLiteral("--description"), QStringLiteral("--renewed")},
                            {}, 2, false, c))
        return *status;
    const Options& o = c.options;
    const auto key = locationFromText(o.positional[1]);
    if (!key)
        return historyUsage(Text(texts::BadLocation).arg(o.positional[1]));
    QString error;
    ThicknessChange required;
    if (!thicknessOption(o, QStringLiteral("--required"), required, error))
        return historyUsage(error);
    std::optional<std::optional<QDate>> renewed;
    if (o.has(QStringLiteral("--renewed"))) {
        const QString text = o.value(QStringLiteral("--renewed"));
        std::optional<QDate> date;
        if (!text.trimmed().isEmpty() && !dateOption(QStringLiteral("--renewed"), text, date, error))
            return historyUsage(error);
        renewed = date;
    }

    int status = ExitDone;
    const auto store = open(c, status);
    if (!store)
        return status;
    const auto location = store->updateLocation(*key, [&](LocationSettings& l) {
        if (required)
            l.required = *required;
        if (renewed)
            l.renewed = *renewed;
        if (o.has(QStringLiteral("--description")))
            l.description = o.value(QStringLiteral("--description")).trimmed();
    });
    if (!location)
        return fileError(location.error());
    const auto settings = store->settings();
    if (!settings)
        return fileError(settings.error());
    const GroupValues values = settings->effectiveValues(key->series);
    const auto cell = values.gridColumns ? gridCell(key->number, *values.gridColumns, values.firstNumber.value_or(1))
                                         : std::nullopt;
    const Rows rows{texts::locationHeader(c.language), 1, [&](std::size_t) { return locationRow(*location, cell); }};
    return writeRows(rows, {}, c.language);
}

int runMark(const QStringList& args)
{
    Common c;
    if (auto status = parse(args, {}, {}, 4, false, c))
        return *status;
    const Options& o = c.options;
    const auto key = locationFromText(o.positional[1]);
    if (!key)
        return historyUsage(Text(texts::BadLocation).arg(o.positional[1]));
    QString error;
    std::optional<QDate> day;
    if (!dateOption(QStringLiteral("YYYY-MM-DD"), o.positional[2], day, error))
        return historyUsage(error);
    const QString word = o.positional[3].trimmed();
    const std::optional<Mark> mark = word == QLatin1String("clear") ? std::optional<Mark>(Mark::None)
                                     : word.isEmpty()                ? std::nullopt
                                                                     : markFromName(word);
    if (!mark)
        return historyUsage(Text(texts::BadMark).arg(o.positional[3]));

    int status = ExitDone;
    const auto store = open(c, status);
    if (!store)
        return status;
    const auto marked = store->mark(*key, *day, *mark);
    if (!marked)
        return fileError(marked.error());
    if (*marked == 0)
        return historyUsage(Text(texts::NoReadingThatDay).arg(locationText(*key), isoDate(*day)));
    return ExitDone;
}

// --as-of (default today) and --rate, as rates, trend and report read them; a usage error's exit
// status when they are wrong.
std::optional<int> ratesOptions(const Options& o, QDate& asOf, RateChoice& rate)
{
    QString error;
    std::optional<QDate> day = QDate::currentDate();
    if (o.has(QStringLiteral("--as-of")) && !dateOption(QStringLiteral("--as-of"), o.value(QStringLiteral("--as-of")), day, error))
        return historyUsage(error);
    asOf = *day;
    const QString rateText = o.value(QStringLiteral("--rate"), QStringLiteral("max"));
    if (rateText == QLatin1String("lt"))
        rate = RateChoice::LongTerm;
    else if (rateText == QLatin1String("st"))
        rate = RateChoice::ShortTerm;
    else if (rateText == QLatin1String("max"))
        rate = RateChoice::Larger;
    else
        return historyUsage(Text(texts::BadRate).arg(rateText));
    return std::nullopt;
}

// What rates, trend and report read of a history: its settings, every location's readings,
// and the figures worked out from them.
struct HistoryFigures {
    HistorySettings settings;
    std::vector<LocationMeasurements> measurements;
    std::vector<LocationRates> rates;
};

// The figures on asOf at the rate chosen; the exit status when the history cannot be read.
std::optional<int> readFigures(HistoryStore& store, RateChoice rate, QDate asOf, HistoryFigures& figures)
{
    auto settings = store.settings();
    if (!settings)
        return fileError(settings.error());
    auto measurements = store.measurements();
    if (!measurements)
        return fileError(measurements.error());
    figures.settings = std::move(settings).value();
    figures.measurements = std::move(measurements).value();
    figures.rates = historyRates(figures.settings, figures.measurements, rate, asOf);
    return std::nullopt;
}

int runRates(const QStringList& args)
{
    Common c;
    if (auto status = parse(args, {QStringLiteral("--as-of"), QStringLiteral("--rate"), QStringLiteral("-o")}, {}, 1,
                            false, c))
        return *status;
    const Options& o = c.options;
    QDate asOf;
    RateChoice rate = RateChoice::Larger;
    if (auto status = ratesOptions(o, asOf, rate))
        return *status;

    int status = ExitDone;
    const auto store = open(c, status);
    if (!store)
        return status;
    HistoryFigures figures;
    if (auto failed = readFigures(*store, rate, asOf, figures))
        return *failed;
    const std::vector<LocationRates>& rates = figures.rates;
    const QLocale locale = QLocale::system();
    const Rows rows{texts::ratesHeader(c.language), rates.size(),
                    [&](std::size_t r) { return ratesRow(rates[r], locale); }};
    return writeRows(rows, o.value(QStringLiteral("-o")), c.language);
}

int runReadings(const QStringList& args)
{
    Common c;
    if (auto status = parse(args, {QStringLiteral("-o")}, {}, 1, false, c))
        return *status;
    int status = ExitDone;
    const auto store = open(c, status);
    if (!store)
        return status;
    const auto readings = store->readings();
    if (!readings)
        return fileError(readings.error());
    const Rows rows{texts::readingsHeader(c.language), readings->size(),
                    [&](std::size_t r) { return readingsRow((*readings)[r]); }};
    return writeRows(rows, c.options.value(QStringLiteral("-o")), c.language);
}

int runSurveys(const QStringList& args)
{
    Common c;
    if (auto status = parse(args, {QStringLiteral("-o")}, {}, 1, false, c))
        return *status;
    int status = ExitDone;
    const auto store = open(c, status);
    if (!store)
        return status;
    const auto surveys = store->surveys();
    if (!surveys)
        return fileError(surveys.error());
    const Rows rows{texts::surveysHeader(c.language), surveys->size(),
                    [&](std::size_t r) { return surveysRow((*surveys)[r]); }};
    return writeRows(rows, c.options.value(QStringLiteral("-o")), c.language);
}

int runTrend(const QStringList& args)
{
    Common c;
    if (auto status = parse(args, {QStringLiteral("--as-of"), QStringLiteral("--rate"), QStringLiteral("-o"),
                                   QStringLiteral("--size")},
                            {}, 2, false, c))
        return *status;
    const Options& o = c.options;
    const auto key = locationFromText(o.positional[1]);
    if (!key)
        return historyUsage(Text(texts::BadLocation).arg(o.positional[1]));
    QDate asOf;
    RateChoice rate = RateChoice::Larger;
    if (auto status = ratesOptions(o, asOf, rate))
        return *status;
    const QString out = o.value(QStringLiteral("-o"));
    if (out.isEmpty())
        return historyUsage(Text(texts::PictureNeeded));
    QSize size(900, 500);
    if (o.has(QStringLiteral("--size"))) {
        const QStringList parts = o.value(QStringLiteral("--size")).split(u'x');
        bool w = false, h = false;
        if (parts.size() == 2)
            size = QSize(parts[0].toInt(&w), parts[1].toInt(&h));
        if (!w || !h || size.width() < 100 || size.height() < 100 || size.width() > 10000 || size.height() > 10000)
            return historyUsage(Text(texts::BadPictureSize));
    }

    int status = ExitDone;
    const auto store = open(c, status);
    if (!store)
        return status;
    HistoryFigures figures;
    if (auto failed = readFigures(*store, rate, asOf, figures))
        return *failed;
    const auto trend = trendOf(*key, figures.rates, figures.measurements, figures.settings);
    if (!trend)
        return historyUsage(Text(texts::NoSuchLocation).arg(locationText(*key)));
    TrendOptions options;
    options.languageIndex = c.language;
    const auto chart = makeTrendChart(*trend, options);
    if (const auto saved = saveChart(*chart, out, size); !saved)
        return fileError(Text(texts::CannotWritePicture).arg(out, saved.error()));
    return ExitDone;
}

int runHistoryReport(const QStringList& args)
{
    Common c;
    if (auto status = parse(args, {QStringLiteral("--as-of"), QStringLiteral("--rate"), QStringLiteral("-o")}, {}, 1,
                            false, c))
        return *status;
    const Options& o = c.options;
    const QString out = o.value(QStringLiteral("-o"));
    const bool workbook = out.endsWith(QLatin1String(".xlsx"), Qt::CaseInsensitive);
    if (!workbook && !out.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive))
        return historyUsage(Text(report_texts::ReportOutput).arg(out));
    HistoryReport report;
    if (auto status = ratesOptions(o, report.asOf, report.rate))
        return *status;
    report.languageIndex = c.language;

    int status = ExitDone;
    const auto store = open(c, status);
    if (!store)
        return status;
    HistoryFigures figures;
    if (auto failed = readFigures(*store, report.rate, report.asOf, figures))
        return *failed;
    auto surveys = store->surveys();
    if (!surveys)
        return fileError(surveys.error());
    report.rates = std::move(figures.rates);
    report.settings = std::move(figures.settings);
    report.surveys = std::move(surveys).value();
    if (workbook) {
        auto readings = store->readings();
        if (!readings)
            return fileError(readings.error());
        report.readings = std::move(readings).value();
    } else {
        // The trend of every red and amber location after its group's table.
        report.trend = trendPicture(figures.measurements, report.settings, report.rates, c.language, report.locale);
    }
    const Result<void> written = workbook ? writeHistoryWorkbook(report, out) : writeHistoryReportPdf(report, out);
    if (!written)
        return fileError(written.error());
    return ExitDone;
}

struct Subcommand {
    const char* name;
    int (*run)(const QStringList& args);
};

const Subcommand Subcommands[] = {
    {"init", runInit},         {"add", runAdd},         {"group", runGroup},       {"location", runLocation},
    {"mark", runMark},         {"rates", runRates},     {"readings", runReadings}, {"surveys", runSurveys},
    {"trend", runTrend},
    {"report", runHistoryReport},
};

} // namespace

int runHistory(const QStringList& args)
{
    // The subcommand reads --lang itself; before it is known, only a plain "--lang en" tells.
    const qsizetype lang = args.indexOf(QStringLiteral("--lang"));
    const bool english = args.contains(QStringLiteral("--lang=en")) || (lang >= 0 && args.value(lang + 1) == u"en");
    setLanguageIndex(english ? LanguageEnglish : LanguageRussian);
    if (args.isEmpty())
        return historyUsage(Text(texts::SubcommandNeeded));
    for (const Subcommand& sub : Subcommands)
        if (args.front() == QLatin1String(sub.name))
            return sub.run(args.mid(1));
    return historyUsage(Text(texts::UnknownSubcommand).arg(args.front()));
}

} // namespace quilex::cli
