#include "exchange/archive_records.h"

#include "link/byte_order.h"
#include "link/commands.h"

#include <algorithm>
#include <bit>

namespace quilex {

std::optional<ArchiveRecord> decodeArchiveRecord(std::span<const std::uint8_t> bytes, LinkKind kind)
{
    if (bytes.size() < ArchiveRecordLength)
        return std::nullopt;
    const std::uint8_t* p = bytes.data();
    ArchiveRecord r;
    r.Second = p[0];
    r.Minute = p[1];
    r.Hour = p[2];
    r.Day = p[3];
    r.Month = p[4];
    r.Year = p[5];
    r.Number = p[6];
    r.Series = p[7];
    if (kind == LinkKind::LibUsb) {
        r.Material = p[8];
        r.SoundSpeed = readU16le(p + 10);
        r.Thickness = readF32le(p + 12);
        r.Marker = readU16le(p + 16);
        r.Crc = readU16le(p + 18);
    } else {
        r.Material = readU16le(p + 8);
        r.SoundSpeed = readU16le(p + 12);
        r.Thickness = readF32le(p + 16);
    }
    return r;
}

std::size_t countArchiveRecords(std::span<const std::uint8_t> header)
{
    const std::size_t words = std::min(ArchiveBitmapWords, header.size() / 4);
    std::size_t count = 0;
    for (std::size_t j = 0; j < words; ++j)
        count += static_cast<std::size_t>(std::popcount(readU32le(header.data() + 4 * j)));
    return count;
}

std::vector<ArchiveRecord> decodeArchiveRecords(std::span<const std::uint8_t> records, std::size_t count,
                                                LinkKind kind)
{
    const std::size_t available = std::min(count, records.size() / ArchiveRecordLength);
    std::vector<ArchiveRecord> out;
    out.reserve(available);
    for (std::size_t i = 0; i < available; ++i)
        out.push_back(*decodeArchiveRecord(records.subspan(i * ArchiveRecordLength, ArchiveRecordLength), kind));
    return out;
}

} // namespace quilex
