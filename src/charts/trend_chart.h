#pragma once
// The trend of one measurement location of a survey history: its readings over the years, the
// long-term rate's line from the base value to the last, the required and nominal thickness,
// the projection of the last value down to the required thickness at the governing rate, and
// the next inspection date. Drawn with Qt Charts from the history's own figures (rates.h), so
// that the window, "quilex-cli history trend" and a report show one and the same picture.

#include "history/rates.h"

#include <QDate>
#include <QLocale>
#include <QString>

#include <memory>
#include <span>
#include <vector>

QT_BEGIN_NAMESPACE
class QChart;
QT_END_NAMESPACE

namespace quilex {

// One location as the trend needs it: its figures as historyRates gives them and its readings.
struct LocationTrend {
    LocationRates rates;
    std::vector<Measurement> measurements; // any order; ignored ones too
    QString description;                   // the location's description, if any
    QString groupName;                     // its group's name, if any
};

struct TrendOptions {
    int languageIndex = 0;
    // Numbers in the axis and the legend take this locale's decimal separator.
    QLocale locale = QLocale::system();
};

// A reading on the chart and what became of it.
struct TrendPoint {
    QDate date;
    std::int32_t thickness = 0;
    Mark mark = Mark::None;
    // Counts in the rates (drawn filled); the others (grown by more than 10 %, ignored, before
    // the renewal, or a thicker reading of a day already valued) are drawn hollow.
    bool counted = false;
};

// Every reading of the location, by date, each with whether it counts.
std::vector<TrendPoint> trendPoints(const LocationTrend& trend);

// The location's trend out of the history's figures and readings; none when the location is
// not in `rates`.
std::optional<LocationTrend> trendOf(LocationKey location, std::span<const LocationRates> rates,
                                     std::span<const LocationMeasurements> measurements,
                                     const HistorySettings& settings);

// The chart; the names of its series are fixed (readings, left-out, long-term, required,
// nominal, projection, next-inspection) as QObject names, for whoever looks for one.
std::unique_ptr<QChart> makeTrendChart(const LocationTrend& trend, const TrendOptions& options);

} // namespace quilex
