#include "exchange/materials.h"

#include "table/material_grid.h"

#include "link/crc16.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

using namespace quilex;

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes bytesOf(std::span<const std::uint8_t> s)
{
    return Bytes(s.begin(), s.end());
}

// One record as the gauge sends it: prefix 12 34, "сталь" / "steel", 5920 m/s, marker, and a
// CRC the program does not look at on reading. Unused name bytes hold 0xEE.
const Bytes SteelRecord{
    0x12, 0x34,                                                             // prefix
    0x05, 0xF1, 0xF2, 0xE0, 0xEB, 0xFC, 0x00, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, // сталь
    0x05, 0x73, 0x74, 0x65, 0x65, 0x6C, 0x00, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, // steel
    0x20, 0x17, 0x00, 0x00,                                                 // 5920
    0xAA, 0xAA,                                                             // marker
    0x00, 0x00,                                                             // crc
};

MaterialTable tableOf(const Bytes& record)
{
    MaterialTable table{};
    for (std::size_t k = 0; k < MaterialCount; ++k)
        std::copy(record.begin(), record.end(), table.begin() + static_cast<std::ptrdiff_t>(36 * k));
    return table;
}

std::array<std::uint8_t, 13> field(std::initializer_list<std::uint8_t> head, std::uint8_t fill = 0xEE)
{
    std::array<std::uint8_t, 13> f;
    f.fill(fill);
    std::copy(head.begin(), head.end(), f.begin());
    return f;
}

// The materials of a table with the names given (as the program shows them before a read).
Materials materialsOf(const MaterialTable& table, const MaterialNames& names)
{
    Materials materials;
    for (std::size_t k = 0; k < MaterialCount; ++k)
        materials[k] = {names[2 * k], names[2 * k + 1], materialSoundSpeed(table, k)};
    return materials;
}

std::vector<MaterialGridCells> gridOf(const MaterialTable& table, const MaterialNames& names, std::uint8_t language)
{
    std::vector<MaterialGridCells> grid;
    for (const QStringList& row : materialGridRows(materialsOf(table, names), language))
        grid.push_back({row[1], row[2]});
    return grid;
}

// What a write does with the grid: read the materials back, and only when all of them are
// good, put them into the table.
MaterialGridReading prepareMaterialWrite(MaterialTable& table, const std::vector<MaterialGridCells>& grid,
                                         std::uint8_t language, const MaterialNames& names)
{
    MaterialGridReading reading = readMaterialGrid(grid, language, names);
    if (reading.ok())
        applyMaterials(table, reading.materials);
    return reading;
}

} // namespace

TEST(MaterialRecord, ReadsTheFieldsOfEachRecord)
{
    MaterialTable table = tableOf(SteelRecord);
    table[36 * 12 + 28] = 0xFF; // record 12: speed -1
    table[36 * 12 + 29] = 0xFF;
    table[36 * 12 + 30] = 0xFF;
    table[36 * 12 + 31] = 0xFF;
    table[36 * 12 + 34] = 0x52;
    table[36 * 12 + 35] = 0x41;

    EXPECT_EQ(materialPrefix(table, 0), (std::array<std::uint8_t, 2>{0x12, 0x34}));
    EXPECT_EQ(materialSoundSpeed(table, 0), 5920);
    EXPECT_EQ(materialSoundSpeed(table, 12), -1);
    EXPECT_EQ(materialMarker(table, 12), 0xAAAA);
    EXPECT_EQ(materialCrc(table, 12), 0x4152);

    // Record 13 does not exist: nothing is read from beyond the table.
    EXPECT_TRUE(materialRecord(table, 13).empty());
    EXPECT_TRUE(materialNameRu(table, 13).empty());
    EXPECT_EQ(materialSoundSpeed(table, 13), 0);
    const MaterialTable before = table;
    setMaterialSoundSpeed(table, 13, 1);
    sealMaterialRecord(table, 13);
    EXPECT_EQ(table, before);
}

TEST(NameField, DecodesByTheLengthByte)
{
    EXPECT_EQ(decodeNameField(materialNameRu(tableOf(SteelRecord), 0)), QStringLiteral("сталь"));
    EXPECT_EQ(decodeNameField(field({12, 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 'j', 'k', 'l'})), "abcdefghijkl");
    EXPECT_EQ(decodeNameField(field({13, 'a', 'b'}, 'x')), "");
    EXPECT_EQ(decodeNameField(field({0, 'a', 'b'})), "");
    EXPECT_EQ(decodeNameField(field({0x80, 'a', 'b'})), "");
    EXPECT_EQ(decodeNameField(field({0xFF, 'a', 'b'})), "");
    EXPECT_EQ(decodeNameField(field({5, 'a', 'b', 0, 'd', 'e'})), "ab");
    EXPECT_EQ(decodeNameField(field({3, 'a', 'b', 'c'}, 'x')), "abc"); // no zero needed
    EXPECT_EQ(decodeNameField(std::span<const std::uint8_t>(SteelRecord).first(12)), ""); // too short
}

TEST(NameField, EncodesCountCharactersAndOneZero)
{
    auto f = field({});
    encodeNameField(f, u"abcdefghijklmno");
    EXPECT_EQ(f, field({12, 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 'j', 'k', 'l'}));

    f = field({});
    encodeNameField(f, u"abc");
    EXPECT_EQ(f, field({3, 'a', 'b', 'c', 0})); // the rest keeps its 0xEE

    f = field({});
    encodeNameField(f, u"тефлон");
    EXPECT_EQ(f, field({6, 0xF2, 0xE5, 0xF4, 0xEB, 0xEE, 0xED, 0}));

    f = field({});
    encodeNameField(f, u"№ Ёё€");
    EXPECT_EQ(f, field({5, 0xB9, 0x20, 0xA8, 0xB8, 0x88, 0}));

    // No Windows-1251 form: one '?' per character, a character beyond 16 bits included.
    f = field({});
    encodeNameField(f, u"a中\U0001F600b");
    EXPECT_EQ(f, field({4, 'a', '?', '?', 'b', 0}));

    f = field({});
    encodeNameField(f, QStringView(u"ab\0cd", 5));
    EXPECT_EQ(f, field({2, 'a', 'b', 0}));
}

TEST(MaterialTable, DecodesNamesAndFindsBadMarkers)
{
    MaterialTable table = tableOf(SteelRecord);
    table[36 * 4 + 2] = 0x80; // record 4: Russian name empty
    table[36 * 4 + 32] = 0x00; // and a bad marker
    table[36 * 9 + 33] = 0xAB;
    const MaterialNames names = decodeMaterialNames(table);
    EXPECT_EQ(names[0], QStringLiteral("сталь"));
    EXPECT_EQ(names[1], "steel");
    EXPECT_EQ(names[8], "");   // bad marker or not, the names are decoded
    EXPECT_EQ(names[9], "steel");
    EXPECT_EQ(names[25], "steel");
    EXPECT_EQ(recordsWithBadMarker(table), (std::vector<std::size_t>{4, 9}));
    EXPECT_EQ(recordsWithBadMarker(MaterialTable{}).size(), 13u);
}

TEST(MaterialTable, GridRowsShowNumberNameAndSignedSpeed)
{
    MaterialTable table = tableOf(SteelRecord);
    table[36 * 2 + 28] = 0xFB; // -5
    table[36 * 2 + 29] = 0xFF;
    table[36 * 2 + 30] = 0xFF;
    table[36 * 2 + 31] = 0xFF;
    const auto& names = builtInMaterialNames();

    const auto ru = materialGridRows(materialsOf(table, names), 0);
    ASSERT_EQ(ru.size(), 13u);
    EXPECT_EQ(ru[0], (QStringList{"1", QStringLiteral("тефлон"), "5920"}));
    EXPECT_EQ(ru[2], (QStringList{"3", QStringLiteral("плексиглаз"), "-5"}));

    const auto en = materialGridRows(materialsOf(table, names), 1);
    EXPECT_EQ(en[3][1], "textolite");
}

TEST(MaterialWrite, RussianInterfaceChangesOnlyTheRussianNames)
{
    MaterialTable table = tableOf(SteelRecord);
    MaterialNames names = decodeMaterialNames(table);
    names[1] = "teflon"; // as if read from the gauge
    auto grid = gridOf(table, names, 0);
    grid[0] = {QStringLiteral("тефлон"), "-1"};

    const MaterialGridReading result = prepareMaterialWrite(table, grid, 0, names);
    ASSERT_TRUE(result.ok());
    EXPECT_EQ(result.badRow, 0);

    // Record 0 exactly as it goes to the gauge, CRC included.
    const Bytes expected{
        0x12, 0x34,
        0x06, 0xF2, 0xE5, 0xF4, 0xEB, 0xEE, 0xED, 0x00, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE,
        0x06, 0x74, 0x65, 0x66, 0x6C, 0x6F, 0x6E, 0x00, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE,
        0xFF, 0xFF, 0xFF, 0xFF,
        0xAA, 0xAA,
        0x52, 0x41,
    };
    EXPECT_EQ(bytesOf(materialRecord(table, 0)), expected);

    // Untouched materials are sent back as read, only with a true CRC now.
    Bytes steel = SteelRecord;
    sealBlock(steel.data(), steel.size());
    for (std::size_t k = 1; k < MaterialCount; ++k)
        EXPECT_EQ(bytesOf(materialRecord(table, k)), steel) << k;
}

TEST(MaterialWrite, EnglishInterfaceChangesOnlyTheEnglishNames)
{
    MaterialTable table = tableOf(SteelRecord);
    const MaterialNames& names = builtInMaterialNames(); // nothing read since start
    auto grid = gridOf(table, names, 1);
    grid[5].name = "iron";

    ASSERT_TRUE(prepareMaterialWrite(table, grid, 1, names).ok());
    EXPECT_EQ(decodeNameField(materialNameEn(table, 5)), "iron");
    EXPECT_EQ(decodeNameField(materialNameRu(table, 5)), QStringLiteral("сталь 1"));
    EXPECT_EQ(decodeNameField(materialNameEn(table, 6)), "steel 2");
    for (std::size_t k = 0; k < MaterialCount; ++k) {
        EXPECT_TRUE(blockCrcOk(materialRecord(table, k).data(), 36)) << k;
        EXPECT_EQ(materialPrefix(table, k), (std::array<std::uint8_t, 2>{0x12, 0x34}));
        EXPECT_EQ(materialMarker(table, k), 0xAAAA);
    }
}

TEST(MaterialWrite, BadSpeedStopsBeforeAnythingChanges)
{
    const auto& names = builtInMaterialNames();
    for (const char* cell : {"", " ", "12.5", "99999999999", "2147483648", "abc", "0x10", "1 000"}) {
        MaterialTable table = tableOf(SteelRecord);
        const MaterialTable before = table;
        auto grid = gridOf(table, names, 0);
        grid[0].name = "changed";
        grid[6].speed = cell;
        const MaterialGridReading result = prepareMaterialWrite(table, grid, 0, names);
        SCOPED_TRACE(cell);
        EXPECT_FALSE(result.ok());
        EXPECT_EQ(result.badRow, 7);
        EXPECT_TRUE(result.message(0).startsWith(QStringLiteral("Строка 7:"))) << result.message(0).toStdString();
        EXPECT_TRUE(result.message(1).startsWith("Row 7:")) << result.message(1).toStdString();
        EXPECT_EQ(table, before);
    }

    // The first bad row is named; a grid short of rows is bad from its first missing row.
    MaterialTable table = tableOf(SteelRecord);
    auto grid = gridOf(table, names, 0);
    grid[12].speed = "";
    grid[2].speed = "x";
    EXPECT_EQ(prepareMaterialWrite(table, grid, 0, names).badRow, 3);
    grid = gridOf(table, names, 0);
    grid.resize(10);
    EXPECT_EQ(prepareMaterialWrite(table, grid, 0, names).badRow, 11);
    EXPECT_EQ(table, tableOf(SteelRecord));
}

TEST(MaterialWrite, SpeedCellsTakeTheWholeSigned32BitRange)
{
    MaterialTable table = tableOf(SteelRecord);
    const auto& names = builtInMaterialNames();
    auto grid = gridOf(table, names, 0);
    grid[0].speed = "-2147483648";
    grid[1].speed = " 2147483647 ";
    ASSERT_TRUE(prepareMaterialWrite(table, grid, 0, names).ok());
    EXPECT_EQ(bytesOf(materialRecord(table, 0).subspan(28, 4)), (Bytes{0x00, 0x00, 0x00, 0x80}));
    EXPECT_EQ(bytesOf(materialRecord(table, 1).subspan(28, 4)), (Bytes{0xFF, 0xFF, 0xFF, 0x7F}));
}
