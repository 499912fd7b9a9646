#pragma once
// CRC-16/ARC, the checksum that closes the gauge's blocks, and the block trailer: the
// marker word 0xAAAA followed by the CRC of everything before it.

#include <cstddef>
#include <cstdint>

namespace quilex {

inline constexpr std::uint16_t BlockMarker = 0xAAAA;

// Reflected polynomial 0x8005 (0xA001), initial value 0, no final XOR. Held in 32 bits, as the
// gauge's tools hand it around, but never above 0xFFFF.
std::uint32_t Crc16(const std::uint8_t* data, std::size_t length);

// A block of n bytes is good when its marker word sits at n - 4 and the CRC over all n bytes,
// stored CRC included, is 0. The marker is looked at first; callers show one message for both.
bool blockMarkerOk(const std::uint8_t* block, std::size_t n);
bool blockCrcOk(const std::uint8_t* block, std::size_t n);
bool checkBlock(const std::uint8_t* block, std::size_t n);

// Stores the CRC of the first n - 2 bytes, little-endian, in the last two bytes.
void sealBlock(std::uint8_t* block, std::size_t n);

} // namespace quilex
