#include "table/grid_sort.h"

#include "table/archive_columns.h"
#include "table/cell_values.h"
#include "table/table_texts.h"
#include "table/table_values.h"

#include <QCollator>
#include <QCollatorSortKey>

#include <QHash>

#include <algorithm>
#include <charconv>
#include <functional>
#include <cmath>
#include <limits>
#include <optional>
#include <span>
#include <utility>
#include <variant>
#include <vector>

namespace quilex {

namespace {

Failure conversionError(std::span<const QString> texts, int column, int row, ColumnKey kind, int languageIndex)
{
    QString name = texts.empty() ? QString() : texts.front().trimmed();
    if (name.isEmpty())
        name = QString::number(column);
    const QString& text = texts[static_cast<size_t>(row)];
    const TextPair& message =
        kind == ColumnKey::Integer ? table_texts::CannotSortWholeNumber : table_texts::CannotSortThickness;
    return fail(Text(message, std::uint8_t(languageIndex)).arg(name, QString::number(row), text));
}

// The quicksort that decides where rows with equal keys end up. The left part is pushed on a
// list instead of recursing, so a crafted table cannot exhaust the stack; the two parts never
// overlap, so the order in which they are sorted does not change the result. The bounds
// checks in the scans never fire with a consistent comparison; they only keep an
// inconsistent one inside the list. Before(a, b) says that key a sorts before key b.
template <typename Before>
void quickSort(std::vector<TMyData>& a, Before before)
{
    if (a.size() < 2)
        return;
    std::vector<std::pair<int, int>> pending;
    pending.emplace_back(0, static_cast<int>(a.size()) - 1);
    while (!pending.empty()) {
        auto [left, right] = pending.back();
        pending.pop_back();
        do {
            int i = left;
            int j = right;
            const std::int32_t pivot = a[static_cast<size_t>((left + right) / 2)].Key;
            do {
                while (i <= right && before(a[static_cast<size_t>(i)].Key, pivot))
                    ++i;
                while (j >= left && before(pivot, a[static_cast<size_t>(j)].Key))
                    --j;
                if (i <= j) {
                    std::swap(a[static_cast<size_t>(i)], a[static_cast<size_t>(j)]);
                    ++i;
                    --j;
                }
            } while (i <= j);
            if (left < j)
                pending.emplace_back(left, j);
            left = i;
        } while (left < right);
    }
}

int sign(int value)
{
    return (value > 0) - (value < 0);
}

// The rows in their sorted order, from each data row's key.
std::vector<int> orderOf(std::vector<TMyData>& list, SortDirection direction)
{
    sortKeys(list, direction);
    std::vector<int> rows(list.size());
    for (std::size_t k = 0; k < list.size(); ++k)
        rows[k] = list[k].RowIndex;
    return rows;
}

// A date and its row's time as one number that sorts as the two do, the date first.
std::int64_t dateKey(const QDate& date, std::optional<int> secondsOfDay)
{
    return date.toJulianDay() * 86401 + (secondsOfDay ? *secondsOfDay + 1 : 0);
}

// The key of each data row of a text column: its text's rank among the column's distinct
// texts in the locale's order. Texts that compare equal share a rank, so two rows compare by
// rank exactly as by text and the quicksort takes the very same steps, while each of its
// comparisons costs no more than for a number column. Only the distinct texts (a handful of
// materials, a few thousand dates) are ever compared as texts.
std::vector<std::int32_t> textRanks(std::span<const QString> texts, int fixed, int n, const QLocale& locale)
{
    QHash<QString, std::int32_t> index;
    std::vector<QString> distinct;
    std::vector<std::int32_t> ofRow(static_cast<size_t>(n));
    for (int k = 0; k < n; ++k) {
        const QString& text = texts[static_cast<size_t>(fixed + k)];
        auto found = index.constFind(text);
        if (found == index.constEnd()) {
            found = index.insert(text, static_cast<std::int32_t>(distinct.size()));
            distinct.push_back(text);
        }
        ofRow[static_cast<size_t>(k)] = found.value();
    }

    // The C locale compares UTF-16 units, which its collation keys (UTF-8) do not reproduce for
    // characters beyond the BMP; there the texts themselves are compared. Elsewhere each text's
    // collation key is compared, which answers as QCollator::compare does; an empty text has no
    // key and comes before any other, as QCollator::compare puts it.
    std::function<int(std::int32_t, std::int32_t)> compare;
    std::vector<std::optional<QCollatorSortKey>> keys;
    if (locale.language() == QLocale::C) {
        compare = [&distinct](std::int32_t a, std::int32_t b) {
            return sign(QString::compare(distinct[size_t(a)], distinct[size_t(b)], Qt::CaseSensitive));
        };
    } else {
        QCollator collator(locale);
        collator.setCaseSensitivity(Qt::CaseSensitive);
        keys.reserve(distinct.size());
        for (const QString& text : distinct)
            keys.push_back(text.isEmpty() ? std::nullopt : std::optional(collator.sortKey(text)));
        compare = [&keys](std::int32_t a, std::int32_t b) {
            const auto& x = keys[size_t(a)];
            const auto& y = keys[size_t(b)];
            if (!x || !y)
                return int(x.has_value()) - int(y.has_value());
            return sign(x->compare(*y));
        };
    }
    std::vector<std::int32_t> order(distinct.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = static_cast<std::int32_t>(i);
    std::sort(order.begin(), order.end(), [&](std::int32_t a, std::int32_t b) { return compare(a, b) < 0; });
    std::vector<std::int32_t> rankOf(distinct.size());
    std::int32_t rank = 0;
    for (size_t i = 0; i < order.size(); ++i) {
        if (i > 0 && compare(order[i - 1], order[i]) != 0)
            ++rank;
        rankOf[static_cast<size_t>(order[i])] = rank;
    }
    for (std::int32_t& k : ofRow)
        k = rankOf[static_cast<size_t>(k)];
    return ofRow;
}

} // namespace

SortDirection toggledSortDirection(SortDirection direction)
{
    return direction == 1 ? -1 : 1;
}

ColumnKey columnKey(int column)
{
    namespace c = archive_column;
    switch (column) {
    case c::Record:
    case c::SoundSpeed:
    case c::Number:
    case c::Series:
        return ColumnKey::Integer;
    case c::Thickness:
        return ColumnKey::Hundredths;
    case c::Date:
        return ColumnKey::Date;
    case c::Time:
        return ColumnKey::Time;
    default:
        return ColumnKey::Text;
    }
}

Result<std::vector<int>> sortedRows(std::span<const QString> texts, int fixed, int column,
                                                   SortDirection direction, int languageIndex, const QLocale& locale,
                                                   std::span<const QString> times)
{
    const int rowCount = static_cast<int>(texts.size());
    if (direction == 0 || fixed <= 0 || rowCount <= fixed || column < 0)
        return std::vector<int>{};
    const int n = rowCount - fixed;
    const ColumnKey kind = columnKey(column);
    const CellReader reader(locale);

    // Keys are built for every row before anything moves, so a bad cell leaves the table alone.
    std::vector<TMyData> list(static_cast<size_t>(n));
    switch (kind) {
    case ColumnKey::Text: {
        const std::vector<std::int32_t> ranks = textRanks(texts, fixed, n, locale);
        for (int k = 0; k < n; ++k)
            list[static_cast<size_t>(k)] = {fixed + k, ranks[static_cast<size_t>(k)]};
        break;
    }
    case ColumnKey::Date:
    case ColumnKey::Time: {
        // By value: the date with its row's time as the tie-break, or the time of day. Cells
        // that hold no such value come after all that do, among themselves in text order.
        std::vector<std::optional<std::int64_t>> values(static_cast<size_t>(n));
        for (int k = 0; k < n; ++k) {
            const QString& text = texts[static_cast<size_t>(fixed + k)];
            auto& value = values[static_cast<size_t>(k)];
            if (kind == ColumnKey::Time) {
                if (const auto seconds = CellReader::secondsOfDay(text))
                    value = *seconds;
            } else if (const auto date = reader.date(text)) {
                const std::size_t at = static_cast<std::size_t>(fixed + k);
                value = dateKey(*date, at < times.size() ? CellReader::secondsOfDay(times[at]) : std::nullopt);
            }
        }
        std::vector<std::int64_t> distinct;
        for (const auto& value : values)
            if (value)
                distinct.push_back(*value);
        std::sort(distinct.begin(), distinct.end());
        distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
        const auto valued = static_cast<std::int32_t>(distinct.size());
        std::vector<std::int32_t> ranks;
        if (std::find(values.begin(), values.end(), std::nullopt) != values.end())
            ranks = textRanks(texts, fixed, n, locale);
        for (int k = 0; k < n; ++k) {
            const auto& value = values[static_cast<size_t>(k)];
            const std::int32_t key =
                value ? static_cast<std::int32_t>(std::lower_bound(distinct.begin(), distinct.end(), *value) -
                                                  distinct.begin())
                      : valued + ranks[static_cast<size_t>(k)];
            list[static_cast<size_t>(k)] = {fixed + k, key};
        }
        break;
    }
    case ColumnKey::Integer:
    case ColumnKey::Hundredths:
        for (int k = 0; k < n; ++k) {
            const int r = fixed + k;
            const QString& text = texts[static_cast<size_t>(r)];
            const std::optional<std::int32_t> value =
                kind == ColumnKey::Integer ? CellReader::wholeNumber(text) : reader.hundredths(text);
            if (!value)
                return conversionError(texts, column, r, kind, languageIndex);
            list[static_cast<size_t>(k)] = {r, *value};
        }
        break;
    }

    return orderOf(list, direction);
}

Result<std::vector<int>> sortedRows(const TableValues& values, int column, SortDirection direction,
                                                   int languageIndex, const QLocale& locale)
{
    const StringGrid& grid = values.grid();
    const int fixed = grid.fixedRows();
    const int rowCount = grid.rowCount();
    const ColumnKey kind = columnKey(column);
    if (direction == 0 || fixed <= 0 || rowCount <= fixed || column < 0)
        return std::vector<int>{};
    auto columnTexts = [&] {
        std::vector<QString> texts(static_cast<size_t>(rowCount));
        for (int r = 0; r < rowCount; ++r)
            texts[static_cast<size_t>(r)] = grid.cell(column, r);
        return texts;
    };
    if (kind == ColumnKey::Text) {
        const std::vector<QString> texts = columnTexts();
        return sortedRows(texts, fixed, column, direction, languageIndex, locale);
    }

    // The keys from the rows' values, exactly as the texts give them.
    const int n = rowCount - fixed;
    std::vector<TMyData> list(static_cast<size_t>(n));
    if (kind == ColumnKey::Integer || kind == ColumnKey::Hundredths) {
        for (int k = 0; k < n; ++k) {
            const int r = fixed + k;
            const ArchiveValues& v = values.row(r);
            const std::optional<std::int32_t>& value = kind == ColumnKey::Hundredths ? v.thickness
                                                       : column == archive_column::Record ? v.recordNumber
                                                       : column == archive_column::SoundSpeed ? v.soundSpeed
                                                       : column == archive_column::Number ? v.number
                                                                                          : v.series;
            if (!value)
                return conversionError(columnTexts(), column, r, kind, languageIndex);
            list[static_cast<size_t>(k)] = {r, *value};
        }
        return orderOf(list, direction);
    }
    std::vector<std::optional<std::int64_t>> keys(static_cast<size_t>(n));
    bool missing = false;
    for (int k = 0; k < n; ++k) {
        const ArchiveValues& v = values.row(fixed + k);
        auto& key = keys[static_cast<size_t>(k)];
        if (kind == ColumnKey::Time) {
            if (v.secondsOfDay)
                key = *v.secondsOfDay;
        } else if (v.date) {
            // Only a table wide enough to have the time column takes it as the tie-break.
            key = dateKey(*v.date, grid.colCount() > archive_column::Time ? v.secondsOfDay : std::nullopt);
        }
        missing = missing || !key;
    }
    // Cells that hold no date or time come after all that do, among themselves in text order.
    std::vector<std::int32_t> ranks;
    if (missing)
        ranks = textRanks(columnTexts(), fixed, n, locale);
    std::vector<std::int64_t> distinct;
    for (const auto& key : keys)
        if (key)
            distinct.push_back(*key);
    std::sort(distinct.begin(), distinct.end());
    distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
    const auto valued = static_cast<std::int32_t>(distinct.size());
    for (int k = 0; k < n; ++k) {
        const auto& key = keys[static_cast<size_t>(k)];
        list[static_cast<size_t>(k)] = {
            fixed + k, key ? static_cast<std::int32_t>(std::lower_bound(distinct.begin(), distinct.end(), *key) -
                                                       distinct.begin())
                           : valued + ranks[static_cast<size_t>(k)]};
    }
    return orderOf(list, direction);
}

void sortKeys(std::vector<TMyData>& keys, SortDirection direction)
{
    // One comparison for each direction, so that the quicksort's inner loops do not ask which.
    if (direction == 1)
        quickSort(keys, [](std::int32_t a, std::int32_t b) { return a < b; });
    else
        quickSort(keys, [](std::int32_t a, std::int32_t b) { return a > b; });
}

Result<void> sortGrid(StringGrid& grid, int column, SortDirection direction, int languageIndex,
                      const QLocale& locale, const TableValues* values)
{
    if (column < 0 || grid.fixedRows() == 0 || direction == 0)
        return done();
    if (values && &values->grid() == &grid) {
        const auto sorted = sortedRows(*values, column, direction, languageIndex, locale);
        if (!sorted)
            return sorted.failure();
        moveRows(grid, *sorted);
        return done();
    }
    // The column's texts side by side; a copy of a text only counts a reference. Dates take
    // the time beside them as the tie-break.
    std::vector<QString> texts(static_cast<size_t>(grid.rowCount()));
    for (int r = 0; r < grid.rowCount(); ++r)
        texts[static_cast<size_t>(r)] = grid.cell(column, r);
    std::vector<QString> times;
    if (columnKey(column) == ColumnKey::Date && grid.colCount() > archive_column::Time) {
        times.resize(static_cast<size_t>(grid.rowCount()));
        for (int r = 0; r < grid.rowCount(); ++r)
            times[static_cast<size_t>(r)] = grid.cell(archive_column::Time, r);
    }
    const auto sorted = sortedRows(texts, grid.fixedRows(), column, direction, languageIndex, locale, times);
    if (!sorted)
        return sorted.failure();
    moveRows(grid, *sorted);
    return done();
}

void moveRows(StringGrid& grid, const std::vector<int>& list)
{
    const int fixed = grid.fixedRows();
    const int n = static_cast<int>(list.size());

    // Bring each row to its place by exchanges. positions[] is the inverse of order[], so the
    // search for where a row now stands is a look-up instead of a scan.
    std::vector<int> order(static_cast<size_t>(n));     // order[k]: original row now at data row k
    std::vector<int> positions(static_cast<size_t>(n)); // positions[r - fixed]: where that row is
    for (int k = 0; k < n; ++k) {
        order[static_cast<size_t>(k)] = fixed + k;
        positions[static_cast<size_t>(k)] = k;
    }
    StringGrid::UpdateBatch batch(grid);
    for (int j = 0; j < n; ++j) {
        const int r = list[static_cast<size_t>(j)];
        const int k = positions[static_cast<size_t>(r - fixed)];
        grid.exchangeRows(fixed + k, fixed + j);
        const int atJ = order[static_cast<size_t>(j)];
        std::swap(order[static_cast<size_t>(j)], order[static_cast<size_t>(k)]);
        positions[static_cast<size_t>(atJ - fixed)] = k;
        positions[static_cast<size_t>(r - fixed)] = j;
    }
}

HeaderClickResult headerClick(StringGrid& grid, SortDirection& sortDirection, bool leftButton,
                              int column, int row, int languageIndex, const QLocale& locale,
                              const TableValues* values)
{
    if (!leftButton || row < 0 || row >= grid.fixedRows() || column < 0 || column >= grid.colCount())
        return {};
    sortDirection = toggledSortDirection(sortDirection);
    if (grid.isEmptyTable())
        return {HeaderClickOutcome::EmptyTable, {}};
    if (const auto sorted = sortGrid(grid, column, sortDirection, languageIndex, locale, values); !sorted)
        return {HeaderClickOutcome::Failed, sorted.error()};
    return {HeaderClickOutcome::Sorted, {}};
}

} // namespace quilex
