#pragma once
// How fast a wall thins and what follows from it, per measurement location: the long-term and
// short-term corrosion rates, the remaining life down to the required thickness, the date of
// retirement, the interval to the next inspection as the inspection code caps it, and the
// location's status on a given day. Plain functions over measurements, with no store behind
// them, so that the command line, the window and a report compute the very same figures.
//
// Everything starts from hundredths of a millimetre and whole days; a year is 365.25 days, and
// a span of years becomes whole months (floor(12 x years + 1e-9)) before it moves a date, by
// calendar months as QDate::addMonths does.

#include "history/history_types.h"

#include <QDate>

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace quilex {

// Which rate governs the remaining life.
enum class RateChoice { Larger, LongTerm, ShortTerm };

// What a location's figures depend on besides its readings.
struct LocationRules {
    InspectionCode code = InspectionCode::Api570;
    std::optional<int> pipingClass = 2;
    std::optional<std::int32_t> required; // hundredths of a millimetre
    std::optional<QDate> renewed;
    RateChoice rate = RateChoice::Larger;
};

// The flags of a location.
enum LocationFlag : unsigned {
    FlagExcluded = 1u,   // E: a value grew by more than 10 % and is left out until marked
    FlagGrowth = 2u,     // W: a kept value grew, by up to 10 %
    FlagShortTerm = 4u,  // T: values too close to the last were passed over for the short term
};

// "E", "W", "T" in this order, as apply.
QString flagLetters(unsigned flags);

// A day's value and what became of it.
struct DayValue {
    enum class State {
        Kept,     // counts
        Growth,   // counts, flag W
        Excluded, // grew by more than 10 %: out of every rate, flag E
        Verified, // grew, but the user confirmed it: counts, no flag
    };
    QDate date;
    std::int32_t thickness = 0;
    State state = State::Kept;

    bool kept() const { return state != State::Excluded; }
};

struct DatedThickness {
    QDate date;
    std::int32_t thickness = 0;
};

struct LocationFigures {
    std::optional<std::int32_t> required;
    std::vector<DayValue> values; // by date, from the renewal on; ignored readings are not here
    int keptValues = 0;
    std::optional<DatedThickness> base;
    std::optional<DatedThickness> previous;
    std::optional<DatedThickness> last;
    std::optional<double> longTermRate;  // mm/year, thinning positive
    std::optional<double> shortTermRate; // mm/year
    std::optional<double> governingRate; // mm/year
    // Years; none when it is not limited (a rate of 0 or less, or no rate) or there is no
    // required thickness to reach.
    std::optional<double> remainingLife;
    std::optional<QDate> retirement;
    std::optional<double> interval; // years
    std::optional<QDate> nextInspection;
    unsigned flags = 0;
};

// Years between two days.
double yearsBetween(QDate from, QDate to);
// floor(12 x years + 1e-9): the 1e-9 keeps 2.666...67 x 12 at 32 where binary rounding would
// leave it a hair below.
std::int64_t wholeMonths(double years);
// The day `years` after `from` in whole months; none past the year 9999.
std::optional<QDate> addYears(QDate from, double years);

// The longest interval the code allows: API 570 5 years for class 1 and 10 for classes 2 to 4,
// API 510 10, API 653 15, and 5 while the location has only one value.
double intervalCap(InspectionCode code, std::optional<int> pipingClass, int keptValues);
// The interval for a remaining life (none: not limited), as the code says.
double inspectionInterval(InspectionCode code, std::optional<int> pipingClass, int keptValues,
                          std::optional<double> remainingLife);

// Every figure of one location from its measurements (in any order).
LocationFigures locationFigures(std::span<const Measurement> measurements, const LocationRules& rules);

// Worst last: a location that cannot be judged (grey) ranks above a good one, so that a group
// shows green only when every location in it was judged good.
enum class Status { Green, Grey, Amber, Red };

// "green", "grey", "amber", "red": the same words in both languages.
QString statusName(Status status);

// The status on the day asOf: grey without a required thickness or a value; red when the last
// value is below the required thickness, the day is on or after the retirement date or after
// the next inspection; amber when the remaining life is under 4 years, the next inspection is
// 90 days or fewer away, or a value is left out as grown (E); green otherwise.
Status statusOn(const LocationFigures& figures, QDate asOf);

// A group's or the whole object's: its worst location's status, its earliest next inspection,
// and how many locations have each status (indexed by Status).
struct StatusSummary {
    Status status = Status::Grey;
    std::optional<QDate> nextInspection;
    std::array<int, 4> counts{};
};

// One location with everything the rates table shows of it.
struct LocationRates {
    LocationKey location;
    std::optional<QString> cell;
    std::optional<std::int32_t> nominal;
    LocationFigures figures;
    Status status = Status::Grey;
};

StatusSummary summarize(std::span<const LocationRates> locations);

// Every location of the history, by series and number, with its figures on the day asOf.
// `measurements` hold each location's readings (locations missing there have none).
std::vector<LocationRates> historyRates(const HistorySettings& settings,
                                        const std::vector<LocationMeasurements>& measurements, RateChoice rate,
                                        QDate asOf);

} // namespace quilex
