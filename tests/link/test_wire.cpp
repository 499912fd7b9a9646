// Checksum, block trailer, commands and reply caps, against bytes written out by hand.

#include "link/byte_order.h"
#include "link/commands.h"
#include "link/crc16.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <vector>

using namespace quilex;

namespace {
std::vector<std::uint8_t> ascii(const char* s)
{
    return std::vector<std::uint8_t>(s, s + std::strlen(s));
}
} // namespace

TEST(Crc16, KnownVectors)
{
    const auto digits = ascii("123456789");
    EXPECT_EQ(Crc16(digits.data(), digits.size()), 0xBB3Du);
    const auto abc = ascii("abc");
    EXPECT_EQ(Crc16(abc.data(), abc.size()), 0x9738u);
    EXPECT_EQ(Crc16(nullptr, 0), 0u);
    const std::uint8_t one = 0x01;
    EXPECT_EQ(Crc16(&one, 1), 0xC0C1u); // the table's second entry
}

TEST(Crc16, AppendedCrcMakesTheWholeBlockZero)
{
    const std::uint8_t sealedAbc[] = {'a', 'b', 'c', 0x38, 0x97};
    EXPECT_EQ(Crc16(sealedAbc, sizeof sealedAbc), 0u);
}

TEST(BlockTrailer, SealAndCheck)
{
    // A material record: 32 bytes of content, AA AA, then the CRC.
    std::array<std::uint8_t, 36> record{};
    record[2] = 5;
    record[32] = 0xAA;
    record[33] = 0xAA;
    sealBlock(record.data(), record.size());
    EXPECT_EQ(readU16le(record.data() + 34), Crc16(record.data(), 34));
    EXPECT_TRUE(checkBlock(record.data(), record.size()));

    auto badCrc = record;
    badCrc[35] ^= 0x01;
    EXPECT_TRUE(blockMarkerOk(badCrc.data(), badCrc.size()));
    EXPECT_FALSE(checkBlock(badCrc.data(), badCrc.size()));

    auto badMarker = record;
    badMarker[32] = 0xAB;
    sealBlock(badMarker.data(), badMarker.size());
    EXPECT_TRUE(blockCrcOk(badMarker.data(), badMarker.size()));
    EXPECT_FALSE(checkBlock(badMarker.data(), badMarker.size()));

    EXPECT_FALSE(checkBlock(record.data(), 3)); // too short to hold a trailer
}

TEST(Commands, BytesOnTheWire)
{
    EXPECT_EQ(commandBytes(Command::GetVersion), (std::array<std::uint8_t, 2>{0x01, 0xFE}));
    EXPECT_EQ(commandBytes(Command::GetParameters), (std::array<std::uint8_t, 2>{0x02, 0xFD}));
    EXPECT_EQ(commandBytes(Command::GetMaterials), (std::array<std::uint8_t, 2>{0x04, 0xFB}));
    EXPECT_EQ(commandBytes(Command::PutMaterials), (std::array<std::uint8_t, 2>{0x05, 0xFA}));
    EXPECT_EQ(commandBytes(Command::GetScreen), (std::array<std::uint8_t, 2>{0x08, 0xF7}));
    EXPECT_EQ(recordCommand(0x0123), (std::array<std::uint8_t, 4>{0x03, 0xFC, 0x23, 0x01}));
    EXPECT_EQ(recordCommand(2047), (std::array<std::uint8_t, 4>{0x03, 0xFC, 0xFF, 0x07}));
}

TEST(Commands, ReplyLengthIsUnsignedAndCut)
{
    const std::uint8_t allOnes[] = {0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(capReplyLength(readU32le(allOnes), ArchiveRecordLength), 20u);
    EXPECT_EQ(capReplyLength(readU32le(allOnes), LibUsbParameterBlockLength), 10568u);
    EXPECT_EQ(capReplyLength(19, ArchiveRecordLength), 19u);
    EXPECT_EQ(capReplyLength(0, VersionCap), 0u);

    // Full replies announce their block lengths like this.
    const std::uint8_t driverParams[] = {0x04, 0x01, 0x00, 0x00};
    const std::uint8_t usbParams[] = {0x48, 0x29, 0x00, 0x00};
    const std::uint8_t materials[] = {0xD4, 0x01, 0x00, 0x00};
    const std::uint8_t screen[] = {0x00, 0x04, 0x00, 0x00};
    EXPECT_EQ(readU32le(driverParams), DriverParameterBlockLength);
    EXPECT_EQ(readU32le(usbParams), LibUsbParameterBlockLength);
    EXPECT_EQ(readU32le(materials), MaterialTableLength);
    EXPECT_EQ(readU32le(screen), ScreenImageLength);
}

TEST(ByteOrder, LittleEndianFields)
{
    std::uint8_t buf[4] = {};
    writeU32le(buf, 0x01020304);
    EXPECT_EQ(buf[0], 0x04);
    EXPECT_EQ(buf[3], 0x01);
    writeI32le(buf, -2);
    EXPECT_EQ(readI32le(buf), -2);
    const std::uint8_t twelveAndAHalf[] = {0x00, 0x00, 0x48, 0x41}; // 12.5f
    EXPECT_FLOAT_EQ(readF32le(twelveAndAHalf), 12.5f);
    writeF32le(buf, 12.5f);
    EXPECT_EQ(0, std::memcmp(buf, twelveAndAHalf, 4));
}
