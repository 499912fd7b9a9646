// The inspection report of a table: written by the real quilex-cli, read back by poppler, and
// held against the figures "quilex-cli stats" gives for the same table, in both languages and
// under the suite's locale (a decimal comma under ru_RU). Also the pages' furniture, and that a
// column wraps only between words.

#include "export/outside_readers.h"
#include "export/report_document.h"
#include "table/archive_columns.h"
#include "table/project_file.h"
#include "table/string_grid.h"
#include "support/test_support.h"

#include <QGuiApplication>
#include <QLocale>
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

// A reading of the table as the tests know it.
struct Row {
    int record;
    int series;
    int number;
    int hundredths;
    QDate date;
};

// 3 series of 70 readings, 8.50 to 12.49 mm, so that some are below their minimum.
std::vector<Row> rows()
{
    std::vector<Row> out;
    for (int i = 0; i < 210; ++i)
        out.push_back({i + 1, i % 3 + 1, i / 3 + 1, 850 + (i * 37) % 400, QDate(2024, 3, 1).addDays(i / 70)});
    return out;
}

// Table minimum 10.00, nominal 12.00; series 2 its own minimum 9.00.
TableLimits limits()
{
    TableLimits l;
    l.table.nominal = 1200;
    l.table.minimum = 1000;
    l.series[2].minimum = 900;
    return l;
}

bool below(const Row& r)
{
    return r.hundredths < (r.series == 2 ? 900 : 1000);
}

QString thickness(int hundredths)
{
    return QLocale::system().toString(hundredths / 100.0, 'f', 2);
}

QString shortDate(const QDate& d)
{
    const QLocale locale = QLocale::system();
    return locale.toString(d, locale.dateFormat(QLocale::ShortFormat));
}

void writeTable(const QString& path)
{
    const std::vector<Row> table = rows();
    StringGrid grid(ArchiveColumnCount, int(table.size()) + 1, 1, 1);
    writeArchiveHeader(grid, 0);
    for (const Row& r : table)
        grid.setRow(r.record, {QString::number(r.record), QStringLiteral("сталь 1"), QStringLiteral("5920"),
                               thickness(r.hundredths), QString::number(r.number), QString::number(r.series),
                               shortDate(r.date), QStringLiteral("10:%1:00").arg(r.record % 60, 2, 10, QChar(u'0'))});
    ASSERT_TRUE(writeProjectFile(grid, path, 0, limits()).ok());
}

QSet<QString> words(const QString& text)
{
    QSet<QString> set;
    for (const QString& word : text.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts))
        set.insert(word);
    return set;
}

class InspectionReport : public ::testing::TestWithParam<const char*> {
protected:
    QString file(const char* name) const { return QString::fromStdString(dir.file(name)); }
    QString lang() const { return QString::fromLatin1(GetParam()); }
    bool english() const { return lang() == u"en"; }
    TempDir dir;
};

} // namespace

// The figures are those of stats, row for row with the whole table's row; the readings are all
// there, with a thickness in the locale's form, and exactly those below their own minimum are
// marked in words; the title block carries the texts given.
TEST_P(InspectionReport, HoldsTheStatisticsOfStatsAndMarksTheReadingsBelowTheMinimum)
{
    const QString table = file("table.qlx");
    writeTable(table);
    const QString pdf = file("report.pdf");
    const CliRun run = cli({"report", table, "-o", pdf, "--object", "Crude line 7, crossing under the road",
                            "--operator", "I. Ivanov", "--gauge", "Quilex-A", "--probe", "P112-5", "--lang", lang()});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QString text = pdfText(pdf);

    const CliRun stats = cli({"stats", table, "--lang", lang()});
    ASSERT_EQ(stats.exitCode, 0);
    QStringList statsLines = stats.out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(statsLines.size(), 5); // header, three series, the whole table
    statsLines.removeFirst();
    for (const QString& line : statsLines)
        EXPECT_TRUE(text.contains(cellsInOrder(line.split(u'\t')))) << line.toStdString();
    EXPECT_TRUE(statsLines.back().startsWith(english() ? u"All\t" : u"Все\t"));

    const QString mark = english() ? QStringLiteral("below min.") : QStringLiteral("ниже мин.");
    int marked = 0;
    for (const Row& r : rows()) {
        const QStringList cells{QString::number(r.record), QString::number(r.series), QString::number(r.number),
                                thickness(r.hundredths), shortDate(r.date)};
        const QRegularExpression found = cellsInOrder(cells);
        const QRegularExpressionMatch match = found.match(text);
        ASSERT_TRUE(match.hasMatch()) << cells.join(u' ').toStdString();
        // The mark, when there is one, follows the reading's time on the same line.
        const QString rest = text.mid(match.capturedEnd()).section(u'\n', 0, 0);
        const bool hasMark = QRegularExpression(QStringLiteral("^\\s*\\S+\\s+") + QRegularExpression::escape(mark)).match(rest).hasMatch();
        EXPECT_EQ(hasMark, below(r)) << cells.join(u' ').toStdString();
        marked += below(r) ? 1 : 0;
    }
    // Every mark is one reading's, besides the note that explains it.
    EXPECT_EQ(text.count(mark), marked + 1);
    EXPECT_GT(marked, 10);

    // The limits as the table shows thicknesses, the series' own beside the table's.
    EXPECT_TRUE(text.contains(cellsInOrder({english() ? "All" : "Все", thickness(1200), thickness(1000)})));
    EXPECT_TRUE(text.contains(cellsInOrder({"2", thickness(1200), thickness(900)})));
    for (const char* given : {"Crude line 7, crossing under the road", "I. Ivanov", "P112-5"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(given))) << given;
    EXPECT_TRUE(text.contains(english() ? "Inspection report" : "Протокол контроля"));
}

// Every page says which it is of how many; every page but the first opens with the one-line
// header; the same table makes as many pages in either language.
TEST_P(InspectionReport, EveryPageIsNumberedAndHeaded)
{
    const QString table = file("table.qlx");
    writeTable(table);
    const QString pdf = file("report.pdf");
    ASSERT_EQ(cli({"report", table, "-o", pdf, "--object", "Tank 12", "--lang", lang()}).exitCode, 0);
    const int pages = pdfPageCount(pdf);
    ASSERT_GE(pages, 2);
    const QString title = english() ? QStringLiteral("Inspection report") : QStringLiteral("Протокол контроля");
    for (int page = 1; page <= pages; ++page) {
        const QString text = pdfText(pdf, page);
        const QString number = english() ? QStringLiteral("page %1 of %2") : QStringLiteral("страница %1 из %2");
        EXPECT_TRUE(text.contains(number.arg(page).arg(pages))) << page;
        const QString first = text.trimmed().section(u'\n', 0, 0);
        if (page == 1) {
            EXPECT_EQ(first.trimmed(), title);
        } else {
            EXPECT_TRUE(first.startsWith(title + QStringLiteral(" — Tank 12 — "))) << first.toStdString();
        }
    }
    const QString other = file("other.pdf");
    ASSERT_EQ(cli({"report", table, "-o", other, "--object", "Tank 12", "--lang", english() ? "ru" : "en"}).exitCode, 0);
    EXPECT_EQ(pdfPageCount(other), pages);
}

// A project's own title block heads its report; a text given as an option replaces its own.
TEST_P(InspectionReport, AProjectsTitleBlockHeadsItsReport)
{
    const QString table = file("table.qlx");
    writeTable(table);
    StringGrid grid;
    const auto read = readProjectFile(table, grid, 0);
    ASSERT_TRUE(read.ok());
    ReportTitle title;
    title.object = QStringLiteral("Tank 12");
    title.operatorName = QStringLiteral("I. Ivanov");
    ASSERT_TRUE(writeProjectFile(grid, table, 0, read->limits, title).ok());
    const QString pdf = file("titled.pdf");
    ASSERT_EQ(cli({"report", table, "-o", pdf, "--operator", "P. Petrov", "--lang", lang()}).exitCode, 0);
    const QString text = pdfText(pdf);
    EXPECT_TRUE(text.contains("Tank 12"));
    EXPECT_TRUE(text.contains("P. Petrov"));
    EXPECT_FALSE(text.contains("I. Ivanov"));
}

// Usage errors and a file that cannot be written leave nothing behind.
TEST_P(InspectionReport, RefusesWhatItCannotDo)
{
    const QString table = file("table.qlx");
    writeTable(table);
    EXPECT_EQ(cli({"report", table}).exitCode, 1);
    EXPECT_EQ(cli({"report", table, "-o", file("r.pdf"), "--min", "thick"}).exitCode, 1);
    EXPECT_EQ(cli({"report", file("none.qlx"), "-o", file("r.pdf")}).exitCode, 4);
    EXPECT_EQ(cli({"report", table, "-o", file("no/such/folder/r.pdf"), "--lang", lang()}).exitCode, 4);
    EXPECT_FALSE(QFile::exists(file("r.pdf")));
    // --min replaces the project's own limits: every reading below 12.50 mm is marked.
    ASSERT_EQ(cli({"report", table, "-o", file("all.pdf"), "--min", "12.50", "--lang", "en"}).exitCode, 0);
    EXPECT_EQ(pdfText(file("all.pdf")).count("below min."), int(rows().size()) + 1);
}

INSTANTIATE_TEST_SUITE_P(Languages, InspectionReport, ::testing::Values("ru", "en"),
                         [](const auto& info) { return std::string(info.param) == "en" ? "English" : "Russian"; });

// A column narrower than its texts wraps them between words, and is never narrower than its
// longest word: every word of every cell comes back whole from the PDF.
TEST(ReportColumns, WrapBetweenWordsAndNeverSplitOne)
{
    int argc = 1;
    char name[] = "test";
    char* argv[] = {name, nullptr};
    QGuiApplication app(argc, argv);
    TempDir dir;
    ReportTable table;
    const QStringList phrases{QStringLiteral("Допустимая минимальная толщина стенки трубопровода"),
                              QStringLiteral("Elbow downstream of the injection quill, north side"),
                              QStringLiteral("Краткосрочная скорость коррозии, мм/год"),
                              QStringLiteral("Thermowell nozzle reinforcement pad"),
                              QStringLiteral("Трубопроводобетоноукладчик сверхпрочный"),
                              QStringLiteral("Retirement date of the replacement spool")};
    table.header = phrases;
    for (int r = 0; r < 4; ++r) {
        std::vector<ReportCell> row;
        for (const QString& phrase : phrases)
            row.push_back({phrase + u' ' + QString::number(r)});
        table.rows.push_back(std::move(row));
    }
    ReportDocument doc;
    doc.title(QStringLiteral("Columns"));
    doc.table(table);
    ASSERT_TRUE(doc.writePdf(QString::fromStdString(dir.file("columns.pdf")), QStringLiteral("Columns")));
    const QSet<QString> found = words(pdfText(QString::fromStdString(dir.file("columns.pdf")), 0, false));
    for (const QString& phrase : phrases)
        for (const QString& word : phrase.split(u' '))
            EXPECT_TRUE(found.contains(word)) << word.toStdString();
    // Six long phrases side by side do not fit A4 on one line each: they did wrap.
    const QString layout = pdfText(QString::fromStdString(dir.file("columns.pdf")));
    EXPECT_FALSE(layout.contains(phrases[0]));

    // A word wider than the line stays whole on a line of its own.
    const auto width = [](const QString& s) { return double(s.size()); };
    EXPECT_EQ(wrapWords(QStringLiteral("a bb cccccccccc dd"), width, 5),
              (QStringList{"a bb", "cccccccccc", "dd"}));
    EXPECT_EQ(wrapWords(QStringLiteral("one\ntwo three"), width, 20), (QStringList{"one", "two three"}));
}
