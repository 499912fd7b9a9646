// The values kept beside the archive table's texts: made from the gauge's records they equal
// what reading the texts gives; read digit by digit a date is what the locale reads; a sort by
// the values moves the rows as a sort by the texts does; the workbook types a cell from them as
// it types the text; and each row is read at most once per change.

#include "export/spreadsheet_export.h"
#include "table/archive_columns.h"
#include "table/archive_rows.h"
#include "table/grid_sort.h"
#include "table/table_values.h"

#include <QLocale>
#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

using namespace quilex;

namespace {

std::vector<QLocale> locales()
{
    return {QLocale::c(), QLocale(QLocale::Russian, QLocale::Russia), QLocale(QLocale::English, QLocale::UnitedStates),
            QLocale(QLocale::German, QLocale::Germany), QLocale(QLocale::English, QLocale::UnitedKingdom)};
}

void expectSameValues(const ArchiveValues& a, const ArchiveValues& b, const QString& where)
{
    SCOPED_TRACE(where.toStdString());
    EXPECT_EQ(a.row, b.row);
    EXPECT_EQ(a.record, b.record);
    EXPECT_EQ(a.material, b.material);
    EXPECT_EQ(a.recordNumber, b.recordNumber);
    EXPECT_EQ(a.soundSpeed, b.soundSpeed);
    EXPECT_EQ(a.thickness, b.thickness);
    EXPECT_EQ(a.number, b.number);
    EXPECT_EQ(a.series, b.series);
    EXPECT_EQ(a.date, b.date);
    EXPECT_EQ(a.secondsOfDay, b.secondsOfDay);
    EXPECT_EQ(a.plainWholeNumbers, b.plainWholeNumbers);
    EXPECT_EQ(a.thicknessDecimals, b.thicknessDecimals);
}

// Cells of every kind a table from disk may hold, archive forms and odd ones alike.
QString oddCell(QRandomGenerator& random, int column)
{
    static const char* const any[] = {"", " ", "NAN", "x", "+5", "-0", "007", "12,5", "1e3", "12:00:00"};
    static const char* const byColumn[8][6] = {
        {"1", "17", "2048", "-3", "0", "99"},
        {"сталь 1", "тефлон", "5", "material 4", "NAN", "Ab"},
        {"5920", "-5", "05920", "2147483647", "2147483648", "0"},
        {"12,50", "12.50", "0,00", "-0,00", "12,500", "99999999,99"},
        {"0", "42", "255", "-1", "010", "7"},
        {"1", "3", "0", "255", "1,5", "-2"},
        {"07.05.2013", "29.02.2012", "5/7/13", "7 May 2013", "31.02.2013", "07.05.13"},
        {"09:03:00", "23:59:59", "24:00:00", "9:03:00", "00:00:00", "12:60:00"},
    };
    if (random.bounded(4) == 0)
        return QString::fromUtf8(any[random.bounded(int(std::size(any)))]);
    return QString::fromUtf8(byColumn[column][random.bounded(6)]);
}

StringGrid oddTable(QRandomGenerator& random, int rows)
{
    StringGrid grid(8, rows + 1);
    writeArchiveHeader(grid, 0);
    for (int r = 1; r <= rows; ++r)
        for (int c = 0; c < 8; ++c)
            grid.setCell(c, r, oddCell(random, c));
    return grid;
}

ArchiveRecord randomRecord(QRandomGenerator& random)
{
    ArchiveRecord r;
    r.Second = std::uint8_t(random.bounded(62));
    r.Minute = std::uint8_t(random.bounded(61));
    r.Hour = std::uint8_t(random.bounded(25));
    r.Day = std::uint8_t(random.bounded(33));
    r.Month = std::uint8_t(random.bounded(14));
    r.Year = std::uint8_t(random.bounded(256));
    r.Number = std::uint8_t(random.bounded(256));
    r.Series = std::uint8_t(random.bounded(256));
    r.Material = std::uint16_t(random.bounded(16));
    r.SoundSpeed = std::uint16_t(random.bounded(65536));
    switch (random.bounded(6)) {
    case 0: { // any bit pattern: NaNs, infinities, huge and tiny values
        const std::uint32_t bits = random.generate();
        std::memcpy(&r.Thickness, &bits, sizeof bits);
        break;
    }
    case 1: // halves of a hundredth, which round away from zero
        r.Thickness = float(random.bounded(20000) - 10000) / 100.0f + 0.005f;
        break;
    case 2:
        r.Thickness = float(random.generateDouble() * 0.02 - 0.01);
        break;
    default:
        r.Thickness = float(random.generateDouble() * 60.0);
    }
    return r;
}

} // namespace

TEST(TableValues, ValuesMadeFromRecordsAreWhatTheTextsReadAs)
{
    QRandomGenerator random(20261210);
    std::vector<ArchiveRecord> records;
    for (int i = 0; i < 3000; ++i)
        records.push_back(randomRecord(random));
    for (const QLocale& locale : locales()) {
        for (std::uint8_t language : {std::uint8_t(0), std::uint8_t(1)}) {
            StringGrid table;
            writeArchiveHeader(table, language);
            TableValues values(table, locale);
            putArchiveDownload(table, &values, records, builtInMaterialNames(), language, locale);
            EXPECT_EQ(values.rowsRead(), 0u); // nothing read from the texts
            const ArchiveRowReader reader(locale);
            for (int r = 1; r < table.rowCount(); ++r)
                expectSameValues(values.row(r), reader.row(table, r),
                                 locale.name() + " row " + QString::number(r) + " " + table.row(r).join('|'));
        }
    }
}

TEST(TableValues, DatesAreReadDigitByDigitAsTheLocaleReadsThem)
{
    QRandomGenerator random(7);
    for (const QLocale& locale : locales()) {
        const CellReader reader(locale);
        std::vector<QString> texts = {"", "NAN", "1", "07.05.2013 ", " 07.05.2013", "0123", "00.00.0000", "29.02.2100"};
        for (int i = 0; i < 3000; ++i) {
            const QDate date(random.bounded(1, 10000), random.bounded(1, 13), random.bounded(1, 29));
            QString text = locale.toString(date, locale.dateFormat(QLocale::ShortFormat));
            texts.push_back(text);
            // The same text spoiled: a digit changed, a zero added or taken away, cut short.
            QString spoiled = text;
            const qsizetype at = random.bounded(int(spoiled.size()));
            switch (random.bounded(4)) {
            case 0: spoiled[at] = QChar(u'0' + random.bounded(10)); break;
            case 1: spoiled.insert(at, u'0'); break;
            case 2: spoiled.remove(at, 1); break;
            default: spoiled.truncate(at);
            }
            texts.push_back(spoiled);
        }
        for (const char* text : {"31.12.2013", "1.1.2013", "01.01.13", "12/31/13", "02/03/13", "13/1/13",
                                 "2/29/12", "2/29/13", "7 May 2013", "07 May 2013", "7 Mayo 2013", "7 may 2013"})
            texts.push_back(QString::fromLatin1(text));
        for (const QString& text : texts)
            EXPECT_EQ(reader.date(text), reader.dateThroughLocale(text))
                << locale.name().toStdString() << " \"" << text.toStdString() << "\"";
    }
}

TEST(TableValues, ASortByTheValuesMovesTheRowsAsASortByTheTexts)
{
    QRandomGenerator random(42);
    for (const QLocale& locale : {QLocale::c(), QLocale(QLocale::Russian, QLocale::Russia)}) {
        // A table that every number column can sort (only archive forms), and one full of odd cells.
        StringGrid plain(8, 401);
        writeArchiveHeader(plain, 0);
        for (int r = 1; r <= 400; ++r)
            plain.setRow(r, {QString::number(random.bounded(50)), random.bounded(2) ? "сталь 1" : "тефлон",
                             QString::number(5000 + random.bounded(5)),
                             locale.toString(random.bounded(3000) / 100.0, 'f', 2).remove(locale.groupSeparator()),
                             QString::number(random.bounded(9)), QString::number(random.bounded(3)),
                             random.bounded(5) ? locale.toString(QDate(2013, 5, 1 + random.bounded(3)),
                                                                 locale.dateFormat(QLocale::ShortFormat))
                                               : QStringLiteral("NAN"),
                             random.bounded(5) ? QStringLiteral("09:0%1:00").arg(random.bounded(3)) : QStringLiteral("NAN")});
        const StringGrid odd = oddTable(random, 400);
        for (const StringGrid* table : std::initializer_list<const StringGrid*>{&plain, &odd}) {
            for (int column = 0; column < 8; ++column) {
                for (SortDirection direction : {1, -1}) {
                    StringGrid byTexts = *table;
                    StringGrid byValues = *table;
                    TableValues values(byValues, locale);
                    (void)values.dataRows();
                    const auto textError = sortGrid(byTexts, column, direction, 1, locale);
                    const auto valueError = sortGrid(byValues, column, direction, 1, locale, &values);
                    SCOPED_TRACE(::testing::Message() << locale.name().toStdString() << " column " << column
                                                      << " direction " << direction);
                    EXPECT_EQ(textError.ok(), valueError.ok());
                    if (!textError.ok() && !valueError.ok()) {
                        EXPECT_EQ(textError.error(), valueError.error());
                    }
                    for (int r = 0; r < byTexts.rowCount(); ++r)
                        ASSERT_EQ(byTexts.row(r), byValues.row(r)) << "row " << r;
                    // The values went with their rows.
                    const ArchiveRowReader reader(locale);
                    for (int r = 1; r < byValues.rowCount(); ++r)
                        expectSameValues(values.row(r), reader.row(byValues, r), "after the sort, row " + QString::number(r));
                }
            }
        }
    }
}

TEST(TableValues, TheWorkbookTypesACellFromItsValuesAsFromItsText)
{
    QRandomGenerator random(99);
    for (const QLocale& locale : locales()) {
        const StringGrid table = oddTable(random, 600);
        const ArchiveRowReader reader(locale);
        int settled = 0;
        for (int r = 0; r < table.rowCount(); ++r) {
            const ArchiveValues row = reader.row(table, r);
            for (int c = 0; c < 8; ++c) {
                const auto fromValues = spreadsheetCell(row, c, locale);
                if (!fromValues)
                    continue;
                ++settled;
                const SpreadsheetCell fromText = spreadsheetCell(table.cell(c, r), locale);
                SCOPED_TRACE(locale.name().toStdString() + " \"" + table.cell(c, r).toStdString() + "\"");
                EXPECT_EQ(int(fromValues->kind), int(fromText.kind));
                EXPECT_EQ(fromValues->value, fromText.value); // the very same double
                EXPECT_EQ(fromValues->numberFormat.isEmpty() ? QStringLiteral("0") : fromValues->numberFormat,
                          fromText.numberFormat);
            }
        }
        EXPECT_GT(settled, 1000) << locale.name().toStdString();
    }
}

TEST(TableValues, EachRowIsReadOncePerChange)
{
    QRandomGenerator random(3);
    StringGrid table = oddTable(random, 100000);
    TableValues values(table, QLocale(QLocale::Russian, QLocale::Russia));
    EXPECT_EQ(values.rowsRead(), 0u); // nothing before it is asked for
    EXPECT_EQ(values.dataRows().size(), 100000u);
    EXPECT_EQ(values.rowsRead(), 100000u);
    (void)values.dataRows();
    for (int r = 1; r < table.rowCount(); r += 7)
        (void)values.row(r);
    EXPECT_EQ(values.rowsRead(), 100000u);

    // A sort moves the values with the rows; a language switch writes only the header row.
    ASSERT_TRUE(sortGrid(table, archive_column::Material, 1, 0, QLocale(QLocale::Russian, QLocale::Russia), &values).ok());
    writeArchiveHeader(table, 1);
    (void)values.dataRows();
    EXPECT_EQ(values.rowsRead(), 100000u);

    // One changed cell is one row read again; a table taken whole is read anew.
    table.setCell(archive_column::Thickness, 5, QStringLiteral("1,25"));
    EXPECT_EQ(values.row(5).thickness, 125);
    EXPECT_EQ(values.rowsRead(), 100001u);
    table = oddTable(random, 10);
    EXPECT_EQ(values.dataRows().size(), 10u);
    EXPECT_EQ(values.rowsRead(), 100011u);
}
