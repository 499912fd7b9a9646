#include "export/report.h"

#include "table/main_window_texts.h"
#include "export/pdf_pages.h"

#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QApplication>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QScopeGuard>

#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>

namespace quilex {

std::int32_t ReportLineIndex = 0;
std::int32_t ReportLineCount = 0;

namespace {

// Code points, so that a letter outside the basic plane still counts as one character.
qsizetype characterCount(const QString& text)
{
    qsizetype n = text.size();
    for (QChar c : text)
        if (c.isLowSurrogate())
            --n;
    return n;
}

QString trimmedCell(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin].unicode() <= 32)
        ++begin;
    while (end > begin && text[end - 1].unicode() <= 32)
        --end;
    return text.mid(begin, end - begin);
}

qsizetype fieldWidth(const StringGrid& grid, int col)
{
    if (col < int(ReportColumnWidths.size()))
        return ReportColumnWidths[std::size_t(col)];
    return characterCount(trimmedCell(grid.cell(col, 0))) + 2;
}

bool isFixedPitch(const QFont& font)
{
    return QFontInfo(font).fixedPitch();
}

// A font of truly fixed pitch: the report's columns line up only if every character, the space
// included, is as wide as any other. A plain request for a family that is not installed gives a
// proportional substitute, so each candidate is checked.
QFont fixedPitchFont(double pointSize)
{
    QFont system = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    system.setPointSizeF(pointSize);
    if (isFixedPitch(system))
        return system;
    for (const char* family : {"DejaVu Sans Mono", "Liberation Mono"}) {
        QFont font(QString::fromLatin1(family));
        font.setPointSizeF(pointSize);
        font.setStyleHint(QFont::Monospace);
        if (isFixedPitch(font))
            return font;
    }
    QFont hinted(QStringLiteral("monospace"));
    hinted.setStyleHint(QFont::Monospace);
    hinted.setFixedPitch(true);
    hinted.setPointSizeF(pointSize);
    return hinted;
}

QFont sansFont(double pointSize)
{
    QFont font(QStringLiteral("Liberation Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(pointSize);
    return font;
}

struct Painting {
    QPainter& painter;
    double pxPerMm;
    const ReportFonts& fonts;

    double px(double mm) const { return mm * pxPerMm; }

    // Texts are placed by the top of their line box, as the bands place them.
    void text(const QFont& font, double leftMm, double topPx, const QString& s)
    {
        painter.setFont(font);
        const QFontMetricsF metrics(font, painter.device());
        painter.drawText(QPointF(px(leftMm), topPx + metrics.ascent()), s);
    }
};

void paintPage(Painting& p, const ReportPage& page, double pageHeightPx)
{
    using namespace ReportLayout;
    p.painter.setPen(Qt::black);
    p.text(p.fonts.title, TitleLeftMm, 0, page.title);
    p.text(p.fonts.lines, 0, p.px(HeadingTopMm), page.heading);
    double top = p.px(PageHeaderMm);
    for (const QString& line : page.body) {
        p.text(p.fonts.lines, DetailLeftMm, top, line);
        top += p.px(DetailLineMm);
    }
    const double footerTop = pageHeightPx - p.px(PageFooterMm);
    p.text(p.fonts.pageNumber, PageNumberLeftMm, footerTop + p.px(PageNumberTopMm), QString::number(page.number));
}

} // namespace

QString reportTitle(const QString& titleText, const QDateTime& moment, const QLocale& locale)
{
    QString title = titleText + locale.toString(moment.date(), locale.dateFormat(QLocale::ShortFormat));
    if (moment.time() != QTime(0, 0))
        title += u' ' + moment.time().toString(QStringLiteral("hh:mm:ss"));
    return title;
}

QString reportLine(const StringGrid& grid, int row)
{
    QString line;
    for (int col = 0; col < grid.colCount(); ++col) {
        const QString text = trimmedCell(grid.cell(col, row));
        line += text;
        const qsizetype missing = fieldWidth(grid, col) - characterCount(text);
        if (missing > 0)
            line += QString(missing, u' ');
    }
    return line;
}

ReportFonts reportFonts()
{
    using namespace ReportLayout;
    return {sansFont(TitlePointSize), fixedPitchFont(LinePointSize), sansFont(PageNumberPointSize)};
}

TForm6::TForm6(const StringGrid& grid, const QDateTime& moment, const QLocale& locale)
    : title_(reportTitle(Text(MainText::ArchiveTitle), moment, locale))
{
    ReportLineIndex = 0;
    ReportLineCount = grid.rowCount();
    lines_.reserve(grid.rowCount());
    for (int row = 0; row < grid.rowCount(); ++row)
        lines_ << reportLine(grid, row);
}

QString TForm6::QRExpr2Print() const
{
    return lines_.value(0);
}

QString TForm6::QRExpr1Print()
{
    // The counters are shared by every report form; an index that does not belong to this form's
    // lines prints as an empty line instead of reading past them.
    const QString value = ReportLineIndex == 0 ? QString() : lines_.value(ReportLineIndex);
    if (ReportLineIndex < ReportLineCount - 1)
        ++ReportLineIndex;
    else
        ReportLineIndex = 0;
    return value;
}

std::vector<ReportPage> TForm6::layOut(int linesPerPage)
{
    linesPerPage = std::max(1, linesPerPage);
    ReportLineIndex = 0;
    ReportLineCount = std::int32_t(lines_.size());
    std::vector<ReportPage> pages;
    auto newPage = [&] {
        ReportPage page;
        page.number = int(pages.size()) + 1;
        page.title = title_;
        page.heading = QRExpr2Print();
        pages.push_back(std::move(page));
    };
    newPage();
    for (qsizetype i = 0; i < lines_.size(); ++i) {
        if (pages.back().body.size() == linesPerPage)
            newPage();
        pages.back().body << QRExpr1Print();
    }
    return pages;
}

int TForm6::linesPerPage(const QPageLayout& layout)
{
    using namespace ReportLayout;
    const double heightMm = layout.paintRect(QPageLayout::Millimeter).height();
    const double room = heightMm - PageHeaderMm - PageFooterMm;
    return std::max(1, int(std::floor(room / DetailLineMm + 1e-9)));
}

bool TForm6::render(QPagedPaintDevice& device)
{
    const QPageLayout layout = device.pageLayout();
    const std::vector<ReportPage> pages = layOut(linesPerPage(layout));
    QPainter painter;
    if (!painter.begin(&device))
        return false;
    const ReportFonts fonts = reportFonts();
    Painting p{painter, device.logicalDpiY() / 25.4, fonts};
    const double pageHeightPx = layout.paintRectPixels(device.logicalDpiY()).height();
    bool ok = true;
    for (std::size_t i = 0; i < pages.size() && ok; ++i) {
        if (i > 0 && !device.newPage())
            ok = false;
        else
            paintPage(p, pages[i], pageHeightPx);
    }
    return painter.end() && ok;
}

void setUpReportPage(QPagedPaintDevice& device)
{
    using namespace ReportLayout;
    device.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                     QMarginsF(MarginMm, MarginMm, MarginMm, MarginMm), QPageLayout::Millimeter));
}

Result<void> writeReportPdf(const StringGrid& grid, const QString& path)
{
    TForm6 form(grid);
    return writePdfPages(path, form.title(), [&form](QPdfWriter& writer) {
        setUpReportPage(writer);
        return form.render(writer);
    });
}

QString reportDocumentName(const QString& titleText, const QDateTime& moment)
{
    return titleText + moment.toString(QStringLiteral("yyyy-MM-dd HH-mm-ss"));
}


void showPrintPreview(QWidget* parent, const StringGrid& grid, const QString& folder)
{
    const QDateTime now = QDateTime::currentDateTime();
    auto form = std::make_unique<TForm6>(grid, now);
    QPrinter printer(QPrinter::HighResolution);
    setUpReportPage(printer);
    printer.setCopyCount(1);
    printer.setDuplex(QPrinter::DuplexNone);
    printer.setPrintRange(QPrinter::AllPages);
    printer.setPaperSource(QPrinter::Auto);
    printer.setDocName(reportDocumentName(Text(MainText::ArchiveTitle), now));
    // The print dialog suggests its PDF in the current folder (when it lies in the home
    // folder): for as long as the preview is open, that is the folder the user last used.
    const QString before = QDir::currentPath();
    const bool moved = !folder.isEmpty() && QDir::setCurrent(folder);
    const auto back = qScopeGuard([&] {
        if (moved)
            QDir::setCurrent(before);
    });
    std::optional<PdfNameInFolder> pdfName;
    if (!folder.isEmpty())
        pdfName.emplace(folder, printer.docName());
    QPrintPreviewDialog dialog(&printer, parent);
    // Called for the preview and again for every print from it; each call lays the pages
    // out afresh from line 0, so every printout is the same.
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                     [&form](QPrinter* target) { form->render(*target); });
    dialog.exec();
}

} // namespace quilex
