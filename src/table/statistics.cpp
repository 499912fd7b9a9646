#include "table/statistics.h"

#include "base/texts.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <unordered_map>
#include <vector>

namespace quilex {

namespace {

using namespace statistics_column;

const TextPair FigureHeaders[] = {
    {u"Серия", u"Series"},
    {u"Измерений", u"Readings"},
    {u"Минимум, мм", u"Minimum, mm"},
    {u"№ минимума", u"№ of minimum"},
    {u"Максимум, мм", u"Maximum, mm"},
    {u"№ максимума", u"№ of maximum"},
    {u"Среднее, мм", u"Mean, mm"},
    {u"Ст. отклонение, мм", u"Std. deviation, mm"},
    {u"Размах, мм", u"Range, mm"},
};
const TextPair JudgedHeaders[] = {
    {u"Ниже минимума", u"Below minimum"},
    {u"Остаток стенки, %", u"Remaining wall, %"},
};
const TextPair LimitsHeaders[] = {
    {u"Номинал, мм", u"Nominal, mm"},
    {u"Допустимый минимум, мм", u"Allowable minimum, mm"},
};
const TextPair AllLabel{u"Все", u"All"};

QStringList texts(std::span<const TextPair> pairs, int languageIndex)
{
    QStringList out;
    for (const TextPair& pair : pairs)
        out << Text(pair, std::uint8_t(languageIndex));
    return out;
}

// Gathers one series' readings and gives its figures at the end, in one pass over the rows.
// The readings are whole hundredths, so their sum and the sum of their squares are kept exactly
// (the squares in 128 bits: even int32 extremes over millions of rows stay far inside), and the
// deviation comes from n * sum of squares - sum * sum, exact too, with no second pass about the
// mean and no loss to cancellation.
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
        squares_ += Wide(t) * t;
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
            stats_.mean = static_cast<double>(static_cast<long double>(sum_) / n / 100);
            if (n > 1) {
                // n (n - 1) times the sample variance, never negative.
                const Wide spread = Wide(n) * squares_ - Wide(sum_) * sum_;
                const long double variance = static_cast<long double>(spread) / (static_cast<long double>(n) * (n - 1));
                stats_.deviation = static_cast<double>(std::sqrt(variance) / 100);
            }
        }
        if (anyMinimum_ || limits.minimum)
            stats_.belowMinimum = below_;
        if (limits.nominal && *limits.nominal > 0 && n > 0)
            stats_.remainingPercent = 100.0 * stats_.minimum / *limits.nominal;
        return stats_;
    }

private:
    using Wide = __int128;
    SeriesStatistics stats_;
    std::int64_t sum_ = 0;
    Wide squares_ = 0;
    int below_ = 0;
    bool anyMinimum_ = false;
};

// One series' accumulator and the limits that hold for it, found by its number. Rows of one
// series mostly come together, so the last one found is asked first.
class SeriesSlots {
public:
    explicit SeriesSlots(const TableLimits& limits) : limits_(limits) {}

    int slotOf(std::int32_t series)
    {
        if (last_ >= 0 && numbers_[std::size_t(last_)] == series)
            return last_;
        auto [at, added] = index_.try_emplace(series, int(numbers_.size()));
        if (added) {
            numbers_.push_back(series);
            accumulators_.emplace_back();
            seriesLimits_.push_back(limits_.forSeries(series));
        }
        last_ = at->second;
        return last_;
    }
    Accumulator& accumulator(int slot) { return accumulators_[std::size_t(slot)]; }
    const ThicknessLimits& limits(int slot) const { return seriesLimits_[std::size_t(slot)]; }
    std::int32_t number(int slot) const { return numbers_[std::size_t(slot)]; }
    int count() const { return int(numbers_.size()); }

private:
    const TableLimits& limits_;
    std::unordered_map<std::int32_t, int> index_;
    std::vector<std::int32_t> numbers_;
    std::vector<Accumulator> accumulators_;
    std::vector<ThicknessLimits> seriesLimits_;
    int last_ = -1;
};

} // namespace

ArchiveStatistics computeStatistics(std::span<const ArchiveValues> rows, const TableLimits& limits)
{
    SeriesSlots slots(limits);
    Accumulator all;
    for (const ArchiveValues& row : rows) {
        if (row.series) {
            const int slot = slots.slotOf(*row.series);
            slots.accumulator(slot).add(row, slots.limits(slot));
            all.add(row, slots.limits(slot));
        } else {
            all.add(row, limits.table);
        }
    }
    std::vector<int> order(std::size_t(slots.count()));
    for (int slot = 0; slot < slots.count(); ++slot)
        order[std::size_t(slot)] = slot;
    std::sort(order.begin(), order.end(), [&](int a, int b) { return slots.number(a) < slots.number(b); });
    ArchiveStatistics result;
    for (int slot : order)
        result.series.push_back(slots.accumulator(slot).finish(slots.number(slot), slots.limits(slot)));
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
    return column == Minimum || column == Maximum || column == Mean || column == Deviation || column == Range;
}

bool isPercentColumn(int column)
{
    return column == Remaining;
}

QStringList statisticsHeader(int languageIndex, bool withLimits)
{
    QStringList header = texts(FigureHeaders, languageIndex);
    if (withLimits)
        header << texts(JudgedHeaders, languageIndex);
    return header;
}

QString statisticsAllLabel(int languageIndex)
{
    return Text(AllLabel, std::uint8_t(languageIndex));
}

QStringList statisticsLimitsHeader(int languageIndex)
{
    return texts(LimitsHeaders, languageIndex);
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
            cells.resize(Range + 1);
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
        const int decimals = isPercentColumn(column) ? 1 : 2;
        // A locale that already leaves out the group separator is used as it is: a table of
        // hundreds of series would otherwise copy it for every figure.
        if (locale.numberOptions() & QLocale::OmitGroupSeparator)
            return locale.toString(*number, 'f', decimals);
        QLocale plain = locale;
        plain.setNumberOptions(QLocale::OmitGroupSeparator);
        return plain.toString(*number, 'f', decimals);
    }
    if (const auto* whole = std::get_if<std::int64_t>(&cell))
        return QString::number(*whole);
    if (const auto* text = std::get_if<QString>(&cell))
        return *text;
    return {};
}

} // namespace quilex
