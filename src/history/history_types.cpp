#include "history/history_types.h"

#include <algorithm>

namespace quilex {

QString codeName(InspectionCode code)
{
    switch (code) {
    case InspectionCode::Api510:
        return QStringLiteral("api510");
    case InspectionCode::Api653:
        return QStringLiteral("api653");
    case InspectionCode::Api570:
        break;
    }
    return QStringLiteral("api570");
}

std::optional<InspectionCode> codeFromName(QStringView name)
{
    for (InspectionCode code : {InspectionCode::Api570, InspectionCode::Api510, InspectionCode::Api653})
        if (name == codeName(code))
            return code;
    return std::nullopt;
}

QString locationText(LocationKey key)
{
    return QStringLiteral("%1-%2").arg(key.series).arg(key.number);
}

std::optional<std::int32_t> naturalFromText(QStringView text)
{
    text = text.trimmed();
    if (text.isEmpty() || text.size() > 10)
        return std::nullopt;
    std::int64_t value = 0;
    for (QChar c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c.unicode() - u'0');
    }
    if (value > INT32_MAX)
        return std::nullopt;
    return std::int32_t(value);
}

std::optional<LocationKey> locationFromText(QStringView text)
{
    const qsizetype dash = text.indexOf(u'-');
    if (dash < 0)
        return std::nullopt;
    const auto series = naturalFromText(text.left(dash));
    const auto number = naturalFromText(text.mid(dash + 1));
    if (!series || !number)
        return std::nullopt;
    return LocationKey{*series, *number};
}

std::optional<QString> gridCell(std::int32_t number, int columns, std::int32_t firstNumber)
{
    if (columns < 1 || number < firstNumber)
        return std::nullopt;
    const std::int64_t offset = std::int64_t(number) - firstNumber;
    std::int64_t column = offset % columns;
    const std::int64_t row = 1 + offset / columns;
    // Column letters count as a spreadsheet's do: A..Z, then AA..AZ, BA.., ZZ, AAA...
    QString letters;
    for (++column; column > 0; column = (column - 1) / 26)
        letters.prepend(QChar(u'A' + char16_t((column - 1) % 26)));
    return letters + QString::number(row);
}

const GroupSettings* HistorySettings::group(std::int32_t series) const
{
    const auto found = std::lower_bound(groups.begin(), groups.end(), series,
                                        [](const GroupSettings& g, std::int32_t s) { return g.series < s; });
    return found != groups.end() && found->series == series ? &*found : nullptr;
}

GroupValues HistorySettings::effectiveValues(std::int32_t series) const
{
    GroupValues values = defaults;
    if (const GroupSettings* own = group(series)) {
        const GroupValues& v = own->values;
        if (v.nominal)
            values.nominal = v.nominal;
        if (v.required)
            values.required = v.required;
        if (v.gridColumns)
            values.gridColumns = v.gridColumns;
        if (v.firstNumber)
            values.firstNumber = v.firstNumber;
    }
    return values;
}

QString markName(Mark mark)
{
    switch (mark) {
    case Mark::Verified:
        return QStringLiteral("verified");
    case Mark::Ignored:
        return QStringLiteral("ignored");
    case Mark::None:
        break;
    }
    return {};
}

std::optional<Mark> markFromName(QStringView name)
{
    for (Mark mark : {Mark::None, Mark::Verified, Mark::Ignored})
        if (name == markName(mark))
            return mark;
    return std::nullopt;
}

QString plainText(const QString& text)
{
    QString plain = text;
    for (QChar& c : plain)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            c = u' ';
    return plain;
}

} // namespace quilex
