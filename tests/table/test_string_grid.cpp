#include "table/archive_columns.h"
#include "table/string_grid.h"

#include <gtest/gtest.h>

#include <vector>

using namespace quilex;

TEST(StringGrid, CountsKeepCellsOutsideAndDropFixedRowsForGood)
{
    StringGrid grid;
    EXPECT_TRUE(grid.isEmptyTable());
    grid.setCell(7, 8, QStringLiteral("last"));
    grid.setCell(1, 1, QStringLiteral("Сталь"));
    EXPECT_TRUE(grid.isEmptyTable()); // only cell (0, 1) counts

    grid.setColCount(0);
    grid.setRowCount(1);
    EXPECT_EQ(grid.colCount(), 1);
    EXPECT_EQ(grid.fixedRows(), 0);
    EXPECT_EQ(grid.fixedCols(), 0);
    grid.setColCount(8);
    grid.setRowCount(9);
    EXPECT_EQ(grid.cell(7, 8), QStringLiteral("last"));
    EXPECT_EQ(grid.fixedRows(), 0); // growing again does not bring the header row back
    EXPECT_EQ(grid.cell(100, 100), QString());
    EXPECT_EQ(grid.cell(-1, 0), QString());

    // The selection now may reach row 0; it stays inside the non-fixed cells when they shrink.
    grid.setSelection({6, 7, 0, 0});
    EXPECT_EQ(grid.selection(), (GridRect{0, 0, 6, 7}));
    grid.setFixedRows(1);
    grid.setRowCount(4);
    EXPECT_EQ(grid.selection(), (GridRect{0, 1, 6, 3}));
}

TEST(StringGrid, RowsAreWrittenWithSpacesForEmptyTextsAndExchangedWithinColCount)
{
    StringGrid grid(4, 4);
    for (int c = 0; c < 6; ++c)
        grid.setCell(c, 1, QStringLiteral("old"));
    grid.setRow(1, {"a", "", "c"});
    EXPECT_EQ(grid.row(1), (QStringList{"a", " ", "c", ""}));
    EXPECT_EQ(grid.cell(4, 1), QStringLiteral("old")); // beyond ColCount: not part of the row
    grid.setRow(2, {"1", "2", "3", "4", "5"});
    EXPECT_EQ(grid.row(2), (QStringList{"1", "2", "3", "4"}));
    EXPECT_EQ(grid.cell(4, 2), QString());

    grid.exchangeRows(1, 3);
    EXPECT_EQ(grid.row(1), (QStringList{" ", " ", " ", " "}));
    EXPECT_EQ(grid.row(3), (QStringList{"a", " ", "c", " "}));
    EXPECT_EQ(grid.cell(4, 1), QStringLiteral("old"));
    EXPECT_EQ(grid.cell(4, 3), QString());
}

TEST(StringGrid, TellsChangesOnceForABatch)
{
    StringGrid grid;
    std::vector<GridChange> changes;
    grid.setChangeHandler([&](const GridChange& change) { changes.push_back(change); });
    grid.setCell(2, 3, QStringLiteral("x"));
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].area, (GridRect{2, 3, 2, 3}));

    changes.clear();
    {
        StringGrid::UpdateBatch batch(grid);
        grid.setCell(1, 5, QStringLiteral("a"));
        grid.setCell(4, 2, QStringLiteral("b"));
    }
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].kind, GridChange::Kind::Cells);
    EXPECT_EQ(changes[0].area, (GridRect{1, 2, 4, 5}));

    changes.clear();
    {
        StringGrid::UpdateBatch batch(grid);
        grid.setCell(1, 1, QStringLiteral("a"));
        grid.setRowCount(100);
    }
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].kind, GridChange::Kind::Structure);

    // Replacing the whole grid keeps its watcher; a copy does not take it along.
    changes.clear();
    grid = StringGrid(2, 2);
    StringGrid copy = grid;
    copy.setCell(0, 0, QStringLiteral("x"));
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].kind, GridChange::Kind::Structure);
}

// The cells live in one block that grows as writes need it; every cell keeps its place when the
// block grows wider (a write beyond the width, a wider ColCount) or taller, and rows exchanged
// after that still exchange only their ColCount cells.
TEST(StringGrid, CellsKeepTheirPlacesAsTheGridGrows)
{
    StringGrid grid(2, 3);
    const auto name = [](int c, int r) { return QStringLiteral("%1/%2").arg(c).arg(r); };
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 2; ++c)
            grid.setCell(c, r, name(c, r));
    grid.setCell(4, 1, name(4, 1)); // wider than the counts
    grid.setColCount(7);
    grid.setCell(6, 0, name(6, 0)); // wider again
    grid.setCell(0, 20, name(0, 20)); // taller, beyond RowCount
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 2; ++c)
            EXPECT_EQ(grid.cell(c, r), name(c, r));
    EXPECT_EQ(grid.cell(4, 1), name(4, 1));
    EXPECT_EQ(grid.cell(6, 0), name(6, 0));
    EXPECT_EQ(grid.cell(0, 20), name(0, 20));
    EXPECT_EQ(grid.cell(5, 1), QString());
    EXPECT_EQ(grid.cell(7, 0), QString());
    EXPECT_EQ(grid.cell(0, 21), QString());

    grid.setColCount(3);
    grid.exchangeRows(1, 30); // a row never written comes into being
    EXPECT_EQ(grid.row(30), (QStringList{"0/1", "1/1", " "}));
    EXPECT_EQ(grid.row(1), (QStringList{" ", " ", " "}));
    EXPECT_EQ(grid.cell(4, 1), name(4, 1)); // beyond ColCount: stays

    // A block of cells written at once is the same as writing each, told as one change.
    StringGrid each = grid;
    std::vector<GridChange> changes;
    grid.setChangeHandler([&](const GridChange& change) { changes.push_back(change); });
    grid.setCells(9, 2, [&](int c, int r) { return name(r, c); });
    for (int c = 0; c < 9; ++c)
        for (int r = 0; r < 2; ++r)
            each.setCell(c, r, name(r, c));
    for (int r = 0; r < 32; ++r)
        for (int c = 0; c < 10; ++c)
            ASSERT_EQ(grid.cell(c, r), each.cell(c, r)) << c << ", " << r;
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].kind, GridChange::Kind::Cells);
    EXPECT_EQ(changes[0].area, (GridRect{0, 0, 8, 1}));
}

TEST(ArchiveColumns, HeaderRowIsWrittenWhateverTheColumnCount)
{
    StringGrid grid(2, 2);
    writeArchiveHeader(grid, 1);
    EXPECT_EQ(grid.cell(7, 0), QStringLiteral("Time"));
    grid.setColCount(8);
    EXPECT_EQ(grid.row(0), archiveHeaderTexts(1));
    writeArchiveHeader(grid, 0);
    EXPECT_EQ(grid.row(0).first(3), (QStringList{"№", "Материал", "Скорость звука, м/с"}));
}
