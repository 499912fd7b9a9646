#include "history/table_readings.h"

#include "table/table_values.h"

namespace quilex {

IncomingReadings readingsOfTable(const StringGrid& table, const QLocale& locale)
{
    const TableValues values(table, locale, TableValues::Unwatched{});
    return readingsOfTable(values.dataRows());
}

IncomingReadings readingsOfTable(std::span<const ArchiveValues> rows)
{
    IncomingReadings out;
    out.readings.reserve(rows.size());
    for (const ArchiveValues& row : rows) {
        // A thickness of 0 is the gauge's "no echo", not a wall.
        if (!row.thickness || *row.thickness <= 0 || !row.date || !row.date->isValid() || row.date->year() < 1
            || row.date->year() > 9999 || !row.series || *row.series < 0 || !row.number || *row.number < 0) {
            ++out.skipped;
            continue;
        }
        IncomingReading reading;
        reading.location = {*row.series, *row.number};
        reading.date = *row.date;
        reading.secondsOfDay = row.secondsOfDay;
        reading.thickness = *row.thickness;
        reading.soundSpeed = row.soundSpeed;
        // A sorted table stores its empty cells as one space.
        reading.material = plainText(row.material.trimmed());
        out.readings.push_back(std::move(reading));
    }
    return out;
}

} // namespace quilex
