#include "table/thickness_limits.h"

#include "table/cell_values.h"
#include "table/table_texts.h"
#include "link/byte_order.h"
#include "link/crc16.h"

#include <cstring>

namespace quilex {

namespace texts = table_texts;

namespace {

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

bool TableLimits::empty() const
{
    if (!table.empty())
        return false;
    for (const auto& [number, limits] : series)
        if (!limits.empty())
            return false;
    return true;
}

ThicknessLimits TableLimits::forSeries(std::optional<std::int32_t> number) const
{
    ThicknessLimits result = table;
    if (!number)
        return result;
    if (auto found = series.find(*number); found != series.end()) {
        if (found->second.nominal)
            result.nominal = found->second.nominal;
        if (found->second.minimum)
            result.minimum = found->second.minimum;
    }
    return result;
}

QByteArray encodeLimits(const TableLimits& limits)
{
    // A negative series has no entry of its own (-1 is the whole table's): limits kept only for
    // such series are no limits, and a project with them is written as one without any.
    bool any = !limits.table.empty();
    for (const auto& [series, l] : limits.series)
        any = any || (!l.empty() && series >= 0);
    if (!any)
        return {};
    QByteArray payload;
    std::uint32_t count = 0;
    auto entry = [&](std::int32_t series, const ThicknessLimits& l) {
        appendI32(payload, series);
        appendI32(payload, l.nominal.value_or(-1));
        appendI32(payload, l.minimum.value_or(-1));
        ++count;
    };
    if (!limits.table.empty())
        entry(-1, limits.table);
    for (const auto& [series, l] : limits.series)
        if (!l.empty() && series >= 0)
            entry(series, l);
    QByteArray out(LimitsMagic, 4);
    std::uint8_t word[4];
    writeU16le(word, LimitsVersion);
    out.append(reinterpret_cast<const char*>(word), 2);
    appendI32(out, static_cast<std::int32_t>(4 + payload.size()));
    appendI32(out, static_cast<std::int32_t>(count));
    out += payload;
    writeU16le(word, static_cast<std::uint16_t>(Crc16(reinterpret_cast<const std::uint8_t*>(out.constData()),
                                                       static_cast<std::size_t>(out.size()))));
    out.append(reinterpret_cast<const char*>(word), 2);
    return out;
}

bool startsLimits(QByteArrayView afterCells)
{
    return afterCells.size() >= 4 && std::memcmp(afterCells.data(), LimitsMagic, 4) == 0;
}

Result<TableLimits> decodeLimits(QByteArrayView trailer, int languageIndex)
{
    const auto damaged = [&](const QString& what) {
        return fail(Text(texts::LimitsDamaged, std::uint8_t(languageIndex)).arg(what));
    };
    const auto says = [&](const TextPair& pair) { return Text(pair, std::uint8_t(languageIndex)); };
    if (trailer.size() < LimitsHeaderSize + 4 + 2)
        return damaged(says(texts::LimitsRecordEndsEarly));
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(trailer.data());
    const std::uint16_t version = readU16le(bytes + 4);
    if (version != LimitsVersion)
        return damaged(says(texts::LimitsUnknownVersion).arg(version));
    const std::int32_t payload = readI32(trailer, 6);
    if (payload < 4 || qsizetype(payload) != trailer.size() - LimitsHeaderSize - 2)
        return damaged(says(texts::LimitsLengthMismatch).arg(payload));
    const std::uint32_t count = readU32le(bytes + LimitsHeaderSize);
    if (qint64(count) * LimitsEntrySize != payload - 4)
        return damaged(says(texts::LimitsEntriesDoNotFit).arg(count).arg(payload));
    const qsizetype checked = LimitsHeaderSize + payload;
    if (Crc16(bytes, static_cast<std::size_t>(checked)) != readU16le(bytes + checked))
        return damaged(says(texts::LimitsWrongChecksum));
    TableLimits limits;
    for (std::uint32_t i = 0; i < count; ++i) {
        const qsizetype at = LimitsHeaderSize + 4 + qsizetype(i) * LimitsEntrySize;
        const std::int32_t series = readI32(trailer, at);
        const std::int32_t nominal = readI32(trailer, at + 4);
        const std::int32_t minimum = readI32(trailer, at + 8);
        if (series < -1 || nominal < -1 || minimum < -1)
            return damaged(says(texts::LimitsEntryMakesNoSense).arg(i + 1));
        ThicknessLimits l;
        if (nominal >= 0)
            l.nominal = nominal;
        if (minimum >= 0)
            l.minimum = minimum;
        if (series == -1)
            limits.table = l;
        else
            limits.series[series] = l;
    }
    return limits;
}

std::optional<std::int32_t> limitFromText(const QString& text)
{
    const auto value = CellReader().hundredths(text.trimmed());
    if (!value || *value < 0)
        return std::nullopt;
    return value;
}

} // namespace quilex
