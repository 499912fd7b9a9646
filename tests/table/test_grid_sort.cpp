#include "table/grid_sort.h"

#include <QCollator>
#include <QDate>
#include <QTime>
#include <QElapsedTimer>
#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <tuple>
#include <vector>

using namespace quilex;

namespace {

const QLocale Russian(QLocale::Russian, QLocale::Russia);
const QLocale English(QLocale::English, QLocale::UnitedStates);

// A table of archive rows: record number, material, speed, thickness, number, series, date, time.
StringGrid archive(const std::vector<QStringList>& rows)
{
    StringGrid grid(8, static_cast<int>(rows.size()) + 1);
    grid.setRow(0, {"№", "Материал", "Скорость звука, м/с", "Толщина, мм", "Номер", "Серия", "Дата", "Время"});
    for (size_t i = 0; i < rows.size(); ++i)
        for (int c = 0; c < rows[i].size(); ++c)
            grid.setCell(c, static_cast<int>(i) + 1, rows[i][c]);
    return grid;
}

QStringList column(const StringGrid& grid, int c)
{
    QStringList texts;
    for (int r = grid.fixedRows(); r < grid.rowCount(); ++r)
        texts.append(grid.cell(c, r));
    return texts;
}

std::vector<QStringList> allRows(const StringGrid& grid)
{
    std::vector<QStringList> rows;
    for (int r = 0; r < grid.rowCount(); ++r)
        rows.push_back(grid.row(r));
    return rows;
}

// The value a date or time cell holds for the reference sort: seconds from the start of the
// Julian calendar, the row's time added to its date; nothing for a cell that holds none.
std::optional<qint64> referenceMoment(const StringGrid& grid, int c, int r, const QLocale& locale)
{
    const QTime time = QTime::fromString(grid.cell(7, r), QStringLiteral("hh:mm:ss"));
    if (c == 7)
        return time.isValid() ? std::optional<qint64>(time.msecsSinceStartOfDay() / 1000) : std::nullopt;
    const QString format = locale.dateFormat(QLocale::ShortFormat);
    QDate date = locale.toDate(grid.cell(c, r), format);
    if (date.isValid() && date.year() < 2000 && !format.contains(QLatin1String("yyyy")))
        date = date.addYears(100);
    if (!date.isValid() || locale.toString(date, format) != grid.cell(c, r))
        return std::nullopt;
    return date.toJulianDay() * 86401 + (time.isValid() ? time.msecsSinceStartOfDay() / 1000 + 1 : 0);
}

// The sort written out step by step: keys with QCollator::compare on the texts, the quicksort
// recursing, and the row moves searching B from the front. The real one must end identically.
void referenceSort(StringGrid& grid, int c, int d, const QLocale& locale)
{
    const int f = grid.fixedRows();
    const int n = grid.rowCount() - f;
    struct Item {
        int row;
        QString text;
        qint64 number;
        bool valued; // dates and times: the cell holds one
    };
    const ColumnKey kind = columnKey(c);
    std::vector<Item> a;
    std::vector<int> b;
    for (int r = f; r < grid.rowCount(); ++r) {
        Item item{r, {}, 0, true};
        if (kind == ColumnKey::Text) {
            item.text = grid.cell(c, r);
        } else if (kind == ColumnKey::Integer) {
            item.number = grid.cell(c, r).toInt();
        } else if (kind == ColumnKey::Date || kind == ColumnKey::Time) {
            const auto moment = referenceMoment(grid, c, r, locale);
            item.valued = moment.has_value();
            item.number = moment.value_or(0);
            item.text = grid.cell(c, r);
        } else {
            QString text = grid.cell(c, r);
            text.replace(QLatin1Char(','), locale.decimalPoint()).replace(QLatin1Char('.'), locale.decimalPoint());
            item.number = qRound(locale.toDouble(text) * 100);
        }
        a.push_back(item);
        b.push_back(r);
    }
    QCollator collator(locale);
    collator.setCaseSensitivity(Qt::CaseSensitive);
    auto compare = [&](const Item& x, const Item& y) {
        const Item& p = d == 1 ? x : y;
        const Item& q = d == 1 ? y : x;
        if (p.valued != q.valued)
            return p.valued ? -1 : 1; // what holds no date or time comes after all that do
        if (kind == ColumnKey::Text || !p.valued) {
            const int s = collator.compare(p.text, q.text);
            return (s > 0) - (s < 0);
        }
        return (p.number > q.number) - (p.number < q.number);
    };
    std::function<void(int, int)> quick = [&](int l, int r) {
        do {
            int i = l, j = r;
            const Item pivot = a[(l + r) / 2];
            do {
                while (compare(a[i], pivot) < 0)
                    ++i;
                while (compare(a[j], pivot) > 0)
                    --j;
                if (i <= j)
                    std::swap(a[i++], a[j--]);
            } while (i <= j);
            if (l < j)
                quick(l, j);
            l = i;
        } while (l < r);
    };
    if (n > 1)
        quick(0, n - 1);
    for (int j = 0; j < n; ++j) {
        int k = 0;
        while (b[k] != a[j].row)
            ++k;
        const QStringList rowK = grid.row(f + k);
        const QStringList rowJ = grid.row(f + j);
        grid.setRow(f + k, rowJ);
        grid.setRow(f + j, rowK);
        std::swap(b[j], b[k]);
    }
}

} // namespace

TEST(GridSort, ThicknessesCompareAsHundredthsWithTheLocaleSeparator)
{
    StringGrid ru = archive({{"1", "", "", "12,34"}, {"2", "", "", "9,50"}, {"3", "", "", "100,00"}});
    ASSERT_TRUE(sortGrid(ru, 3, 1, 0, Russian).ok());
    EXPECT_EQ(column(ru, 3), (QStringList{"9,50", "12,34", "100,00"}));
    EXPECT_EQ(column(ru, 0), (QStringList{"2", "1", "3"}));

    StringGrid en = archive({{"1", "", "", "100.00"}, {"2", "", "", "12.34"}, {"3", "", "", "9.50"}});
    ASSERT_TRUE(sortGrid(en, 3, -1, 1, English).ok());
    EXPECT_EQ(column(en, 3), (QStringList{"100.00", "12.34", "9.50"}));

    // Products that binary floating point cannot hold exactly still give whole hundredths.
    StringGrid rounding = archive({{"1", "", "", "1,15"}, {"2", "", "", "0,29"}, {"3", "", "", "4,35"},
                                   {"4", "", "", "-0,07"}});
    ASSERT_TRUE(sortGrid(rounding, 3, 1, 0, Russian).ok());
    EXPECT_EQ(column(rounding, 3), (QStringList{"-0,07", "0,29", "1,15", "4,35"}));
}

TEST(GridSort, ACellThatDoesNotConvertLeavesTheTableAsItWas)
{
    struct Case {
        int column;
        QString bad;
        QLocale locale;
    };
    const std::vector<Case> cases = {
        {2, "NAN", Russian},     {4, " ", Russian},        {5, "", Russian},
        {0, "3000000000", Russian}, {3, "12,345", Russian}, {3, "12;34", Russian},
        {3, "12,3,4", English},  {3, "1 234,00", Russian}, {3, "nan", English},
    };
    for (const Case& test : cases) {
        StringGrid grid = archive({{"1", "Сталь", "5920", "1,00", "1", "1", "01.02.2013", "10:00:00"},
                                   {"2", "Медь", "4700", "2,00", "2", "1", "01.02.2013", "10:00:01"}});
        grid.setCell(test.column, 2, test.bad);
        grid.setCell(7, 1, QString()); // an empty cell the sort would have turned into " "
        if (test.column == 3 && test.locale == English)
            grid.setCell(3, 1, QStringLiteral("1.00"));
        const auto before = allRows(grid);
        const auto russian = sortGrid(grid, test.column, 1, 0, test.locale);
        const auto english = sortGrid(grid, test.column, 1, 1, test.locale);
        ASSERT_TRUE(!russian && !english) << test.column << " " << qPrintable(test.bad);
        EXPECT_EQ(allRows(grid), before);
        EXPECT_TRUE(english.error().contains(QStringLiteral("row 2"))) << qPrintable(english.error());
        EXPECT_TRUE(english.error().contains(QStringLiteral("\"") + test.bad + QStringLiteral("\"")));
        EXPECT_TRUE(russian.error().contains(QStringLiteral("в строке 2"))) << qPrintable(russian.error());
    }
}

TEST(GridSort, TextsFollowTheLocaleCollationCaseSensitively)
{
    StringGrid grid = archive({{"1", "яблоко"}, {"2", "ёлка"}, {"3", "жук"}, {"4", "Ель"}});
    ASSERT_TRUE(sortGrid(grid, 1, 1, 0, Russian).ok());
    // Code-unit order would put ё after я; capitals after their small letters.
    EXPECT_EQ(column(grid, 1), (QStringList{"ёлка", "Ель", "жук", "яблоко"}));

    StringGrid latin = archive({{"1", "", "", "", "", "", "b"}, {"2", "", "", "", "", "", "A"},
                                {"3", "", "", "", "", "", "B"}, {"4", "", "", "", "", "", "a"}});
    ASSERT_TRUE(sortGrid(latin, 6, 1, 0, English).ok());
    EXPECT_EQ(column(latin, 6), (QStringList{"a", "A", "b", "B"}));

}

TEST(GridSort, DatesAndTimesSortByTheirValueAndNotValuesComeLast)
{
    // In text order 05.01.2024 would follow 03.01.2025.
    StringGrid dates = archive({{"1", "", "", "", "", "", "03.01.2025", "08:00:00"},
                                {"2", "", "", "", "", "", "NAN", "NAN"},
                                {"3", "", "", "", "", "", "05.01.2024", "12:00:00"},
                                {"4", "", "", "", "", "", "05.01.2024", "09:30:00"},
                                {"5", "", "", "", "", "", "15.12.2012", "NAN"}});
    ASSERT_TRUE(sortGrid(dates, 6, 1, 0, Russian).ok());
    EXPECT_EQ(column(dates, 0), (QStringList{"5", "4", "3", "1", "2"}));
    ASSERT_TRUE(sortGrid(dates, 6, -1, 0, Russian).ok());
    EXPECT_EQ(column(dates, 0), (QStringList{"2", "1", "3", "4", "5"}));
    ASSERT_TRUE(sortGrid(dates, 7, 1, 0, Russian).ok());
    EXPECT_EQ(column(dates, 7), (QStringList{"08:00:00", "09:30:00", "12:00:00", "NAN", "NAN"}));

    // The locale's own short format: "1/5/24" is 5 January 2024 in the United States.
    StringGrid us = archive({{"1", "", "", "", "", "", "12/31/23"}, {"2", "", "", "", "", "", "1/5/24"}});
    ASSERT_TRUE(sortGrid(us, 6, -1, 0, English).ok());
    EXPECT_EQ(column(us, 0), (QStringList{"2", "1"}));
}

TEST(GridSort, ThicknessesWithEitherDecimalSeparatorSortTogether)
{
    // A project made in Russia opened elsewhere, and the other way round.
    for (const QLocale& locale : {Russian, English, QLocale::c()}) {
        StringGrid grid = archive({{"1", "", "", "12,50"}, {"2", "", "", "9.75"}, {"3", "", "", "10"},
                                   {"4", "", "", "12.5"}});
        ASSERT_TRUE(sortGrid(grid, 3, 1, 0, locale).ok()) << locale.name().toStdString();
        const QStringList order = column(grid, 0);
        EXPECT_EQ(order.mid(0, 2), (QStringList{"2", "3"})) << locale.name().toStdString();
        EXPECT_TRUE(order.mid(2).contains("1") && order.mid(2).contains("4")); // equal keys: either order
    }
}

TEST(GridSort, RowsMoveWholeAndEmptyCellsBecomeSpaces)
{
    StringGrid grid = archive({{"1", "Сталь", "5920", "3,00", "7", "1", "", "10:00:00"},
                               {"2", "Медь", "4700", "1,00", "8", "1", "01.02.2013", ""},
                               {"3", "Алюминий", "6300", "2,00", "9", "1", "01.02.2013", "10:00:02"}});
    grid.setCell(9, 2, QStringLiteral("beyond the columns"));
    ASSERT_TRUE(sortGrid(grid, 3, 1, 0, Russian).ok());
    EXPECT_EQ(grid.row(1), (QStringList{"2", "Медь", "4700", "1,00", "8", "1", "01.02.2013", " "}));
    EXPECT_EQ(grid.row(3), (QStringList{"1", "Сталь", "5920", "3,00", "7", "1", " ", "10:00:00"}));
    EXPECT_EQ(grid.cell(9, 2), QStringLiteral("beyond the columns"));
    EXPECT_EQ(grid.cell(0, 0), QStringLiteral("№")); // the header row stays
    ASSERT_TRUE(sortGrid(grid, 0, 1, 0, Russian).ok());
    EXPECT_EQ(column(grid, 0), (QStringList{"1", "2", "3"}));
}

TEST(GridSort, EqualKeysEndWhereTheQuicksortPutsThem)
{
    QRandomGenerator random(20130201);
    const QStringList words = {"Сталь", "сталь", "Медь", "ёлка", "Ель", "", "b", "B", "a", "10", "9",
                               "NAN", "05.01.2024", "03.01.2025", "10:00:00", "09:59:59", "5 Jan 2024"};
    for (int round = 0; round < 40; ++round) {
        const int c = random.bounded(10);
        const int d = random.bounded(2) ? 1 : -1;
        const QLocale locale = round % 3 == 0 ? QLocale::c() : Russian;
        const int rows = 1 + random.bounded(250);
        StringGrid grid(10, rows + 1);
        for (int r = 1; r <= rows; ++r) {
            grid.setCell(0, r, QString::number(r));
            for (int c : {2, 4, 5})
                grid.setCell(c, r, QString::number(random.bounded(5) - 2));
            grid.setCell(3, r, QStringLiteral("%1%2%3").arg(random.bounded(3)).arg(locale.decimalPoint()).arg(random.bounded(10) * 5, 2, 10, QLatin1Char('0')));
            for (int c : {1, 6, 7, 9})
                grid.setCell(c, r, words[random.bounded(words.size())]);
        }
        StringGrid expected = grid;
        referenceSort(expected, c, d, locale);
        ASSERT_TRUE(sortGrid(grid, c, d, 0, locale).ok());
        ASSERT_EQ(allRows(grid), allRows(expected)) << "round " << round << " column " << c << " direction " << d;
    }
}

TEST(HeaderClick, OnlyALeftReleaseOverAHeaderCountsAndOneDirectionServesAllColumns)
{
    StringGrid grid;
    SortDirection direction = 0;
    EXPECT_EQ(headerClick(grid, direction, true, 3, 0, 0, Russian).outcome, HeaderClickOutcome::EmptyTable);
    EXPECT_EQ(direction, 1);

    grid = archive({{"1", "Медь"}, {"2", "Сталь"}});
    for (auto [left, c, r] : {std::tuple{false, 0, 0}, {true, 0, 1}, {true, -1, 0}, {true, 8, 0}})
        EXPECT_EQ(headerClick(grid, direction, left, c, r, 0, Russian).outcome, HeaderClickOutcome::Ignored);
    EXPECT_EQ(direction, 1);

    EXPECT_EQ(headerClick(grid, direction, true, 0, 0, 0, Russian).outcome, HeaderClickOutcome::Sorted);
    EXPECT_EQ(column(grid, 0), (QStringList{"2", "1"}));
    EXPECT_EQ(headerClick(grid, direction, true, 1, 0, 0, Russian).outcome, HeaderClickOutcome::Sorted);
    EXPECT_EQ(column(grid, 1), (QStringList{"Медь", "Сталь"}));

    // A failing sort keeps the toggled direction.
    grid.setCell(2, 1, QStringLiteral("NAN"));
    const HeaderClickResult failed = headerClick(grid, direction, true, 2, 0, 1, Russian);
    EXPECT_EQ(failed.outcome, HeaderClickOutcome::Failed);
    EXPECT_FALSE(failed.error.isEmpty());
    EXPECT_EQ(direction, -1);

    grid.setRowCount(1); // as a one-row project file leaves it: no header row any more
    grid.setRowCount(3);
    EXPECT_EQ(headerClick(grid, direction, true, 0, 0, 0, Russian).outcome, HeaderClickOutcome::Ignored);
    EXPECT_EQ(direction, -1);
}

TEST(GridSort, HundredThousandRowsSortQuickly)
{
    const int rows = 100000;
    StringGrid grid(8, rows + 1);
    for (int r = 1; r <= rows; ++r) {
        const int v = static_cast<int>((r * 7919LL) % rows);
        grid.setRow(r, {QString::number(r), QStringLiteral("Сталь %1").arg(v % 97), "5920",
                        QStringLiteral("%1,%2").arg(v / 100).arg(v % 100, 2, 10, QLatin1Char('0'))});
    }
    QElapsedTimer timer;
    timer.start();
    ASSERT_TRUE(sortGrid(grid, 1, 1, 0, Russian).ok());
    ASSERT_TRUE(sortGrid(grid, 3, -1, 0, Russian).ok());
    const qint64 ms = timer.elapsed();
    std::printf("100000 rows, text and thickness sort: %lld ms\n", static_cast<long long>(ms));
    for (int r = 2; r <= rows; ++r)
        ASSERT_GE(QString(grid.cell(3, r - 1)).remove(',').toInt(), QString(grid.cell(3, r)).remove(',').toInt());
    // Generous, for the sanitizers on a shared machine; a quadratic step would take minutes.
    EXPECT_LT(ms, 10000);
}

TEST(GridSort, TextsTheCollationCallsEqualShareTheirPlaceInTheOrder)
{
    // A soft hyphen is ignored by the collation: "сталь" and "ста\u00ADль" compare equal, so
    // the rows holding them sort as equal keys do, where the quicksort leaves them, although
    // the texts differ.
    QRandomGenerator random(20240520);
    const QStringList words = {"сталь", QString::fromUtf16(u"ста\u00ADль"), "Сталь", "медь",
                               QString::fromUtf16(u"\u00ADмедь"), "", "a", "A"};
    for (int round = 0; round < 10; ++round) {
        const int rows = 50 + random.bounded(400);
        StringGrid grid(8, rows + 1);
        for (int r = 1; r <= rows; ++r) {
            grid.setCell(0, r, QString::number(r));
            grid.setCell(1, r, words[random.bounded(words.size())]);
        }
        for (const int d : {1, -1}) {
            StringGrid expected = grid;
            referenceSort(expected, 1, d, Russian);
            StringGrid sorted = grid;
            ASSERT_TRUE(sortGrid(sorted, 1, d, 0, Russian).ok());
            ASSERT_EQ(allRows(sorted), allRows(expected)) << "round " << round << " direction " << d;
        }
    }
}

TEST(GridSort, EverydayAndUnusualThicknessTextsSortAlike)
{
    // Texts read directly and texts the locale has to read sort together by their hundredths.
    QRandomGenerator random(1250);
    const QStringList russian = {"12,34", "0,5", "3", "-3,25", "-0,00", "0,05", "01,50", "1,5e1",
                                 "12345678,9", "100", "0,50", "2,3"};
    const QStringList c = {"12.34", "0.5", "3", "-3.25", "-0.00", "0.05", "01.50", "1.5e1",
                           "12345678.9", "100", "0.50", "2.3"};
    for (const auto& [locale, words] : {std::pair{Russian, russian}, std::pair{QLocale::c(), c}}) {
        const int rows = 300;
        StringGrid grid(8, rows + 1);
        for (int r = 1; r <= rows; ++r) {
            grid.setCell(0, r, QString::number(r));
            grid.setCell(3, r, words[random.bounded(words.size())]);
        }
        for (const int d : {1, -1}) {
            StringGrid expected = grid;
            referenceSort(expected, 3, d, locale);
            StringGrid sorted = grid;
            ASSERT_TRUE(sortGrid(sorted, 3, d, 0, locale).ok());
            ASSERT_EQ(allRows(sorted), allRows(expected)) << locale.name().toStdString() << " direction " << d;
        }
    }
    // A third decimal is refused whichever way the text is read.
    StringGrid grid = archive({{"1", "", "", "1,234"}, {"2", "", "", "1,2"}});
    EXPECT_FALSE(sortGrid(grid, 3, 1, 0, Russian).ok());
}
