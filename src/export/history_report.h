#pragma once
// The report of a survey history, as a PDF to hand over and as a workbook to work on.
//
// The PDF: a title block (the object, its inspection code and class, the as-of date, the
// surveys), a summary (the locations by status, the groups, the ten worst locations with their
// next inspection), then per group the table of its locations. Dates as "history rates" writes
// them (YYYY-MM-DD), every figure its text from the same rows (history_tables.h).
//
// The workbook: the sheets Summary, Locations, Surveys and Readings, in this order, each with
// a frozen header row and set up to print one page wide; numbers as numbers, dates as dates;
// Readings holds every reading, one a row, as "history readings" lists them.

#include "base/result.h"
#include "export/report_document.h"
#include "history/history_types.h"
#include "history/rates.h"

#include <QDate>
#include <QLocale>

#include <functional>
#include <vector>

class QPainter;
class QRectF;

namespace quilex {

struct HistoryReport {
    HistorySettings settings;
    std::vector<LocationRates> rates; // historyRates(settings, measurements, rate, asOf)
    std::vector<Survey> surveys;
    std::vector<Reading> readings;    // the workbook's Readings sheet; the PDF does not list them
    QDate asOf;
    RateChoice rate = RateChoice::Larger;
    int languageIndex = 0;
    QLocale locale = QLocale::system();

    // The trend of one red or amber location, drawn into the rectangle it is given. When set,
    // each group's table is followed by one picture per red or amber location of the group,
    // captioned with the location and its status; empty, the report has no place for them.
    using TrendPainter = std::function<void(QPainter& painter, const QRectF& target, const LocationRates& location)>;
    TrendPainter trend;
};

// The locations ranked worst first: red, amber, grey, green; within a status the earliest next
// inspection, then the shortest remaining life, then by series and number. At most `count`.
std::vector<const LocationRates*> worstLocations(const std::vector<LocationRates>& rates, std::size_t count);

// "API 570, piping class 2" / "API 510".
QString codeText(const ObjectSettings& object, int languageIndex);

ReportDocument historyReportDocument(const HistoryReport& report);
Result<void> writeHistoryReportPdf(const HistoryReport& report, const QString& path);

// The sheets' names: the same in every language.
inline constexpr const char* HistorySheetNames[4] = {"Summary", "Locations", "Surveys", "Readings"};
// Rows a sheet holds below its header row.
inline constexpr std::size_t MaxSheetRows = 1048575;

Result<void> writeHistoryWorkbook(const HistoryReport& report, const QString& path);

} // namespace quilex
