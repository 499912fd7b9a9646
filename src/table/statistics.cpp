#include "table/statistics.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace quilex {

namespace {

enum StatisticsColumn {
    SeriesColumn,
    ReadingsColumn,
    MinimumColumn,
    MinimumRecordColumn,
    MaximumColumn,
    MaximumRecordColumn,
    MeanColumn,
    DeviationColumn,
    RangeColumn,
    BelowMinimumColumn,
    RemainingColumn,
};

// Gathers one series' readings and gives its figures at the end.
class Accumulator {
public:
    void add(const ArchiveValues& row, const ThicknessLimits& limits)
    {
        if (!row.thickness) {
            ++stats_.unreadable;
            return;
        }
        const std::int32_t t = *row.thickness;
        if (stats_.readings == 0 || t < stats_.minimum) {
            stats_.minimum = t;
            stats_.minimumRecord = row.record;
        }
        if (stats_.readings == 0 || t > stats_.maximum) {
            stats_.maximum = t;
            stats_.maximumRecord = row.record;
        }
        ++stats_.readings;
        sum_ += t;
        values_.push_back(t);
        if (limits.minimum) {
            below_ += t < *limits.minimum;
            anyMinimum_ = true;
        }
    }

    SeriesStatistics finish(std::optional<std::int32_t> series, const ThicknessLimits& limits)
    {
        stats_.series = series;
        stats_.limits = limits;
        const int n = stats_.readings;
        if (n > 0) {
            // Sums of whole hundredths are exact; the deviation takes a second pass about the mean.
            const long double mean = static_cast<long double>(sum_) / n;
            stats_.mean = static_cast<double>(mean / 100);
            if (n > 1) {
                long double squares = 0;
                for (std::int32_t v : values_)
                    squares += (v - mean) * (v - mean);
                stats_.deviation = static_cast<double>(std::sqrt(squares / (n - 1)) / 100);
            }
        }
        if (anyMinimum_ || limits.minimum)
            stats_.belowMinimum = below_;
        if (limits.nominal && *limits.nominal > 0 && n > 0)
            stats_.remainingPercent = 100.0 * stats_.minimum / *limits.nominal;
        return stats_;
    }

private:
    SeriesStatistics stats_;
    std::int64_t sum_ = 0;
    std::vector<std::int32_t> values_;
    int below_ = 0;
    bool anyMinimum_ = false;
};

} // namespace

ArchiveStatistics computeStatistics(std::span<const ArchiveValues> rows, const TableLimits& limits)
{
    std::map<std::int32_t, Accumulator> bySeries;
    Accumulator all;
    for (const ArchiveValues& row : rows) {
        const ThicknessLimits applies = limits.forSeries(row.series);
        if (row.series)
            bySeries[*row.series].add(row, applies);
        all.add(row, applies);
    }
    ArchiveStatistics result;
    for (auto& [series, accumulator] : bySeries)
        result.series.push_back(accumulator.finish(series, limits.forSeries(series)));
    result.all = all.finish(std::nullopt, limits.table);
    result.anyLimits = !limits.empty();
    return result;
}

ArchiveStatistics computeStatistics(const StringGrid& grid, const TableLimits& limits, const QLocale& locale)
{
    return computeStatistics(ArchiveRowReader(locale).rows(grid, ArchiveFields::Measurements), limits);
}

bool belowMinimum(const ArchiveValues& row, const TableLimits& limits)
{
    if (!row.thickness)
        return false;
    const ThicknessLimits applies = limits.forSeries(row.series);
    return applies.minimum && *row.thickness < *applies.minimum;
}

bool isThicknessColumn(int column)
{
    return column == MinimumColumn || column == MaximumColumn || column == MeanColumn || column == DeviationColumn ||
           column == RangeColumn;
}

bool isPercentColumn(int column)
{
    return column == RemainingColumn;
}

QStringList statisticsHeader(int languageIndex, bool withLimits)
{
    QStringList header =
        languageIndex == 1
            ? QStringList{QStringLiteral("Series"),      QStringLiteral("Readings"),        QStringLiteral("Minimum, mm"),
                          QStringLiteral("№ of minimum"), QStringLiteral("Maximum, mm"),     QStringLiteral("№ of maximum"),
                          QStringLiteral("Mean, mm"),    QStringLiteral("Std. deviation, mm"), QStringLiteral("Range, mm")}
            : QStringList{QStringLiteral("Серия"),       QStringLiteral("Измерений"),       QStringLiteral("Минимум, мм"),
                          QStringLiteral("№ минимума"),  QStringLiteral("Максимум, мм"),    QStringLiteral("№ максимума"),
                          QStringLiteral("Среднее, мм"), QStringLiteral("Ст. отклонение, мм"), QStringLiteral("Размах, мм")};
    if (withLimits)
        header << (languageIndex == 1 ? QStringLiteral("Below minimum") : QStringLiteral("Ниже минимума"))
               << (languageIndex == 1 ? QStringLiteral("Remaining wall, %") : QStringLiteral("Остаток стенки, %"));
    return header;
}

QString statisticsAllLabel(int languageIndex)
{
    return languageIndex == 1 ? QStringLiteral("All") : QStringLiteral("Все");
}

StatisticsTable statisticsTable(const ArchiveStatistics& statistics, int languageIndex)
{
    StatisticsTable table;
    table.header = statisticsHeader(languageIndex, statistics.anyLimits);
    auto row = [&](const SeriesStatistics& s) {
        std::vector<StatisticsCell> cells;
        cells.push_back(s.series ? StatisticsCell(std::int64_t(*s.series)) : StatisticsCell(statisticsAllLabel(languageIndex)));
        cells.push_back(std::int64_t(s.readings));
        if (s.readings > 0) {
            cells.push_back(s.minimum / 100.0);
            cells.push_back(s.minimumRecord);
            cells.push_back(s.maximum / 100.0);
            cells.push_back(s.maximumRecord);
            cells.push_back(s.mean);
            cells.push_back(s.deviation ? StatisticsCell(*s.deviation) : StatisticsCell());
            cells.push_back(s.range() / 100.0);
        } else {
            cells.resize(RangeColumn + 1);
        }
        if (statistics.anyLimits) {
            cells.push_back(s.belowMinimum ? StatisticsCell(std::int64_t(*s.belowMinimum)) : StatisticsCell());
            cells.push_back(s.remainingPercent ? StatisticsCell(*s.remainingPercent) : StatisticsCell());
        }
        table.rows.push_back(std::move(cells));
    };
    for (const SeriesStatistics& s : statistics.series)
        row(s);
    row(statistics.all);
    return table;
}

QString statisticsCellText(const StatisticsCell& cell, int column, const QLocale& locale)
{
    if (const auto* number = std::get_if<double>(&cell)) {
        QLocale plain = locale;
        plain.setNumberOptions(QLocale::OmitGroupSeparator);
        return plain.toString(*number, 'f', isPercentColumn(column) ? 1 : 2);
    }
    if (const auto* whole = std::get_if<std::int64_t>(&cell))
        return QString::number(*whole);
    if (const auto* text = std::get_if<QString>(&cell))
        return *text;
    return {};
}

} // namespace quilex
