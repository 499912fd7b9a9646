// The clipboard texts of the archive table, written out by hand.

#include "table/archive_columns.h"
#include "table/clipboard_copy.h"

#include <gtest/gtest.h>

using namespace quilex;

namespace {

StringGrid russianTable()
{
    StringGrid grid;
    writeArchiveHeader(grid, 0);
    grid.setRowCount(3);
    grid.setRow(1, {"1", "чугун", "4600", "12,34", "3", "1", "07.05.2013", "09:03:00"});
    grid.setRow(2, {"2", "сталь 1", "5920", "1,50", "4", "1", "07.05.2013", "09:04:00"});
    return grid;
}

} // namespace

TEST(WholeTableCopy, TabsLineUpUnderLongHeaders)
{
    const QString text = wholeTableText(russianTable(), QStringLiteral("Дата"));
    const QStringList lines = text.split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.size(), 4); // three lines, each ended by CR LF
    EXPECT_TRUE(lines[3].isEmpty());
    // The header line: one more tab after the date header.
    EXPECT_EQ(lines[0], "№\tМатериал\tСкорость звука, м/с\tТолщина, мм\tНомер\tСерия\tДата\t\tВремя");
    // чугун (5 bytes) under an 8-byte header: two tabs; 4600 under 19 bytes: three;
    // 12,34 under 11: two; the rest one.
    EXPECT_EQ(lines[1], "1\tчугун\t\t4600\t\t\t12,34\t\t3\t1\t07.05.2013\t09:03:00");
    // "сталь 1" is 7 bytes, still shorter than "Материал".
    EXPECT_EQ(lines[2], "2\tсталь 1\t\t5920\t\t\t1,50\t\t4\t1\t07.05.2013\t09:04:00");
}

TEST(WholeTableCopy, EnglishHeadersAndCellsAsLongAsTheirHeader)
{
    StringGrid grid;
    writeArchiveHeader(grid, 1);
    grid.setRowCount(2);
    grid.setRow(1, {"1", "aluminium", "6300", "100,00", "1", "2", "01.02.2013", ""});
    grid.setCell(7, 1, QString()); // an empty last cell
    const QStringList lines = wholeTableText(grid, QStringLiteral("Date")).split(QStringLiteral("\r\n"));
    EXPECT_EQ(lines[0], "№\tMaterial\tSpeed Sound, m/s\tThickness, mm\tNumber\tSeries\tDate\t\tTime");
    // "aluminium" is longer than "Material": only its separator. The empty last cell leaves the
    // line ending in the tab before it.
    EXPECT_EQ(lines[1], "1\taluminium\t6300\t\t\t100,00\t\t1\t2\t01.02.2013\t");
}

TEST(BlockCopy, SelectedCellsWithSingleTabs)
{
    const StringGrid grid = russianTable();
    EXPECT_EQ(blockText(grid, {1, 1, 3, 2}), "чугун\t4600\t12,34\r\nсталь 1\t5920\t1,50\r\n");
    EXPECT_EQ(blockText(grid, {2, 1, 2, 1}), "4600\r\n");
}

TEST(CtrlC, ChoosesByTheSelection)
{
    EXPECT_TRUE(ctrlCCopiesWholeTable({3, 2, 3, 2}));
    EXPECT_FALSE(ctrlCCopiesWholeTable({3, 2, 4, 2}));
    EXPECT_FALSE(ctrlCCopiesWholeTable({3, 2, 3, 5}));
}
