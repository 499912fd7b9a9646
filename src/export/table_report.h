#pragma once
// "Inspection report" / "Протокол контроля": the current table as a report to sign. The title
// block (object, place, operator, gauge and serial, probe, calibration, couplant, date), the
// thickness limits, the statistics per series as "quilex-cli stats" gives them with the whole
// table's row, the chart, and every reading, those below their minimum marked in words and
// shaded. Thicknesses and limits with two decimals in the locale's separator, dates as the
// table shows them. The chart is drawn by the caller (the charts sit above this folder).

#include "base/result.h"
#include "export/report_document.h"
#include "table/report_title.h"
#include "table/thickness_limits.h"

#include <QDate>
#include <QLocale>
#include <QString>

class QWidget;

namespace quilex {

class TableValues;

struct InspectionReport {
    const TableValues* values = nullptr; // the table and its rows' values; must outlive the report
    TableLimits limits;
    ReportTitle title;
    QDate date = QDate::currentDate();
    int languageIndex = 0;
    QLocale locale = QLocale::system();
    PicturePainter chart; // empty: no chart
};

// The report's pages, ready to paint, write or preview.
ReportDocument inspectionReportDocument(const InspectionReport& report);

// The file name the print dialog offers: the title and the date and time, without dots or colons.
QString inspectionReportName(const InspectionReport& report);

// Writes the report as a PDF file, whole or not at all.
Result<void> writeInspectionReportPdf(const InspectionReport& report, const QString& path);

// A modal preview of the report, from which it is printed or saved as PDF (offered in folder).
void showInspectionReportPreview(QWidget* parent, const InspectionReport& report, const QString& folder);

} // namespace quilex
