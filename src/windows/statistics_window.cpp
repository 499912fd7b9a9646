#include "windows/statistics_window.h"

#include "table/main_window_texts.h"
#include "base/texts.h"
#include "export/file_replace.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QBoxLayout>
#include <QClipboard>
#include <QDateTime>
#include <QFileDialog>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QMessageBox>
#include <QMimeData>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QShortcut>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTextDocument>
#include <QWindow>

#include <algorithm>

namespace quilex {

namespace {

const TextPair Caption{u"Статистика", u"Statistics"};
const TextPair PrintedTitle{u"Статистика: %1, %2", u"Statistics: %1, %2"};
const TextPair CopyButton{u"Копировать", u"Copy"};
const TextPair PrintButton{u"Печать", u"Print"};
const TextPair PdfButton{u"Сохранить в PDF", u"Save as PDF"};
const TextPair UnreadableText{u"Строк без толщины (не учтены): %1", u"Rows without a thickness (left out): %1"};
const TextPair LimitsHint{u"Номинал и допустимый минимум вводятся в двух последних столбцах: в строке серии для неё, "
                          u"в строке «Все» для всей таблицы. Серым курсивом показаны пределы всей таблицы у серий "
                          u"без своих.",
                          u"Enter the nominal and the allowable minimum in the last two columns: on a series' row "
                          u"for that series, on the row \"All\" for the whole table. Grey italics show the whole "
                          u"table's limits on series without their own."};
const TextPair PrintedInheritedNote{u"Серым курсивом — пределы всей таблицы у серий без своих.",
                                    u"In grey italics: the whole table's limits on series without their own."};
const TextPair PdfNotSaved{u"Не удалось записать файл %1", u"Cannot write the file %1"};

// Rows shown at most before the table scrolls: a few dozen series.
constexpr int MostRowsShown = 24;

QString defaultPdfDialog(QWidget* parent, const QString& suggested)
{
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("pdf"));
    dialog.setNameFilters({QStringLiteral("PDF (*.pdf)")});
    dialog.selectFile(suggested);
    return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty() ? dialog.selectedFiles().front()
                                                                                 : QString();
}

// A limit a series takes from the whole table is drawn grey and in italics, so that it is told
// from a series' own without the colour alone.
class LimitCellDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (!index.data(StatisticsModel::InheritedLimitRole).toBool())
            return;
        option->font.setItalic(true);
        // Halfway between the text and its background: grey on a light theme and on a dark one.
        for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
            const QColor text = option->palette.color(group, QPalette::Text);
            const QColor base = option->palette.color(group, QPalette::Base);
            option->palette.setColor(group, QPalette::Text,
                                     QColor((text.red() + base.red()) / 2, (text.green() + base.green()) / 2,
                                            (text.blue() + base.blue()) / 2));
        }
    }
};

// How wide a column's texts can be: each digit is given the font's widest, so texts of one
// shape ("12,50", "7,25") are measured once, and a table of hundreds of series is fitted from a
// handful of measurements.
int widestTexts(const std::vector<QStringList>& rows, int column, const QFontMetrics& metrics, QChar widestDigit)
{
    QStringList shapes;
    for (const QStringList& row : rows) {
        if (column >= row.size() || row[column].isEmpty())
            continue;
        QString shape = row[column];
        for (QChar& c : shape)
            if (c.isDigit())
                c = widestDigit;
        if (!shapes.contains(shape))
            shapes << shape;
    }
    int widest = 0;
    for (const QString& shape : shapes)
        widest = std::max(widest, metrics.horizontalAdvance(shape));
    return widest;
}

QChar widestDigit(const QFontMetrics& metrics)
{
    QChar widest = u'0';
    for (char16_t digit = u'1'; digit <= u'9'; ++digit)
        if (metrics.horizontalAdvance(QChar(digit)) > metrics.horizontalAdvance(widest))
            widest = QChar(digit);
    return widest;
}

} // namespace

StatisticsWindow::StatisticsWindow(const TableValues& table, QWidget* parent)
    : QWidget(parent, Qt::Window), pdfDialog(defaultPdfDialog), table_(table), model_(new StatisticsModel(this)),
      view_(new QTableView(this)), hint_(new QLabel(this)), unreadable_(new QLabel(this)),
      copy_(new QPushButton(this)), print_(new QPushButton(this)), pdf_(new QPushButton(this))
{
    view_->setModel(model_);
    view_->setItemDelegate(new LimitCellDelegate(view_));
    view_->verticalHeader()->hide();
    view_->verticalHeader()->setDefaultSectionSize(view_->fontMetrics().height() + 8);
    // The headers come on two lines; a header cut short would hide that it has a second.
    view_->horizontalHeader()->setTextElideMode(Qt::ElideNone);
    view_->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    view_->setSelectionMode(QAbstractItemView::ContiguousSelection);
    view_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                           QAbstractItemView::AnyKeyPressed);
    hint_->setObjectName(QStringLiteral("hint"));
    hint_->setWordWrap(true);
    auto* buttons = new QHBoxLayout;
    buttons->setObjectName(QStringLiteral("buttons"));
    buttons->addWidget(unreadable_, 1);
    buttons->addWidget(copy_);
    buttons->addWidget(print_);
    buttons->addWidget(pdf_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(view_, 1);
    layout->addWidget(hint_);
    layout->addLayout(buttons);
    connect(copy_, &QPushButton::clicked, this, &StatisticsWindow::copyTable);
    connect(print_, &QPushButton::clicked, this, &StatisticsWindow::printTable);
    connect(pdf_, &QPushButton::clicked, this, [this] {
        const QString path = pdfDialog ? pdfDialog(this, Text(Caption) + QStringLiteral(".pdf")) : QString();
        if (!path.isEmpty())
            saveTablePdf(path);
    });
    connect(model_, &StatisticsModel::limitsEdited, this, &StatisticsWindow::limitsEdited);
    // Other rows or another language: every column and the window are fitted afresh.
    connect(model_, &QAbstractItemModel::modelReset, this, [this] { measureAll_ = true; });
    // The figures' own cells are not edited: a double click on a "№" goes to its row instead.
    connect(view_, &QAbstractItemView::doubleClicked, this, &StatisticsWindow::chooseRecordOf);
    auto* copyKey = new QShortcut(QKeySequence::Copy, view_);
    copyKey->setContext(Qt::WidgetShortcut);
    connect(copyKey, &QShortcut::activated, this, &StatisticsWindow::copyTable);
    auto* close = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(close, &QShortcut::activated, this, &QWidget::close);
    resize(900, 360);
    ownSize_ = size();
    retranslate();
}

void StatisticsWindow::retranslate()
{
    setWindowTitle(Text(Caption));
    copy_->setText(Text(CopyButton));
    print_->setText(Text(PrintButton));
    pdf_->setText(Text(PdfButton));
    hint_->setText(Text(LimitsHint));
    refresh(model_->limits());
}

void StatisticsWindow::refresh(const TableLimits& limits)
{
    model_->update(table_.dataRows(), limits, languageIndex());
    const QString unreadable = Text(UnreadableText).arg(model_->statistics().all.unreadable);
    const bool longer = unreadable.size() != unreadable_->text().size();
    unreadable_->setText(unreadable);
    // The window is fitted anew only when its table's shape, a column's width or the line beside
    // the buttons has changed.
    const bool resized = fitColumns();
    if (resized || longer)
        fitWindow();
}

bool StatisticsWindow::fitColumns()
{
    ensurePolished();
    const int columns = model_->columnCount();
    const std::vector<bool>& changed = model_->changedColumns();
    if (int(cellNeeds_.size()) != columns || int(changed.size()) != columns)
        measureAll_ = true;
    bool resized = measureAll_;
    if (measureAll_) {
        headerNeeds_.assign(std::size_t(columns), 0);
        cellNeeds_.assign(std::size_t(columns), 0);
    }
    QHeaderView* header = view_->horizontalHeader();
    const QFontMetrics headerMetrics(header->font());
    const QFontMetrics cellMetrics(view_->font());
    QFont italic = view_->font();
    italic.setItalic(true);
    const QFontMetrics italicMetrics(italic);
    const QChar digit = widestDigit(cellMetrics);
    const QChar italicDigit = widestDigit(italicMetrics);
    // The header's margins and room for a sort mark; a cell's margins as the delegate draws them.
    const int headerPadding = 2 * style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header) + 8;
    const int cellPadding = 2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view_) + 1) + 8;
    for (int col = 0; col < columns; ++col) {
        if (!measureAll_ && !changed[std::size_t(col)])
            continue;
        if (measureAll_) {
            int widest = 0;
            for (const QString& line : model_->headerData(col, Qt::Horizontal).toString().split(u'\n'))
                widest = std::max(widest, headerMetrics.horizontalAdvance(line));
            headerNeeds_[std::size_t(col)] = widest + headerPadding;
        }
        int widest = widestTexts(model_->rowTexts(), col, cellMetrics, digit);
        if (col >= model_->figureColumns())
            widest = std::max(widest, widestTexts(model_->rowTexts(), col, italicMetrics, italicDigit));
        cellNeeds_[std::size_t(col)] = widest > 0 ? widest + cellPadding : 0;
        const int width = std::max(headerNeeds_[std::size_t(col)], cellNeeds_[std::size_t(col)]);
        if (view_->columnWidth(col) != width) {
            view_->setColumnWidth(col, width);
            resized = true;
        }
    }
    measureAll_ = false;
    return resized;
}

void StatisticsWindow::fitWindow()
{
    if (userSized_ || (windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen | Qt::WindowMinimized)))
        return;
    // The room on the screen for the window inside its frame. Until the window manager has framed
    // it, a frame of about a title bar and thin borders is assumed.
    const QScreen* screen = this->screen();
    const QRect available = screen ? screen->availableGeometry() : QRect(0, 0, 1366, 768);
    QMargins frame(6, 2 * fontMetrics().height() + 8, 6, 8);
    if (isVisible() && windowHandle() && !windowHandle()->frameMargins().isNull())
        frame = windowHandle()->frameMargins();
    const QRect room = available.marginsRemoved(frame);

    auto* box = static_cast<QBoxLayout*>(layout());
    const QMargins margins = box->contentsMargins();
    const int sides = margins.left() + margins.right();
    const int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, view_);
    const int viewFrame = 2 * view_->frameWidth();
    int columns = 0;
    for (int col = 0; col < model_->columnCount(); ++col)
        columns += view_->columnWidth(col);
    const QLayout* buttons = findChild<QLayout*>(QStringLiteral("buttons"));
    const int rows = model_->rowCount();
    int viewHeight = view_->horizontalHeader()->sizeHint().height() +
                     std::min(rows, MostRowsShown) * view_->verticalHeader()->defaultSectionSize() + viewFrame;
    bool scrollsDown = rows > MostRowsShown;
    int width = std::max(columns + viewFrame + (scrollsDown ? scrollBar : 0), buttons->sizeHint().width()) + sides;
    if (width > room.width()) {
        width = room.width();
        viewHeight += scrollBar; // the columns scroll across
    }
    const int below = box->spacing() + hint_->heightForWidth(width - sides) + box->spacing() +
                      buttons->sizeHint().height() + margins.top() + margins.bottom();
    if (viewHeight + below > room.height()) {
        viewHeight = room.height() - below;
        if (!scrollsDown)
            width = std::min(room.width(), width + scrollBar);
    }
    // Grown to its table, never shrunk under the user's eyes, and never past the screen.
    const QSize wanted = QSize(std::max(this->width(), width), std::max(this->height(), viewHeight + below))
                             .boundedTo(room.size());
    ownSize_ = wanted;
    if (wanted != size())
        resize(wanted);
    // First shown centred over the main window, wholly on the screen; later kept on it. The
    // window's own rectangle is placed in the room, and moved by its frame's corner.
    QRect place(geometry().topLeft(), wanted);
    if (!placed_ && !isVisible()) {
        const QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr;
        place.moveCenter(owner ? owner->geometry().center() : room.center());
    }
    place.moveLeft(std::clamp(place.left(), room.left(), std::max(room.left(), room.right() - place.width() + 1)));
    place.moveTop(std::clamp(place.top(), room.top(), std::max(room.top(), room.bottom() - place.height() + 1)));
    const QPoint corner = place.topLeft() - QPoint(frame.left(), frame.top());
    if (!placed_ || corner != pos()) {
        move(corner);
        placed_ = true;
    }
}

void StatisticsWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // A size the window did not ask for is the user's (or the window manager's at their word).
    if (isVisible() && event->size() != ownSize_)
        userSized_ = true;
}

void StatisticsWindow::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    switch (event->type()) {
    case QEvent::WindowStateChange:
        if (windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen))
            userSized_ = true;
        break;
    case QEvent::FontChange:
    case QEvent::StyleChange:
        measureAll_ = true;
        break;
    default:
        break;
    }
}

bool StatisticsWindow::chooseRecordOf(const QModelIndex& index)
{
    const int column = index.column();
    if (!index.isValid() || (column != statistics_column::MinimumRecord && column != statistics_column::MaximumRecord))
        return false;
    const SeriesStatistics& figures = model_->rowStatistics(index.row());
    if (figures.readings == 0)
        return false;
    const bool minimum = column == statistics_column::MinimumRecord;
    const QString& record = minimum ? figures.minimumRecord : figures.maximumRecord;
    const std::int32_t thickness = minimum ? figures.minimum : figures.maximum;
    // The first row of the series with that number and that thickness: the one the figure names.
    for (const ArchiveValues& row : table_.dataRows()) {
        if (row.thickness == thickness && row.record == record && (!figures.series || row.series == figures.series)) {
            Q_EMIT rowChosen(row.row);
            return true;
        }
    }
    return false;
}

QString StatisticsWindow::tableHtml() const
{
    QString html = QStringLiteral("<table border=\"1\" cellspacing=\"0\" cellpadding=\"3\"><thead><tr>");
    for (const QString& title : model_->headerTexts())
        html += QStringLiteral("<th>") + title.toHtmlEscaped() + QStringLiteral("</th>");
    html += QStringLiteral("</tr></thead>");
    const std::vector<QStringList>& rows = model_->rowTexts();
    for (std::size_t r = 0; r < rows.size(); ++r) {
        html += QStringLiteral("<tr>");
        for (qsizetype c = 0; c < rows[r].size(); ++c) {
            const QString cell = rows[r][c].toHtmlEscaped();
            const QString align = c == 0 ? QStringLiteral("left") : QStringLiteral("right");
            // The whole table's limits on a series without its own, grey and in italics as shown.
            if (model_->inheritedLimit(int(r), int(c)))
                html += QStringLiteral("<td align=\"%1\" style=\"color:#808080\"><i>%2</i></td>").arg(align, cell);
            else
                html += QStringLiteral("<td align=\"%1\">%2</td>").arg(align, cell);
        }
        html += QStringLiteral("</tr>");
    }
    return html + QStringLiteral("</table>");
}

void StatisticsWindow::copyTable()
{
    QString text = model_->headerTexts().join(u'\t') + QStringLiteral("\r\n");
    for (const QStringList& row : model_->rowTexts())
        text += row.join(u'\t') + QStringLiteral("\r\n");
    auto* data = new QMimeData;
    data->setText(text);
    data->setHtml(tableHtml());
    QApplication::clipboard()->setMimeData(data);
}

QString StatisticsWindow::printedTitle() const
{
    const QString name = tableName ? tableName() : Text(MainText::ArchiveTitle).trimmed();
    const QLocale locale = QLocale::system();
    const QDateTime now = QDateTime::currentDateTime();
    const QString date = locale.toString(now.date(), locale.dateFormat(QLocale::ShortFormat)) + u' ' +
                         now.time().toString(QStringLiteral("hh:mm"));
    return Text(PrintedTitle).arg(name, date);
}

QString StatisticsWindow::printedHtml() const
{
    QString html = QStringLiteral("<h3>") + printedTitle().toHtmlEscaped() + QStringLiteral("</h3>") + tableHtml();
    // On paper, as under the window's table, what the grey italics are.
    bool anyInherited = false;
    for (int row = 0; row < model_->rowCount() && !anyInherited; ++row)
        anyInherited = model_->inheritedLimit(row, model_->figureColumns()) ||
                       model_->inheritedLimit(row, model_->figureColumns() + 1);
    if (anyInherited)
        html += QStringLiteral("<p><i>") + Text(PrintedInheritedNote).toHtmlEscaped() + QStringLiteral("</i></p>");
    return html;
}

void StatisticsWindow::printTo(QPagedPaintDevice& device) const
{
    device.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(10, 10, 10, 10),
                                     QPageLayout::Millimeter));
    const QRectF page(QPointF(0, 0), device.pageLayout().paintRectPixels(device.logicalDpiX()).size());
    QTextDocument document;
    // Laid out in the device's own units, and a line is broken only between words: the font is
    // made as small as it takes for every column to hold its longest word.
    document.documentLayout()->setPaintDevice(&device);
    QTextOption option = document.defaultTextOption();
    option.setWrapMode(QTextOption::WordWrap);
    document.setDefaultTextOption(option);
    document.setHtml(printedHtml());
    document.setPageSize(page.size());
    QFont font = QApplication::font();
    for (double points = 10; points >= 5; points -= 0.5) {
        font.setPointSizeF(points);
        document.setDefaultFont(font);
        if (document.idealWidth() <= page.width())
            break;
    }
    QPainter painter(&device);
    for (int number = 0; number < document.pageCount(); ++number) {
        if (number > 0)
            device.newPage();
        painter.save();
        painter.translate(0, -number * page.height());
        document.drawContents(&painter, page.translated(0, number * page.height()));
        painter.restore();
    }
}

void StatisticsWindow::printTable()
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(printedTitle());
    QPrintPreviewDialog dialog(&printer, this);
    connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog, [this](QPrinter* target) { printTo(*target); });
    dialog.exec();
}

bool StatisticsWindow::saveTablePdf(const QString& path)
{
    ReplacingFile target(path);
    bool saved = target.prepare();
    if (saved) {
        {
            QPdfWriter writer(target.temporaryPath());
            writer.setTitle(printedTitle());
            printTo(writer);
        }
        saved = target.commit();
    }
    if (!saved) {
        QMessageBox box(QMessageBox::Critical, Text(MainText::ErrorCaption), Text(PdfNotSaved).arg(path), QMessageBox::Ok);
        box.exec();
    }
    return saved;
}

} // namespace quilex
