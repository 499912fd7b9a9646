#include "history/sqlite_history.h"

#include "history/history_tables.h"
#include "history/history_texts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <numeric>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>

namespace quilex {

namespace {

namespace texts = history_texts;

// Julian day numbers of 0001-01-01 and 9999-12-31: the days a reading may have.
constexpr std::int64_t FirstDay = 1721426;
constexpr std::int64_t LastDay = 5373484;

// The schema of version 1. Thicknesses are whole hundredths of a millimetre; a reading's day
// is its Julian day number (sqlite3 shows it with date(day)), its time seconds after midnight
// (time(time, 'unixepoch')): three bytes each instead of ten, which keeps a reading under 100
// bytes on disk. The views show the same in plain words.
constexpr char Schema[] = R"sql(
CREATE TABLE object (
    id           INTEGER PRIMARY KEY CHECK (id = 1),
    name         TEXT NOT NULL,
    code         TEXT NOT NULL CHECK (code IN ('api570', 'api510', 'api653')),
    class        INTEGER CHECK (class BETWEEN 1 AND 4),
    nominal      INTEGER CHECK (nominal > 0),
    required     INTEGER CHECK (required > 0),
    grid_columns INTEGER CHECK (grid_columns BETWEEN 1 AND 10000),
    first_number INTEGER CHECK (first_number >= 0),
    CHECK ((code = 'api570') = (class IS NOT NULL))
) STRICT;
CREATE TABLE groups (
    series       INTEGER PRIMARY KEY CHECK (series >= 0),
    name         TEXT,
    nominal      INTEGER CHECK (nominal > 0),
    required     INTEGER CHECK (required > 0),
    grid_columns INTEGER CHECK (grid_columns BETWEEN 1 AND 10000),
    first_number INTEGER CHECK (first_number >= 0)
) STRICT;
CREATE TABLE locations (
    id          INTEGER PRIMARY KEY,
    series      INTEGER NOT NULL REFERENCES groups (series),
    number      INTEGER NOT NULL CHECK (number >= 0),
    description TEXT,
    required    INTEGER CHECK (required > 0),
    renewed     TEXT CHECK (renewed IS date(renewed, '+0 days')),
    UNIQUE (series, number)
) STRICT;
CREATE TABLE surveys (
    id       INTEGER PRIMARY KEY,
    date     TEXT NOT NULL CHECK (date IS date(date, '+0 days')),
    label    TEXT,
    operator TEXT,
    gauge    TEXT,
    probe    TEXT,
    source   TEXT
) STRICT;
CREATE TABLE readings (
    id        INTEGER PRIMARY KEY,
    location  INTEGER NOT NULL REFERENCES locations (id),
    day       INTEGER NOT NULL CHECK (day BETWEEN 1721426 AND 5373484),
    time      INTEGER CHECK (time BETWEEN 0 AND 86399),
    thickness INTEGER NOT NULL CHECK (thickness > 0),
    speed     INTEGER,
    material  TEXT,
    survey    INTEGER NOT NULL REFERENCES surveys (id),
    mark      TEXT CHECK (mark IN ('verified', 'ignored'))
) STRICT;
CREATE UNIQUE INDEX readings_identity ON readings (location, day, ifnull(time, -1), thickness);
CREATE VIEW reading_list AS
    SELECT l.series || '-' || l.number AS location, l.series, l.number, date(r.day) AS date,
           time(r.time, 'unixepoch') AS time, printf('%.2f', r.thickness / 100.0) AS thickness_mm,
           r.speed, r.material, s.id AS survey, s.date AS survey_date, r.mark
    FROM readings AS r JOIN locations AS l ON l.id = r.location JOIN surveys AS s ON s.id = r.survey;
)sql";

// An SQLite failure on its way to the boundary of a store call, where it becomes the user's
// message. It never leaves this file.
struct SqliteFailure {
    int code = SQLITE_ERROR;
    QString detail;
};

[[noreturn]] void throwFailure(sqlite3* db, int code)
{
    throw SqliteFailure{code, QString::fromUtf8(db ? sqlite3_errmsg(db) : sqlite3_errstr(code))};
}

[[noreturn]] void throwDamaged(const char* what)
{
    throw SqliteFailure{SQLITE_CORRUPT, QString::fromUtf8(what)};
}

void execute(sqlite3* db, const char* sql)
{
    if (const int rc = sqlite3_exec(db, sql, nullptr, nullptr, nullptr); rc != SQLITE_OK)
        throwFailure(db, rc);
}

class Statement {
public:
    Statement(sqlite3* db, const char* sql) : db_(db)
    {
        if (const int rc = sqlite3_prepare_v2(db, sql, -1, &statement_, nullptr); rc != SQLITE_OK)
            throwFailure(db, rc);
    }
    ~Statement() { sqlite3_finalize(statement_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& bind(int index, std::int64_t value)
    {
        check(sqlite3_bind_int64(statement_, index, value));
        return *this;
    }
    // An empty text is stored as NULL: no value.
    Statement& bind(int index, const QString& value)
    {
        if (value.isEmpty())
            return bindNull(index);
        const QByteArray utf8 = value.toUtf8();
        check(sqlite3_bind_text(statement_, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT));
        return *this;
    }
    Statement& bind(int index, const char* value)
    {
        check(sqlite3_bind_text(statement_, index, value, -1, SQLITE_STATIC));
        return *this;
    }
    template <typename T>
    Statement& bind(int index, const std::optional<T>& value)
    {
        return value ? bind(index, std::int64_t(*value)) : bindNull(index);
    }
    Statement& bindNull(int index)
    {
        check(sqlite3_bind_null(statement_, index));
        return *this;
    }

    // True with a row, false when done.
    bool step()
    {
        const int rc = sqlite3_step(statement_);
        if (rc == SQLITE_ROW)
            return true;
        if (rc != SQLITE_DONE)
            throwFailure(db_, rc);
        return false;
    }
    void run()
    {
        step();
        reset();
    }
    void reset()
    {
        sqlite3_reset(statement_);
        sqlite3_clear_bindings(statement_);
    }

    bool isNull(int column) const { return sqlite3_column_type(statement_, column) == SQLITE_NULL; }
    std::int64_t integer(int column) const { return sqlite3_column_int64(statement_, column); }
    std::optional<std::int64_t> optionalInteger(int column) const
    {
        return isNull(column) ? std::nullopt : std::optional<std::int64_t>(integer(column));
    }
    QString text(int column) const
    {
        const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(statement_, column));
        return bytes ? QString::fromUtf8(bytes, sqlite3_column_bytes(statement_, column)) : QString();
    }
    const char* rawText(int column) const
    {
        return reinterpret_cast<const char*>(sqlite3_column_text(statement_, column));
    }

private:
    void check(int rc)
    {
        if (rc != SQLITE_OK)
            throwFailure(db_, rc);
    }

    sqlite3* db_;
    sqlite3_stmt* statement_ = nullptr;
};

// One transaction: a change takes the write lock at once (BEGIN IMMEDIATE), so that two
// programs adding at the same time queue up instead of both reading and then one failing.
// Whatever is not committed is rolled back.
class Transaction {
public:
    enum Kind { Read, Write };
    Transaction(sqlite3* db, Kind kind) : db_(db) { execute(db, kind == Write ? "BEGIN IMMEDIATE" : "BEGIN"); }
    ~Transaction()
    {
        if (!done_)
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void commit()
    {
        execute(db_, "COMMIT");
        done_ = true;
    }

private:
    sqlite3* db_;
    bool done_ = false;
};

std::optional<std::int32_t> checkedInt32(const std::optional<std::int64_t>& value, std::int64_t low, std::int64_t high,
                                         const char* what)
{
    if (!value)
        return std::nullopt;
    if (*value < low || *value > high)
        throwDamaged(what);
    return std::int32_t(*value);
}

QDate dayFromNumber(std::int64_t day)
{
    if (day < FirstDay || day > LastDay)
        throwDamaged("a reading's day is out of range");
    return QDate::fromJulianDay(day);
}

QDate isoFromColumn(const Statement& s, int column, const char* what)
{
    const auto date = dateFromIso(s.text(column));
    if (!date)
        throwDamaged(what);
    return *date;
}

Mark markFromColumn(const Statement& s, int column)
{
    const char* text = s.rawText(column);
    if (!text)
        return Mark::None;
    if (std::strcmp(text, "verified") == 0)
        return Mark::Verified;
    if (std::strcmp(text, "ignored") == 0)
        return Mark::Ignored;
    throwDamaged("a reading's mark is unknown");
}

// Columns nominal, required, grid_columns, first_number from `first` on.
GroupValues groupValues(const Statement& s, int first)
{
    GroupValues v;
    v.nominal = checkedInt32(s.optionalInteger(first), 1, INT32_MAX, "a nominal thickness is out of range");
    v.required = checkedInt32(s.optionalInteger(first + 1), 1, INT32_MAX, "a required thickness is out of range");
    v.gridColumns = checkedInt32(s.optionalInteger(first + 2), 1, MaxGridColumns, "a grid's columns are out of range");
    v.firstNumber = checkedInt32(s.optionalInteger(first + 3), 0, INT32_MAX, "a first number is out of range");
    return v;
}

void bindGroupValues(Statement& s, int first, const GroupValues& v)
{
    s.bind(first, v.nominal).bind(first + 1, v.required).bind(first + 2, v.gridColumns).bind(first + 3, v.firstNumber);
}

QByteArray encodedPath(const QString& path)
{
    return QFile::encodeName(path);
}

void configure(sqlite3* db)
{
    sqlite3_extended_result_codes(db, 1);
    sqlite3_busy_timeout(db, HistoryBusySeconds * 1000);
    // A history is a file someone may have handed over: its schema runs no functions with side
    // effects and cannot be changed by writing to it.
    sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    // Settings of this connection only: neither writes to the file.
    execute(db, "PRAGMA foreign_keys = ON");
}

std::uint32_t bigEndian32(const unsigned char* p)
{
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
}

// Reads the database header before SQLite opens the file: what is not a history of this
// program's schema is refused without SQLite ever touching it (opening an empty file, for
// one, would make it a database).
Result<void> checkHeader(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(Text(texts::CannotReadHistory).arg(path, file.errorString()));
    std::array<unsigned char, 100> header{};
    const qint64 got = file.read(reinterpret_cast<char*>(header.data()), qint64(header.size()));
    if (got < 0)
        return fail(Text(texts::CannotReadHistory).arg(path, file.errorString()));
    static const char Magic[] = "SQLite format 3";
    if (got < qint64(header.size()) || std::memcmp(header.data(), Magic, sizeof Magic) != 0)
        return fail(Text(texts::NotAHistory).arg(path));
    const std::uint32_t applicationId = bigEndian32(&header[68]);
    const std::uint32_t version = bigEndian32(&header[60]);
    if (applicationId != std::uint32_t(HistoryApplicationId))
        return fail(Text(texts::ForeignDatabase).arg(path));
    if (version > std::uint32_t(HistorySchemaVersion))
        return fail(Text(texts::NewerHistory).arg(path, QString::number(version), QString::number(HistorySchemaVersion)));
    if (version < 1)
        return fail(Text(texts::DamagedHistory).arg(path, QStringLiteral("no schema version")));
    // A write-ahead log would keep the history in more than one file.
    if (header[18] != 1 || header[19] != 1)
        return fail(Text(texts::DamagedHistory).arg(path, QStringLiteral("not in rollback-journal form")));
    return done();
}

class SqliteHistory final : public HistoryStore {
public:
    SqliteHistory(sqlite3* db, QString path) : db_(db), path_(std::move(path)) {}
    ~SqliteHistory() override { sqlite3_close_v2(db_); }
    SqliteHistory(const SqliteHistory&) = delete;
    SqliteHistory& operator=(const SqliteHistory&) = delete;

    // Whether the file is this program's history as far as SQLite can tell without reading
    // every page; also rolls back what a killed program left half done.
    Result<void> check()
    {
        return asVoid(guarded(false, [&] {
            configure(db_);
            Transaction t(db_, Transaction::Read);
            Statement id(db_, "PRAGMA application_id");
            Statement version(db_, "PRAGMA user_version");
            if (!id.step() || id.integer(0) != HistoryApplicationId)
                throw SqliteFailure{SQLITE_NOTADB, {}};
            if (!version.step() || version.integer(0) != HistorySchemaVersion)
                throwDamaged("the schema version changed");
            Statement objects(db_, "SELECT count(*) FROM object");
            if (!objects.step() || objects.integer(0) != 1)
                throwDamaged("there is not exactly one object");
            return true;
        }));
    }

    Result<HistorySettings> settings() override
    {
        return guarded(false, [&] {
            Transaction t(db_, Transaction::Read);
            return readSettings();
        });
    }

    Result<void> setObject(const ObjectSettings& object) override
    {
        return asVoid(guarded(true, [&] {
            Transaction t(db_, Transaction::Write);
            if (readObject() != object) {
                Statement s(db_, "UPDATE object SET name = ?1, code = ?2, class = ?3 WHERE id = 1");
                s.bind(1, plainText(object.name)).bind(2, codeName(object.code)).bind(3, object.pipingClass);
                s.run();
                t.commit();
            }
            return true;
        }));
    }

    Result<GroupValues> updateDefaults(const std::function<void(GroupValues&)>& change) override
    {
        return guarded(true, [&] {
            Transaction t(db_, Transaction::Write);
            Statement read(db_, "SELECT nominal, required, grid_columns, first_number FROM object WHERE id = 1");
            if (!read.step())
                throwDamaged("the object is missing");
            const GroupValues old = groupValues(read, 0);
            GroupValues values = old;
            change(values);
            if (values != old) {
                Statement s(db_, "UPDATE object SET nominal = ?1, required = ?2, grid_columns = ?3, first_number = ?4 "
                                 "WHERE id = 1");
                bindGroupValues(s, 1, values);
                s.run();
                t.commit();
            }
            return values;
        });
    }

    Result<GroupSettings> updateGroup(std::int32_t series, const std::function<void(GroupSettings&)>& change) override
    {
        return guarded(true, [&] {
            Transaction t(db_, Transaction::Write);
            Statement read(db_, "SELECT name, nominal, required, grid_columns, first_number FROM groups WHERE series = ?1");
            read.bind(1, std::int64_t(series));
            GroupSettings old{series, {}, {}};
            const bool existed = read.step();
            if (existed) {
                old.name = read.text(0);
                old.values = groupValues(read, 1);
            }
            GroupSettings group = old;
            change(group);
            group.series = series;
            group.name = plainText(group.name);
            if (!existed || group != old) {
                Statement s(db_, "INSERT INTO groups (series, name, nominal, required, grid_columns, first_number) "
                                 "VALUES (?1, ?2, ?3, ?4, ?5, ?6) ON CONFLICT (series) DO UPDATE SET name = excluded.name, "
                                 "nominal = excluded.nominal, required = excluded.required, "
                                 "grid_columns = excluded.grid_columns, first_number = excluded.first_number");
                s.bind(1, std::int64_t(series)).bind(2, group.name);
                bindGroupValues(s, 3, group.values);
                s.run();
                t.commit();
            }
            return group;
        });
    }

    Result<LocationSettings> updateLocation(LocationKey key, const std::function<void(LocationSettings&)>& change) override
    {
        return guarded(true, [&] {
            Transaction t(db_, Transaction::Write);
            Statement read(db_, "SELECT description, required, renewed FROM locations WHERE series = ?1 AND number = ?2");
            read.bind(1, std::int64_t(key.series)).bind(2, std::int64_t(key.number));
            LocationSettings old{key, {}, {}, {}};
            const bool existed = read.step();
            if (existed)
                old = locationFrom(read, key, 0);
            LocationSettings location = old;
            change(location);
            location.key = key;
            location.description = plainText(location.description);
            if (!existed || location != old) {
                ensureGroup(key.series);
                Statement s(db_, "INSERT INTO locations (series, number, description, required, renewed) "
                                 "VALUES (?1, ?2, ?3, ?4, ?5) ON CONFLICT (series, number) DO UPDATE SET "
                                 "description = excluded.description, required = excluded.required, "
                                 "renewed = excluded.renewed");
                s.bind(1, std::int64_t(key.series)).bind(2, std::int64_t(key.number)).bind(3, location.description);
                s.bind(4, location.required);
                s.bind(5, location.renewed ? isoDate(*location.renewed) : QString());
                s.run();
                t.commit();
            }
            return location;
        });
    }

    Result<SurveyDetails> updateSurvey(std::int64_t survey, const std::function<void(SurveyDetails&)>& change) override
    {
        bool missing = false;
        auto result = guarded(true, [&] {
            Transaction t(db_, Transaction::Write);
            Statement read(db_, "SELECT label, operator, gauge, probe, source FROM surveys WHERE id = ?1");
            read.bind(1, survey);
            SurveyDetails old;
            if (!read.step()) {
                missing = true;
                return old;
            }
            old = {read.text(0), read.text(1), read.text(2), read.text(3), read.text(4)};
            SurveyDetails details = old;
            change(details);
            for (QString* text : {&details.label, &details.operatorName, &details.gauge, &details.probe, &details.source})
                *text = plainText(*text);
            if (std::tie(details.label, details.operatorName, details.gauge, details.probe, details.source)
                != std::tie(old.label, old.operatorName, old.gauge, old.probe, old.source)) {
                Statement s(db_, "UPDATE surveys SET label = ?2, operator = ?3, gauge = ?4, probe = ?5, source = ?6 "
                                 "WHERE id = ?1");
                s.bind(1, survey).bind(2, details.label).bind(3, details.operatorName).bind(4, details.gauge);
                s.bind(5, details.probe).bind(6, details.source);
                s.run();
                t.commit();
            }
            return details;
        });
        if (result.ok() && missing)
            return fail(Text(texts::NoSuchSurvey).arg(survey));
        return result;
    }

    Result<AddCounts> add(const IncomingReadings& incoming, const SurveyDetails& survey, AddMode mode) override
    {
        // One of each reading, the first as given: a download's rows repeat when two
        // cumulative downloads are added together.
        const auto& all = incoming.readings;
        const auto identity = [](const IncomingReading& r) {
            return std::make_tuple(r.location, r.date.toJulianDay(), r.secondsOfDay.value_or(-1), r.thickness);
        };
        std::vector<std::size_t> order(all.size());
        std::iota(order.begin(), order.end(), std::size_t(0));
        std::stable_sort(order.begin(), order.end(),
                         [&](std::size_t a, std::size_t b) { return identity(all[a]) < identity(all[b]); });
        order.erase(std::unique(order.begin(), order.end(),
                                [&](std::size_t a, std::size_t b) { return identity(all[a]) == identity(all[b]); }),
                    order.end());

        return guarded(mode == AddMode::Write, [&] {
            AddCounts counts;
            counts.skipped = incoming.skipped;
            // A download touches a few thousand index pages of a large history; keeping them in
            // memory until the commit spares writing them twice. (Reading the whole history
            // needs no more than SQLite's usual few pages: they are read once.)
            execute(db_, "PRAGMA cache_size = -65536");
            // A history the user may only read can still say that it holds a table already.
            const bool readOnly = sqlite3_db_readonly(db_, "main") == 1;
            Transaction t(db_, mode == AddMode::Write && !readOnly ? Transaction::Write : Transaction::Read);
            Statement findLocation(db_, "SELECT id FROM locations WHERE series = ?1 AND number = ?2");
            Statement findReading(db_, "SELECT 1 FROM readings WHERE location = ?1 AND day = ?2 "
                                       "AND ifnull(time, -1) = ?3 AND thickness = ?4");
            std::map<LocationKey, std::optional<std::int64_t>> locations;
            std::vector<const IncomingReading*> fresh;
            for (std::size_t index : order) {
                const IncomingReading& r = all[index];
                auto [at, first] = locations.try_emplace(r.location);
                if (first) {
                    findLocation.bind(1, std::int64_t(r.location.series)).bind(2, std::int64_t(r.location.number));
                    if (findLocation.step())
                        at->second = findLocation.integer(0);
                    findLocation.reset();
                }
                bool present = false;
                if (at->second) {
                    findReading.bind(1, *at->second).bind(2, r.date.toJulianDay());
                    findReading.bind(3, std::int64_t(r.secondsOfDay.value_or(-1))).bind(4, std::int64_t(r.thickness));
                    present = findReading.step();
                    findReading.reset();
                }
                if (present)
                    ++counts.present;
                else
                    fresh.push_back(&r);
            }
            counts.added = int(fresh.size());
            // Nothing to add, or only asked what would be: the transaction ends without a
            // single page written, and the file stays as it was, byte for byte.
            if (fresh.empty() || mode == AddMode::DryRun)
                return counts;
            if (readOnly)
                throw SqliteFailure{SQLITE_READONLY, QString::fromUtf8(sqlite3_errstr(SQLITE_READONLY))};

            QDate latest;
            for (const IncomingReading* r : fresh)
                latest = std::max(latest, r->date);
            Statement addSurvey(db_, "INSERT INTO surveys (date, label, operator, gauge, probe, source) "
                                     "VALUES (?1, ?2, ?3, ?4, ?5, ?6)");
            addSurvey.bind(1, isoDate(latest)).bind(2, plainText(survey.label)).bind(3, plainText(survey.operatorName));
            addSurvey.bind(4, plainText(survey.gauge)).bind(5, plainText(survey.probe)).bind(6, plainText(survey.source));
            addSurvey.run();
            const std::int64_t surveyId = sqlite3_last_insert_rowid(db_);

            Statement addGroup(db_, "INSERT INTO groups (series) VALUES (?1) ON CONFLICT DO NOTHING");
            Statement addLocation(db_, "INSERT INTO locations (series, number) VALUES (?1, ?2)");
            Statement addReading(db_, "INSERT INTO readings (location, day, time, thickness, speed, material, survey) "
                                      "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)");
            std::optional<std::int32_t> lastSeries;
            for (const IncomingReading* r : fresh) {
                auto& id = locations[r->location];
                if (!id) {
                    if (lastSeries != r->location.series) {
                        addGroup.bind(1, std::int64_t(r->location.series));
                        addGroup.run();
                        lastSeries = r->location.series;
                    }
                    addLocation.bind(1, std::int64_t(r->location.series)).bind(2, std::int64_t(r->location.number));
                    addLocation.run();
                    id = sqlite3_last_insert_rowid(db_);
                }
                addReading.bind(1, *id).bind(2, r->date.toJulianDay()).bind(3, r->secondsOfDay);
                addReading.bind(4, std::int64_t(r->thickness)).bind(5, r->soundSpeed).bind(6, r->material);
                addReading.bind(7, surveyId);
                addReading.run();
            }
            t.commit();
            counts.survey = surveyId;
            return counts;
        });
    }

    Result<int> mark(LocationKey key, QDate day, Mark mark) override
    {
        return guarded(true, [&] {
            Transaction t(db_, Transaction::Write);
            Statement count(db_, "SELECT count(*), count(*) FILTER (WHERE mark IS NOT ?4) FROM readings "
                                 "WHERE location = (SELECT id FROM locations WHERE series = ?1 AND number = ?2) "
                                 "AND day = ?3");
            count.bind(1, std::int64_t(key.series)).bind(2, std::int64_t(key.number)).bind(3, day.toJulianDay());
            count.bind(4, markName(mark));
            count.step();
            const int readings = int(count.integer(0));
            // Marking what is marked so already writes nothing.
            if (count.integer(1) > 0) {
                Statement s(db_, "UPDATE readings SET mark = ?4 WHERE location = "
                                 "(SELECT id FROM locations WHERE series = ?1 AND number = ?2) AND day = ?3");
                s.bind(1, std::int64_t(key.series)).bind(2, std::int64_t(key.number)).bind(3, day.toJulianDay());
                s.bind(4, markName(mark));
                s.run();
                t.commit();
            }
            return readings;
        });
    }

    Result<std::vector<Reading>> readings() override
    {
        return guarded(false, [&] {
            Transaction t(db_, Transaction::Read);
            std::unordered_map<std::int64_t, QDate> surveyDates;
            {
                Statement s(db_, "SELECT id, date FROM surveys");
                while (s.step())
                    surveyDates[s.integer(0)] = isoFromColumn(s, 1, "a survey's date is not a date");
            }
            Statement s(db_, "SELECT l.series, l.number, r.day, r.time, r.thickness, r.speed, r.material, r.survey, r.mark "
                             "FROM readings AS r JOIN locations AS l ON l.id = r.location "
                             "ORDER BY l.series, l.number, r.day, ifnull(r.time, -1), r.thickness");
            std::vector<Reading> out;
            while (s.step()) {
                Reading r;
                r.location = locationKey(s, 0);
                r.date = dayFromNumber(s.integer(2));
                r.secondsOfDay = checkedInt32(s.optionalInteger(3), 0, 86399, "a reading's time is out of range");
                r.thickness = *checkedInt32(s.integer(4), 1, INT32_MAX, "a reading's thickness is out of range");
                r.soundSpeed = checkedInt32(s.optionalInteger(5), INT32_MIN, INT32_MAX, "a sound speed is out of range");
                r.material = s.text(6);
                r.survey = s.integer(7);
                const auto surveyDate = surveyDates.find(r.survey);
                if (surveyDate == surveyDates.end())
                    throwDamaged("a reading's survey is missing");
                r.surveyDate = surveyDate->second;
                r.mark = markFromColumn(s, 8);
                out.push_back(std::move(r));
            }
            return out;
        });
    }

    Result<std::vector<LocationMeasurements>> measurements() override
    {
        return guarded(false, [&] {
            Transaction t(db_, Transaction::Read);
            std::vector<LocationMeasurements> out;
            // Location ids are numbered from 1 as adds make them: a table by id finds a
            // reading's location without hashing a million times.
            std::vector<std::int32_t> byId;
            {
                Statement s(db_, "SELECT id, series, number FROM locations ORDER BY series, number");
                while (s.step()) {
                    const std::int64_t id = s.integer(0);
                    if (id < 1 || id > std::int64_t(INT32_MAX))
                        throwDamaged("a location's id is out of range");
                    if (std::uint64_t(id) >= byId.size())
                        byId.resize(std::max<std::size_t>(std::size_t(id) + 1, 2 * byId.size()), -1);
                    byId[std::size_t(id)] = std::int32_t(out.size());
                    out.push_back({locationKey(s, 1), {}});
                }
            }
            // In the order the rows lie on disk, which reads a large history at the disk's pace,
            // into one buffer; then each location gets its readings, in date order, in a vector
            // of the size it needs.
            struct Row {
                std::int32_t location;
                std::int32_t day;
                std::int32_t thickness;
                Mark mark;
            };
            std::vector<Row> rows;
            {
                Statement last(db_, "SELECT max(id) FROM readings");
                if (last.step())
                    rows.reserve(std::size_t(std::clamp<std::int64_t>(last.integer(0), 0, 100000000)));
            }
            std::vector<std::size_t> counts(out.size());
            Statement s(db_, "SELECT location, day, thickness, mark FROM readings");
            while (s.step()) {
                const std::int64_t id = s.integer(0);
                const std::int32_t at = id > 0 && std::uint64_t(id) < byId.size() ? byId[std::size_t(id)] : -1;
                if (at < 0)
                    throwDamaged("a reading's location is missing");
                const std::int64_t day = s.integer(1);
                if (day < FirstDay || day > LastDay)
                    throwDamaged("a reading's day is out of range");
                rows.push_back({at, std::int32_t(day),
                                *checkedInt32(s.integer(2), 1, INT32_MAX, "a reading's thickness is out of range"),
                                markFromColumn(s, 3)});
                ++counts[std::size_t(at)];
            }
            for (std::size_t i = 0; i < out.size(); ++i)
                out[i].measurements.reserve(counts[i]);
            for (const Row& row : rows)
                out[std::size_t(row.location)].measurements.push_back(
                    {QDate::fromJulianDay(row.day), row.thickness, row.mark});
            rows = {};
            out.erase(std::remove_if(out.begin(), out.end(),
                                     [](const LocationMeasurements& l) { return l.measurements.empty(); }),
                      out.end());
            for (LocationMeasurements& l : out)
                std::sort(l.measurements.begin(), l.measurements.end(),
                          [](const Measurement& a, const Measurement& b) { return a.date < b.date; });
            return out;
        });
    }

    Result<std::vector<Survey>> surveys() override
    {
        return guarded(false, [&] {
            Transaction t(db_, Transaction::Read);
            std::unordered_map<std::int64_t, int> added;
            {
                Statement s(db_, "SELECT survey, count(*) FROM readings GROUP BY survey");
                while (s.step())
                    added[s.integer(0)] = int(s.integer(1));
            }
            Statement s(db_, "SELECT id, date, label, operator, gauge, probe, source FROM surveys ORDER BY id");
            std::vector<Survey> out;
            while (s.step()) {
                Survey survey;
                survey.number = s.integer(0);
                survey.date = isoFromColumn(s, 1, "a survey's date is not a date");
                survey.details = {s.text(2), s.text(3), s.text(4), s.text(5), s.text(6)};
                survey.readings = added[survey.number];
                out.push_back(std::move(survey));
            }
            return out;
        });
    }

private:
    template <typename F>
    auto guarded(bool writing, F&& work) -> Result<decltype(work())>
    {
        try {
            return work();
        } catch (const SqliteFailure& failure) {
            return failureFor(failure, writing);
        }
    }
    template <typename T>
    static Result<void> asVoid(const Result<T>& result)
    {
        return result.ok() ? done() : Result<void>(result.failure());
    }

    Failure failureFor(const SqliteFailure& failure, bool writing) const
    {
        switch (failure.code & 0xff) {
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return fail(Text(texts::BusyHistory).arg(path_, QString::number(HistoryBusySeconds)));
        case SQLITE_NOTADB:
            return fail(Text(texts::NotAHistory).arg(path_));
        case SQLITE_CORRUPT:
        case SQLITE_FORMAT:
        case SQLITE_ERROR:
        case SQLITE_MISMATCH:
        case SQLITE_SCHEMA:
        case SQLITE_RANGE:
            return fail(Text(texts::DamagedHistory).arg(path_, failure.detail));
        default:
            break;
        }
        return fail(Text(writing ? texts::CannotWriteHistory : texts::CannotReadHistory).arg(path_, failure.detail));
    }

    static LocationKey locationKey(const Statement& s, int first)
    {
        return {*checkedInt32(s.integer(first), 0, INT32_MAX, "a series is out of range"),
                *checkedInt32(s.integer(first + 1), 0, INT32_MAX, "a number is out of range")};
    }

    static LocationSettings locationFrom(const Statement& s, LocationKey key, int first)
    {
        LocationSettings l;
        l.key = key;
        l.description = s.text(first);
        l.required = checkedInt32(s.optionalInteger(first + 1), 1, INT32_MAX, "a required thickness is out of range");
        if (!s.isNull(first + 2))
            l.renewed = isoFromColumn(s, first + 2, "a renewal date is not a date");
        return l;
    }

    ObjectSettings readObject()
    {
        Statement s(db_, "SELECT name, code, class FROM object WHERE id = 1");
        if (!s.step())
            throwDamaged("the object is missing");
        ObjectSettings object;
        object.name = s.text(0);
        const auto code = codeFromName(s.text(1));
        if (!code)
            throwDamaged("the inspection code is unknown");
        object.code = *code;
        object.pipingClass = checkedInt32(s.optionalInteger(2), 1, 4, "the piping class is out of range");
        return object;
    }

    HistorySettings readSettings()
    {
        HistorySettings settings;
        settings.object = readObject();
        {
            Statement s(db_, "SELECT nominal, required, grid_columns, first_number FROM object WHERE id = 1");
            s.step();
            settings.defaults = groupValues(s, 0);
        }
        {
            Statement s(db_, "SELECT series, name, nominal, required, grid_columns, first_number FROM groups ORDER BY series");
            while (s.step())
                settings.groups.push_back({*checkedInt32(s.integer(0), 0, INT32_MAX, "a series is out of range"),
                                           s.text(1), groupValues(s, 2)});
        }
        Statement s(db_, "SELECT series, number, description, required, renewed FROM locations ORDER BY series, number");
        while (s.step())
            settings.locations.push_back(locationFrom(s, locationKey(s, 0), 2));
        return settings;
    }

    void ensureGroup(std::int32_t series)
    {
        Statement s(db_, "INSERT INTO groups (series) VALUES (?1) ON CONFLICT DO NOTHING");
        s.bind(1, std::int64_t(series));
        s.run();
    }

    sqlite3* db_;
    QString path_;
};

// The permissions a new file gets from this process: rw for everyone the umask allows.
mode_t newFileMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// Gives `from` the name `to` unless a file of that name exists; false with errno otherwise.
bool renameNoReplace(const QByteArray& from, const QByteArray& to)
{
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // A file system that cannot refuse in the rename itself: a hard link refuses an existing
    // name just as well.
    if (::link(from.constData(), to.constData()) == 0) {
        ::unlink(from.constData());
        return true;
    }
    return false;
}

} // namespace

Result<void> createHistory(const QString& path, const ObjectSettings& object)
{
    const QFileInfo target(path);
    if (target.exists() || target.isSymLink())
        return fail(Text(texts::HistoryExists).arg(path));
    if (!QFileInfo(target.absolutePath()).isDir())
        return fail(Text(texts::CannotCreateHistory).arg(path, QStringLiteral("no such folder")));
    // Made under a hidden name beside it and renamed when whole, so that the name never holds
    // half a history.
    QTemporaryFile temporary(target.absolutePath() + QStringLiteral("/.") + target.fileName() + QStringLiteral(".XXXXXX"));
    if (!temporary.open())
        return fail(Text(texts::CannotCreateHistory).arg(path, temporary.errorString()));
    temporary.close();
    const QByteArray temporaryName = encodedPath(temporary.fileName());

    sqlite3* db = nullptr;
    const int opened = sqlite3_open_v2(temporaryName.constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    std::unique_ptr<sqlite3, int (*)(sqlite3*)> owner(db, sqlite3_close_v2);
    if (opened != SQLITE_OK)
        return fail(Text(texts::CannotCreateHistory).arg(path, QString::fromUtf8(sqlite3_errstr(opened))));
    try {
        configure(db);
        execute(db, "PRAGMA journal_mode = DELETE");
        Transaction t(db, Transaction::Write);
        execute(db, QByteArray("PRAGMA application_id = " + QByteArray::number(HistoryApplicationId)).constData());
        execute(db, QByteArray("PRAGMA user_version = " + QByteArray::number(HistorySchemaVersion)).constData());
        execute(db, Schema);
        Statement s(db, "INSERT INTO object (id, name, code, class) VALUES (1, ?1, ?2, ?3)");
        s.bind(1, plainText(object.name)).bind(2, codeName(object.code));
        s.bind(3, object.code == InspectionCode::Api570 ? object.pipingClass : std::nullopt);
        s.run();
        t.commit();
    } catch (const SqliteFailure& failure) {
        return fail(Text(texts::CannotCreateHistory).arg(path, failure.detail));
    }
    if (const int closed = sqlite3_close(owner.release()); closed != SQLITE_OK)
        return fail(Text(texts::CannotCreateHistory).arg(path, QString::fromUtf8(sqlite3_errstr(closed))));

    if (::chmod(temporaryName.constData(), newFileMode()) != 0
        || !renameNoReplace(temporaryName, encodedPath(path))) {
        const int error = errno;
        if (error == EEXIST)
            return fail(Text(texts::HistoryExists).arg(path));
        return fail(Text(texts::CannotCreateHistory).arg(path, QString::fromLocal8Bit(std::strerror(error))));
    }
    // The new name is on disk only when its folder is.
    if (const int folder = ::open(encodedPath(target.absolutePath()).constData(), O_RDONLY | O_DIRECTORY); folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
    return done();
}

Result<std::unique_ptr<HistoryStore>> openHistory(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return fail(Text(texts::NoSuchHistory).arg(path));
    if (!info.isFile())
        return fail(Text(texts::NotAHistory).arg(path));
    if (auto header = checkHeader(path); !header)
        return header.failure();

    sqlite3* db = nullptr;
    const int opened = sqlite3_open_v2(encodedPath(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    if (opened != SQLITE_OK) {
        const QString detail = QString::fromUtf8(db ? sqlite3_errmsg(db) : sqlite3_errstr(opened));
        sqlite3_close_v2(db);
        return fail(Text(texts::CannotReadHistory).arg(path, detail));
    }
    auto store = std::make_unique<SqliteHistory>(db, path);
    if (auto checked = store->check(); !checked)
        return checked.failure();
    return std::unique_ptr<HistoryStore>(std::move(store));
}

} // namespace quilex
