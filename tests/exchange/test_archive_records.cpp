#include "exchange/archive_records.h"

#include "table/archive_rows.h"

#include <gtest/gtest.h>

#include <QDate>

#include <array>
#include <cmath>
#include <limits>
#include <vector>

using namespace quilex;

namespace {

const QLocale Russian(QLocale::Russian, QLocale::Russia);
const QLocale English(QLocale::English, QLocale::UnitedStates);

// 7 May 2013 09:03:00, number 42, series 3, material 3, 5920 m/s, 12.5 mm. The bytes the
// program does not read hold 0xEE so that reading them would show.
constexpr std::array<std::uint8_t, 20> DriverRecord{
    0x00, 0x03, 0x09, 0x07, 0x05, 0x0D, 0x2A, 0x03, // s m h D M Y number series
    0x03, 0x00,                                     // material
    0xEE, 0xEE,
    0x20, 0x17,                                     // 5920
    0xEE, 0xEE,
    0x00, 0x00, 0x48, 0x41,                         // 12.5f
};

// Same moment, material 12 with 0x01 in the unread byte after it, 65535 m/s, 1234.5 mm.
constexpr std::array<std::uint8_t, 20> LibUsbRecord{
    0x00, 0x03, 0x09, 0x07, 0x05, 0x0D, 0x2A, 0x03,
    0x0C,                   // material
    0x01,                   // not read
    0xFF, 0xFF,             // 65535
    0x00, 0x50, 0x9A, 0x44, // 1234.5f
    0xAA, 0xAA,             // marker
    0x34, 0x12,             // crc
};

ArchiveRecord sampleRecord()
{
    return *decodeArchiveRecord(DriverRecord, LinkKind::DriverPipes);
}

} // namespace

TEST(ArchiveRecord, DecodesTheDriverLayout)
{
    const auto r = decodeArchiveRecord(DriverRecord, LinkKind::DriverPipes);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->Second, 0);
    EXPECT_EQ(r->Minute, 3);
    EXPECT_EQ(r->Hour, 9);
    EXPECT_EQ(r->Day, 7);
    EXPECT_EQ(r->Month, 5);
    EXPECT_EQ(r->Year, 13);
    EXPECT_EQ(r->Number, 42);
    EXPECT_EQ(r->Series, 3);
    EXPECT_EQ(r->Material, 3);
    EXPECT_EQ(r->SoundSpeed, 5920);
    EXPECT_FLOAT_EQ(r->Thickness, 12.5f);
}

TEST(ArchiveRecord, DecodesTheLibUsbLayout)
{
    const auto r = decodeArchiveRecord(LibUsbRecord, LinkKind::LibUsb);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->Hour, 9);
    EXPECT_EQ(r->Series, 3);
    EXPECT_EQ(r->Material, 12); // one byte: the 0x01 after it is not part of it
    EXPECT_EQ(r->SoundSpeed, 0xFFFF);
    EXPECT_FLOAT_EQ(r->Thickness, 1234.5f);
    EXPECT_EQ(r->Marker, 0xAAAA);
    EXPECT_EQ(r->Crc, 0x1234);

    // Read with the driver layout the same bytes give a 16-bit material past the table.
    const auto asDriver = decodeArchiveRecord(LibUsbRecord, LinkKind::DriverPipes);
    EXPECT_EQ(asDriver->Material, 0x010C);
}

TEST(ArchiveRecord, ShortBufferGivesNothing)
{
    EXPECT_FALSE(decodeArchiveRecord(std::span(DriverRecord).first(19), LinkKind::DriverPipes));
    EXPECT_FALSE(decodeArchiveRecord({}, LinkKind::LibUsb));
}

TEST(ArchiveBitmap, CountsSetBitsOfTheSixtyFourWords)
{
    std::vector<std::uint8_t> header(260, 0xFF);
    header[256] = 0xAA; // marker and CRC after the map must not count
    header[257] = 0xAA;
    EXPECT_EQ(countArchiveRecords(header), 2048u);

    std::fill(header.begin(), header.begin() + 256, 0);
    EXPECT_EQ(countArchiveRecords(header), 0u);

    header[255] = 0x80; // bit 31 of word 63
    EXPECT_EQ(countArchiveRecords(header), 1u);

    header[0] = 0x05; // bits 0 and 2 of word 0
    header[7] = 0x01; // bit 24 of word 1
    EXPECT_EQ(countArchiveRecords(header), 4u);

    // A truncated block counts only the words it holds.
    EXPECT_EQ(countArchiveRecords(std::span(header).first(7)), 2u);
    EXPECT_EQ(countArchiveRecords({}), 0u);
}

TEST(ArchiveRow, ExampleRecordInRussianAndEnglish)
{
    const auto& names = builtInMaterialNames();
    const QStringList ru = archiveRowTexts(0, sampleRecord(), names, 0, Russian);
    EXPECT_EQ(ru, (QStringList{"1", QStringLiteral("текстолит"), "5920", "12,50", "42", "3", "07.05.2013", "09:03:00"}));

    const QStringList en = archiveRowTexts(4, sampleRecord(), names, 1, English);
    ASSERT_EQ(en.size(), 8);
    EXPECT_EQ(en[0], "5");
    EXPECT_EQ(en[1], "textolite");
    EXPECT_EQ(en[3], "12.50");
    EXPECT_EQ(en[6], English.toString(QDate(2013, 5, 7), QLocale::ShortFormat));
    EXPECT_EQ(en[7], "09:03:00");
}

TEST(ArchiveRow, ThicknessHasTwoDecimalsAndNoGroupSeparator)
{
    EXPECT_EQ(thicknessText(12.5f, Russian), "12,50");
    EXPECT_EQ(thicknessText(12.5f, English), "12.50");
    EXPECT_EQ(thicknessText(0.004f, English), "0.00");
    EXPECT_EQ(thicknessText(0.006f, English), "0.01");
    EXPECT_EQ(thicknessText(1234.5f, Russian), "1234,50");
    EXPECT_EQ(thicknessText(-1.5f, English), "-1.50");
    EXPECT_EQ(thicknessText(-0.004f, Russian), "0,00");
}

TEST(ArchiveRow, ValuesThatCannotBeShownReadNan)
{
    const auto& names = builtInMaterialNames();
    EXPECT_EQ(thicknessText(std::numeric_limits<float>::quiet_NaN(), Russian), "NAN");
    EXPECT_EQ(thicknessText(std::numeric_limits<float>::infinity(), Russian), "NAN");
    EXPECT_EQ(thicknessText(-std::numeric_limits<float>::infinity(), Russian), "NAN");

    ArchiveRecord r = sampleRecord();
    r.Material = 12;
    EXPECT_EQ(archiveMaterialText(r, names, 1), "material 4");
    r.Material = 13;
    EXPECT_EQ(archiveMaterialText(r, names, 1), "NAN");
    r.Material = 0xFFFF;
    EXPECT_EQ(archiveMaterialText(r, names, 0), "NAN");

    // The rest of the row is written as usual.
    const QStringList row = archiveRowTexts(0, r, names, 0, Russian);
    EXPECT_EQ(row[1], "NAN");
    EXPECT_EQ(row[2], "5920");
    EXPECT_EQ(row[6], "07.05.2013");
}

TEST(ArchiveRow, InvalidDateOrTimeBlanksBothCells)
{
    struct Case {
        std::uint8_t year, month, day, hour, minute, second;
    };
    const Case bad[] = {
        {13, 0, 7, 9, 3, 0},  {13, 13, 7, 9, 3, 0}, {13, 5, 32, 9, 3, 0}, {13, 5, 0, 9, 3, 0},
        {13, 2, 30, 9, 3, 0}, {13, 2, 29, 9, 3, 0}, {13, 5, 7, 24, 3, 0}, {13, 5, 7, 9, 60, 0},
        {13, 5, 7, 9, 3, 60},
    };
    for (const Case& c : bad) {
        ArchiveRecord r = sampleRecord();
        r.Year = c.year;
        r.Month = c.month;
        r.Day = c.day;
        r.Hour = c.hour;
        r.Minute = c.minute;
        r.Second = c.second;
        const QStringList row = archiveRowTexts(0, r, builtInMaterialNames(), 0, Russian);
        SCOPED_TRACE(testing::Message() << int(c.month) << "/" << int(c.day) << " " << int(c.hour) << ":"
                                        << int(c.minute) << ":" << int(c.second));
        EXPECT_EQ(row[6], "NAN");
        EXPECT_EQ(row[7], "NAN");
        EXPECT_EQ(row[3], "12,50");
    }

    ArchiveRecord leap = sampleRecord();
    leap.Year = 12;
    leap.Month = 2;
    leap.Day = 29;
    leap.Hour = 23;
    leap.Minute = 59;
    leap.Second = 59;
    EXPECT_EQ(archiveDateText(leap, Russian), "29.02.2012");
    EXPECT_EQ(archiveTimeText(leap), "23:59:59");
}

TEST(ArchiveRows, BuildsOneRowPerWholeRecord)
{
    std::vector<std::uint8_t> buffer;
    for (int i = 0; i < 3; ++i)
        buffer.insert(buffer.end(), LibUsbRecord.begin(), LibUsbRecord.end());
    buffer[20 + 8] = 13; // second record: no such material

    const auto rows = archiveRows(decodeArchiveRecords(buffer, 3, LinkKind::LibUsb), builtInMaterialNames(), 0, Russian);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0], (QStringList{"1", QStringLiteral("материал 4"), "65535", "1234,50", "42", "3", "07.05.2013", "09:03:00"}));
    EXPECT_EQ(rows[1][0], "2");
    EXPECT_EQ(rows[1][1], "NAN");
    EXPECT_EQ(rows[2][0], "3");

    // A count larger than the buffer never reads past it.
    buffer.resize(59);
    EXPECT_EQ(archiveRows(decodeArchiveRecords(buffer, 2048, LinkKind::LibUsb), builtInMaterialNames(), 0, Russian).size(), 2u);

    // A full archive.
    buffer.clear();
    for (int i = 0; i < 2048; ++i)
        buffer.insert(buffer.end(), DriverRecord.begin(), DriverRecord.end());
    const auto full = archiveRows(decodeArchiveRecords(buffer, 2048, LinkKind::DriverPipes), builtInMaterialNames(), 1, English);
    ASSERT_EQ(full.size(), 2048u);
    EXPECT_EQ(full[2047][0], "2048");
    EXPECT_EQ(full[2047][1], "textolite");
}
