#pragma once
// The gauge's material table as it travels over the link: 13 records of 36 bytes, each with
// a Russian and an English name, a speed of sound, a marker and a CRC; and the program's own
// list of the 26 names that the archive table and the material grid show.
//
// Record layout (little-endian):
//   0  2  Prefix      kept as received, never interpreted
//   2  13 NameRu      name field
//   15 13 NameEn      name field
//   28 4  SoundSpeed  signed 32-bit, m/s
//   32 2  Marker      0xAAAA in a good record
//   34 2  Crc         CRC-16 of bytes 0..33
//
// Name field: byte 0 is the count of characters, bytes 1.. the Windows-1251 characters.

#include "link/commands.h"

#include <QString>
#include <QStringList>

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace quilex {

using MaterialTable = std::array<std::uint8_t, MaterialTableLength>;

// Slot 2k the Russian, slot 2k + 1 the English name of material k.
using MaterialNames = std::array<QString, 2 * MaterialCount>;

inline constexpr std::size_t NameFieldLength = 13;
inline constexpr std::size_t NameMaxChars = 12;
inline constexpr std::size_t MaterialPrefixOffset = 0;
inline constexpr std::size_t MaterialNameRuOffset = 2;
inline constexpr std::size_t MaterialNameEnOffset = 15;
inline constexpr std::size_t MaterialSoundSpeedOffset = 28;
inline constexpr std::size_t MaterialMarkerOffset = 32;
inline constexpr std::size_t MaterialCrcOffset = 34;

// The names the program shows until the gauge's own table has been read.
const MaterialNames& builtInMaterialNames();

// Record k (0..12) of the table. A k outside 0..12 names no record: the readers answer 0 (or
// an empty span), the writers do nothing.
std::span<const std::uint8_t> materialRecord(const MaterialTable& table, std::size_t k);
std::array<std::uint8_t, 2> materialPrefix(const MaterialTable& table, std::size_t k);
std::span<const std::uint8_t> materialNameRu(const MaterialTable& table, std::size_t k);
std::span<const std::uint8_t> materialNameEn(const MaterialTable& table, std::size_t k);
std::span<std::uint8_t> materialNameRu(MaterialTable& table, std::size_t k);
std::span<std::uint8_t> materialNameEn(MaterialTable& table, std::size_t k);
std::int32_t materialSoundSpeed(const MaterialTable& table, std::size_t k);
std::uint16_t materialMarker(const MaterialTable& table, std::size_t k);
std::uint16_t materialCrc(const MaterialTable& table, std::size_t k);
void setMaterialSoundSpeed(MaterialTable& table, std::size_t k, std::int32_t speed);
// Stores the CRC of bytes 0..33 of record k at 34.
void sealMaterialRecord(MaterialTable& table, std::size_t k);

// The gauge sends the name's length first, as a signed byte: 13 or more, 0 or less give an
// empty name; otherwise the characters stop early at a zero byte. A field shorter than 13
// bytes reads as empty.
QString decodeNameField(std::span<const std::uint8_t> field);

// Writes at most 12 characters of text (up to its first zero character), the count in byte 0,
// then a zero byte if fewer than 12 went in; the rest of the field keeps its bytes. Characters
// that Windows-1251 cannot hold are written as '?'. A field shorter than 13 bytes is left alone.
void encodeNameField(std::span<std::uint8_t> field, QStringView text);

// Both names of all 13 records, whatever their markers say.
MaterialNames decodeMaterialNames(const MaterialTable& table);

// The records (0..12) whose marker is not 0xAAAA, in order; the read reports each one.
std::vector<std::size_t> recordsWithBadMarker(const MaterialTable& table);

// A material as the program works with it: both names and the speed of sound.
struct Material {
    QString russian;
    QString english;
    std::int32_t soundSpeed = 0; // m/s
    bool operator==(const Material&) const = default;
};
using Materials = std::array<Material, MaterialCount>;

// The 13 materials of a table as read: both names (as decodeMaterialNames gives them) and the
// speeds.
Materials decodeMaterials(const MaterialTable& table);

// Writes the materials' names and speeds into the table and gives every record a fresh CRC.
// Prefix and Marker stay as they are.
void applyMaterials(MaterialTable& table, const Materials& materials);

} // namespace quilex
