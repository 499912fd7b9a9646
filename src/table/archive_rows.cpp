#include "table/archive_rows.h"

#include "table/archive_columns.h"
#include "table/table_values.h"

#include <QDate>
#include <QTime>

#include <cmath>
#include <limits>

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

std::vector<QStringList> archiveRows(const std::vector<ArchiveRecord>& records, const MaterialNames& names,
                                     std::uint8_t languageIndex, const QLocale& locale)
{
    const RowFormatter formatter(locale);
    std::vector<QStringList> rows;
    rows.reserve(records.size());
    for (std::size_t i = 0; i < records.size(); ++i)
        rows.push_back(formatter.row(i, records[i], names, languageIndex));
    return rows;
}

std::optional<std::int32_t> thicknessHundredths(float thickness)
{
    if (!std::isfinite(thickness))
        return std::nullopt;
    // A float times 100 is exact in a double (24 bits of mantissa and 7 of the hundred), so the
    // one rounding here is the cell's: to the nearer hundredth, halves away from zero.
    const double hundredths = std::round(double(thickness) * 100.0);
    if (hundredths < double(std::numeric_limits<std::int32_t>::min()) ||
        hundredths > double(std::numeric_limits<std::int32_t>::max()))
        return std::nullopt;
    return static_cast<std::int32_t>(hundredths);
}

ArchiveValues archiveRowValues(std::size_t i, const ArchiveRecord& record, const QString& recordText,
                               const QString& materialText, bool twoDigitYears)
{
    ArchiveValues v;
    v.row = static_cast<int>(i + 1);
    v.record = recordText;
    v.material = materialText;
    v.recordNumber = static_cast<std::int32_t>(i + 1);
    v.soundSpeed = record.SoundSpeed;
    v.number = record.Number;
    v.series = record.Series;
    // Every whole number of a record is written plainly; the thickness with two decimals.
    v.plainWholeNumbers = 0xF;
    v.thickness = thicknessHundredths(record.Thickness);
    if (v.thickness)
        v.thicknessDecimals = 2;
    const RecordMoment moment = momentOf(record);
    if (moment.valid()) {
        v.date = twoDigitYears ? QDate(2000 + moment.date.year() % 100, moment.date.month(), moment.date.day())
                               : moment.date;
        v.secondsOfDay = moment.time.msecsSinceStartOfDay() / 1000;
    }
    return v;
}

void putArchiveDownload(StringGrid& table, TableValues* values, const std::vector<ArchiveRecord>& records,
                        const MaterialNames& names, std::uint8_t languageIndex, const QLocale& locale)
{
    putArchiveRows(table, archiveRows(records, names, languageIndex, locale));
    if (!values)
        return;
    const bool twoDigitYears = values->cells().twoDigitYears();
    for (std::size_t i = 0; i < records.size(); ++i) {
        const int row = static_cast<int>(i + 1);
        values->setRow(row, archiveRowValues(i, records[i], table.cell(archive_column::Record, row),
                                             table.cell(archive_column::Material, row), twoDigitYears));
    }
}

} // namespace quilex
