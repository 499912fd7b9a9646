#include "exchange/materials.h"

#include "link/byte_order.h"
#include "link/crc16.h"

#include <QHash>
#include <QStringDecoder>

#include <algorithm>

namespace quilex {

namespace {

constexpr std::array<const char16_t*, 2 * MaterialCount> BuiltInNames{
    u"тефлон", u"teflon", // 1
    u"полистирол", u"polystyrene", // 2
    u"плексиглаз", u"pleksiglaz", // 3
    u"текстолит", u"textolite", // 4
    u"чугун", u"cast iron", // 5
    u"сталь 1", u"steel 1", // 6
    u"сталь 2", u"steel 2", // 7
    u"сталь 3", u"steel 3", // 8
    u"алюминий", u"aluminium", // 9
    u"материал 1", u"material 1", // 10
    u"материал 2", u"material 2", // 11
    u"материал 3", u"material 3", // 12
    u"материал 4", u"material 4", // 13
};

std::size_t recordOffset(std::size_t k)
{
    return k * MaterialRecordLength;
}

bool validRecord(std::size_t k)
{
    return k < MaterialCount;
}

// Windows-1251 form of every character the code page has, built once from the decoder so
// that the two directions agree.
const QHash<char32_t, std::uint8_t>& cp1251Bytes()
{
    static const QHash<char32_t, std::uint8_t> bytes = [] {
        QHash<char32_t, std::uint8_t> map;
        QStringDecoder decoder("windows-1251");
        for (int b = 1; b < 256; ++b) {
            const char byte = static_cast<char>(b);
            const QString ch = decoder.decode(QByteArrayView(&byte, 1));
            if (ch.size() == 1 && ch.at(0) != QChar::ReplacementCharacter)
                map.insert(ch.at(0).unicode(), static_cast<std::uint8_t>(b));
        }
        return map;
    }();
    return bytes;
}

} // namespace

const MaterialNames& builtInMaterialNames()
{
    static const MaterialNames names = [] {
        MaterialNames n;
        for (std::size_t i = 0; i < n.size(); ++i)
            n[i] = QString::fromUtf16(BuiltInNames[i]);
        return n;
    }();
    return names;
}

std::span<const std::uint8_t> materialRecord(const MaterialTable& table, std::size_t k)
{
    if (!validRecord(k))
        return {};
    return std::span<const std::uint8_t>(table).subspan(recordOffset(k), MaterialRecordLength);
}

std::array<std::uint8_t, 2> materialPrefix(const MaterialTable& table, std::size_t k)
{
    if (!validRecord(k))
        return {};
    const std::size_t at = recordOffset(k) + MaterialPrefixOffset;
    return {table[at], table[at + 1]};
}

std::span<const std::uint8_t> materialNameRu(const MaterialTable& table, std::size_t k)
{
    if (!validRecord(k))
        return {};
    return std::span<const std::uint8_t>(table).subspan(recordOffset(k) + MaterialNameRuOffset, NameFieldLength);
}

std::span<const std::uint8_t> materialNameEn(const MaterialTable& table, std::size_t k)
{
    if (!validRecord(k))
        return {};
    return std::span<const std::uint8_t>(table).subspan(recordOffset(k) + MaterialNameEnOffset, NameFieldLength);
}

std::span<std::uint8_t> materialNameRu(MaterialTable& table, std::size_t k)
{
    if (!validRecord(k))
        return {};
    return std::span<std::uint8_t>(table).subspan(recordOffset(k) + MaterialNameRuOffset, NameFieldLength);
}

std::span<std::uint8_t> materialNameEn(MaterialTable& table, std::size_t k)
{
    if (!validRecord(k))
        return {};
    return std::span<std::uint8_t>(table).subspan(recordOffset(k) + MaterialNameEnOffset, NameFieldLength);
}

std::int32_t materialSoundSpeed(const MaterialTable& table, std::size_t k)
{
    if (!validRecord(k))
        return 0;
    return readI32le(table.data() + recordOffset(k) + MaterialSoundSpeedOffset);
}

std::uint16_t materialMarker(const MaterialTable& table, std::size_t k)
{
    if (!validRecord(k))
        return 0;
    return readU16le(table.data() + recordOffset(k) + MaterialMarkerOffset);
}

std::uint16_t materialCrc(const MaterialTable& table, std::size_t k)
{
    if (!validRecord(k))
        return 0;
    return readU16le(table.data() + recordOffset(k) + MaterialCrcOffset);
}

void setMaterialSoundSpeed(MaterialTable& table, std::size_t k, std::int32_t speed)
{
    if (validRecord(k))
        writeI32le(table.data() + recordOffset(k) + MaterialSoundSpeedOffset, speed);
}

void sealMaterialRecord(MaterialTable& table, std::size_t k)
{
    if (validRecord(k))
        sealBlock(table.data() + recordOffset(k), MaterialRecordLength);
}

QString decodeNameField(std::span<const std::uint8_t> field)
{
    if (field.size() < NameFieldLength)
        return {};
    const int count = static_cast<std::int8_t>(field[0]);
    if (count <= 0 || count > static_cast<int>(NameMaxChars))
        return {};
    const auto chars = field.subspan(1, static_cast<std::size_t>(count));
    const auto end = std::find(chars.begin(), chars.end(), std::uint8_t{0});
    const auto length = static_cast<qsizetype>(end - chars.begin());
    QStringDecoder decoder("windows-1251");
    return decoder.decode(QByteArrayView(reinterpret_cast<const char*>(chars.data()), length));
}

void encodeNameField(std::span<std::uint8_t> field, QStringView text)
{
    if (field.size() < NameFieldLength)
        return;
    const auto& bytes = cp1251Bytes();
    std::size_t count = 0;
    for (char32_t ch : text.toUcs4()) {
        if (ch == 0 || count == NameMaxChars)
            break;
        const auto found = bytes.constFind(ch);
        field[1 + count] = found != bytes.cend() ? found.value() : std::uint8_t{'?'};
        ++count;
    }
    field[0] = static_cast<std::uint8_t>(count);
    if (count < NameMaxChars)
        field[1 + count] = 0;
}

MaterialNames decodeMaterialNames(const MaterialTable& table)
{
    MaterialNames names;
    for (std::size_t k = 0; k < MaterialCount; ++k) {
        names[2 * k] = decodeNameField(materialNameRu(table, k));
        names[2 * k + 1] = decodeNameField(materialNameEn(table, k));
    }
    return names;
}

std::vector<std::size_t> recordsWithBadMarker(const MaterialTable& table)
{
    std::vector<std::size_t> bad;
    for (std::size_t k = 0; k < MaterialCount; ++k) {
        if (materialMarker(table, k) != BlockMarker)
            bad.push_back(k);
    }
    return bad;
}

Materials decodeMaterials(const MaterialTable& table)
{
    const MaterialNames names = decodeMaterialNames(table);
    Materials materials;
    for (std::size_t k = 0; k < MaterialCount; ++k)
        materials[k] = {names[2 * k], names[2 * k + 1], materialSoundSpeed(table, k)};
    return materials;
}

void applyMaterials(MaterialTable& table, const Materials& materials)
{
    for (std::size_t k = 0; k < MaterialCount; ++k) {
        encodeNameField(materialNameRu(table, k), materials[k].russian);
        encodeNameField(materialNameEn(table, k), materials[k].english);
        setMaterialSoundSpeed(table, k, materials[k].soundSpeed);
        sealMaterialRecord(table, k);
    }
}

} // namespace quilex
