#pragma once
// Where the history meets the archive table: the one place that turns a table into readings.

#include "history/history_types.h"
#include "table/archive_values.h"

#include <QLocale>

#include <span>

namespace quilex {

class StringGrid;

// The data rows of an archive table, from the values kept beside it, as readings. A row without
// a thickness above 0, a valid date, a series or a number (each 0 or more) is skipped and
// counted; a row without a valid time is kept with no time.
IncomingReadings readingsOfTable(std::span<const ArchiveValues> rows);
// The same for a table as any table reader gives it, its rows read in the locale's forms.
IncomingReadings readingsOfTable(const StringGrid& table, const QLocale& locale = QLocale::system());

} // namespace quilex
