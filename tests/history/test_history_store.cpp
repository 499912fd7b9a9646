// The history's SQLite file on disk: the documented schema as sqlite3 and Python see it, adds
// that recognise what they hold, changes that write nothing when nothing changes, and files
// that are refused and left as they were.

#include "base/texts.h"
#include "history/history_texts.h"
#include "history/sqlite_history.h"
#include "support/test_support.h"

#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

using namespace quilex;
using quilex::test::TempDir;

namespace {

QByteArray bytesOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

// Runs the sqlite3 shell on the file; its standard output, or "exit N: error" on failure.
QString sqlite3(const QString& path, const QString& sql)
{
    QProcess shell;
    shell.start(QStringLiteral("sqlite3"), {QStringLiteral("-batch"), path, sql});
    if (!shell.waitForFinished(30000) || shell.exitCode() != 0)
        return QStringLiteral("exit %1: %2").arg(shell.exitCode()).arg(QString::fromUtf8(shell.readAllStandardError()));
    return QString::fromUtf8(shell.readAllStandardOutput()).trimmed();
}

QString python(const QString& script, const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral("python3"), QStringList{QStringLiteral("-c"), script} + args);
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError()).trimmed();
}

IncomingReading reading(int series, int number, QDate date, std::optional<int> seconds, int thickness)
{
    IncomingReading r;
    r.location = {series, number};
    r.date = date;
    r.secondsOfDay = seconds;
    r.thickness = thickness;
    r.soundSpeed = 5920;
    r.material = QStringLiteral("сталь 1");
    return r;
}

class HistoryStoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setLanguageIndex(LanguageEnglish);
        path = QString::fromStdString(dir.file("plant.qlh"));
        ASSERT_TRUE(createHistory(path, {QStringLiteral("Unit 4"), InspectionCode::Api570, 2}).ok());
    }
    void TearDown() override { setLanguageIndex(LanguageRussian); }

    std::unique_ptr<HistoryStore> open()
    {
        auto store = openHistory(path);
        EXPECT_TRUE(store.ok()) << store.error().toStdString();
        return store.ok() ? std::move(store).value() : nullptr;
    }

    TempDir dir;
    QString path;
};

} // namespace

TEST_F(HistoryStoreTest, TheDocumentedSchemaAsSqliteAndPythonSeeIt)
{
    EXPECT_EQ(sqlite3(path, "PRAGMA user_version"), "1");
    EXPECT_EQ(sqlite3(path, "PRAGMA application_id"), QString::number(HistoryApplicationId));
    EXPECT_EQ(sqlite3(path, "PRAGMA journal_mode"), "delete");
    EXPECT_EQ(sqlite3(path, "SELECT group_concat(name, ' ') FROM (SELECT name FROM sqlite_schema "
                            "WHERE type IN ('table', 'view') ORDER BY name)"),
              "groups locations object reading_list readings surveys");
    EXPECT_EQ(sqlite3(path, "SELECT name, code, class FROM object"), "Unit 4|api570|2");
    EXPECT_EQ(sqlite3(path, "SELECT group_concat(name, ',') FROM pragma_table_info('readings')"),
              "id,location,day,time,thickness,speed,material,survey,mark");

    auto store = open();
    IncomingReadings in;
    in.readings = {reading(3, 12, QDate(2024, 3, 1), 8 * 3600 + 30, 960)};
    ASSERT_TRUE(store->add(in, {QStringLiteral("spring"), QStringLiteral("Ivanov"), {}, {}, QStringLiteral("a.qlx")},
                           AddMode::Write)
                    .ok());
    store.reset();
    // The view shows a reading in plain words; Python's sqlite3 reads the same file.
    EXPECT_EQ(sqlite3(path, "SELECT * FROM reading_list"), "3-12|3|12|2024-03-01|08:00:30|9.60|5920|сталь 1|1|2024-03-01|");
    EXPECT_EQ(python("import sqlite3, sys\n"
                     "c = sqlite3.connect(sys.argv[1])\n"
                     "print(c.execute(\"SELECT date(day), thickness, label, operator FROM readings "
                     "JOIN surveys ON surveys.id = survey\").fetchone())",
                     {path}),
              "('2024-03-01', 960, 'spring', 'Ivanov')");

    // The checks and keys refuse what no history holds.
    const QString keys = "PRAGMA foreign_keys = ON; ";
    for (const char* bad : {"INSERT INTO readings (location, day, thickness, survey) VALUES (1, 2460371, 0, 1)",
                            "INSERT INTO readings (location, day, thickness, survey) VALUES (1, 99, 500, 1)",
                            "INSERT INTO readings (location, day, thickness, survey) VALUES (7, 2460371, 500, 1)",
                            "INSERT INTO readings (location, day, thickness, survey, mark) VALUES (1, 2460372, 500, 1, 'maybe')",
                            "INSERT INTO readings (location, day, time, thickness, survey) VALUES (1, 2460372, 86400, 500, 1)",
                            "INSERT INTO readings (location, day, time, thickness, survey) VALUES (1, 2460371, 28830, 960, 1)",
                            "UPDATE object SET code = 'api653'", "UPDATE object SET class = 5",
                            "INSERT INTO locations (series, number) VALUES (99, 1)",
                            "UPDATE locations SET renewed = '2024-02-30'", "INSERT INTO surveys (date) VALUES ('soon')"})
        EXPECT_TRUE(sqlite3(path, keys + bad).startsWith("exit ")) << bad;
    // 3-12 on 2024-03-01 at no time is another reading than the one at 08:00:30; twice it is not.
    EXPECT_EQ(sqlite3(path, keys + "INSERT INTO readings (location, day, thickness, survey) VALUES (1, 2460371, 960, 1)"), "");
    EXPECT_TRUE(sqlite3(path, keys + "INSERT INTO readings (location, day, thickness, survey) VALUES (1, 2460371, 960, 1)")
                    .startsWith("exit "));
}

TEST_F(HistoryStoreTest, AddsWhatIsNewAndWritesNothingElse)
{
    auto store = open();
    IncomingReadings first;
    first.readings = {reading(1, 1, QDate(2020, 3, 1), 100, 1000), reading(1, 2, QDate(2020, 3, 1), std::nullopt, 800),
                      reading(1, 1, QDate(2020, 3, 1), 100, 1000), // the same reading twice counts once
                      reading(2, 5, QDate(2020, 2, 27), 200, 700)};
    first.skipped = 3;
    const auto one = store->add(first, {}, AddMode::Write);
    ASSERT_TRUE(one.ok()) << one.error().toStdString();
    EXPECT_EQ(one->added, 3);
    EXPECT_EQ(one->present, 0);
    EXPECT_EQ(one->skipped, 3);

    // A cumulative download: the old readings again, and one more.
    const QByteArray before = bytesOf(path);
    IncomingReadings again = first;
    again.skipped = 0;
    ASSERT_TRUE(store->add(again, {}, AddMode::Write).ok());
    EXPECT_EQ(bytesOf(path), before);
    again.readings.push_back(reading(1, 2, QDate(2024, 3, 1), 300, 750));
    const auto dry = store->add(again, {}, AddMode::DryRun);
    EXPECT_EQ(dry->added, 1);
    EXPECT_EQ(dry->present, 3);
    EXPECT_EQ(bytesOf(path), before);
    SurveyDetails autumn;
    autumn.label = QStringLiteral("autumn");
    const auto two = store->add(again, autumn, AddMode::Write);
    EXPECT_EQ(two->added, 1);
    EXPECT_EQ(two->survey, 2);

    // Surveys are dated by the latest reading they added, and groups and locations appear.
    const auto surveys = store->surveys();
    ASSERT_EQ(surveys->size(), 2u);
    EXPECT_EQ((*surveys)[0].date, QDate(2020, 3, 1));
    EXPECT_EQ((*surveys)[0].readings, 3);
    EXPECT_EQ((*surveys)[1].date, QDate(2024, 3, 1));
    EXPECT_EQ((*surveys)[1].details.label, "autumn");
    const auto settings = store->settings();
    ASSERT_EQ(settings->groups.size(), 2u);
    EXPECT_EQ(settings->locations.size(), 3u);
    const auto readings = store->readings();
    ASSERT_EQ(readings->size(), 4u);
    EXPECT_EQ((*readings)[1].location, (LocationKey{1, 2}));
    EXPECT_FALSE((*readings)[1].secondsOfDay);
    EXPECT_EQ((*readings)[2].surveyDate, QDate(2024, 3, 1));
    const auto measured = store->measurements();
    ASSERT_EQ(measured->size(), 3u);
    EXPECT_EQ((*measured)[1].measurements.size(), 2u);

    // Marks: a day without a reading marks nothing; marking again writes nothing.
    EXPECT_EQ(*store->mark({1, 2}, QDate(2024, 3, 2), Mark::Ignored), 0);
    EXPECT_EQ(*store->mark({9, 9}, QDate(2024, 3, 1), Mark::Ignored), 0);
    EXPECT_EQ(*store->mark({1, 2}, QDate(2024, 3, 1), Mark::Verified), 1);
    const QByteArray marked = bytesOf(path);
    EXPECT_EQ(*store->mark({1, 2}, QDate(2024, 3, 1), Mark::Verified), 1);
    EXPECT_EQ(bytesOf(path), marked);
    EXPECT_EQ(sqlite3(path, "SELECT mark FROM reading_list WHERE location = '1-2' AND date = '2024-03-01'"), "verified");
}

TEST_F(HistoryStoreTest, GroupsLocationsAndDefaults)
{
    auto store = open();
    const auto defaults = store->updateDefaults([](GroupValues& v) { v.required = 600; v.gridColumns = 10; });
    EXPECT_EQ(defaults->required, 600);
    const auto group = store->updateGroup(3, [](GroupSettings& g) { g.name = "Line\t3"; g.values.nominal = 1000; });
    EXPECT_EQ(group->name, "Line 3"); // a tab would break a tab-separated line
    const auto location = store->updateLocation({3, 12}, [](LocationSettings& l) {
        l.required = 550;
        l.renewed = QDate(2021, 6, 1);
    });
    EXPECT_EQ(location->renewed, QDate(2021, 6, 1));
    const QByteArray before = bytesOf(path);
    ASSERT_TRUE(store->updateGroup(3, [](GroupSettings&) {}).ok());
    ASSERT_TRUE(store->updateLocation({3, 12}, [](LocationSettings& l) { l.required = 550; }).ok());
    ASSERT_TRUE(store->updateDefaults([](GroupValues&) {}).ok());
    EXPECT_EQ(bytesOf(path), before);

    const auto settings = store->settings();
    EXPECT_EQ(settings->effectiveValues(3).nominal, 1000);
    EXPECT_EQ(settings->effectiveValues(3).required, 600);
    EXPECT_EQ(settings->effectiveValues(7).gridColumns, 10);
    ASSERT_EQ(settings->locations.size(), 1u);
    EXPECT_EQ(settings->locations[0].required, 550);
    EXPECT_EQ(sqlite3(path, "SELECT series, name, nominal FROM groups"), "3|Line 3|1000");
    EXPECT_EQ(sqlite3(path, "SELECT renewed FROM locations"), "2021-06-01");

    ASSERT_TRUE(store->setObject({QStringLiteral("Unit 5"), InspectionCode::Api653, std::nullopt}).ok());
    EXPECT_EQ(sqlite3(path, "SELECT name, code, ifnull(class, '-') FROM object"), "Unit 5|api653|-");
    EXPECT_FALSE(store->updateSurvey(4, [](SurveyDetails&) {}).ok());
}

TEST_F(HistoryStoreTest, FilesThatAreNoHistoryAreLeftAsTheyWere)
{
    const auto refused = [&](const QString& file, const char* expected) {
        const QByteArray before = bytesOf(file);
        const auto store = openHistory(file);
        ASSERT_FALSE(store.ok()) << file.toStdString();
        EXPECT_TRUE(store.error().contains(QLatin1String(expected))) << store.error().toStdString();
        EXPECT_EQ(bytesOf(file), before) << file.toStdString();
        EXPECT_FALSE(QFile::exists(file + "-journal"));
    };
    const QString text = QString::fromStdString(dir.file("notes.qlh"));
    writeBytes(text, "inspection notes\n");
    refused(text, "is not a Quilex-A survey history");
    const QString empty = QString::fromStdString(dir.file("empty.qlh"));
    writeBytes(empty, {});
    refused(empty, "is not a Quilex-A survey history");
    refused(QString::fromStdString(dir.path()), "is not a Quilex-A survey history");
    refused(QString::fromStdString(dir.file("missing.qlh")), "There is no history");

    const QString foreign = QString::fromStdString(dir.file("other.db"));
    EXPECT_EQ(sqlite3(foreign, "CREATE TABLE readings (x); PRAGMA user_version = 1"), "");
    refused(foreign, "database of another program");

    const QString newer = QString::fromStdString(dir.file("newer.qlh"));
    QFile::copy(path, newer);
    EXPECT_EQ(sqlite3(newer, "PRAGMA user_version = 2"), "");
    refused(newer, "newer Quilex-A (schema version 2, this program knows version 1)");

    // Damage SQLite finds when it opens the file: cut short, or its object gone.
    const QByteArray whole = bytesOf(path);
    const QString cut = QString::fromStdString(dir.file("cut.qlh"));
    writeBytes(cut, whole.left(whole.size() / 2));
    refused(cut, "is damaged");
    const QString hollow = QString::fromStdString(dir.file("hollow.qlh"));
    QFile::copy(path, hollow);
    EXPECT_EQ(sqlite3(hollow, "DELETE FROM object"), "");
    refused(hollow, "is damaged");

    // The messages come in Russian too.
    setLanguageIndex(LanguageRussian);
    const auto russian = openHistory(text);
    EXPECT_TRUE(russian.error().contains(QStringLiteral("не является историей обследований"))) << russian.error().toStdString();

    // A new history never replaces a file.
    const QByteArray kept = bytesOf(text);
    const auto made = createHistory(text, {QStringLiteral("x"), InspectionCode::Api510, std::nullopt});
    ASSERT_FALSE(made.ok());
    EXPECT_TRUE(made.error().contains(QStringLiteral("уже есть")));
    EXPECT_EQ(bytesOf(text), kept);
}

TEST_F(HistoryStoreTest, AChangeWaitsForAnotherProgramsTransaction)
{
    // Python holds the write lock for a second; the add waits for it and then lands.
    QProcess holder;
    holder.start(QStringLiteral("python3"),
                 {QStringLiteral("-c"),
                  QStringLiteral("import sqlite3, sys, time\n"
                                 "c = sqlite3.connect(sys.argv[1], isolation_level=None)\n"
                                 "c.execute('BEGIN IMMEDIATE')\n"
                                 "print('locked', flush=True)\n"
                                 "time.sleep(1)\n"
                                 "c.execute('COMMIT')\n"),
                  path});
    ASSERT_TRUE(holder.waitForReadyRead(10000));
    auto store = open();
    IncomingReadings in;
    in.readings = {reading(1, 1, QDate(2024, 3, 1), 0, 900)};
    const auto added = store->add(in, {}, AddMode::Write);
    ASSERT_TRUE(added.ok()) << added.error().toStdString();
    EXPECT_EQ(added->added, 1);
    holder.waitForFinished(10000);
    EXPECT_EQ(sqlite3(path, "SELECT count(*) FROM readings"), "1");
}
