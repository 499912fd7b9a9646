#include "app/grid_sort.h"

#include <QCollator>
#include <QCollatorSortKey>

#include <charconv>
#include <cmath>
#include <limits>
#include <utility>
#include <vector>

namespace quilex {

namespace {

// Signed decimal whole number: an optional sign and ASCII digits, nothing else, in 32 bits.
template <typename Char>
std::optional<std::int32_t> parseInteger(const Char* text, qsizetype size)
{
    qsizetype i = 0;
    bool negative = false;
    if (i < size && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i == size)
        return std::nullopt;
    std::int64_t value = 0;
    for (; i < size; ++i) {
        const auto ch = text[i];
        if (ch < '0' || ch > '9')
            return std::nullopt;
        value = value * 10 + (ch - '0');
        if (value > std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1)
            return std::nullopt;
    }
    if (negative)
        value = -value;
    if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<std::int32_t>(value);
}

// A thickness in hundredths: the number times 100, written with at most 15 significant digits
// and read back as a whole number. The 15 digits swallow the binary rounding of the product
// (12.34 * 100 is 1233.9999999999998), while a third decimal leaves a fraction and fails.
std::optional<std::int32_t> parseHundredths(const QString& text, const QLocale& locale)
{
    bool ok = false;
    const double value = locale.toDouble(text, &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    char digits[64];
    const auto written = std::to_chars(digits, digits + sizeof digits, value * 100.0,
                                       std::chars_format::general, 15);
    if (written.ec != std::errc())
        return std::nullopt;
    return parseInteger(digits, written.ptr - digits);
}

QString conversionError(const StringGrid& grid, int column, int row, ColumnKey kind,
                        const QLocale& locale, int languageIndex)
{
    QString name = grid.cell(column, 0).trimmed();
    if (name.isEmpty())
        name = QString::number(column);
    const QString text = grid.cell(column, row);
    const bool english = languageIndex == 1;
    if (kind == ColumnKey::Integer) {
        return (english ? QStringLiteral("Cannot sort by column \"%1\": row %2 holds \"%3\", which is not "
                                         "a whole number from -2147483648 to 2147483647.")
                        : QStringLiteral("Невозможно отсортировать по столбцу «%1»: в строке %2 записано "
                                         "«%3», а это не целое число от -2147483648 до 2147483647."))
            .arg(name, QString::number(row), text);
    }
    return (english ? QStringLiteral("Cannot sort by column \"%1\": row %2 holds \"%3\", which is not a "
                                     "thickness in millimetres with at most two decimals after \"%4\".")
                    : QStringLiteral("Невозможно отсортировать по столбцу «%1»: в строке %2 записано «%3», "
                                     "а это не толщина в миллиметрах с не более чем двумя знаками после «%4»."))
        .arg(name, QString::number(row), text, locale.decimalPoint());
}

// The quicksort that decides where rows with equal keys end up. The left part is pushed on a
// list instead of recursing, so a crafted table cannot exhaust the stack; the two parts never
// overlap, so the order in which they are sorted does not change the result. The bounds
// checks in the scans never fire with a consistent comparison; they only keep an
// inconsistent one inside the list.
template <typename Compare>
void quickSort(std::vector<TMyData>& a, Compare compare)
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
            const TMyData pivot = a[static_cast<size_t>((left + right) / 2)];
            do {
                while (i <= right && compare(a[static_cast<size_t>(i)], pivot) < 0)
                    ++i;
                while (j >= left && compare(a[static_cast<size_t>(j)], pivot) > 0)
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

} // namespace

SortDirection toggledSortDirection(SortDirection direction)
{
    return direction == 1 ? -1 : 1;
}

ColumnKey columnKey(int column)
{
    switch (column) {
    case 0:
    case 2:
    case 4:
    case 5:
        return ColumnKey::Integer;
    case 3:
        return ColumnKey::Hundredths;
    default:
        return ColumnKey::Text;
    }
}

std::optional<QString> sortGrid(StringGrid& grid, int column, SortDirection direction,
                                int languageIndex, const QLocale& locale)
{
    const int fixed = grid.fixedRows();
    if (direction == 0 || fixed == 0 || grid.rowCount() <= fixed || column < 0)
        return std::nullopt;
    const int n = grid.rowCount() - fixed;
    const ColumnKey kind = columnKey(column);

    QLocale numbers = locale;
    numbers.setNumberOptions(numbers.numberOptions() | QLocale::RejectGroupSeparator);

    // Keys are built for every row before anything moves, so a bad cell leaves the table alone.
    std::vector<TMyData> list(static_cast<size_t>(n));
    std::vector<QCollatorSortKey> textKeys;
    QCollator collator(locale);
    collator.setCaseSensitivity(Qt::CaseSensitive);
    // The C locale compares UTF-16 units, which its collation keys (UTF-8) do not reproduce for
    // characters beyond the BMP; there the texts themselves are compared.
    const bool collationKeys = kind == ColumnKey::Text && locale.language() != QLocale::C;
    if (collationKeys)
        textKeys.reserve(static_cast<size_t>(n));

    for (int k = 0; k < n; ++k) {
        const int r = fixed + k;
        TMyData& item = list[static_cast<size_t>(k)];
        item.RowIndex = r;
        const QString& text = grid.cell(column, r);
        if (kind == ColumnKey::Text) {
            if (collationKeys && !text.isEmpty())
                textKeys.push_back(collator.sortKey(text));
            continue;
        }
        const auto value = kind == ColumnKey::Integer ? parseInteger(text.utf16(), text.size()) : parseHundredths(text, numbers);
        if (!value)
            return conversionError(grid, column, r, kind, locale, languageIndex);
        item.NumberKey = *value;
    }
    if (collationKeys) {
        // An empty text has no key: that is how the comparison tells it.
        size_t next = 0;
        for (TMyData& item : list) {
            if (!grid.cell(column, item.RowIndex).isEmpty())
                item.TextKey = &textKeys[next++];
        }
    }

    const bool ascending = direction == 1;
    if (kind != ColumnKey::Text) {
        quickSort(list, [ascending](const TMyData& x, const TMyData& y) {
            const TMyData& a = ascending ? x : y;
            const TMyData& b = ascending ? y : x;
            return (a.NumberKey > b.NumberKey) - (a.NumberKey < b.NumberKey);
        });
    } else if (collationKeys) {
        // Same answers as QCollator::compare, which puts an empty text before any other text
        // before it asks the collation.
        quickSort(list, [ascending](const TMyData& x, const TMyData& y) {
            const TMyData& a = ascending ? x : y;
            const TMyData& b = ascending ? y : x;
            if (!a.TextKey || !b.TextKey)
                return int(a.TextKey != nullptr) - int(b.TextKey != nullptr);
            return sign(a.TextKey->compare(*b.TextKey));
        });
    } else {
        quickSort(list, [&grid, column, ascending](const TMyData& x, const TMyData& y) {
            const TMyData& a = ascending ? x : y;
            const TMyData& b = ascending ? y : x;
            return sign(QString::compare(grid.cell(column, a.RowIndex), grid.cell(column, b.RowIndex),
                                         Qt::CaseSensitive));
        });
    }

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
        const int r = list[static_cast<size_t>(j)].RowIndex;
        const int k = positions[static_cast<size_t>(r - fixed)];
        grid.exchangeRows(fixed + k, fixed + j);
        const int atJ = order[static_cast<size_t>(j)];
        std::swap(order[static_cast<size_t>(j)], order[static_cast<size_t>(k)]);
        positions[static_cast<size_t>(atJ - fixed)] = k;
        positions[static_cast<size_t>(r - fixed)] = j;
    }
    return std::nullopt;
}

HeaderClickResult headerClick(StringGrid& grid, SortDirection& sortDirection, bool leftButton,
                              int column, int row, int languageIndex, const QLocale& locale)
{
    if (!leftButton || row < 0 || row >= grid.fixedRows() || column < 0 || column >= grid.colCount())
        return {};
    sortDirection = toggledSortDirection(sortDirection);
    if (grid.isEmptyTable())
        return {HeaderClickOutcome::EmptyTable, {}};
    if (auto error = sortGrid(grid, column, sortDirection, languageIndex, locale))
        return {HeaderClickOutcome::Failed, std::move(*error)};
    return {HeaderClickOutcome::Sorted, {}};
}

} // namespace quilex
