// The history's report end to end: a history made by the real quilex-cli, its report written as
// PDF and as a workbook, read back by poppler, openpyxl and LibreOffice and held against the
// figures of "history rates" and the rows of "history readings", in both languages and under
// the suite's locale. And the place the trends of red and amber locations will take.

#include "export/history_report.h"
#include "history/history_texts.h"
#include "export/outside_readers.h"
#include "history/sqlite_history.h"
#include "table/archive_columns.h"
#include "table/project_file.h"
#include "table/string_grid.h"
#include "support/test_support.h"

#include <QDir>
#include <QGuiApplication>
#include <QJsonArray>
#include <QLocale>
#include <QPainter>
#include <QRegularExpression>
#include <QSet>

#include <gtest/gtest.h>

using namespace quilex;
using namespace quilex::test;

namespace {

struct CliRun {
    int exitCode = -1;
    QString out;
    QString err;
};

CliRun cli(const QStringList& args)
{
    const ToolRun run = runTool(QString::fromStdString(binPath("quilex-cli")), args);
    return {run.exitCode, QString::fromUtf8(run.out), QString::fromUtf8(run.err)};
}

const QDate D2016(2016, 3, 1), D2020(2020, 3, 1), D2024(2024, 3, 1);
const QString AsOf = QStringLiteral("2024-03-01");
const QString Description = QStringLiteral("Elbow downstream of the injection quill, north side");

// A download of three visits: series 1 to 3 with 30 locations each, walls that thin at
// different paces so that every status turns up.
void writeDownload(const QString& path, const std::vector<QDate>& days)
{
    const QLocale locale = QLocale::system();
    std::vector<QStringList> rows;
    for (std::size_t visit = 0; visit < days.size(); ++visit)
        for (int series = 1; series <= 3; ++series)
            for (int number = 1; number <= 30; ++number) {
                const int loss = (number % 7) * 25 + series * 5; // per four years, hundredths
                const int value = 1000 - int(visit) * loss + (number == 5 && visit == 1 ? 30 : 0);
                rows.push_back({QString::number(rows.size() + 1), QStringLiteral("сталь 1"), QStringLiteral("5920"),
                                locale.toString(value / 100.0, 'f', 2), QString::number(number), QString::number(series),
                                locale.toString(days[visit], QLocale::ShortFormat), QStringLiteral("09:30:00")});
            }
    StringGrid grid(ArchiveColumnCount, int(rows.size()) + 1, 1, 1);
    writeArchiveHeader(grid, 0);
    for (std::size_t r = 0; r < rows.size(); ++r)
        grid.setRow(int(r) + 1, rows[r]);
    ASSERT_TRUE(writeProjectFile(grid, path, 0).ok());
}

class HistoryReportTest : public ::testing::TestWithParam<const char*> {
protected:
    QString file(const char* name) const { return QString::fromStdString(dir.file(name)); }
    QString lang() const { return QString::fromLatin1(GetParam()); }
    bool english() const { return lang() == u"en"; }

    // The history every test reads: 90 locations over three surveys.
    QString makeHistory()
    {
        const QString h = file("unit.qlh");
        EXPECT_EQ(cli({"history", "init", h, "--object", "Unit 4 crude line"}).exitCode, 0);
        EXPECT_EQ(cli({"history", "group", h, "all", "--nominal", "10"}).exitCode, 0);
        EXPECT_EQ(cli({"history", "group", h, "1", "--name", "Line 1 suction", "--columns", "10", "--required", "7.5"})
                      .exitCode,
                  0);
        EXPECT_EQ(cli({"history", "group", h, "2", "--required", "7.5"}).exitCode, 0);
        EXPECT_EQ(cli({"history", "location", h, "2-3", "--description", Description}).exitCode, 0);
        std::vector<QDate> days;
        for (const QDate& day : {D2016, D2020, D2024}) {
            days.push_back(day);
            const QString table = file("download.qlx");
            writeDownload(table, days);
            const CliRun add = cli({"history", "add", h, table, "--operator", "Ivanov", "--label", "visit"});
            EXPECT_EQ(add.exitCode, 0) << add.err.toStdString();
        }
        return h;
    }

    std::vector<QStringList> rates(const QString& h) const
    {
        const CliRun run = cli({"history", "rates", h, "--as-of", AsOf, "--lang", lang()});
        EXPECT_EQ(run.exitCode, 0);
        std::vector<QStringList> rows;
        for (const QString& line : run.out.split(u'\n', Qt::SkipEmptyParts))
            rows.push_back(line.split(u'\t'));
        return rows;
    }

    TempDir dir;
};

// A status as the report writes it, from the word "history rates" writes.
QString statusWordOf(const QString& token, bool english)
{
    const Status status = token == u"red"     ? Status::Red
                          : token == u"amber" ? Status::Amber
                          : token == u"green" ? Status::Green
                                              : Status::Grey;
    return history_texts::statusWord(status, english ? 1 : 0);
}

// The columns of a rates row that a group's table in the PDF shows, in its order.
QStringList shownColumns(const QStringList& rates, bool english)
{
    QStringList cells;
    for (int column : {0, 3, 5, 6, 7, 10, 11, 12, 13, 14, 15, 16, 18, 19, 20})
        cells << (column == 19 ? statusWordOf(rates[column], english) : rates[column]);
    return cells;
}

int severity(const QString& status)
{
    return QStringList{"green", "grey", "amber", "red"}.indexOf(status);
}

} // namespace

// Every location's figures come back from the PDF as "history rates" writes them; the summary
// counts the statuses of those rows; the ten worst are ranked red before amber before the rest;
// dates are YYYY-MM-DD only.
TEST_P(HistoryReportTest, ThePdfHoldsTheFiguresOfRates)
{
    const QString h = makeHistory();
    const QString pdf = file("report.pdf");
    const CliRun run = cli({"history", "report", h, "-o", pdf, "--as-of", AsOf, "--lang", lang()});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    // With QUILEX_SCREENSHOTS naming a folder, the PDF goes there too, for its pages' pictures.
    if (const QString kept = qEnvironmentVariable("QUILEX_SCREENSHOTS"); !kept.isEmpty()) {
        QDir().mkpath(kept);
        QFile::remove(kept + "/history-report-" + lang() + ".pdf");
        QFile::copy(pdf, kept + "/history-report-" + lang() + ".pdf");
    }
    const QString text = pdfText(pdf);
    std::vector<QStringList> rows = rates(h);
    ASSERT_EQ(rows.size(), 91u);
    rows.erase(rows.begin());
    QMap<QString, int> counts;
    QMap<QString, QStringList> byLocation;
    for (const QStringList& row : rows) {
        EXPECT_TRUE(text.contains(cellsInOrder(shownColumns(row, english())))) << row.join(u' ').toStdString();
        ++counts[row[19]];
        byLocation[row[0]] = row;
    }
    EXPECT_GT(counts["red"], 0);
    EXPECT_GT(counts["amber"], 0);
    EXPECT_GT(counts["green"], 0);
    EXPECT_EQ(counts["grey"], 30); // series 3 has no required thickness
    // The summary names each status in words of the report's language.
    for (const auto& [status, token] : {std::pair{Status::Red, "red"}, {Status::Amber, "amber"}, {Status::Grey, "grey"},
                                        {Status::Green, "green"}}) {
        const QString word = history_texts::statusWord(status, english() ? 1 : 0);
        EXPECT_TRUE(text.contains(QRegularExpression(QStringLiteral("^\\s*%1\\s+%2\\s*$").arg(word).arg(counts[token]),
                                                     QRegularExpression::MultilineOption)))
            << word.toStdString();
    }

    // The ten worst: the lines after their heading that begin with a location.
    const QString heading = english() ? QStringLiteral("The ten worst locations") : QStringLiteral("Десять худших точек");
    const QStringList after = text.mid(text.indexOf(heading)).split(u'\n');
    QStringList worst;
    for (const QString& line : after) {
        const auto match = QRegularExpression(QStringLiteral("^\\s*(\\d+-\\d+)\\s")).match(line);
        if (match.hasMatch())
            worst << match.captured(1);
        if (worst.size() == 10)
            break;
    }
    ASSERT_EQ(worst.size(), 10);
    for (qsizetype i = 0; i < worst.size(); ++i) {
        const QStringList& row = byLocation[worst[i]];
        EXPECT_TRUE(text.contains(cellsInOrder({row[11], row[14], row[15], row[16], row[18], statusWordOf(row[19], english())})))
            << row[0].toStdString();
        if (i > 0) {
            EXPECT_GE(severity(byLocation[worst[i - 1]][19]), severity(row[19]));
        }
    }
    EXPECT_EQ(byLocation[worst[0]][19], counts["red"] > 0 ? QStringLiteral("red") : QStringLiteral("amber"));

    // No date in any other form.
    EXPECT_FALSE(text.contains(QRegularExpression(QStringLiteral("\\d\\d[./]\\d\\d[./]\\d{2,4}"))));
    EXPECT_TRUE(text.contains("Unit 4 crude line"));
    EXPECT_TRUE(text.contains(english() ? "API 570, piping class 2" : "API 570, класс трубопровода 2"));

    // The trend of every red and amber location, each captioned with its status (the chart's own
    // title says its cell), drawn with its axes' words.
    const QRegularExpression caption(english() ? QStringLiteral("Location \\d+-\\d+ \\((?![A-Z]+\\d+\\))")
                                               : QStringLiteral("Точка \\d+-\\d+ \\((?![A-Z]+\\d+\\))"));
    EXPECT_EQ(text.count(caption), counts["red"] + counts["amber"]);
    EXPECT_GE(text.count(english() ? QStringLiteral("Thickness") : QStringLiteral("Толщина")), counts["red"] + counts["amber"]);
}

// Every page is numbered and every page but the first headed; the description and the group's
// name wrap between their words only.
TEST_P(HistoryReportTest, PagesAreNumberedHeadedAndKeepWordsWhole)
{
    const QString h = makeHistory();
    const QString pdf = file("report.pdf");
    ASSERT_EQ(cli({"history", "report", h, "-o", pdf, "--as-of", AsOf, "--lang", lang()}).exitCode, 0);
    const int pages = pdfPageCount(pdf);
    ASSERT_GE(pages, 3);
    const QString title = english() ? QStringLiteral("Survey history report") : QStringLiteral("Отчёт по истории обследований");
    for (int page = 1; page <= pages; ++page) {
        const QString text = pdfText(pdf, page);
        const QString number = english() ? QStringLiteral("page %1 of %2") : QStringLiteral("страница %1 из %2");
        EXPECT_TRUE(text.contains(number.arg(page).arg(pages))) << page;
        const QString first = text.trimmed().section(u'\n', 0, 0).trimmed();
        if (page == 1) {
            EXPECT_EQ(first, title);
        } else {
            EXPECT_TRUE(first.startsWith(title + QStringLiteral(" — Unit 4 crude line — "))) << first.toStdString();
        }
    }
    QSet<QString> words;
    for (const QString& word : pdfText(pdf, 0, false).split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts))
        words.insert(word);
    QStringList expected = Description.split(u' ');
    expected << QStringLiteral("Line") << QStringLiteral("suction");
    expected << (english() ? QStringList{"Long-term", "Short-term", "Governing", "Remaining", "Retirement"}
                           : QStringList{"Долгосрочная", "Краткосрочная", "Расчётная", "Остаточный", "отбраковки"});
    for (const QString& word : expected)
        EXPECT_TRUE(words.contains(word)) << word.toStdString();
    // The same history makes as many pages in the other language.
    ASSERT_EQ(cli({"history", "report", h, "-o", file("other.pdf"), "--as-of", AsOf, "--lang", english() ? "ru" : "en"})
                  .exitCode,
              0);
    EXPECT_EQ(pdfPageCount(file("other.pdf")), pages);
}

// The workbook as openpyxl reads it: four sheets in order, each with its header row frozen and
// set up to print one page wide; the locations' figures as numbers and dates that show what
// "history rates" writes; every reading one a row, as "history readings" lists it.
TEST_P(HistoryReportTest, TheWorkbookHoldsRatesSurveysAndEveryReading)
{
    const QString h = makeHistory();
    const QString xlsx = file("report.xlsx");
    const CliRun run = cli({"history", "report", h, "-o", xlsx, "--as-of", AsOf, "--lang", lang()});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const char* const script = R"PY(
import json, sys, datetime, openpyxl
book = openpyxl.load_workbook(sys.argv[1])
out = []
for ws in book.worksheets:
    rows = []
    for row in ws.iter_rows():
        cells = []
        for c in row:
            v = c.value
            if isinstance(v, (datetime.datetime, datetime.date, datetime.time)):
                v = v.isoformat()
            cells.append({"v": v, "t": c.data_type, "d": c.is_date, "f": c.number_format})
        rows.append(cells)
    setup = ws.page_setup
    # An absent fitToWidth or fitToHeight is the file format's default, 1.
    width = 1 if setup.fitToWidth is None else setup.fitToWidth
    height = 1 if setup.fitToHeight is None else setup.fitToHeight
    out.append({"title": ws.title, "freeze": ws.freeze_panes, "fitToPage": ws.sheet_properties.pageSetUpPr.fitToPage,
                "fitToWidth": width, "fitToHeight": height, "paper": setup.paperSize,
                "rows": rows})
print(json.dumps(out))
)PY";
    const ToolRun dump = runTool(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QString::fromUtf8(script), xlsx});
    ASSERT_EQ(dump.exitCode, 0) << dump.err.constData();
    const QJsonArray sheets = QJsonDocument::fromJson(dump.out).array();
    ASSERT_EQ(sheets.size(), 4);
    const QStringList names{"Summary", "Locations", "Surveys", "Readings"};
    for (int i = 0; i < 4; ++i) {
        const QJsonObject sheet = sheets[i].toObject();
        EXPECT_EQ(sheet["title"].toString(), names[i]);
        EXPECT_EQ(sheet["freeze"].toString(), "A2") << names[i].toStdString();
        EXPECT_TRUE(sheet["fitToPage"].toBool()) << names[i].toStdString();
        EXPECT_EQ(sheet["fitToWidth"].toInt(), 1) << names[i].toStdString();
        EXPECT_EQ(sheet["fitToHeight"].toInt(), 0) << names[i].toStdString();
    }

    // Locations: every cell of every rates row, a number shown with the digits rates writes.
    const auto point = [](QString s) { return s.replace(u',', u'.'); };
    std::vector<QStringList> rows = rates(h);
    const QJsonArray locations = sheets[1].toObject()["rows"].toArray();
    ASSERT_EQ(locations.size(), qsizetype(rows.size()));
    for (int c = 0; c < rows[0].size(); ++c)
        EXPECT_EQ(locations[0].toArray()[c].toObject()["v"].toString(), rows[0][c]);
    const QSet<int> dateColumns{6, 8, 10, 16, 18};
    for (std::size_t r = 1; r < rows.size(); ++r) {
        const QJsonArray cells = locations[qsizetype(r)].toArray();
        for (int c = 0; c < rows[r].size(); ++c) {
            const QString expected = rows[r][c];
            const QJsonObject cell = c < cells.size() ? cells[c].toObject() : QJsonObject();
            if (expected.isEmpty()) {
                EXPECT_TRUE(cell["v"].isNull()) << r << ":" << c;
            } else if (dateColumns.contains(c)) {
                EXPECT_TRUE(cell["d"].toBool()) << r << ":" << c;
                EXPECT_TRUE(cell["v"].toString().startsWith(expected)) << r << ":" << c;
            } else if (c == 0 || c == 3 || c >= 19) {
                EXPECT_EQ(cell["v"].toString(), expected) << r << ":" << c;
            } else {
                ASSERT_EQ(cell["t"].toString(), "n") << r << ":" << c;
                const int decimals = point(expected).contains(u'.') ? int(point(expected).section(u'.', 1).size()) : 0;
                EXPECT_EQ(QString::number(cell["v"].toDouble(), 'f', decimals), point(expected)) << r << ":" << c;
                const QString format = cell["f"].toString();
                EXPECT_EQ(format.contains(u'.') ? int(format.section(u'.', 1).size()) : 0, decimals) << r << ":" << c;
            }
        }
    }

    // Readings: one a row under one header row, as history readings writes them.
    const CliRun readings = cli({"history", "readings", h, "-o", file("readings.csv"), "--lang", lang()});
    ASSERT_EQ(readings.exitCode, 0);
    QFile csv(file("readings.csv"));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(csv.readAll()).split(u'\n', Qt::SkipEmptyParts);
    const QJsonArray sheet = sheets[3].toObject()["rows"].toArray();
    ASSERT_EQ(sheet.size(), lines.size());
    ASSERT_EQ(sheet.size(), 1 + 3 * 90 - 0); // every visit's readings, each once
    for (qsizetype r = 1; r < lines.size(); ++r) {
        const QStringList expected = lines[r].split(u',');
        const QJsonArray cells = sheet[r].toArray();
        ASSERT_EQ(expected.size(), 10);
        EXPECT_EQ(cells[0].toObject()["v"].toString(), expected[0]);
        EXPECT_EQ(cells[1].toObject()["v"].toInt(), expected[1].toInt());
        EXPECT_EQ(cells[2].toObject()["v"].toInt(), expected[2].toInt());
        EXPECT_TRUE(cells[3].toObject()["d"].toBool());
        EXPECT_TRUE(cells[3].toObject()["v"].toString().startsWith(expected[3]));
        EXPECT_EQ(cells[4].toObject()["v"].toString(), expected[4]);
        EXPECT_EQ(cells[5].toObject()["t"].toString(), "n");
        EXPECT_EQ(QString::number(cells[5].toObject()["v"].toDouble(), 'f', 2), expected[5]);
        EXPECT_EQ(cells[6].toObject()["v"].toInt(), expected[6].toInt());
        EXPECT_EQ(cells[7].toObject()["v"].toString(), expected[7]);
        EXPECT_TRUE(cells[8].toObject()["v"].toString().startsWith(expected[8]));
    }

    // Surveys: three, dated, counted.
    const QJsonArray surveys = sheets[2].toObject()["rows"].toArray();
    ASSERT_EQ(surveys.size(), 4);
    EXPECT_TRUE(surveys[3].toArray()[1].toObject()["d"].toBool());
    EXPECT_TRUE(surveys[3].toArray()[1].toObject()["v"].toString().startsWith("2024-03-01"));
    EXPECT_EQ(surveys[3].toArray()[7].toObject()["v"].toInt(), 90);
}

// LibreOffice opens the workbook and shows each sheet's figures as rates and readings write them.
TEST_P(HistoryReportTest, LibreOfficeShowsTheSameFigures)
{
    const QString h = makeHistory();
    const QString xlsx = file("report.xlsx");
    ASSERT_EQ(cli({"history", "report", h, "-o", xlsx, "--as-of", AsOf, "--lang", lang()}).exitCode, 0);
    const QString scratch = file("lo");
    QDir().mkpath(scratch);
    // Tab-separated, each cell as shown, every sheet to a file of its own (the twelfth token -1).
    const ToolRun run = runTool(QStringLiteral("soffice"),
                                {QStringLiteral("-env:UserInstallation=file://") + scratch + QStringLiteral("/profile"),
                                 QStringLiteral("--headless"), QStringLiteral("--norestore"), QStringLiteral("--convert-to"),
                                 QStringLiteral("csv:Text - txt - csv (StarCalc):9,34,76,1,,0,false,false,true,false,false,-1"),
                                 QStringLiteral("--outdir"), scratch, xlsx});
    ASSERT_EQ(run.exitCode, 0) << run.err.constData();
    const auto sheet = [&](const char* name) {
        QFile f(scratch + QStringLiteral("/report-") + QString::fromLatin1(name) + QStringLiteral(".csv"));
        EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << name << run.out.constData();
        QStringList lines = QString::fromUtf8(f.readAll()).split(u'\n', Qt::SkipEmptyParts);
        return lines;
    };
    const auto point = [](QString s) { return s.replace(u',', u'.'); };
    const QStringList locations = sheet("Locations");
    std::vector<QStringList> rows = rates(h);
    ASSERT_EQ(locations.size(), qsizetype(rows.size()));
    for (std::size_t r = 1; r < rows.size(); ++r) {
        const QStringList shown = locations[qsizetype(r)].split(u'\t');
        for (int c = 0; c < rows[r].size(); ++c)
            EXPECT_EQ(point(shown.value(c)), point(rows[r][c])) << r << ":" << c;
    }
    const QStringList readings = sheet("Readings");
    EXPECT_EQ(readings.size(), 1 + 3 * 90);
    EXPECT_TRUE(sheet("Summary").size() > 10);
    EXPECT_EQ(sheet("Surveys").size(), 4);
}

INSTANTIATE_TEST_SUITE_P(Languages, HistoryReportTest, ::testing::Values("ru", "en"),
                         [](const auto& info) { return std::string(info.param) == "en" ? "English" : "Russian"; });

// The trends' place: with a painter given, one picture per red or amber location, each in a
// rectangle of its own on a page; without one, no room is kept and nothing is called.
TEST(HistoryReportTrends, OnePicturePerRedOrAmberLocationWhenAPainterIsGiven)
{
    int argc = 1;
    char name[] = "test";
    char* argv[] = {name, nullptr};
    QGuiApplication app(argc, argv);
    TempDir dir;
    const QString h = QString::fromStdString(dir.file("unit.qlh"));
    ASSERT_TRUE(createHistory(h, {QStringLiteral("Unit"), InspectionCode::Api570, 2}));
    auto store = openHistory(h);
    ASSERT_TRUE(store);
    ASSERT_TRUE((*store)->updateDefaults([](GroupValues& v) { v.required = 600; }));
    IncomingReadings incoming;
    // 1-1 green, 1-2 amber (worked example), 2-1 red (below the required thickness).
    for (const auto& [key, values] : std::vector<std::pair<LocationKey, std::vector<int>>>{
             {{1, 1}, {1000, 960, 900}}, {{1, 2}, {760, 720, 648}}, {{2, 1}, {800, 700, 590}}})
        for (std::size_t i = 0; i < values.size(); ++i)
            incoming.readings.push_back({key, QDate(2016 + 4 * int(i), 3, 1), std::nullopt, values[i], 5920, "steel"});
    ASSERT_TRUE((*store)->add(incoming, {}, AddMode::Write));
    HistoryReport report;
    report.settings = *(*store)->settings();
    report.asOf = QDate(2024, 3, 1);
    report.rates = historyRates(report.settings, *(*store)->measurements(), RateChoice::Larger, report.asOf);
    report.surveys = *(*store)->surveys();
    report.languageIndex = 1;

    std::vector<std::pair<QString, QRectF>> drawn;
    report.trend = [&](QPainter& painter, const QRectF& target, const LocationRates& location) {
        drawn.emplace_back(locationText(location.location), target);
        painter.fillRect(target, Qt::black);
    };
    const QString pdf = QString::fromStdString(dir.file("trends.pdf"));
    ASSERT_TRUE(writeHistoryReportPdf(report, pdf));
    ASSERT_EQ(drawn.size(), 2u);
    EXPECT_EQ(drawn[0].first, "1-2");
    EXPECT_EQ(drawn[1].first, "2-1");
    for (const auto& [location, target] : drawn)
        EXPECT_GT(target.height(), target.width() / 5) << location.toStdString();
    const QString text = pdfText(pdf);
    EXPECT_TRUE(text.contains("Location 1-2 (amber)"));
    EXPECT_TRUE(text.contains("Location 2-1 (red)"));
    EXPECT_FALSE(text.contains("Location 1-1"));

    drawn.clear();
    report.trend = nullptr;
    ASSERT_TRUE(writeHistoryReportPdf(report, pdf));
    EXPECT_FALSE(pdfText(pdf).contains("Trends of the red and amber locations"));
}
