#include "table/archive_values.h"

#include "table/archive_columns.h"

namespace quilex {

namespace column = archive_column;

namespace {

// A whole number (which wholeNumber read) as a spreadsheet writes it again: no plus sign, no
// leading zeros, and not "-0".
bool writtenPlainly(QStringView text)
{
    if (text.startsWith(u'+'))
        return false;
    QStringView digits = text;
    if (digits.startsWith(u'-'))
        digits = digits.mid(1);
    if (digits.isEmpty() || (digits.size() > 1 && digits[0] == u'0'))
        return false;
    return !(text.startsWith(u'-') && digits == u"0");
}

std::uint8_t bitOf(int column)
{
    switch (column) {
    case column::Record: return 1;
    case column::SoundSpeed: return 2;
    case column::Number: return 4;
    case column::Series: return 8;
    default: return 0;
    }
}

} // namespace

bool ArchiveValues::plainWholeNumber(int c) const
{
    return (plainWholeNumbers & bitOf(c)) != 0;
}

ArchiveValues ArchiveRowReader::row(const StringGrid& grid, int r, ArchiveFields fields) const
{
    ArchiveValues v;
    v.row = r;
    v.record = grid.cell(column::Record, r);
    v.recordNumber = CellReader::wholeNumber(v.record);
    v.series = series(grid, r);
    auto plain = [&](int c, const std::optional<std::int32_t>& value) {
        if (value && writtenPlainly(grid.cell(c, r)))
            v.plainWholeNumbers |= bitOf(c);
    };
    plain(column::Record, v.recordNumber);
    plain(column::Series, v.series);
    const QString& thicknessText = grid.cell(column::Thickness, r);
    // "NAN" and the empty cells of a sorted table are read quickly as no value.
    if (!thicknessText.isEmpty() && thicknessText != u" " && thicknessText != u"NAN") {
        if (const auto n = cells_.decimal(thicknessText); n && n->canonical && n->fractionDigits <= 15)
            v.thicknessDecimals = std::int8_t(n->fractionDigits);
        v.thickness = cells_.hundredths(thicknessText);
        if (!v.thickness)
            v.thicknessDecimals = -1;
    }
    if (fields == ArchiveFields::Measurements)
        return v;
    v.material = grid.cell(column::Material, r);
    v.soundSpeed = CellReader::wholeNumber(grid.cell(column::SoundSpeed, r));
    v.number = CellReader::wholeNumber(grid.cell(column::Number, r));
    plain(column::SoundSpeed, v.soundSpeed);
    plain(column::Number, v.number);
    v.date = cells_.date(grid.cell(column::Date, r));
    v.secondsOfDay = CellReader::secondsOfDay(grid.cell(column::Time, r));
    return v;
}

std::optional<std::int32_t> ArchiveRowReader::thickness(const StringGrid& grid, int r) const
{
    const QString& text = grid.cell(column::Thickness, r);
    if (text.isEmpty() || text == u" " || text == u"NAN")
        return std::nullopt;
    return cells_.hundredths(text);
}

std::optional<std::int32_t> ArchiveRowReader::series(const StringGrid& grid, int r)
{
    return CellReader::wholeNumber(grid.cell(column::Series, r));
}

std::vector<ArchiveValues> ArchiveRowReader::rows(const StringGrid& grid, ArchiveFields fields) const
{
    std::vector<ArchiveValues> out;
    if (grid.isEmptyTable())
        return out;
    const int first = firstDataRow(grid);
    out.reserve(static_cast<std::size_t>(std::max(0, grid.rowCount() - first)));
    for (int r = first; r < grid.rowCount(); ++r)
        out.push_back(row(grid, r, fields));
    return out;
}

} // namespace quilex
