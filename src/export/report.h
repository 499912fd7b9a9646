#pragma once
// "Print": the archive table as a plain-text listing in a fixed-pitch font, one line per table
// row with the columns lined up by spaces, on A4 pages with a page header (title with the date
// and time, the column headings) and a page footer (the page number).
//
// TForm6 is the report form: it takes the table's texts when it is built and from then on never
// looks at the table again. Its detail band is driven by the two program-wide counters below,
// as the report engine calls the print events once per band.

#include "base/result.h"
#include "table/string_grid.h"

#include <QDateTime>
#include <QFont>
#include <QLocale>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <vector>

class QPagedPaintDevice;
class QPageLayout;
class QWidget;

namespace quilex {

// Width in characters of each standard column's field in a report line. The time column's 2
// is shorter than any time, so nothing follows a time. Later columns (a project file may
// bring them) get their heading's length plus two.
inline constexpr std::array<int, 8> ReportColumnWidths{5, 15, 23, 15, 10, 10, 13, 2};

// The detail band's counters, one pair for the whole program: the index of the report line the
// detail band prints next, and the number of report lines. Building a report form sets them to
// 0 and the table's RowCount.
extern std::int32_t ReportLineIndex;
extern std::int32_t ReportLineCount;

// Page and band sizes in millimetres; the bands start at the left margin.
namespace ReportLayout {
inline constexpr double MarginMm = 10.0;
inline constexpr double PageHeaderMm = 11.38;
inline constexpr double TitleLeftMm = 61.38;
inline constexpr double HeadingTopMm = 6.35;
inline constexpr double DetailLineMm = 4.23;
inline constexpr double DetailLeftMm = 0.53;
inline constexpr double PageFooterMm = 10.58;
inline constexpr double PageNumberLeftMm = 173.57;
inline constexpr double PageNumberTopMm = 4.23;
inline constexpr double TitlePointSize = 10.0;
inline constexpr double LinePointSize = 8.0;
inline constexpr double PageNumberPointSize = 8.0;
} // namespace ReportLayout

// The title: the title text followed directly by the date in the locale's short date format,
// a space and the time as hh:mm:ss, the program's time format. At exactly midnight the time is
// left out.
QString reportTitle(const QString& titleText, const QDateTime& moment, const QLocale& locale = QLocale::system());

// The report line of one table row: each cell without leading and trailing characters of codes
// 0 to 32, filled out with spaces to its field's width in characters. A text as long as its
// field or longer is taken whole, with nothing after it, and moves the following fields right.
QString reportLine(const StringGrid& grid, int row);

// What one page shows.
struct ReportPage {
    int number = 1;       // from 1
    QString title;        // the page header's title
    QString heading;      // the page header's line: report line 0
    QStringList body;     // the detail lines
};

// The fonts of the report: Arial's metric twin for the title and the page number, a font of
// truly fixed pitch for the lines.
struct ReportFonts {
    QFont title;
    QFont lines;
    QFont pageNumber;
};
ReportFonts reportFonts();

class TForm6 {
public:
    // Builds the title (in the language in use) and the report lines, and resets the counters.
    explicit TForm6(const StringGrid& grid, const QDateTime& moment = QDateTime::currentDateTime(),
                    const QLocale& locale = QLocale::system());

    const QString& title() const { return title_; }  // QRLabel1
    const QStringList& lines() const { return lines_; }

    // The print events. QRExpr2Print gives each page header's line, report line 0.
    // QRExpr1Print gives the next detail line, the empty text for line 0 (the page header
    // already shows it), and moves the counter on, back to 0 after the last line.
    QString QRExpr2Print() const;
    QString QRExpr1Print();

    // One pass of the report engine: the detail band once per report line, linesPerPage lines
    // to a page (at least one page). Each pass starts from line 0, so that a pass cut short (a
    // print job cancelled half-way) cannot shift the next one.
    std::vector<ReportPage> layOut(int linesPerPage);

    // Detail lines that fit on a page of this layout (60 on A4 with 10 mm margins).
    static int linesPerPage(const QPageLayout& layout);

    // Lays the report out for the device's page and paints every page. False when the device
    // cannot be painted on.
    bool render(QPagedPaintDevice& device);

private:
    QString title_;
    QStringList lines_;
};

// A4 portrait with 10 mm margins on all sides.
void setUpReportPage(QPagedPaintDevice& device);

// Writes the report's pages, as the preview shows them, to a PDF file. The file is written under
// a temporary name and renamed when complete. Fails with a short description of what went wrong.
Result<void> writeReportPdf(const StringGrid& grid, const QString& path);

// Print1Click: builds a report form from the table and shows its pages in a modal print
// preview, from which the user prints them. The table is only read; what fails on the way
// (memory) is thrown to the command, which tells the user.
void showPrintPreview(QWidget* parent, const StringGrid& grid, const QString& folder = QString());

// The print job's name, which the print dialog also suggests as the name of a PDF: the title
// text and the full date and time, with no dot in it (the dialog would cut the name at its
// last dot) and no colon, so that two reports of one day never share a name.
QString reportDocumentName(const QString& titleText, const QDateTime& moment);

} // namespace quilex
