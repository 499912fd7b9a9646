#pragma once
// The pages of a report worth signing, for the inspection report of a table and the report of
// a survey history: a title block on the first page, a one-line header on every other page,
// "page N of M" at the foot of every page, tables whose columns wrap only between words (a
// column is made at least as wide as its longest word, the font smaller when a table needs it)
// and pictures that their caller draws. The whole document is laid out for the paint device
// before the first page is painted, so that every page knows how many there are.
//
// A4 portrait with the listing's margins (report.h: setUpReportPage).

#include "base/result.h"

#include <QColor>
#include <QPageLayout>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <utility>
#include <variant>
#include <vector>

class QPagedPaintDevice;
class QPainter;
class QRectF;
class QWidget;

namespace quilex {

struct ReportCell {
    ReportCell() = default;
    ReportCell(QString text, bool bold = false, std::optional<QColor> background = std::nullopt,
               std::optional<QColor> swatch = std::nullopt)
        : text(std::move(text)), bold(bold), background(std::move(background)), swatch(std::move(swatch))
    {
    }

    QString text;
    bool bold = false;
    std::optional<QColor> background;
    // A small filled square before the text, as a status's colour beside its word: never the
    // only sign.
    std::optional<QColor> swatch;
};

struct ReportTable {
    QStringList header; // empty: no header row
    // Per column; a column without one is aligned left.
    std::vector<Qt::Alignment> alignment;
    std::vector<std::vector<ReportCell>> rows;
    // Lines round every cell, a grey header. A table without them is a form of label and value
    // pairs, which spreads over the page, its values taking the room.
    bool ruled = true;
    int panes = 1;       // side by side when the table is narrow enough: rows run down one, then the next
    double pointSize = 8;
};

// Draws a picture into the rectangle (device coordinates) it is given.
using PicturePainter = std::function<void(QPainter& painter, const QRectF& target)>;

class ReportDocument {
public:
    // The title block is what comes before the first heading; these are its pieces.
    void title(const QString& text);
    void subtitle(const QString& text);
    void heading(const QString& text);
    void paragraph(const QString& text, bool bold = false);
    void table(ReportTable table);
    // Nothing when painter is empty: the place a picture would take is not kept. A caption, when
    // given, stands over the picture on the same page.
    void picture(double heightMm, PicturePainter painter, const QString& caption = {});
    void space(double mm);
    // What follows starts on a page of its own (nothing on a page that is still empty).
    void pageBreak();

    // The one line over every page but the first, and the text of "page N of M" (%1, %2).
    void setRunningHeader(const QString& text) { runningHeader_ = text; }
    void setPageNumberText(const QString& text) { pageNumberText_ = text; }

    // Lays the document out for the device's page and paints every page; the number of pages,
    // or 0 when the device cannot be painted on.
    int render(QPagedPaintDevice& device) const;

    // Writes the pages to a PDF file under a temporary name, renamed over path when whole.
    // The failure's message names the file, in the language in use.
    Result<void> writePdf(const QString& path, const QString& documentTitle) const;

private:
    struct TextBlock {
        QString text;
        double pointSize;
        bool bold;
        double spaceBeforeMm;
        bool keepWithNext;
    };
    struct Picture {
        double heightMm;
        PicturePainter painter;
        QString caption;
    };
    struct Space {
        double mm;
    };
    struct PageBreak {};
    using Block = std::variant<TextBlock, ReportTable, Picture, Space, PageBreak>;
    std::vector<Block> blocks_;
    QString runningHeader_;
    QString pageNumberText_ = QStringLiteral("%1 / %2");
};

// A4 portrait with the listing's margins, for a report of this kind.
QPageLayout reportPageLayout();

// A modal print preview of the document, from which the user prints it or saves it as PDF; the
// print dialog offers its PDF in folder (when given) named documentName.pdf.
void showReportPreview(QWidget* parent, const ReportDocument& document, const QString& documentName,
                       const QString& folder);

// A word wider than width stays whole on a line of its own; lines break only at spaces (and at
// line breaks in the text). Public for the tests.
QStringList wrapWords(const QString& text, const std::function<double(const QString&)>& widthOf, double width);

} // namespace quilex
