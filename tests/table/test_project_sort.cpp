// Sorting a project file from its bytes: written out by hand for a small table, and the same
// bytes as reading the table, clicking its header and writing it again, for many tables.

#include "table/cell_values.h"
#include "table/project_file.h"
#include "table/project_sort.h"
#include "table/windows1251.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <random>

using namespace quilex;

namespace {

QByteArray bytesOf(std::initializer_list<unsigned char> bytes)
{
    return QByteArray(reinterpret_cast<const char*>(std::data(bytes)), qsizetype(bytes.size()));
}

// What the program does without the shortcut: read the table, one header click, write it.
QByteArray longWay(const QByteArray& file, int column, SortDirection before, const QLocale& locale)
{
    auto contents = parseProject(file, 1);
    if (!contents)
        return {};
    StringGrid grid;
    applyProject(std::move(*contents), grid);
    SortDirection direction = before;
    if (headerClick(grid, direction, true, column, 0, 1, locale).outcome == HeaderClickOutcome::Failed)
        return {};
    return encodeProject(grid);
}

StringGrid randomTable(std::mt19937& random, int rows, int cols)
{
    const QStringList materials{"сталь", "Сталь", "алюминий", "", " ", "чугун", "steel", "Steel"};
    StringGrid grid(cols, rows + 1);
    for (int c = 0; c < cols; ++c)
        grid.setCell(c, 0, QStringLiteral("столбец %1").arg(c));
    for (int r = 1; r <= rows; ++r) {
        for (int c = 0; c < cols; ++c) {
            QString text;
            switch (c) {
            case 1:
                text = materials[int(random() % materials.size())];
                break;
            case 3:
                text = QString::number(int(random() % 500)) + u',' + QString::number(10 + random() % 90);
                break;
            case 6:
                text = random() % 5 == 0 ? QString() : QStringLiteral("0%1.01.2024").arg(1 + random() % 9);
                break;
            default:
                text = QString::number(int(random() % 20) - 5); // many alike, some negative
            }
            grid.setCell(c, r, text);
        }
    }
    return grid;
}

} // namespace

// Two data rows sorted by the record number: the second row comes first, and its empty
// material cell is stored as a single space, as every sort stores empty data cells.
TEST(ProjectSort, BytesWrittenOutByHand)
{
    const QByteArray file = bytesOf({
        0x02, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, // ColCount 2, RowCount 3
        0x01, 0x00, 0x00, 0x00, 0xB9,                   // (0, 0) "№"
        0x01, 0x00, 0x00, 0x00, 0x32,                   // (0, 1) "2"
        0x01, 0x00, 0x00, 0x00, 0x31,                   // (0, 2) "1"
        0x01, 0x00, 0x00, 0x00, 0xCC,                   // (1, 0) "М"
        0x00, 0x00, 0x00, 0x00,                         // (1, 1) empty
        0x02, 0x00, 0x00, 0x00, 0xE0, 0xE1,             // (1, 2) "аб"
        0xAA, 0xBB,                                     // after the last cell: not part of the table
    });
    const QByteArray sorted = bytesOf({
        0x02, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, //
        0x01, 0x00, 0x00, 0x00, 0xB9,                   // (0, 0) "№"
        0x01, 0x00, 0x00, 0x00, 0x31,                   // (0, 1) "1"
        0x01, 0x00, 0x00, 0x00, 0x32,                   // (0, 2) "2"
        0x01, 0x00, 0x00, 0x00, 0xCC,                   // (1, 0) "М"
        0x02, 0x00, 0x00, 0x00, 0xE0, 0xE1,             // (1, 1) "аб"
        0x01, 0x00, 0x00, 0x00, 0x20,                   // (1, 2) " "
    });
    EXPECT_EQ(sortedProjectBytes(file, 0, 0, 1, QLocale::c()), sorted);
    // Descending, the order stays, yet the empty cell still becomes a space.
    QByteArray kept = file.left(file.size() - 2);
    kept.replace(28, 4, bytesOf({0x01, 0x00, 0x00, 0x00, 0x20}));
    EXPECT_EQ(sortedProjectBytes(file, 0, 1, 1, QLocale::c()), kept);
}

TEST(ProjectSort, SameBytesAsReadingSortingAndWritingTheTable)
{
    std::mt19937 random(11);
    const QLocale russian(QLocale::Russian);
    for (const auto& [rows, cols] : {std::pair{0, 8}, {1, 8}, {2, 3}, {300, 8}, {300, 2}, {1000, 7}}) {
        const QByteArray file = encodeProject(randomTable(random, rows, cols));
        for (int column = 0; column < cols; ++column) {
            for (SortDirection before : {0, 1, -1}) {
                SCOPED_TRACE(testing::Message() << rows << " rows, column " << column << ", before " << before);
                const QByteArray expected = longWay(file, column, before, russian);
                ASSERT_FALSE(expected.isEmpty());
                EXPECT_EQ(sortedProjectBytes(file, column, before, 1, russian), expected);
            }
        }
    }
    // A table of one row has no header row to click; one of one column still sorts.
    for (const auto& [rows, cols] : {std::pair{1, 1}, {6, 1}}) {
        StringGrid grid(cols, rows);
        for (int r = 0; r < rows; ++r)
            grid.setCell(0, r, QString::number((r * 7) % 5));
        const QByteArray file = encodeProject(grid);
        EXPECT_EQ(sortedProjectBytes(file, 0, 0, 1, QLocale::c()), longWay(file, 0, 0, QLocale::c()));
    }
}

// Whatever the shortcut cannot promise is left to the long way, which has the message.
TEST(ProjectSort, LeavesToTheLongWayWhatItCannotPromise)
{
    StringGrid grid(4, 3);
    grid.setRow(0, {"№", "Материал", "Скорость", "Толщина"});
    grid.setRow(1, {"1", "сталь", "5920", "1,00"});
    grid.setRow(2, {"2", "чугун", "NAN", "2,00"});
    const QByteArray file = encodeProject(grid);
    const QLocale russian(QLocale::Russian);
    ASSERT_TRUE(sortedProjectBytes(file, 3, 0, 0, russian));
    EXPECT_FALSE(sortedProjectBytes(file, 2, 0, 0, russian)); // "NAN" is no speed
    EXPECT_FALSE(sortedProjectBytes(file, 4, 0, 0, russian)); // no such column
    EXPECT_FALSE(sortedProjectBytes(file, -1, 0, 0, russian));
    EXPECT_FALSE(sortedProjectBytes(file.left(file.size() - 1), 3, 0, 0, russian)); // cut short
    EXPECT_FALSE(sortedProjectBytes(QByteArray(), 3, 0, 0, russian));

    // A zero byte ends a text when it is read: copying the bytes would keep what follows it.
    QByteArray zero = file;
    const qsizetype at = zero.indexOf("5920");
    zero[at + 1] = '\0';
    EXPECT_FALSE(sortedProjectBytes(zero, 3, 0, 0, russian));
    ASSERT_FALSE(longWay(zero, 3, 0, russian).isEmpty());

    // Counts of 0 give the table a row or column that the file does not hold.
    const QByteArray noRows = bytesOf({0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00});
    EXPECT_FALSE(sortedProjectBytes(noRows, 0, 0, 0, russian));
}

// The sort reads number keys straight from the cells' bytes. Whatever it reads that way is the
// key the cell's text gives, everyday and odd cells alike, in locales with their own minus
// sign and decimal separator too.
TEST(ProjectSort, KeysReadFromBytesAreTheKeysOfTheirTexts)
{
    std::vector<QByteArray> cells = {
        "12,50", "12.5", "0,05", "007", "-0,00", "-3", "12,500", "1,5", "1,", ",5", "-", "--1", "+1", "NAN",
        " ", "", " 1", "1 ", "1e2", "1,5e1", "1.2.3", "1,2,3", "12345678", "1234567,89", "9999999,99",
        "-9999999,99", "2147483647", "2147483648", "-2147483648", "-2147483649", "0000000000000012,5",
        "\xB9", "1\xA0" "5", "\x96" "5", "\xB1" "1"};
    QRandomGenerator random(17);
    const QByteArray alphabet("0123456789,.-+ eE\xA0\x96");
    for (int i = 0; i < 3000; ++i) {
        QByteArray cell;
        for (int n = int(random.bounded(12)); n > 0; --n)
            cell += alphabet[int(random.bounded(int(alphabet.size())))];
        cells.push_back(cell);
    }
    const QLocale locales[] = {QLocale::c(), QLocale(QLocale::Russian), QLocale(QLocale::English, QLocale::UnitedStates),
                               QLocale(QLocale::Swedish), QLocale(QLocale::Arabic, QLocale::Egypt),
                               QLocale(QLocale::Persian)};
    for (const QLocale& locale : locales) {
        const CellReader reader(locale);
        for (const QByteArray& cell : cells) {
            SCOPED_TRACE(locale.name().toStdString() + " \"" + cell.toStdString() + "\"");
            const QString text = windows1251::decode(cell);
            EXPECT_EQ(CellReader::wholeNumberOfBytes(cell), CellReader::wholeNumber(text));
            if (const auto plain = CellReader::plainHundredths(cell)) {
                EXPECT_EQ(plain, reader.hundredths(text));
            }
        }
    }
    // The everyday forms are the ones read without a text.
    for (const char* everyday : {"12,50", "0.5", "-0,00", "007", "9999999,99", "1,5"})
        EXPECT_TRUE(CellReader::plainHundredths(everyday)) << everyday;
    EXPECT_EQ(CellReader::plainHundredths("-12,5"), -1250);
}

// The writer stops at a zero byte in a text and the codec leaves no other byte out, so a zero
// byte anywhere in a text leaves the file to the long way: at a long text's start, middle and
// end, and in the file's very last byte.
TEST(ProjectSort, ZeroBytesAreFoundWhereverTheyLie)
{
    StringGrid grid(2, 3);
    grid.setRow(0, {"№", "Материал"});
    grid.setRow(1, {"2", "нержавеющая сталь марки 12Х18Н10Т"});
    grid.setRow(2, {"1", "медь"});
    QByteArray file = encodeProject(grid);
    ASSERT_TRUE(sortedProjectBytes(file, 0, 0, 1, QLocale::c()));
    const auto located = locateCells(file, 1);
    ASSERT_TRUE(located.ok());
    for (const CellSpan& span : located.value().spans) {
        ASSERT_GT(span.length, 0u);
        for (const std::uint32_t at : {0u, span.length / 2, span.length - 1}) {
            QByteArray zero = file;
            zero[span.offset + at] = '\0';
            EXPECT_FALSE(sortedProjectBytes(zero, 0, 0, 1, QLocale::c())) << span.offset + at;
        }
    }
}

// The sorted file goes over in pieces, a text longer than a piece by itself.
TEST(ProjectSort, LargeTablesAndLongTextsGoOverInPieces)
{
    std::mt19937 random(5);
    StringGrid grid = randomTable(random, 30000, 8);
    grid.setCell(1, 17, QString(300000, QChar(u'ж')));
    const QByteArray file = encodeProject(grid);
    for (const int column : {0, 1, 3}) {
        const QByteArray expected = longWay(file, column, 0, QLocale::c());
        ASSERT_FALSE(expected.isEmpty());
        EXPECT_EQ(sortedProjectBytes(file, column, 0, 1, QLocale::c()), expected) << column;
    }
}

// The bytes are a file's mapping, which another program may write to between the sort and the
// writing: a length that no longer fits is refused, never read past, and a sink that refuses a
// piece stops the writing.
TEST(ProjectSort, BytesThatChangeAfterTheSortAreRefusedNotReadPast)
{
    std::mt19937 random(9);
    QByteArray file = encodeProject(randomTable(random, 200, 8));
    const auto sort = ProjectSort::prepare(file, 3, 0, 1, QLocale::c());
    ASSERT_TRUE(sort);
    int pieces = 0;
    EXPECT_FALSE(sort->write(
                         [&pieces](QByteArrayView) {
                             ++pieces;
                             return false;
                         },
                         1)
                     .ok());
    EXPECT_EQ(pieces, 1);

    const auto located = locateCells(file, 1);
    ASSERT_TRUE(located.ok());
    const CellSpan last = located.value().spans.back();
    file[last.offset - 4] = char(0x7F); // the last cell's length, now far past the file's end
    const auto changed = sort->write([](QByteArrayView) { return true; }, 1);
    ASSERT_FALSE(changed.ok());
    EXPECT_TRUE(changed.error().contains(QStringLiteral("changed"))) << qPrintable(changed.error());
}
