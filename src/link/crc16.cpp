#include "crc16.h"

#include "byte_order.h"

#include <array>

namespace quilex {

namespace {

constexpr std::array<std::uint16_t, 256> makeTable()
{
    std::array<std::uint16_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        unsigned c = i;
        for (int bit = 0; bit < 8; ++bit)
            c = (c & 1U) ? (c >> 1) ^ 0xA001U : c >> 1;
        table[i] = static_cast<std::uint16_t>(c);
    }
    return table;
}

constexpr auto crcTable = makeTable();
static_assert(crcTable[1] == 0xC0C1 && crcTable[2] == 0xC181 && crcTable[3] == 0x0140);

} // namespace

std::uint32_t Crc16(const std::uint8_t* data, std::size_t length)
{
    std::uint32_t c = 0;
    for (std::size_t i = 0; i < length; ++i)
        c = (c >> 8) ^ crcTable[(c ^ data[i]) & 0xFF];
    return c;
}

bool blockMarkerOk(const std::uint8_t* block, std::size_t n)
{
    return n >= 4 && readU16le(block + n - 4) == BlockMarker;
}

bool blockCrcOk(const std::uint8_t* block, std::size_t n)
{
    return Crc16(block, n) == 0;
}

bool checkBlock(const std::uint8_t* block, std::size_t n)
{
    return blockMarkerOk(block, n) && blockCrcOk(block, n);
}

void sealBlock(std::uint8_t* block, std::size_t n)
{
    if (n < 2)
        return;
    writeU16le(block + n - 2, static_cast<std::uint16_t>(Crc16(block, n - 2)));
}

} // namespace quilex
