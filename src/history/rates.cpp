#include "history/rates.h"

#include <algorithm>
#include <cmath>

namespace quilex {

namespace {

constexpr double DaysPerYear = 365.25;
// A previous value for the short-term rate lies at least half a year before the last, so that
// two readings days apart do not pass for a rate.
constexpr qint64 ShortTermDays = 183;
constexpr double AmberLifeYears = 4.0;
constexpr qint64 AmberDays = 90;

// The thinnest reading of each day that the user did not ignore, by date.
std::vector<DatedThickness> dayValues(std::span<const Measurement> measurements, const std::optional<QDate>& renewed,
                                      std::vector<Mark>& marks)
{
    std::vector<const Measurement*> counted;
    counted.reserve(measurements.size());
    for (const Measurement& m : measurements)
        if (m.mark != Mark::Ignored && m.date.isValid() && (!renewed || m.date >= *renewed))
            counted.push_back(&m);
    std::sort(counted.begin(), counted.end(), [](const Measurement* a, const Measurement* b) {
        return a->date != b->date ? a->date < b->date : a->thickness < b->thickness;
    });
    std::vector<DatedThickness> values;
    values.reserve(counted.size());
    marks.clear();
    marks.reserve(counted.size());
    for (const Measurement* m : counted) {
        if (!values.empty() && values.back().date == m->date)
            continue; // a thicker reading of a day already valued
        values.push_back({m->date, m->thickness});
        marks.push_back(m->mark);
    }
    return values;
}

} // namespace

QString flagLetters(unsigned flags)
{
    QString letters;
    if (flags & FlagExcluded)
        letters += u'E';
    if (flags & FlagGrowth)
        letters += u'W';
    if (flags & FlagShortTerm)
        letters += u'T';
    return letters;
}

double yearsBetween(QDate from, QDate to)
{
    return double(from.daysTo(to)) / DaysPerYear;
}

std::int64_t wholeMonths(double years)
{
    return std::int64_t(std::floor(12.0 * years + 1e-9));
}

std::optional<QDate> addYears(QDate from, double years)
{
    if (!from.isValid() || !std::isfinite(years) || years > 10000.0 || years < -10000.0)
        return std::nullopt;
    const QDate to = from.addMonths(int(wholeMonths(years)));
    if (!to.isValid() || to.year() > 9999)
        return std::nullopt;
    return to;
}

double intervalCap(InspectionCode code, std::optional<int> pipingClass, int keptValues)
{
    switch (code) {
    case InspectionCode::Api510:
        return 10.0;
    case InspectionCode::Api653:
        return keptValues <= 1 ? 5.0 : 15.0;
    case InspectionCode::Api570:
        break;
    }
    return pipingClass == 1 ? 5.0 : 10.0;
}

double inspectionInterval(InspectionCode code, std::optional<int> pipingClass, int keptValues,
                          std::optional<double> remainingLife)
{
    const double cap = intervalCap(code, pipingClass, keptValues);
    if (!remainingLife)
        return cap;
    const double life = std::max(0.0, *remainingLife);
    // A pressure vessel near its end is seen at least every two years, and sooner when its
    // life is shorter; the other codes take half the remaining life.
    if (code == InspectionCode::Api510 && life < 4.0)
        return std::min(life, 2.0);
    return std::min(life / 2.0, cap);
}

LocationFigures locationFigures(std::span<const Measurement> measurements, const LocationRules& rules)
{
    LocationFigures f;
    f.required = rules.required;
    std::vector<Mark> marks;
    const std::vector<DatedThickness> days = dayValues(measurements, rules.renewed, marks);

    // Walls do not grow: a value thicker than the last one kept is a doubtful reading (a
    // lamination, a wrong spot, a coating). Up to 10 % it counts with a warning; beyond that
    // it stays out until the user says it is right or ignores it.
    std::vector<DatedThickness> kept;
    kept.reserve(days.size());
    f.values.reserve(days.size());
    std::optional<std::int32_t> previousKept;
    for (std::size_t i = 0; i < days.size(); ++i) {
        DayValue value{days[i].date, days[i].thickness, DayValue::State::Kept};
        if (previousKept && days[i].thickness > *previousKept) {
            if (marks[i] == Mark::Verified)
                value.state = DayValue::State::Verified;
            else if (10LL * days[i].thickness > 11LL * *previousKept)
                value.state = DayValue::State::Excluded;
            else
                value.state = DayValue::State::Growth;
        }
        f.values.push_back(value);
        if (value.state == DayValue::State::Excluded) {
            f.flags |= FlagExcluded;
            continue;
        }
        if (value.state == DayValue::State::Growth)
            f.flags |= FlagGrowth;
        kept.push_back(days[i]);
        previousKept = days[i].thickness;
    }
    f.keptValues = int(kept.size());
    if (kept.empty())
        return f;

    f.base = kept.front();
    f.last = kept.back();
    for (auto it = kept.rbegin() + 1; it != kept.rend(); ++it) {
        if (it->date.daysTo(f.last->date) >= ShortTermDays) {
            f.previous = *it;
            break;
        }
        f.flags |= FlagShortTerm;
    }
    const auto rate = [&](const DatedThickness& from) {
        return (double(from.thickness) - double(f.last->thickness)) / 100.0 / yearsBetween(from.date, f.last->date);
    };
    if (kept.size() > 1)
        f.longTermRate = rate(*f.base);
    if (f.previous)
        f.shortTermRate = rate(*f.previous);
    switch (rules.rate) {
    case RateChoice::LongTerm:
        f.governingRate = f.longTermRate;
        break;
    case RateChoice::ShortTerm:
        f.governingRate = f.shortTermRate;
        break;
    case RateChoice::Larger:
        if (f.longTermRate && f.shortTermRate)
            f.governingRate = std::max(*f.longTermRate, *f.shortTermRate);
        else
            f.governingRate = f.longTermRate ? f.longTermRate : f.shortTermRate;
        break;
    }

    // Without a required thickness there is nothing to reach, so no life and no date to
    // plan by: the status says so (grey) rather than offering the code's cap as a plan.
    if (!rules.required)
        return f;
    if (f.last->thickness <= *rules.required)
        f.remainingLife = 0.0;
    else if (f.governingRate && *f.governingRate > 0)
        f.remainingLife = (double(f.last->thickness) - double(*rules.required)) / 100.0 / *f.governingRate;
    if (f.remainingLife)
        f.retirement = addYears(f.last->date, *f.remainingLife);
    f.interval = inspectionInterval(rules.code, rules.pipingClass, f.keptValues, f.remainingLife);
    f.nextInspection = addYears(f.last->date, *f.interval);
    return f;
}

QString statusName(Status status)
{
    switch (status) {
    case Status::Green:
        return QStringLiteral("green");
    case Status::Amber:
        return QStringLiteral("amber");
    case Status::Red:
        return QStringLiteral("red");
    case Status::Grey:
        break;
    }
    return QStringLiteral("grey");
}

Status statusOn(const LocationFigures& f, QDate asOf)
{
    if (!f.required || !f.last)
        return Status::Grey;
    if (f.last->thickness < *f.required || (f.retirement && asOf >= *f.retirement)
        || (f.nextInspection && asOf > *f.nextInspection))
        return Status::Red;
    if ((f.remainingLife && *f.remainingLife < AmberLifeYears)
        || (f.nextInspection && asOf.daysTo(*f.nextInspection) <= AmberDays) || (f.flags & FlagExcluded))
        return Status::Amber;
    return Status::Green;
}

StatusSummary summarize(std::span<const LocationRates> locations)
{
    StatusSummary summary;
    bool any = false;
    for (const LocationRates& l : locations) {
        ++summary.counts[std::size_t(l.status)];
        if (!any || l.status > summary.status)
            summary.status = l.status;
        any = true;
        const auto& next = l.figures.nextInspection;
        if (next && (!summary.nextInspection || *next < *summary.nextInspection))
            summary.nextInspection = next;
    }
    return summary;
}

std::vector<LocationRates> historyRates(const HistorySettings& settings,
                                        const std::vector<LocationMeasurements>& measurements, RateChoice rate,
                                        QDate asOf)
{
    std::vector<LocationRates> out;
    out.reserve(settings.locations.size());
    auto measured = measurements.begin();
    for (const LocationSettings& location : settings.locations) {
        // Both lists are in location order: walk them side by side.
        while (measured != measurements.end() && measured->location < location.key)
            ++measured;
        const bool has = measured != measurements.end() && measured->location == location.key;
        const GroupValues values = settings.effectiveValues(location.key.series);
        LocationRules rules;
        rules.code = settings.object.code;
        rules.pipingClass = settings.object.pipingClass;
        rules.required = location.required ? location.required : values.required;
        rules.renewed = location.renewed;
        rules.rate = rate;
        LocationRates r;
        r.location = location.key;
        if (values.gridColumns)
            r.cell = gridCell(location.key.number, *values.gridColumns, values.firstNumber.value_or(1));
        r.nominal = values.nominal;
        r.figures = has ? locationFigures(measured->measurements, rules) : locationFigures({}, rules);
        r.status = statusOn(r.figures, asOf);
        out.push_back(std::move(r));
    }
    return out;
}

} // namespace quilex
