#include "app/archive_values.h"

namespace quilex {

namespace {

enum Column { Record, Material, SoundSpeed, Thickness, Number, Series, Date, Time };

} // namespace

ArchiveValues ArchiveRowReader::row(const StringGrid& grid, int r, ArchiveFields fields) const
{
    ArchiveValues v;
    v.row = r;
    v.record = grid.cell(Record, r);
    v.thickness = thickness(grid, r);
    v.series = CellReader::wholeNumber(grid.cell(Series, r));
    if (fields == ArchiveFields::Measurements)
        return v;
    v.material = grid.cell(Material, r);
    v.soundSpeed = CellReader::wholeNumber(grid.cell(SoundSpeed, r));
    v.number = CellReader::wholeNumber(grid.cell(Number, r));
    v.date = cells_.date(grid.cell(Date, r));
    v.secondsOfDay = CellReader::secondsOfDay(grid.cell(Time, r));
    return v;
}

std::optional<std::int32_t> ArchiveRowReader::thickness(const StringGrid& grid, int r) const
{
    const QString& text = grid.cell(Thickness, r);
    // "NAN" and the empty cells of a sorted table are read quickly as no value.
    if (text.isEmpty() || text == u" " || text == u"NAN")
        return std::nullopt;
    return cells_.hundredths(text);
}

std::vector<ArchiveValues> ArchiveRowReader::rows(const StringGrid& grid, ArchiveFields fields) const
{
    std::vector<ArchiveValues> out;
    if (grid.isEmptyTable())
        return out;
    const int first = grid.fixedRows() > 0 ? 1 : 0;
    out.reserve(static_cast<std::size_t>(std::max(0, grid.rowCount() - first)));
    for (int r = first; r < grid.rowCount(); ++r)
        out.push_back(row(grid, r, fields));
    return out;
}

} // namespace quilex
