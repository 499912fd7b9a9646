#pragma once
// The gauge's contents as bytes on the wire. The two transports carry different parameter
// block lengths and record layouts; everything else is the same on both.

#include "gauge_image.h"

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

namespace quilex::sim {

enum class Transport {
    Driver, // the maker's driver and its two pipes
    LibUsb, // bulk endpoints reached through libusb
};

inline constexpr std::size_t RecordBytes = 20;
inline constexpr std::size_t MaterialBytes = 36;
inline constexpr std::size_t MaterialTableBytes = MaterialBytes * MaterialSlots;
inline constexpr std::size_t ScreenBytes = 1024;

using RecordBlock = std::array<std::uint8_t, RecordBytes>;
using MaterialTableBlock = std::array<std::uint8_t, MaterialTableBytes>;

std::size_t parameterBlockLength(Transport transport); // 260 or 10568

// A name field of 13 bytes: the character count, the Windows-1251 characters, a zero after
// them when there are fewer than 12. The rest of the field is left as it was. Texts longer
// than 12 characters are cut; characters outside the code page become '?'.
void encodeNameField(std::uint8_t* field, std::string_view utf8);

// 36 bytes: prefix, Russian name, English name, speed (signed 32-bit), marker AA AA, CRC.
std::array<std::uint8_t, MaterialBytes> encodeMaterial(const Material& material);
MaterialTableBlock encodeMaterialTable(const std::array<Material, MaterialSlots>& materials);

// The 20 bytes of a measurement. Driver: material u16 at 8, speed u16 at 12, thickness at 16,
// no trailer. libusb: material u8 at 8, speed u16 at 10, thickness at 12, marker at 16, CRC at 18.
RecordBlock encodeRecord(const Measurement& m, Transport transport);

// The occupancy map of the slots in 64 little-endian words (bit k of word j is slot 32j + k),
// the filler of the libusb block, marker and CRC.
std::vector<std::uint8_t> encodeParameterBlock(const std::vector<Measurement>& archive, Transport transport);

// Number of set bits in a parameter block's map (the first 256 bytes).
int countOccupied(const std::uint8_t* block, std::size_t length);

} // namespace quilex::sim
