#include "table/archive_values.h"

#include "table/archive_columns.h"

namespace quilex {

namespace column = archive_column;

ArchiveValues ArchiveRowReader::row(const StringGrid& grid, int r, ArchiveFields fields) const
{
    ArchiveValues v;
    v.row = r;
    v.record = grid.cell(column::Record, r);
    v.thickness = thickness(grid, r);
    v.series = series(grid, r);
    if (fields == ArchiveFields::Measurements)
        return v;
    v.material = grid.cell(column::Material, r);
    v.soundSpeed = CellReader::wholeNumber(grid.cell(column::SoundSpeed, r));
    v.number = CellReader::wholeNumber(grid.cell(column::Number, r));
    v.date = cells_.date(grid.cell(column::Date, r));
    v.secondsOfDay = CellReader::secondsOfDay(grid.cell(column::Time, r));
    return v;
}

std::optional<std::int32_t> ArchiveRowReader::thickness(const StringGrid& grid, int r) const
{
    const QString& text = grid.cell(column::Thickness, r);
    // "NAN" and the empty cells of a sorted table are read quickly as no value.
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
    const int first = grid.fixedRows() > 0 ? 1 : 0;
    out.reserve(static_cast<std::size_t>(std::max(0, grid.rowCount() - first)));
    for (int r = first; r < grid.rowCount(); ++r)
        out.push_back(row(grid, r, fields));
    return out;
}

} // namespace quilex
