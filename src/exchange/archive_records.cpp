#include "exchange/archive_records.h"

#include "link/byte_order.h"
#include "link/commands.h"

#include <QDate>
#include <QTime>

#include <algorithm>
#include <bit>
#include <cmath>

namespace quilex {

namespace {

// The locale work done once per table rather than once per cell: a 2048-record archive
// formats thousands of numbers and dates.
class RowFormatter {
public:
    explicit RowFormatter(const QLocale& locale)
        : numbers_(locale), dateFormat_(locale.dateFormat(QLocale::ShortFormat))
    {
        // "1234,50", never "1 234,50": the table sorts the thickness column by reading the
        // cell back as a number, and a group separator would get in its way.
        numbers_.setNumberOptions(numbers_.numberOptions() | QLocale::OmitGroupSeparator);
        zero_ = numbers_.toString(0.0, 'f', 2);
    }

    QString thickness(float value) const
    {
        if (!std::isfinite(value))
            return QString::fromUtf16(NanCellText);
        const double v = value;
        QString text = numbers_.toString(v, 'f', 2);
        // A small negative value rounds to zero; show it as 0.00 rather than -0.00.
        if (std::signbit(v) && numbers_.toString(-v, 'f', 2) == zero_)
            return zero_;
        return text;
    }

    QString date(const QDate& date) const { return numbers_.toString(date, dateFormat_); }

    QStringList row(std::size_t i, const ArchiveRecord& r, const MaterialNames& names,
                    std::uint8_t languageIndex) const;

private:
    QLocale numbers_;
    QString dateFormat_;
    QString zero_;
};

struct RecordMoment {
    QDate date;
    QTime time;
    bool valid() const { return date.isValid() && time.isValid(); }
};

RecordMoment momentOf(const ArchiveRecord& r)
{
    // QDate and QTime refuse month 13, day 32, 30 February, hour 24 and the like.
    return {QDate(2000 + r.Year, r.Month, r.Day), QTime(r.Hour, r.Minute, r.Second, 0)};
}

QString nan()
{
    return QString::fromUtf16(NanCellText);
}

QStringList RowFormatter::row(std::size_t i, const ArchiveRecord& r, const MaterialNames& names,
                              std::uint8_t languageIndex) const
{
    const RecordMoment moment = momentOf(r);
    QStringList cells;
    cells.reserve(ArchiveColumnCount);
    cells << QString::number(i + 1) << archiveMaterialText(r, names, languageIndex)
          << QString::number(r.SoundSpeed) << thickness(r.Thickness) << QString::number(r.Number)
          << QString::number(r.Series);
    if (moment.valid())
        cells << date(moment.date) << moment.time.toString(QStringLiteral("hh:mm:ss"));
    else
        cells << nan() << nan();
    return cells;
}

} // namespace

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

QString archiveMaterialText(const ArchiveRecord& record, const MaterialNames& names,
                            std::uint8_t languageIndex)
{
    // The gauge may send any index; only 13 materials have names.
    if (record.Material >= MaterialCount)
        return nan();
    return names[2 * std::size_t{record.Material} + (languageIndex == 1 ? 1 : 0)];
}

QString thicknessText(float thickness, const QLocale& locale)
{
    return RowFormatter(locale).thickness(thickness);
}

QString archiveDateText(const ArchiveRecord& record, const QLocale& locale)
{
    const RecordMoment moment = momentOf(record);
    return moment.valid() ? RowFormatter(locale).date(moment.date) : nan();
}

QString archiveTimeText(const ArchiveRecord& record)
{
    const RecordMoment moment = momentOf(record);
    return moment.valid() ? moment.time.toString(QStringLiteral("hh:mm:ss")) : nan();
}

QStringList archiveRowTexts(std::size_t i, const ArchiveRecord& record, const MaterialNames& names,
                            std::uint8_t languageIndex, const QLocale& locale)
{
    return RowFormatter(locale).row(i, record, names, languageIndex);
}

std::vector<QStringList> archiveRows(std::span<const std::uint8_t> records, std::size_t count,
                                     LinkKind kind, const MaterialNames& names,
                                     std::uint8_t languageIndex, const QLocale& locale)
{
    const std::size_t available = std::min(count, records.size() / ArchiveRecordLength);
    const RowFormatter formatter(locale);
    std::vector<QStringList> rows;
    rows.reserve(available);
    for (std::size_t i = 0; i < available; ++i) {
        const auto record = decodeArchiveRecord(records.subspan(i * ArchiveRecordLength, ArchiveRecordLength), kind);
        rows.push_back(formatter.row(i, *record, names, languageIndex));
    }
    return rows;
}

} // namespace quilex
