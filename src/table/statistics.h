#pragma once
// Statistics of an archive per series (object) and for the whole table, as inspection reports
// give them: the number of readings, the thinnest and thickest with the record number where
// each was taken, the mean, the sample standard deviation and the range, and with limits the
// readings below the minimum allowable thickness and the wall left of the nominal. Computed on
// the archive's values (archive_values.h); the window, the workbook and the command line show
// them.

#include "table/archive_values.h"
#include "table/thickness_limits.h"

#include <QLocale>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <span>
#include <variant>
#include <vector>

namespace quilex {

struct SeriesStatistics {
    std::optional<std::int32_t> series; // none: the whole table
    int readings = 0;                   // rows with a thickness
    int unreadable = 0;                 // rows whose thickness is not a value ("NAN"), left out
    std::int32_t minimum = 0;           // hundredths of a millimetre, when there are readings
    std::int32_t maximum = 0;
    QString minimumRecord;              // "№" of the first row with the minimum
    QString maximumRecord;
    double mean = 0;                    // millimetres
    std::optional<double> deviation;    // millimetres, n - 1; none for a single reading
    ThicknessLimits limits;             // what held for it
    std::optional<int> belowMinimum;    // readings below their minimum, when one is set
    std::optional<double> remainingPercent; // the thinnest reading, percent of the nominal
    std::int32_t range() const { return maximum - minimum; }
};

struct ArchiveStatistics {
    std::vector<SeriesStatistics> series; // ascending by series number
    SeriesStatistics all;                 // the whole table
    bool anyLimits = false;               // some minimum or nominal is set
};

ArchiveStatistics computeStatistics(std::span<const ArchiveValues> rows, const TableLimits& limits);
// The same for the data rows of an archive table, read in the locale's forms.
ArchiveStatistics computeStatistics(const StringGrid& grid, const TableLimits& limits,
                                    const QLocale& locale = QLocale::system());

// The figures as a table: a header row, a row per series, then the whole table's row ("Все" /
// "All"). Columns: series, readings, minimum, its "№", maximum, its "№", mean, standard
// deviation, range, and with limits the readings below the minimum and the wall left in
// percent. A cell is a number, a whole number, a text, or empty.
using StatisticsCell = std::variant<std::monostate, double, std::int64_t, QString>;
struct StatisticsTable {
    QStringList header;
    std::vector<std::vector<StatisticsCell>> rows;
    int thicknessDecimals = 2;
};
StatisticsTable statisticsTable(const ArchiveStatistics& statistics, int languageIndex);
// The cell's text: thicknesses with two decimals and percents with one, in the locale's
// decimal separator, whole numbers plain.
QString statisticsCellText(const StatisticsCell& cell, int column, const QLocale& locale = QLocale::system());
// Which columns hold thicknesses (two decimals) and which percents (one).
bool isThicknessColumn(int column);
bool isPercentColumn(int column);

// The places of the columns in the table of figures.
namespace statistics_column {
inline constexpr int Series = 0;
inline constexpr int Readings = 1;
inline constexpr int Minimum = 2;
inline constexpr int MinimumRecord = 3;
inline constexpr int Maximum = 4;
inline constexpr int MaximumRecord = 5;
inline constexpr int Mean = 6;
inline constexpr int Deviation = 7;
inline constexpr int Range = 8;
inline constexpr int BelowMinimum = 9;
inline constexpr int Remaining = 10;
} // namespace statistics_column

// A reading below the minimum that holds for its row (the series' own or the table's).
bool belowMinimum(const ArchiveValues& row, const TableLimits& limits);

// The header texts in a language.
QStringList statisticsHeader(int languageIndex, bool withLimits);
QString statisticsAllLabel(int languageIndex);
// The headers of the two limits that go beside the figures, nominal and minimum allowable
// thickness: where the window takes them, and where the workbook gives those each row was
// judged against.
QStringList statisticsLimitsHeader(int languageIndex);

} // namespace quilex
