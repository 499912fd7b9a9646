#pragma once
// The gauge's archive: the occupancy bit map at the head of the parameter block and the 20-byte
// records (one layout per transport). The texts the archive table shows for a record are the
// table's business (table/archive_rows.h).
//
// Driver transport record:            libusb transport record:
//   0..7  Second Minute Hour Day        0..7  the same eight bytes
//         Month Year Number Series      8     Material (8 bits)
//   8     Material (16 bits)            10    SoundSpeed (16 bits)
//   12    SoundSpeed (16 bits)          12    Thickness (float)
//   16    Thickness (float)             16    Marker 0xAAAA, 18 Crc
// Bytes 10, 11, 14, 15 of the driver record and byte 9 of the libusb record are not read.

#include "link/link_types.h"


#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace quilex {

struct ArchiveRecord {
    std::uint8_t Second = 0;
    std::uint8_t Minute = 0;
    std::uint8_t Hour = 0;
    std::uint8_t Day = 0;
    std::uint8_t Month = 0;
    std::uint8_t Year = 0; // years after 2000
    std::uint8_t Number = 0;
    std::uint8_t Series = 0;
    std::uint16_t Material = 0; // index into the material table, 0..12 when sound
    std::uint16_t SoundSpeed = 0; // m/s
    float Thickness = 0; // mm
    std::uint16_t Marker = 0; // libusb records only; 0 for the driver layout
    std::uint16_t Crc = 0;    // libusb records only
};

inline constexpr std::size_t ArchiveBitmapWords = 64;
inline constexpr std::size_t ArchiveSlotCount = 32 * ArchiveBitmapWords; // 2048

// Decodes one record in the layout of the transport it came over (LibUsb, or the driver
// layout for anything else). Fewer than 20 bytes give nothing.
std::optional<ArchiveRecord> decodeArchiveRecord(std::span<const std::uint8_t> bytes, LinkKind kind);

// The number of occupied slots: set bits in the 64 little-endian words at the head of the
// parameter block, 0..2048. Only whole words present in header are counted.
std::size_t countArchiveRecords(std::span<const std::uint8_t> header);

// The records of the first count in a record buffer (record i at 20 x i), in the layout of the
// transport they came over. Records that the buffer does not hold in full are left out.
std::vector<ArchiveRecord> decodeArchiveRecords(std::span<const std::uint8_t> records, std::size_t count,
                                                LinkKind kind);

} // namespace quilex
