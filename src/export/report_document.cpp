#include "export/report_document.h"

#include "export/pdf_pages.h"
#include "export/report.h"
#include "export/report_texts.h"
#include "table/main_window_texts.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFontMetricsF>
#include <QLineEdit>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QScopeGuard>

#include <algorithm>
#include <cmath>
#include <memory>
#include <numeric>

namespace quilex {

namespace {

// Millimetres of the page's furniture.
constexpr double HeaderBandMm = 8.0;  // the running header on pages after the first
constexpr double FooterBandMm = 7.0;  // "page N of M"
constexpr double CellPadXMm = 1.0;
constexpr double CellPadYMm = 0.5;
constexpr double PaneGapMm = 6.0;
constexpr double SwatchMm = 2.4;
constexpr double KeepWithNextMm = 22.0;
// A table too wide for the page is set smaller, down to this, before any word would be split.
constexpr double SmallestPointSize = 5.0;
constexpr double FurniturePointSize = 7.5;
constexpr double CaptionPointSize = 8.5; // a picture's caption, as a paragraph

QFont reportFont(double pointSize, bool bold)
{
    QFont font(QStringLiteral("Liberation Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    return font;
}

using Op = std::function<void(QPainter&)>;

struct Page {
    std::vector<Op> ops;
};

// One pass over the blocks: where each goes, on which page, drawn by which operation.
class Layout {
public:
    Layout(QPaintDevice& device, double width, double height, double pxPerMm)
        : device_(device), width_(width), bottom_(height - pxPerMm * FooterBandMm), pxPerMm_(pxPerMm)
    {
        pages_.emplace_back();
    }

    double px(double mm) const { return mm * pxPerMm_; }
    double width() const { return width_; }
    double room() const { return bottom_ - y_; }
    bool atTop() const { return y_ <= top() + 0.5; }
    double top() const { return pages_.size() == 1 ? 0 : px(HeaderBandMm); }
    void newPage()
    {
        pages_.emplace_back();
        y_ = top();
    }
    void add(Op op) { pages_.back().ops.push_back(std::move(op)); }
    double& y() { return y_; }
    std::vector<Page>& pages() { return pages_; }
    QPaintDevice& device() { return device_; }

    void text(const QString& text, double pointSize, bool bold, double spaceBeforeMm, bool keepWithNext)
    {
        const QFont font = reportFont(pointSize, bold);
        const QFontMetricsF metrics(font, &device_);
        const QStringList lines = wrapWords(text, [&](const QString& s) { return metrics.horizontalAdvance(s); }, width_);
        const double lineHeight = metrics.lineSpacing();
        if (!atTop())
            y_ += px(spaceBeforeMm);
        const double needed = (keepWithNext ? px(KeepWithNextMm) : 0) + lineHeight * std::min<qsizetype>(lines.size(), 3);
        if (!atTop() && room() < needed)
            newPage();
        for (const QString& line : lines) {
            if (room() < lineHeight && !atTop())
                newPage();
            const QRectF box(0, y_, width_, lineHeight);
            add([font, box, line](QPainter& p) {
                p.setFont(font);
                p.setPen(Qt::black);
                p.drawText(box, Qt::AlignLeft | Qt::AlignVCenter, line);
            });
            y_ += lineHeight;
        }
    }

    void picture(double heightMm, const PicturePainter& painter, const QString& caption)
    {
        if (!painter)
            return;
        const QFont font = reportFont(CaptionPointSize, false);
        const double captionHeight = caption.isEmpty() ? 0 : QFontMetricsF(font, &device_).lineSpacing();
        const double height = std::min(px(heightMm), bottom_ - top() - captionHeight);
        if (!atTop())
            y_ += px(2);
        if (room() < captionHeight + height)
            newPage();
        if (!caption.isEmpty()) {
            const QRectF box(0, y_, width_, captionHeight);
            add([font, box, caption](QPainter& p) {
                p.setFont(font);
                p.setPen(Qt::black);
                p.drawText(box, Qt::AlignLeft | Qt::AlignVCenter, caption);
            });
            y_ += captionHeight;
        }
        const QRectF box(0, y_, width_, height);
        add([painter, box](QPainter& p) {
            p.save();
            painter(p, box);
            p.restore();
        });
        y_ += height;
    }

    void table(const ReportTable& table);

private:
    QPaintDevice& device_;
    double width_;
    double bottom_;
    double pxPerMm_;
    double y_ = 0;
    std::vector<Page> pages_;
};

void Layout::table(const ReportTable& t)
{
    qsizetype columns = t.header.size();
    for (const auto& row : t.rows)
        columns = std::max(columns, qsizetype(row.size()));
    if (columns == 0)
        return;
    const auto cols = std::size_t(columns);
    const double padX = px(CellPadXMm);
    const double padY = px(CellPadYMm);
    const double swatch = px(SwatchMm);

    // The widths: each column at least as wide as its longest word, so that no word is ever
    // split; a header may wrap where its column's values are narrower; as wide as the longest
    // text when the page has room. Too wide even so: smaller type.
    double pointSize = t.pointSize;
    int panes = std::max(1, t.panes);
    // full: every text on one line; compact: the values on one line, the header wrapped;
    // minimum: the longest word.
    std::vector<double> full(cols), compact(cols), minimum(cols);
    QFont font, bold;
    auto paneWidth = [&](int n) { return (width_ - px(PaneGapMm) * (n - 1)) / n; };
    auto sum = [](const std::vector<double>& v) { return std::accumulate(v.begin(), v.end(), 0.0); };
    for (;;) {
        font = reportFont(pointSize, false);
        bold = reportFont(pointSize, true);
        const QFontMetricsF plain(font, &device_), heavy(bold, &device_);
        std::fill(full.begin(), full.end(), 0.0);
        std::fill(compact.begin(), compact.end(), 0.0);
        std::fill(minimum.begin(), minimum.end(), 0.0);
        auto measure = [&](std::size_t c, const QString& text, const QFontMetricsF& m, double extra, bool header) {
            for (const QString& line : text.split(u'\n')) {
                const double whole = m.horizontalAdvance(line) + extra;
                full[c] = std::max(full[c], whole);
                for (const QString& word : line.split(u' ', Qt::SkipEmptyParts)) {
                    const double w = m.horizontalAdvance(word) + extra;
                    minimum[c] = std::max(minimum[c], w);
                    if (header)
                        compact[c] = std::max(compact[c], w);
                }
                if (!header)
                    compact[c] = std::max(compact[c], whole);
            }
        };
        for (std::size_t c = 0; c < cols && c < std::size_t(t.header.size()); ++c)
            measure(c, t.header[qsizetype(c)], heavy, 0, true);
        for (const auto& row : t.rows)
            for (std::size_t c = 0; c < row.size(); ++c)
                measure(c, row[c].text, row[c].bold ? heavy : plain, row[c].swatch ? swatch * 1.4 : 0, false);
        for (std::size_t c = 0; c < cols; ++c) {
            full[c] += 2 * padX;
            compact[c] += 2 * padX;
            minimum[c] += 2 * padX;
        }
        while (panes > 1 && sum(compact) > paneWidth(panes))
            --panes;
        if (sum(minimum) <= paneWidth(panes) || pointSize <= SmallestPointSize)
            break;
        pointSize = std::max(SmallestPointSize, pointSize - 0.5);
    }
    const double pane = paneWidth(panes);
    // From the narrower widths towards the wider ones, each column by its share of the room.
    auto between = [&](const std::vector<double>& from, const std::vector<double>& to) {
        const double want = sum(to) - sum(from);
        const double room = pane - sum(from);
        std::vector<double> w(cols);
        for (std::size_t c = 0; c < cols; ++c)
            w[c] = from[c] + (want > 0 ? room * (to[c] - from[c]) / want : 0);
        return w;
    };
    std::vector<double> widths;
    if (sum(full) <= pane) {
        widths = full;
        // A table without rules is a form of labels and values: it spreads over its pane, the
        // values taking the room, so that a second pair of a row starts at the same place on
        // every row. A ruled table that fits is no wider than it needs to be.
        if (!t.ruled) {
            const std::size_t values = cols / 2;
            for (std::size_t c = 1; c < cols && values > 0; c += 2)
                widths[c] += (pane - sum(full)) / double(values);
        }
    } else if (sum(compact) <= pane) {
        widths = between(compact, full);
    } else if (sum(minimum) <= pane) {
        widths = between(minimum, compact);
    } else {
        // The smallest type and still too wide: the columns keep their words whole and run
        // past the margin rather than cut one.
        widths = minimum;
    }

    const QFontMetricsF plain(font, &device_), heavy(bold, &device_);
    const double lineHeight = std::max(plain.lineSpacing(), heavy.lineSpacing());
    // A column made exactly as wide as its text must not wrap it for a rounding of the sum.
    const double slack = px(0.05);
    auto wrapCell = [&](const QString& text, std::size_t c, const QFontMetricsF& m, double extra) {
        return wrapWords(text, [&](const QString& s) { return m.horizontalAdvance(s); },
                         widths[c] - 2 * padX - extra + slack);
    };

    std::vector<QStringList> headerLines(cols);
    double headerHeight = 0;
    if (!t.header.isEmpty()) {
        std::size_t most = 1;
        for (std::size_t c = 0; c < cols; ++c) {
            headerLines[c] = wrapCell(t.header.value(qsizetype(c)), c, heavy, 0);
            most = std::max(most, std::size_t(headerLines[c].size()));
        }
        headerHeight = double(most) * lineHeight + 2 * padY;
    }
    std::vector<std::vector<QStringList>> rowLines(t.rows.size());
    std::vector<double> rowHeights(t.rows.size());
    for (std::size_t r = 0; r < t.rows.size(); ++r) {
        std::size_t most = 1;
        rowLines[r].resize(t.rows[r].size());
        for (std::size_t c = 0; c < t.rows[r].size(); ++c) {
            const ReportCell& cell = t.rows[r][c];
            rowLines[r][c] = wrapCell(cell.text, c, cell.bold ? heavy : plain, cell.swatch ? swatch * 1.4 : 0);
            most = std::max(most, std::size_t(rowLines[r][c].size()));
        }
        rowHeights[r] = double(most) * lineHeight + 2 * padY;
    }
    std::vector<double> after(t.rows.size() + 1, 0.0); // height of the rows from r on
    for (std::size_t r = t.rows.size(); r-- > 0;)
        after[r] = after[r + 1] + rowHeights[r];

    const QPen rule(QColor(0x80, 0x80, 0x80), px(0.15));
    auto alignOf = [&](std::size_t c) {
        return c < t.alignment.size() ? t.alignment[c] : Qt::Alignment(Qt::AlignLeft);
    };
    auto drawLines = [this, lineHeight, padX, padY](const QRectF& cell, const QStringList& lines, const QFont& f,
                                                    Qt::Alignment align, double indent) {
        add([=](QPainter& p) {
            p.setFont(f);
            p.setPen(Qt::black);
            double top = cell.top() + padY;
            for (const QString& line : lines) {
                p.drawText(QRectF(cell.left() + padX + indent, top, cell.width() - 2 * padX - indent, lineHeight),
                           align | Qt::AlignVCenter, line);
                top += lineHeight;
            }
        });
    };
    auto drawHeader = [&](double left, double top) {
        if (t.header.isEmpty())
            return;
        double x = left;
        for (std::size_t c = 0; c < cols; ++c) {
            const QRectF cell(x, top, widths[c], headerHeight);
            if (t.ruled)
                add([cell, rule](QPainter& p) {
                    p.setPen(rule);
                    p.setBrush(QColor(0xE8, 0xE8, 0xE8));
                    p.drawRect(cell);
                });
            drawLines(cell, headerLines[c], bold, alignOf(c), 0);
            x += widths[c];
        }
    };
    auto drawRow = [&](std::size_t r, double left, double top) {
        double x = left;
        for (std::size_t c = 0; c < cols; ++c) {
            const QRectF cell(x, top, widths[c], rowHeights[r]);
            const ReportCell* content = c < t.rows[r].size() ? &t.rows[r][c] : nullptr;
            const std::optional<QColor> background = content ? content->background : std::nullopt;
            if (t.ruled || background)
                add([cell, rule, background, ruled = t.ruled](QPainter& p) {
                    p.setPen(ruled ? rule : QPen(Qt::NoPen));
                    p.setBrush(background ? QBrush(*background) : QBrush(Qt::NoBrush));
                    p.drawRect(cell);
                });
            if (content) {
                double indent = 0;
                if (content->swatch) {
                    const QRectF square(cell.left() + padX, cell.top() + padY + (lineHeight - swatch) / 2, swatch, swatch);
                    add([square, colour = *content->swatch](QPainter& p) {
                        p.setPen(QPen(Qt::black, 0));
                        p.setBrush(colour);
                        p.drawRect(square);
                    });
                    indent = swatch * 1.4;
                }
                drawLines(cell, rowLines[r][c], content->bold ? bold : font, alignOf(c), indent);
            }
            x += widths[c];
        }
    };

    double tableWidth = std::accumulate(widths.begin(), widths.end(), 0.0);
    if (!atTop())
        y_ += px(1.5);
    const double firstRow = rowHeights.empty() ? 0 : rowHeights.front();
    if (room() < headerHeight + firstRow && !atTop())
        newPage();
    std::size_t r = 0;
    do {
        // One page: the panes side by side from here, the last page's rows shared out evenly.
        const double paneTop = y_;
        const double avail = bottom_ - paneTop - headerHeight;
        double lowest = paneTop + headerHeight;
        for (int p = 0; p < panes && (r < t.rows.size() || p == 0); ++p) {
            const double left = p * (tableWidth + px(PaneGapMm));
            const double limit = after[r] <= avail * (panes - p) ? after[r] / (panes - p) : avail;
            drawHeader(left, paneTop);
            double rowTop = paneTop + headerHeight;
            double used = 0;
            while (r < t.rows.size() && used + rowHeights[r] <= avail + 0.01 && (used < limit - 0.01 || used == 0)) {
                drawRow(r, left, rowTop);
                rowTop += rowHeights[r];
                used += rowHeights[r];
                ++r;
            }
            if (used == 0 && r < t.rows.size()) {
                // A row taller than a whole page: it goes alone and runs over the foot.
                drawRow(r, left, rowTop);
                rowTop += rowHeights[r];
                ++r;
            }
            lowest = std::max(lowest, rowTop);
        }
        y_ = lowest;
        if (r < t.rows.size())
            newPage();
    } while (r < t.rows.size());
}

} // namespace

QStringList wrapWords(const QString& text, const std::function<double(const QString&)>& widthOf, double width)
{
    QStringList lines;
    for (const QString& paragraph : text.split(u'\n')) {
        QString line;
        for (const QString& word : paragraph.split(u' ', Qt::SkipEmptyParts)) {
            const QString longer = line.isEmpty() ? word : line + u' ' + word;
            if (line.isEmpty() || widthOf(longer) <= width) {
                line = longer;
            } else {
                lines << line;
                line = word;
            }
        }
        lines << line;
    }
    return lines;
}

void ReportDocument::title(const QString& text)
{
    blocks_.push_back(TextBlock{text, 16, true, 0, false});
}

void ReportDocument::subtitle(const QString& text)
{
    blocks_.push_back(TextBlock{text, 10, false, 0.5, false});
}

void ReportDocument::heading(const QString& text)
{
    blocks_.push_back(TextBlock{text, 11, true, 5, true});
}

void ReportDocument::paragraph(const QString& text, bool bold)
{
    blocks_.push_back(TextBlock{text, 8.5, bold, 1.5, false});
}

void ReportDocument::table(ReportTable table)
{
    blocks_.push_back(std::move(table));
}

void ReportDocument::picture(double heightMm, PicturePainter painter, const QString& caption)
{
    if (painter)
        blocks_.push_back(Picture{heightMm, std::move(painter), caption});
}

void ReportDocument::pageBreak()
{
    blocks_.push_back(PageBreak{});
}

void ReportDocument::space(double mm)
{
    blocks_.push_back(Space{mm});
}

int ReportDocument::render(QPagedPaintDevice& device) const
{
    const QPageLayout layout = device.pageLayout();
    const int dpi = device.logicalDpiY();
    const QRectF paper = layout.paintRectPixels(dpi);
    const double pxPerMm = dpi / 25.4;
    Layout pages(device, paper.width(), paper.height(), pxPerMm);
    for (const Block& block : blocks_) {
        if (const auto* text = std::get_if<TextBlock>(&block))
            pages.text(text->text, text->pointSize, text->bold, text->spaceBeforeMm, text->keepWithNext);
        else if (const auto* table = std::get_if<ReportTable>(&block))
            pages.table(*table);
        else if (const auto* picture = std::get_if<Picture>(&block))
            pages.picture(picture->heightMm, picture->painter, picture->caption);
        else if (const auto* space = std::get_if<Space>(&block))
            pages.y() += pages.px(space->mm);
        else if (std::holds_alternative<PageBreak>(block) && !pages.atTop())
            pages.newPage();
    }

    QPainter painter;
    if (!painter.begin(&device))
        return 0;
    const QFont furniture = reportFont(FurniturePointSize, false);
    const QFontMetricsF metrics(furniture, &device);
    const int count = int(pages.pages().size());
    bool ok = true;
    for (int i = 0; i < count && ok; ++i) {
        if (i > 0 && !device.newPage()) {
            ok = false;
            break;
        }
        for (const Op& op : pages.pages()[std::size_t(i)].ops)
            op(painter);
        painter.setFont(furniture);
        painter.setPen(Qt::black);
        if (i > 0 && !runningHeader_.isEmpty()) {
            const QRectF line(0, 0, paper.width(), metrics.lineSpacing());
            painter.drawText(line, Qt::AlignLeft | Qt::AlignVCenter,
                             metrics.elidedText(runningHeader_, Qt::ElideRight, paper.width()));
            painter.setPen(QPen(QColor(0x80, 0x80, 0x80), pxPerMm * 0.2));
            const double rule = pxPerMm * (HeaderBandMm - 2.5);
            painter.drawLine(QPointF(0, rule), QPointF(paper.width(), rule));
            painter.setPen(Qt::black);
        }
        const QRectF foot(0, paper.height() - metrics.lineSpacing(), paper.width(), metrics.lineSpacing());
        painter.drawText(foot, Qt::AlignRight | Qt::AlignVCenter, pageNumberText_.arg(i + 1).arg(count));
    }
    return painter.end() && ok ? count : 0;
}

Result<void> ReportDocument::writePdf(const QString& path, const QString& documentTitle) const
{
    const auto written = writePdfPages(path, documentTitle, [this](QPdfWriter& writer) {
        writer.setPageLayout(reportPageLayout());
        return render(writer) > 0;
    });
    if (!written)
        return fail(Text(report_texts::CannotWritePdf).arg(path, written.error()));
    return done();
}

QPageLayout reportPageLayout()
{
    using namespace ReportLayout;
    return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(MarginMm, MarginMm, MarginMm, MarginMm),
                       QPageLayout::Millimeter);
}


void showReportPreview(QWidget* parent, const ReportDocument& document, const QString& documentName,
                       const QString& folder)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(reportPageLayout());
    printer.setCopyCount(1);
    printer.setDuplex(QPrinter::DuplexNone);
    printer.setPrintRange(QPrinter::AllPages);
    printer.setDocName(documentName);
    const QString before = QDir::currentPath();
    const bool moved = !folder.isEmpty() && QDir::setCurrent(folder);
    const auto back = qScopeGuard([&] {
        if (moved)
            QDir::setCurrent(before);
    });
    std::optional<PdfNameInFolder> pdfName;
    if (!folder.isEmpty())
        pdfName.emplace(folder, documentName);
    QPrintPreviewDialog dialog(&printer, parent);
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                     [&document](QPrinter* target) { document.render(*target); });
    dialog.exec();
}

} // namespace quilex
