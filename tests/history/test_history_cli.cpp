// quilex-cli history end to end: the real program on real files, under the locale the suite
// runs in (C.UTF-8, then ru_RU.UTF-8 with its decimal comma and dd.MM.yyyy dates), killed in
// the middle of adds and run twice at once.

#include "table/archive_columns.h"
#include "table/project_file.h"
#include "table/string_grid.h"
#include "support/test_support.h"

#include <QDate>
#include <QElapsedTimer>
#include <QFile>
#include <QLocale>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <random>

using namespace quilex;
using quilex::test::TempDir;

namespace {

struct CliRun {
    int exitCode = -1;
    QString out;
    QString err;
};

// One row of an archive table: series, number, date, time, thickness as the table shows them.
struct Row {
    int series;
    int number;
    QDate date;
    int hundredths; // below 0: "NAN"
    QString time = QStringLiteral("10:00:00");
};

QString localNumber(const QString& text)
{
    return QString(text).replace(u'.', QLocale::system().decimalPoint());
}

QByteArray bytesOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class HistoryCli : public ::testing::Test {
protected:
    QString file(const char* name) const { return QString::fromStdString(dir.file(name)); }

    static QStringList lines(const QString& text)
    {
        QStringList l = text.split(u'\n');
        if (!l.isEmpty() && l.back().isEmpty())
            l.removeLast();
        return l;
    }

    // quilex-cli with the environment of the suite, whose locale it shares.
    CliRun cli(const QStringList& args) const
    {
        QProcess process;
        process.start(QString::fromStdString(test::binPath("quilex-cli")), args);
        EXPECT_TRUE(process.waitForFinished(60000));
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
    }
    CliRun history(const QStringList& args) const { return cli(QStringList{"history"} + args); }

    static QString sql(const QString& path, const QString& statement)
    {
        QProcess shell;
        shell.start("sqlite3", {"-batch", path, statement});
        shell.waitForFinished(30000);
        return QString::fromUtf8(shell.readAllStandardOutput() + shell.readAllStandardError()).trimmed();
    }

    // An archive table as the gauge's download gives it, written as a project file in the
    // locale's forms of dates and numbers.
    static void writeTable(const QString& path, const std::vector<Row>& rows)
    {
        StringGrid grid(ArchiveColumnCount, int(rows.size()) + 1, 1, 1);
        writeArchiveHeader(grid, 0);
        const QLocale locale = QLocale::system();
        for (int r = 0; r < int(rows.size()); ++r) {
            const Row& row = rows[std::size_t(r)];
            const QStringList cells{QString::number(r + 1),
                                    QStringLiteral("сталь 1"),
                                    QStringLiteral("5920"),
                                    row.hundredths < 0 ? QStringLiteral("NAN") : locale.toString(row.hundredths / 100.0, 'f', 2),
                                    row.number < 0 ? QString() : QString::number(row.number),
                                    QString::number(row.series),
                                    row.date.isValid() ? locale.toString(row.date, QLocale::ShortFormat) : QStringLiteral("NAN"),
                                    row.time};
            for (int col = 0; col < cells.size(); ++col)
                grid.setCell(col, r + 1, cells[col]);
        }
        ASSERT_TRUE(writeProjectFile(grid, path, 0).ok());
    }

    // A download of 32 x 64 readings, all taken on one day.
    static std::vector<Row> download(QDate day, int thinning)
    {
        std::vector<Row> rows;
        for (int series = 0; series < 32; ++series)
            for (int number = 0; number < 64; ++number)
                rows.push_back({series, number, day, 1200 - thinning - number, QStringLiteral("09:%1:00").arg(number % 60, 2, 10, QChar(u'0'))});
        return rows;
    }

    TempDir dir;
};

const QDate D2016(2016, 3, 1), D2018(2018, 3, 1), D2020(2020, 3, 1), D2024(2024, 3, 1);

} // namespace

TEST_F(HistoryCli, TheWorkedExamplesFromDownloadToRates)
{
    const QString h = file("unit.qlh");
    ASSERT_EQ(history({"init", h, "--object", "Unit 1"}).exitCode, 0);
    ASSERT_EQ(history({"group", h, "1", "--required", "6", "--nominal", "10.00", "--columns", "10"}).exitCode, 0);
    // The gauge's archive is cumulative: each download holds the earlier visits too.
    std::vector<Row> rows{{1, 1, D2016, 1000}, {1, 2, D2016, 760}};
    writeTable(file("2016.qlx"), rows);
    rows.insert(rows.end(), {{1, 1, D2020, 960}, {1, 2, D2020, 720}, {1, 3, D2020, 800}, {1, 4, D2020, 800}});
    writeTable(file("2020.qlx"), rows);
    rows.insert(rows.end(), {{1, 1, D2024, 900}, {1, 2, D2024, 648}, {1, 3, D2024, 800}, {1, 4, D2024, 590}});
    writeTable(file("2024.qlx"), rows);
    EXPECT_EQ(history({"add", h, file("2016.qlx"), "--lang", "en"}).out, "added 2, already present 0, skipped 0\n");
    EXPECT_EQ(history({"add", h, file("2020.qlx"), "--lang", "en"}).out, "added 4, already present 2, skipped 0\n");
    const CliRun third = history({"add", h, file("2024.qlx")});
    EXPECT_EQ(third.exitCode, 0);
    EXPECT_EQ(third.out, "добавлено 4, уже были 6, пропущено 0\n");

    const CliRun rates = history({"rates", h, "--as-of", "2024-03-01", "--lang", "en"});
    ASSERT_EQ(rates.exitCode, 0) << rates.err.toStdString();
    const QStringList got = lines(rates.out);
    ASSERT_EQ(got.size(), 5);
    EXPECT_EQ(got[0], "Location\tSeries\tNumber\tCell\tNominal, mm\tRequired, mm\tBase date\tBase, mm\tPrevious date\t"
                      "Previous, mm\tLast date\tLast, mm\tLong-term rate, mm/y\tShort-term rate, mm/y\t"
                      "Governing rate, mm/y\tRemaining life, y\tRetirement date\tInterval, y\tNext inspection\tStatus\tFlags");
    EXPECT_EQ(got[1], localNumber("1-1\t1\t1\tA1\t10.00\t6.00\t2016-03-01\t10.00\t2020-03-01\t9.60\t2024-03-01\t9.00\t"
                                  "0.125\t0.150\t0.150\t20.0\t2044-03-01\t10.0\t2034-03-01\tgreen\t"));
    EXPECT_EQ(got[2], localNumber("1-2\t1\t2\tB1\t10.00\t6.00\t2016-03-01\t7.60\t2020-03-01\t7.20\t2024-03-01\t6.48\t"
                                  "0.140\t0.180\t0.180\t2.7\t2026-11-01\t1.3\t2025-07-01\tamber\t"));
    EXPECT_EQ(got[3], localNumber("1-3\t1\t3\tC1\t10.00\t6.00\t2020-03-01\t8.00\t2020-03-01\t8.00\t2024-03-01\t8.00\t"
                                  "0.000\t0.000\t0.000\t\t\t10.0\t2034-03-01\tgreen\t"));
    EXPECT_EQ(got[4], localNumber("1-4\t1\t4\tD1\t10.00\t6.00\t2020-03-01\t8.00\t2020-03-01\t8.00\t2024-03-01\t5.90\t"
                                  "0.525\t0.525\t0.525\t0.0\t2024-03-01\t0.0\t2024-03-01\tred\t"));
    // Russian headers, and a table file by its ending.
    EXPECT_TRUE(history({"rates", h, "--as-of", "2024-03-01"}).out.startsWith("Точка\tСерия\tНомер\tЯчейка\t"));
    ASSERT_EQ(history({"rates", h, "--as-of", "2024-03-01", "-o", file("rates.csv")}).exitCode, 0);
    EXPECT_EQ(lines(QString::fromUtf8(bytesOf(file("rates.csv"))).remove(u'\r')).size(), 5);

    // The same downloads, all in one add, under API 510: one survey, and the vessel's two years.
    const QString vessel = file("vessel.qlh");
    ASSERT_EQ(history({"init", vessel, "--object", "V-101", "--code", "api510"}).exitCode, 0);
    ASSERT_EQ(history({"group", vessel, "all", "--required", "6,00"}).exitCode, 0);
    EXPECT_EQ(history({"add", vessel, file("2016.qlx"), file("2020.qlx"), file("2024.qlx"), "--lang", "en"}).out,
              "added 10, already present 0, skipped 0\n");
    const QStringList vesselRates = lines(history({"rates", vessel, "--as-of", "2024-03-01"}).out);
    ASSERT_EQ(vesselRates.size(), 5);
    EXPECT_EQ(vesselRates[2].split(u'\t').mid(15, 5),
              QStringList({localNumber("2.7"), "2026-11-01", localNumber("2.0"), "2026-03-01", "amber"}));
    EXPECT_EQ(lines(history({"surveys", vessel, "--lang", "en"}).out).value(1),
              "1\t2024-03-01\t\t\t\t\t2016.qlx, 2020.qlx, 2024.qlx\t10");
}

TEST_F(HistoryCli, AddCountsWhatItSkipsAndChangesNothingTwice)
{
    const QString h = file("h.qlh");
    ASSERT_EQ(history({"init", h, "--object", "Line 7", "--code", "api570", "--class", "1"}).exitCode, 0);
    writeTable(file("day.qlx"), {{2, 1, D2024, 960},
                                 {2, 2, D2024, 955, QStringLiteral("25:00:00")}, // no valid time: kept without
                                 {2, 3, D2024, -1},                             // NAN
                                 {2, 4, QDate(), 900},                          // no date
                                 {2, -1, D2024, 900},                           // no number
                                 {2, 5, D2024, 0},                              // no echo
                                 {3, 1, QDate(2024, 2, 28), 1010}});
    const CliRun first = history({"add", h, file("day.qlx"), "--label", "spring", "--operator", "Ivanov", "--gauge",
                               "Q-A 1234", "--probe", "P5", "--lang", "en"});
    EXPECT_EQ(first.out, "added 3, already present 0, skipped 4\n");

    const QByteArray before = bytesOf(h);
    EXPECT_EQ(history({"add", h, file("day.qlx"), file("day.qlx"), "--lang", "en"}).out,
              "added 0, already present 3, skipped 8\n");
    EXPECT_EQ(bytesOf(h), before);
    writeTable(file("more.qlx"), {{2, 1, D2024, 960}, {2, 1, QDate(2024, 9, 1), 950}});
    EXPECT_EQ(history({"add", h, file("more.qlx"), "--dry-run", "--lang", "en"}).out,
              "added 1, already present 1, skipped 0 (dry run: the history was not changed)\n");
    EXPECT_EQ(bytesOf(h), before);
    EXPECT_FALSE(QFile::exists(h + "-journal"));

    // A table that cannot be read adds nothing, not even the readable one beside it.
    const CliRun unreadable = history({"add", h, file("more.qlx"), file("missing.qlx"), "--lang", "en"});
    EXPECT_EQ(unreadable.exitCode, 4);
    EXPECT_TRUE(unreadable.err.contains("nothing was added to the history")) << unreadable.err.toStdString();
    EXPECT_EQ(bytesOf(h), before);

    // Readings with a point and ISO dates in every locale; surveys with their texts.
    ASSERT_EQ(history({"readings", h, "-o", file("readings.csv"), "--lang", "en"}).exitCode, 0);
    const QStringList csv = lines(QString::fromUtf8(bytesOf(file("readings.csv"))).remove(u'\r'));
    ASSERT_EQ(csv.size(), 4);
    EXPECT_EQ(csv[0], "Location,Series,Number,Date,Time,\"Thickness, mm\",\"Sound speed, m/s\",Material,Survey date,Mark");
    EXPECT_EQ(csv[1], "2-1,2,1,2024-03-01,10:00:00,9.60,5920,сталь 1,2024-03-01,");
    EXPECT_EQ(csv[2], "2-2,2,2,2024-03-01,,9.55,5920,сталь 1,2024-03-01,");
    EXPECT_EQ(csv[3], "3-1,3,1,2024-02-28,10:00:00,10.10,5920,сталь 1,2024-03-01,");
    EXPECT_EQ(lines(history({"surveys", h}).out),
              QStringList({"Обследование\tДата\tМетка\tОператор\tПрибор\tПреобразователь\tИсточник\tДобавлено измерений",
                           "1\t2024-03-01\tspring\tIvanov\tQ-A 1234\tP5\tday.qlx\t3"}));
}

TEST_F(HistoryCli, GroupsLocationsMarksAndUsage)
{
    const QString h = file("h.qlh");
    EXPECT_EQ(history({"init", h}).exitCode, 1);
    EXPECT_EQ(history({"init", h, "--object", "T-1", "--code", "api653", "--class", "2"}).exitCode, 1);
    EXPECT_EQ(history({"init", h, "--object", "T-1", "--code", "api999"}).exitCode, 1);
    EXPECT_FALSE(QFile::exists(h));
    ASSERT_EQ(history({"init", h, "--object", "T-1", "--code", "api653"}).exitCode, 0);
    const QByteArray made = bytesOf(h);
    const CliRun again = history({"init", h, "--object", "T-2", "--lang", "en"});
    EXPECT_EQ(again.exitCode, 4);
    EXPECT_TRUE(again.err.contains("already exists")) << again.err.toStdString();
    EXPECT_EQ(bytesOf(h), made);

    // Defaults reach groups that adds create later; a group's own value wins until cleared.
    const CliRun all = history({"group", h, "all", "--required", "6", "--columns", "4", "--lang", "en"});
    EXPECT_EQ(lines(all.out).value(1), localNumber("all\t\t\t6.00\t4\t"));
    EXPECT_EQ(history({"group", h, "all", "--name", "x"}).exitCode, 1);
    EXPECT_EQ(history({"group", h, "-3"}).exitCode, 1);
    EXPECT_EQ(history({"group", h, "2", "--columns", "0"}).exitCode, 1);
    EXPECT_EQ(history({"group", h, "2", "--nominal", "6.355"}).exitCode, 1);
    writeTable(file("t.qlx"), {{2, 7, D2016, 1000}, {2, 7, D2018, 1120}, {2, 7, D2024, 900}, {2, 5, D2024, 800}});
    ASSERT_EQ(history({"add", h, file("t.qlx")}).exitCode, 0);
    const auto row = [&](int line) {
        return lines(history({"rates", h, "--as-of", "2024-03-01", "--lang", "en"}).out).value(line).split(u'\t');
    };
    // 2-7: 11.20 grew by 12 % and is left out: E, amber; rates as if it were not there, and
    // a tank's interval is half the life up to 15 years.
    EXPECT_EQ(row(2).mid(0, 6), QStringList({"2-7", "2", "7", "C2", "", localNumber("6.00")}));
    EXPECT_EQ(row(2).mid(14), QStringList({localNumber("0.125"), localNumber("24.0"), "2048-03-01", localNumber("12.0"),
                                           "2036-03-01", "amber", "E"}));
    // API 653 with one value: five years.
    EXPECT_EQ(row(1).mid(17, 3), QStringList({localNumber("5.0"), "2029-03-01", "green"}));

    EXPECT_EQ(lines(history({"group", h, "2", "--name", "Shell", "--required", "5.5", "--lang", "en"}).out).value(1),
              localNumber("2\tShell\t\t5.50\t\t"));
    EXPECT_EQ(row(2)[5], localNumber("5.50"));
    ASSERT_EQ(history({"group", h, "2", "--required", ""}).exitCode, 0);
    EXPECT_EQ(row(2)[5], localNumber("6.00"));

    // Verified, the reading counts: ST 2.20 over 6.0014 years.
    const QByteArray unmarked = bytesOf(h);
    EXPECT_EQ(history({"mark", h, "2-7", "2018-03-01", "maybe"}).exitCode, 1);
    EXPECT_EQ(history({"mark", h, "2-7", "2019-03-01", "verified"}).exitCode, 1);
    EXPECT_EQ(history({"mark", h, "9-9", "2018-03-01", "verified"}).exitCode, 1);
    EXPECT_EQ(history({"mark", h, "2-7", "2018-02-30", "verified"}).exitCode, 1);
    EXPECT_EQ(bytesOf(h), unmarked);
    ASSERT_EQ(history({"mark", h, "2-7", "2018-03-01", "verified"}).exitCode, 0);
    EXPECT_EQ(row(2).mid(14, 2), QStringList({localNumber("0.367"), localNumber("8.2")}));
    EXPECT_EQ(row(2).back(), "");
    ASSERT_EQ(history({"mark", h, "2-7", "2018-03-01", "clear"}).exitCode, 0);
    EXPECT_EQ(row(2).back(), "E");

    // Renewed in 2018: the wall starts again at 11.20.
    EXPECT_EQ(history({"location", h, "2-7", "--renewed", "2018-02-30"}).exitCode, 1);
    const CliRun renewed = history({"location", h, "2-7", "--renewed", "2018-03-01", "--description", "elbow", "--lang", "en"});
    EXPECT_EQ(lines(renewed.out).value(1), "2-7\t2\t7\tC2\telbow\t\t2018-03-01");
    EXPECT_EQ(row(2).mid(6, 2), QStringList({"2018-03-01", localNumber("11.20")}));
    EXPECT_EQ(row(2).back(), "");
    // A location of its own with no reading yet: grey.
    ASSERT_EQ(history({"location", h, "4-1", "--required", "3"}).exitCode, 0);
    EXPECT_EQ(row(3).mid(0, 6), QStringList({"4-1", "4", "1", "A1", "", localNumber("3.00")}));
    EXPECT_EQ(row(3)[19], "grey");

    // What the user mistypes.
    EXPECT_EQ(history({}).exitCode, 1);
    EXPECT_EQ(history({"fly", h}).exitCode, 1);
    EXPECT_EQ(history({"rates", h, "--rate", "fast"}).exitCode, 1);
    EXPECT_EQ(history({"rates", h, "--as-of", "01.03.2024"}).exitCode, 1);
    EXPECT_EQ(history({"location", h, "2.7"}).exitCode, 1);
    EXPECT_EQ(history({"add", h}).exitCode, 1);
    const CliRun help = cli({"history", "--help"});
    EXPECT_EQ(help.exitCode, 0);
    for (const char* word : {"init", "add", "group", "location", "mark", "rates", "readings", "surveys", "API 653"})
        EXPECT_TRUE(help.out.contains(word)) << word;
    EXPECT_TRUE(cli({"--help"}).out.contains("  history "));
}

TEST_F(HistoryCli, FilesThatAreNoHistoryAreRefusedAndLeftAsTheyWere)
{
    writeTable(file("t.qlx"), {{1, 1, D2024, 900}});
    const QString foreign = file("other.qlh");
    sql(foreign, "CREATE TABLE readings (location, thickness); INSERT INTO readings VALUES ('1-1', 9)");
    const QString text = file("notes.qlh");
    QFile notes(text);
    ASSERT_TRUE(notes.open(QIODevice::WriteOnly));
    notes.write("not a database\n");
    notes.close();
    const QString newer = file("newer.qlh");
    ASSERT_EQ(history({"init", newer, "--object", "x"}).exitCode, 0);
    sql(newer, "PRAGMA user_version = 7");
    const QString damaged = file("damaged.qlh");
    ASSERT_EQ(history({"init", damaged, "--object", "x"}).exitCode, 0);
    QByteArray cut = bytesOf(damaged);
    cut.truncate(cut.size() - 4096);
    QFile shortened(damaged);
    ASSERT_TRUE(shortened.open(QIODevice::WriteOnly | QIODevice::Truncate));
    shortened.write(cut);
    shortened.close();

    for (const auto& [path, english, russian] :
         {std::tuple{foreign, "an SQLite database of another program", "база данных SQLite другой программы"},
          std::tuple{text, "is not a Quilex-A survey history", "не является историей обследований Quilex-A"},
          std::tuple{newer, "written by a newer Quilex-A", "записана более новой версией Quilex-A"},
          std::tuple{damaged, "is damaged", "повреждена"}}) {
        const QByteArray before = bytesOf(path);
        const CliRun en = history({"add", path, file("t.qlx"), "--lang", "en"});
        EXPECT_EQ(en.exitCode, 4) << path.toStdString();
        EXPECT_TRUE(en.err.contains(english)) << en.err.toStdString();
        const CliRun ru = history({"rates", path});
        EXPECT_EQ(ru.exitCode, 4);
        EXPECT_TRUE(ru.err.contains(QString::fromUtf8(russian))) << ru.err.toStdString();
        EXPECT_EQ(history({"mark", path, "1-1", "2024-03-01", "ignored"}).exitCode, 4);
        EXPECT_EQ(bytesOf(path), before) << path.toStdString();
    }
}

TEST_F(HistoryCli, AKilledAddLeavesTheWholeHistoryOrTheOneBefore)
{
    const QString base = file("base.qlh");
    ASSERT_EQ(history({"init", base, "--object", "Unit 1"}).exitCode, 0);
    writeTable(file("old.qlx"), download(QDate(2023, 3, 1), 0));
    writeTable(file("new.qlx"), download(D2024, 20));
    ASSERT_EQ(history({"add", base, file("old.qlx")}).exitCode, 0);
    const QByteArray before = bytesOf(base);

    const QString h = file("h.qlh");
    const auto fresh = [&] {
        QFile::remove(h);
        QFile::remove(h + "-journal");
        QFile::copy(base, h);
    };
    // How long a whole add takes here, to kill within it.
    fresh();
    QElapsedTimer whole;
    whole.start();
    ASSERT_EQ(history({"add", h, file("new.qlx")}).exitCode, 0);
    const int wholeMs = int(whole.elapsed());

    std::random_device device;
    const unsigned seed = device();
    std::mt19937 random(seed);
    int killed = 0, landed = 0, none = 0, midWrite = 0;
    // Forty runs, and more until three kills have come while the history's pages were written.
    for (int run = 0; run < 40 || (midWrite < 3 && run < 120); ++run) {
        fresh();
        QProcess child;
        child.start(QString::fromStdString(test::binPath("quilex-cli")), {"history", "add", h, file("new.qlx")});
        ASSERT_TRUE(child.waitForStarted());
        // Half the runs at any moment of the add. The others once it has begun to change the
        // file: its journal is there (it is inserting), or the journal is sealed (its first
        // bytes are written just before the history's own pages are).
        int afterMs = -1;
        if (run % 2) {
            afterMs = int(random() % unsigned(wholeMs + wholeMs / 5 + 1));
            QThread::msleep(afterMs);
        } else {
            const bool sealed = run % 4 == 2;
            QElapsedTimer waiting;
            waiting.start();
            while (waiting.elapsed() < 2 * wholeMs) {
                const QByteArray journal = sealed ? bytesOf(h + "-journal").left(1) : QByteArray();
                if (sealed ? !journal.isEmpty() && journal[0] != 0 : QFile::exists(h + "-journal"))
                    break;
                QThread::usleep(100);
            }
            afterMs = int(waiting.elapsed());
            QThread::usleep(random() % (sealed ? 2000 : 10000));
        }
        ::kill(pid_t(child.processId()), SIGKILL);
        child.waitForFinished(30000);
        if (child.exitStatus() == QProcess::CrashExit)
            ++killed;
        // A sealed journal left behind: the kill came in the middle of writing the history.
        const QByteArray hot = bytesOf(h + "-journal");
        if (!hot.isEmpty() && hot[0] != 0)
            ++midWrite;
        // Whatever the moment, the file is whole and holds all of the add or none of it
        // (sqlite3 puts back what a killed add left half written).
        const QString state = sql(h, "PRAGMA integrity_check; SELECT count(*) FROM readings; SELECT count(*) FROM surveys; "
                                     "SELECT count(*) FROM readings WHERE survey = 2");
        if (state == "ok\n2048\n1\n0")
            ++none;
        else if (state == "ok\n4096\n2\n2048")
            ++landed;
        else
            ADD_FAILURE() << "run " << run << " killed after " << afterMs << " ms (seed " << seed << "): " << state.toStdString();
        // A journal a kill cut off before it held anything is no journal (its first byte is 0):
        // nothing reads it, and the next change takes it away.
        const QByteArray journal = bytesOf(h + "-journal");
        const bool leftJournal = QFile::exists(h + "-journal");
        EXPECT_TRUE(journal.isEmpty() || journal[0] == 0) << "run " << run;
        if (leftJournal || run % 10 == 0) {
            const CliRun again = history({"add", h, file("new.qlx"), "--lang", "en"});
            EXPECT_TRUE(again.out == "added 2048, already present 0, skipped 0\n" ||
                        again.out == "added 0, already present 2048, skipped 0\n")
                << again.out.toStdString() << again.err.toStdString();
            if (again.out.startsWith("added 2048")) {
                EXPECT_FALSE(QFile::exists(h + "-journal")) << "run " << run;
            }
        }
    }
    std::printf("%d runs killed before the end of a %d ms add, %d of them while it wrote: %d left nothing, %d the "
                "whole add (seed %u)\n",
                killed, wholeMs, midWrite, none, landed, seed);
    EXPECT_GT(killed, 10);
    EXPECT_GE(midWrite, 3);
    EXPECT_EQ(bytesOf(base), before);
}

TEST_F(HistoryCli, TwoAddsAtOnceBothLand)
{
    const QString h = file("h.qlh");
    ASSERT_EQ(history({"init", h, "--object", "Unit 1"}).exitCode, 0);
    const QDate days[] = {QDate(2023, 3, 1), QDate(2023, 9, 1), QDate(2024, 3, 1), QDate(2024, 9, 1),
                          QDate(2025, 3, 1), QDate(2025, 9, 1)};
    for (int i = 0; i < 6; ++i)
        writeTable(file(QByteArray::number(i).append(".qlx").constData()), download(days[i], i * 5));
    for (int pair = 0; pair < 3; ++pair) {
        QProcess a, b;
        const QString program = QString::fromStdString(test::binPath("quilex-cli"));
        a.start(program, {"history", "add", h, file(QByteArray::number(2 * pair).append(".qlx").constData())});
        b.start(program, {"history", "add", h, file(QByteArray::number(2 * pair + 1).append(".qlx").constData())});
        ASSERT_TRUE(a.waitForFinished(60000) && b.waitForFinished(60000));
        EXPECT_EQ(a.exitCode(), 0) << a.readAllStandardError().toStdString();
        EXPECT_EQ(b.exitCode(), 0) << b.readAllStandardError().toStdString();
        EXPECT_EQ(QString::fromUtf8(a.readAllStandardOutput()), "добавлено 2048, уже были 0, пропущено 0\n");
        EXPECT_EQ(QString::fromUtf8(b.readAllStandardOutput()), "добавлено 2048, уже были 0, пропущено 0\n");
    }
    EXPECT_EQ(sql(h, "PRAGMA integrity_check; SELECT count(*) FROM readings; SELECT count(*) FROM surveys"),
              "ok\n12288\n6");
}
