// The header-click sort of 100,000 archive rows, by thickness and by material, against a
// plain quicksort of the same shape that compares the cells' texts and values directly.
// Before timing, every order is checked against that quicksort's: rows with equal keys must
// end up exactly where it puts them.

#include "bench_table.h"
#include "figure_reporter.h"

#include "table/grid_sort.h"

#include <QCollator>
#include <QCoreApplication>
#include <QLocale>

#include <cmath>
#include <cstdio>
#include <optional>
#include <utility>
#include <vector>

namespace {

using quilex::StringGrid;

constexpr int Rows = 100000;
constexpr int ThicknessColumn = 3;
constexpr int MaterialColumn = 1;
constexpr double SortBound = 0.3;

const StringGrid& table()
{
    static const StringGrid grid = quilex::bench::archiveTable(Rows);
    return grid;
}

// The textbook form: Hoare's partition around the middle element, recursing into both parts.
template <typename Less, typename Greater>
void referenceQuickSort(std::vector<int>& a, int left, int right, Less less, Greater greater)
{
    int i = left;
    int j = right;
    const int pivot = a[static_cast<size_t>((left + right) / 2)];
    do {
        while (less(a[static_cast<size_t>(i)], pivot))
            ++i;
        while (greater(a[static_cast<size_t>(j)], pivot))
            --j;
        if (i <= j) {
            std::swap(a[static_cast<size_t>(i)], a[static_cast<size_t>(j)]);
            ++i;
            --j;
        }
    } while (i <= j);
    if (left < j)
        referenceQuickSort(a, left, j, less, greater);
    if (i < right)
        referenceQuickSort(a, i, right, less, greater);
}

// The data rows of `grid` in the order the reference gives for an ascending sort of `column`.
std::vector<int> referenceOrder(const StringGrid& grid, int column, const QLocale& locale)
{
    std::vector<int> rows;
    for (int r = grid.fixedRows(); r < grid.rowCount(); ++r)
        rows.push_back(r);
    if (column == ThicknessColumn) {
        std::vector<long long> value(static_cast<size_t>(grid.rowCount()));
        for (int r : rows)
            value[static_cast<size_t>(r)] = std::llround(locale.toDouble(grid.cell(column, r)) * 100.0);
        referenceQuickSort(
            rows, 0, int(rows.size()) - 1, [&](int a, int b) { return value[size_t(a)] < value[size_t(b)]; },
            [&](int a, int b) { return value[size_t(a)] > value[size_t(b)]; });
    } else {
        QCollator collator(locale);
        collator.setCaseSensitivity(Qt::CaseSensitive);
        auto compare = [&](int a, int b) {
            return locale.language() == QLocale::C
                       ? QString::compare(grid.cell(column, a), grid.cell(column, b), Qt::CaseSensitive)
                       : collator.compare(grid.cell(column, a), grid.cell(column, b));
        };
        referenceQuickSort(
            rows, 0, int(rows.size()) - 1, [&](int a, int b) { return compare(a, b) < 0; },
            [&](int a, int b) { return compare(a, b) > 0; });
    }
    return rows;
}

void headerClickSort(StringGrid& grid, int column, const QLocale& locale)
{
    quilex::SortDirection direction = 0;
    const auto result = quilex::headerClick(grid, direction, true, column, 0, 1, locale);
    if (result.outcome != quilex::HeaderClickOutcome::Sorted)
        std::fprintf(stderr, "sort failed: %s\n", qPrintable(result.error));
}

// Column 0 holds each row's original index, so the sorted table tells the order it took.
bool sameOrder(int column, const QLocale& locale, const char* name)
{
    StringGrid grid = table();
    headerClickSort(grid, column, locale);
    const std::vector<int> expected = referenceOrder(table(), column, locale);
    bool same = true;
    for (size_t k = 0; k < expected.size() && same; ++k)
        same = grid.cell(0, int(k) + 1) == QString::number(expected[k]) &&
               grid.cell(column, int(k) + 1) == table().cell(column, expected[k]);
    std::printf("CHECK order-%s %s\n", name, same ? "ok" : "FAILED");
    return same;
}

void BM_HeaderClick(benchmark::State& state, int column, QLocale locale)
{
    // Only the click is timed: the copy of the unsorted table before it and freeing it after
    // are not.
    std::optional<StringGrid> grid;
    for (auto _ : state) {
        state.PauseTiming();
        grid.reset();
        grid.emplace(table());
        state.ResumeTiming();
        headerClickSort(*grid, column, locale);
        benchmark::DoNotOptimize(grid->cell(0, 1));
    }
}

void BM_Reference(benchmark::State& state, int column, QLocale locale)
{
    for (auto _ : state) {
        std::vector<int> order = referenceOrder(table(), column, locale);
        benchmark::DoNotOptimize(order.data());
    }
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QLocale c = QLocale::c();
    const QLocale russian(QLocale::Russian, QLocale::Russia);
    (void)table();

    bool ordersOk = sameOrder(ThicknessColumn, c, "thickness");
    ordersOk = sameOrder(MaterialColumn, c, "material-C") && ordersOk;
    ordersOk = sameOrder(MaterialColumn, russian, "material-ru") && ordersOk;

    auto add = [](const char* name, void (*fn)(benchmark::State&, int, QLocale), int column, QLocale locale) {
        benchmark::RegisterBenchmark(name, fn, column, locale)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->Iterations(5);
    };
    add("sort_thickness", BM_HeaderClick, ThicknessColumn, c);
    add("sort_material_C", BM_HeaderClick, MaterialColumn, c);
    add("sort_material_ru", BM_HeaderClick, MaterialColumn, russian);
    add("reference_thickness", BM_Reference, ThicknessColumn, c);
    add("reference_material_C", BM_Reference, MaterialColumn, c);
    add("reference_material_ru", BM_Reference, MaterialColumn, russian);

    quilex::bench::FigureReporter reporter;
    if (!quilex::bench::runBenchmarks(argc, argv, reporter))
        return 1;
    using quilex::bench::printFigure;
    using quilex::bench::printReference;
    printFigure("sort_thickness", reporter.seconds("sort_thickness"), SortBound);
    printReference("sort_thickness", reporter.seconds("reference_thickness"),
                   "plain_quicksort");
    printFigure("sort_material_C", reporter.seconds("sort_material_C"), SortBound);
    printReference("sort_material_C", reporter.seconds("reference_material_C"),
                   "plain_quicksort");
    printFigure("sort_material_ru", reporter.seconds("sort_material_ru"), SortBound);
    printReference("sort_material_ru", reporter.seconds("reference_material_ru"),
                   "plain_quicksort_QCollator::compare");
    return ordersOk ? 0 : 2;
}
