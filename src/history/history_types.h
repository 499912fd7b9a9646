#pragma once
// What a survey history holds, as plain values: the object and the code it is inspected by,
// the groups (one per gauge series), the measurement locations, the surveys and the readings.
// Thicknesses are whole hundredths of a millimetre throughout, as the gauge writes them, so
// that comparing two readings never depends on how a double rounds.

#include <QDate>
#include <QString>
#include <QStringView>

#include <compare>
#include <cstdint>
#include <optional>
#include <vector>

namespace quilex {

// The inspection code the object is inspected by; it caps the interval between inspections.
enum class InspectionCode { Api570, Api510, Api653 };

// "api570", "api510", "api653": the words the command line and the database use.
QString codeName(InspectionCode code);
std::optional<InspectionCode> codeFromName(QStringView name);

struct ObjectSettings {
    QString name;
    InspectionCode code = InspectionCode::Api570;
    // API 570's piping class, 1 to 4; the other codes have none.
    std::optional<int> pipingClass = 2;

    friend bool operator==(const ObjectSettings&, const ObjectSettings&) = default;
};

// What a group gives its locations. Each value may be unset: a group's unset value is the
// object's default, and the default's unset value is none at all (the first number then 1).
struct GroupValues {
    std::optional<std::int32_t> nominal;  // hundredths of a millimetre
    std::optional<std::int32_t> required; // hundredths of a millimetre
    std::optional<int> gridColumns;       // 1 to MaxGridColumns
    std::optional<std::int32_t> firstNumber;

    friend bool operator==(const GroupValues&, const GroupValues&) = default;
};

inline constexpr int MaxGridColumns = 10000;

struct GroupSettings {
    std::int32_t series = 0;
    QString name;
    GroupValues values;

    friend bool operator==(const GroupSettings&, const GroupSettings&) = default;
};

// A measurement location: number `number` of gauge series `series`, written "3-12". Both are
// 0 or more, which keeps the written form unambiguous.
struct LocationKey {
    std::int32_t series = 0;
    std::int32_t number = 0;

    friend auto operator<=>(const LocationKey&, const LocationKey&) = default;
};

QString locationText(LocationKey key);
// A series or number: ASCII digits (spaces around allowed), 0 to 2147483647.
std::optional<std::int32_t> naturalFromText(QStringView text);
// "3-12" (spaces around the parts allowed); nothing for any other text.
std::optional<LocationKey> locationFromText(QStringView text);

// The location's cell on its group's grid: column letter A + (number - first) mod columns
// (after Z: AA, AB, ...), row 1 + (number - first) div columns. None below the first number.
std::optional<QString> gridCell(std::int32_t number, int columns, std::int32_t firstNumber);

struct LocationSettings {
    LocationKey key;
    QString description;
    std::optional<std::int32_t> required; // its own, over the group's
    std::optional<QDate> renewed;         // readings before this day belong to the old wall

    friend bool operator==(const LocationSettings&, const LocationSettings&) = default;
};

// Everything of a history but its surveys and readings.
struct HistorySettings {
    ObjectSettings object;
    GroupValues defaults;
    std::vector<GroupSettings> groups;       // by series
    std::vector<LocationSettings> locations; // by series, then number

    const GroupSettings* group(std::int32_t series) const;
    // The value a location of the series takes: the group's own, else the default.
    GroupValues effectiveValues(std::int32_t series) const;
};

// What the user said of a reading: nothing, that it is right although it looks wrong
// (verified), or that it must not count (ignored).
enum class Mark : std::uint8_t { None, Verified, Ignored };

// "", "verified", "ignored".
QString markName(Mark mark);
std::optional<Mark> markFromName(QStringView name);

// A reading of a table, on its way into a history.
struct IncomingReading {
    LocationKey location;
    QDate date;
    std::optional<int> secondsOfDay;
    std::int32_t thickness = 0; // hundredths of a millimetre, more than 0
    std::optional<std::int32_t> soundSpeed;
    QString material;
};

struct IncomingReadings {
    std::vector<IncomingReading> readings;
    int skipped = 0; // rows without a thickness, a valid date, a series or a number
};

// What a survey says of itself; its date is that of the latest reading it added.
struct SurveyDetails {
    QString label;
    QString operatorName;
    QString gauge;
    QString probe;
    QString source; // the names of the tables it came from
};

struct Survey {
    std::int64_t number = 0;
    QDate date;
    SurveyDetails details;
    int readings = 0; // the readings it added
};

// A reading as the history keeps it.
struct Reading {
    LocationKey location;
    QDate date;
    std::optional<int> secondsOfDay;
    std::int32_t thickness = 0;
    std::optional<std::int32_t> soundSpeed;
    QString material;
    std::int64_t survey = 0;
    QDate surveyDate;
    Mark mark = Mark::None;
};

// The little of a reading that the rates look at.
struct Measurement {
    QDate date;
    std::int32_t thickness = 0;
    Mark mark = Mark::None;
};

struct LocationMeasurements {
    LocationKey location;
    std::vector<Measurement> measurements; // by date
};

struct AddCounts {
    int added = 0;
    int present = 0; // already in the history
    int skipped = 0;
    std::optional<std::int64_t> survey; // the survey the add recorded, if it added anything
};

// Control characters (tabs, line breaks) become spaces, so that every text the history keeps
// stays one cell of a tab-separated line.
QString plainText(const QString& text);

} // namespace quilex
