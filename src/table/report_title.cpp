#include "table/report_title.h"

#include "table/table_texts.h"
#include "link/byte_order.h"
#include "link/crc16.h"

#include <array>
#include <cstring>

namespace quilex {

namespace {

// The texts in the order the record keeps them.
std::array<QString*, 8> textsOf(ReportTitle& t)
{
    return {&t.object, &t.place, &t.operatorName, &t.gauge, &t.serial, &t.probe, &t.calibration, &t.couplant};
}

void appendI32(QByteArray& out, std::int32_t value)
{
    std::uint8_t bytes[4];
    writeI32le(bytes, value);
    out.append(reinterpret_cast<const char*>(bytes), 4);
}

std::int32_t readI32(QByteArrayView bytes, qsizetype at)
{
    return readI32le(reinterpret_cast<const std::uint8_t*>(bytes.data()) + at);
}

} // namespace

QByteArray encodeTitle(const ReportTitle& title)
{
    if (title.empty())
        return {};
    ReportTitle copy = title;
    const auto texts = textsOf(copy);
    QByteArray payload;
    appendI32(payload, static_cast<std::int32_t>(texts.size()));
    for (const QString* text : texts) {
        const QByteArray utf8 = text->toUtf8();
        appendI32(payload, static_cast<std::int32_t>(utf8.size()));
        payload += utf8;
    }
    QByteArray out(TitleMagic, 4);
    std::uint8_t word[2];
    writeU16le(word, TitleVersion);
    out.append(reinterpret_cast<const char*>(word), 2);
    appendI32(out, static_cast<std::int32_t>(payload.size()));
    out += payload;
    writeU16le(word, Crc16(reinterpret_cast<const std::uint8_t*>(out.constData()), static_cast<std::size_t>(out.size())));
    out.append(reinterpret_cast<const char*>(word), 2);
    return out;
}

bool startsTitle(QByteArrayView afterCells)
{
    return afterCells.size() >= 4 && std::memcmp(afterCells.data(), TitleMagic, 4) == 0;
}

qsizetype titleRecordSize(QByteArrayView afterCells)
{
    if (afterCells.size() < TitleHeaderSize + 2)
        return 0;
    const std::int32_t payload = readI32(afterCells, 6);
    if (payload < 4 || payload > afterCells.size() - TitleHeaderSize - 2)
        return 0;
    return TitleHeaderSize + payload + 2;
}

Result<TitleRecord> decodeTitle(QByteArrayView afterCells, int languageIndex)
{
    const auto damaged = [&](const TextPair& what) {
        const auto language = std::uint8_t(languageIndex);
        return fail(Text(table_texts::TitleDamaged, language).arg(Text(what, language)));
    };
    const qsizetype size = titleRecordSize(afterCells);
    if (size == 0)
        return damaged(table_texts::LimitsRecordEndsEarly);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(afterCells.data());
    if (readU16le(bytes + 4) != TitleVersion)
        return damaged(table_texts::TitleUnknownVersion);
    if (Crc16(bytes, static_cast<std::size_t>(size - 2)) != readU16le(bytes + size - 2))
        return damaged(table_texts::LimitsWrongChecksum);
    const qsizetype end = size - 2;
    const std::int32_t count = readI32(afterCells, TitleHeaderSize);
    TitleRecord record;
    record.size = size;
    const auto texts = textsOf(record.title);
    qsizetype at = TitleHeaderSize + 4;
    for (std::int32_t i = 0; i < count; ++i) {
        if (end - at < 4)
            return damaged(table_texts::LimitsRecordEndsEarly);
        const std::int32_t length = readI32(afterCells, at);
        at += 4;
        if (length < 0 || length > end - at)
            return damaged(table_texts::LimitsRecordEndsEarly);
        if (static_cast<std::size_t>(i) < texts.size())
            *texts[static_cast<std::size_t>(i)] = QString::fromUtf8(afterCells.sliced(at, length));
        at += length;
    }
    if (count < 0 || at != end)
        return damaged(table_texts::TitleLengthMismatch);
    return record;
}

} // namespace quilex
