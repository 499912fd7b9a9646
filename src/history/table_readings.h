#pragma once
// Where the history meets the archive table: the one place that turns a table into readings.

#include "history/history_types.h"

#include <QLocale>

namespace quilex {

class StringGrid;

// Every data row of an archive table (as any table reader or the window holds it) as a
// reading. A row without a thickness above 0, a valid date, a series or a number (each 0 or
// more) is skipped and counted; a row without a valid time is kept with no time.
IncomingReadings readingsOfTable(const StringGrid& table, const QLocale& locale = QLocale::system());

} // namespace quilex
