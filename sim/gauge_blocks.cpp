#include "gauge_blocks.h"

#include "cp1251.h"

#include "link/byte_order.h"
#include "link/crc16.h"

#include <bit>
#include <cstring>

namespace quilex::sim {

std::size_t parameterBlockLength(Transport transport)
{
    return transport == Transport::Driver ? 260 : 10568;
}

void encodeNameField(std::uint8_t* field, std::string_view utf8)
{
    std::string bytes;
    for (std::size_t pos = 0; pos < utf8.size() && bytes.size() < NameCharsMax;) {
        char32_t ch = 0;
        std::size_t len = decodeUtf8(utf8, pos, ch);
        if (len == 0)
            len = 1;
        const std::optional<std::string> one = utf8ToCp1251(utf8.substr(pos, len));
        if (one && one->front() == '\0')
            break; // the text ends at its first zero character
        bytes += one ? *one : std::string("?");
        pos += len;
    }
    field[0] = static_cast<std::uint8_t>(bytes.size());
    std::memcpy(field + 1, bytes.data(), bytes.size());
    if (bytes.size() < NameCharsMax)
        field[1 + bytes.size()] = 0;
}

std::array<std::uint8_t, MaterialBytes> encodeMaterial(const Material& material)
{
    std::array<std::uint8_t, MaterialBytes> r{};
    r[0] = material.prefix[0];
    r[1] = material.prefix[1];
    encodeNameField(r.data() + 2, material.nameRu);
    encodeNameField(r.data() + 15, material.nameEn);
    writeI32le(r.data() + 28, material.soundSpeed);
    writeU16le(r.data() + 32, BlockMarker);
    sealBlock(r.data(), r.size());
    return r;
}

MaterialTableBlock encodeMaterialTable(const std::array<Material, MaterialSlots>& materials)
{
    MaterialTableBlock table{};
    for (std::size_t k = 0; k < materials.size(); ++k) {
        const auto record = encodeMaterial(materials[k]);
        std::memcpy(table.data() + k * MaterialBytes, record.data(), record.size());
    }
    return table;
}

RecordBlock encodeRecord(const Measurement& m, Transport transport)
{
    RecordBlock r{};
    r[0] = m.second;
    r[1] = m.minute;
    r[2] = m.hour;
    r[3] = m.day;
    r[4] = m.month;
    r[5] = m.year;
    r[6] = m.number;
    r[7] = m.series;
    if (transport == Transport::Driver) {
        writeU16le(r.data() + 8, m.material);
        writeU16le(r.data() + 12, m.soundSpeed);
        writeF32le(r.data() + 16, m.thickness);
    } else {
        r[8] = m.material;
        writeU16le(r.data() + 10, m.soundSpeed);
        writeF32le(r.data() + 12, m.thickness);
        writeU16le(r.data() + 16, BlockMarker);
        sealBlock(r.data(), r.size());
    }
    return r;
}

std::vector<std::uint8_t> encodeParameterBlock(const std::vector<Measurement>& archive, Transport transport)
{
    const std::size_t n = parameterBlockLength(transport);
    std::vector<std::uint8_t> block(n, 0);
    std::array<std::uint32_t, 64> words{};
    for (const Measurement& m : archive)
        if (m.slot < ArchiveSlots)
            words[m.slot / 32] |= 1u << (m.slot % 32);
    for (std::size_t j = 0; j < words.size(); ++j)
        writeU32le(block.data() + 4 * j, words[j]);
    // The libusb block carries the gauge's settings after the map; the program does not read
    // them, so they are erased memory here.
    for (std::size_t i = 256; i < n - 4; ++i)
        block[i] = 0xFF;
    writeU16le(block.data() + n - 4, BlockMarker);
    sealBlock(block.data(), n);
    return block;
}

int countOccupied(const std::uint8_t* block, std::size_t length)
{
    int count = 0;
    for (std::size_t j = 0; j < 64 && 4 * j + 4 <= length; ++j)
        count += std::popcount(readU32le(block + 4 * j));
    return count;
}

} // namespace quilex::sim
