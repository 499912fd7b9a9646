#include "windows/statistics_window.h"

#include "table/main_window_texts.h"
#include "base/texts.h"
#include "export/file_replace.h"
#include "windows/text_fit.h"

#include <QApplication>
#include <QBoxLayout>
#include <QClipboard>
#include <QFileDialog>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QMessageBox>
#include <QMimeData>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QShortcut>
#include <QTableView>
#include <QTextDocument>

namespace quilex {

namespace {

const TextPair Caption{u"Статистика", u"Statistics"};
const TextPair CopyButton{u"Копировать", u"Copy"};
const TextPair PrintButton{u"Печать", u"Print"};
const TextPair PdfButton{u"Сохранить в PDF", u"Save as PDF"};
const TextPair UnreadableText{u"Строк без толщины (не учтены): %1", u"Rows without a thickness (left out): %1"};
const TextPair LimitsHint{u"Номинал и допустимый минимум вводятся в двух последних столбцах: в строке серии для неё, "
                          u"в строке «Все» для всей таблицы.",
                          u"Enter the nominal and the allowable minimum in the last two columns: on a series' row "
                          u"for that series, on the row \"All\" for the whole table."};
const TextPair PdfNotSaved{u"Не удалось записать файл %1", u"Cannot write the file %1"};

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

void printDocument(const QString& html, QPagedPaintDevice& device)
{
    device.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(10, 10, 10, 10),
                                     QPageLayout::Millimeter));
    QTextDocument document;
    document.setHtml(html);
    document.print(&device);
}

} // namespace

StatisticsWindow::StatisticsWindow(const TableValues& table, QWidget* parent)
    : QWidget(parent, Qt::Window), pdfDialog(defaultPdfDialog), table_(table), model_(new StatisticsModel(this)),
      view_(new QTableView(this)), unreadable_(new QLabel(this)), copy_(new QPushButton(this)),
      print_(new QPushButton(this)), pdf_(new QPushButton(this))
{
    view_->setModel(model_);
    view_->verticalHeader()->hide();
    view_->verticalHeader()->setDefaultSectionSize(view_->fontMetrics().height() + 8);
    view_->setSelectionMode(QAbstractItemView::ContiguousSelection);
    view_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                           QAbstractItemView::AnyKeyPressed);
    auto* hint = new QLabel(this);
    hint->setObjectName(QStringLiteral("hint"));
    hint->setWordWrap(true);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(unreadable_, 1);
    buttons->addWidget(copy_);
    buttons->addWidget(print_);
    buttons->addWidget(pdf_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(view_, 1);
    layout->addWidget(hint);
    layout->addLayout(buttons);
    connect(copy_, &QPushButton::clicked, this, &StatisticsWindow::copyTable);
    connect(print_, &QPushButton::clicked, this, &StatisticsWindow::printTable);
    connect(pdf_, &QPushButton::clicked, this, [this] {
        const QString path = pdfDialog ? pdfDialog(this, Text(Caption) + QStringLiteral(".pdf")) : QString();
        if (!path.isEmpty())
            saveTablePdf(path);
    });
    connect(model_, &StatisticsModel::limitsEdited, this, &StatisticsWindow::limitsEdited);
    auto* copyKey = new QShortcut(QKeySequence::Copy, view_);
    copyKey->setContext(Qt::WidgetShortcut);
    connect(copyKey, &QShortcut::activated, this, &StatisticsWindow::copyTable);
    auto* close = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(close, &QShortcut::activated, this, &QWidget::close);
    resize(900, 360);
    retranslate();
}

void StatisticsWindow::retranslate()
{
    setWindowTitle(Text(Caption));
    copy_->setText(Text(CopyButton));
    print_->setText(Text(PrintButton));
    pdf_->setText(Text(PdfButton));
    findChild<QLabel*>(QStringLiteral("hint"))->setText(Text(LimitsHint));
    refresh(model_->limits());
}

void StatisticsWindow::refresh(const TableLimits& limits)
{
    model_->update(table_.dataRows(), limits, languageIndex());
    unreadable_->setText(Text(UnreadableText).arg(model_->statistics().all.unreadable));
    // Every header and figure whole, in the font in use.
    view_->resizeColumnsToContents();
    int width = 0;
    for (int col = 0; col < model_->columnCount(); ++col)
        width += view_->columnWidth(col);
    const int wanted = width + 2 * view_->frameWidth() + 40;
    // Every row on the screen too, a few dozen series at most before it scrolls.
    const int rows = std::min(model_->rowCount(), 24);
    const int tall = view_->horizontalHeader()->sizeHint().height() + rows * view_->verticalHeader()->defaultSectionSize() +
                     2 * view_->frameWidth() + 110;
    if (this->width() < wanted || this->height() < tall)
        resize(std::max(this->width(), wanted), std::max(this->height(), tall));
}

QString StatisticsWindow::tableHtml() const
{
    QString html = QStringLiteral("<table border=\"1\" cellspacing=\"0\" cellpadding=\"3\"><tr>");
    for (const QString& title : model_->headerTexts())
        html += QStringLiteral("<th>") + title.toHtmlEscaped() + QStringLiteral("</th>");
    html += QStringLiteral("</tr>");
    for (const QStringList& row : model_->rowTexts()) {
        html += QStringLiteral("<tr>");
        for (const QString& cell : row)
            html += QStringLiteral("<td>") + cell.toHtmlEscaped() + QStringLiteral("</td>");
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

QString StatisticsWindow::printedHtml() const
{
    return QStringLiteral("<h3>") + Text(Caption).toHtmlEscaped() + QStringLiteral("</h3>") + tableHtml();
}

void StatisticsWindow::printTable()
{
    const QString html = printedHtml();
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(Text(Caption));
    QPrintPreviewDialog dialog(&printer, this);
    connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
            [&html](QPrinter* target) { printDocument(html, *target); });
    dialog.exec();
}

bool StatisticsWindow::saveTablePdf(const QString& path)
{
    const QString html = printedHtml();
    ReplacingFile target(path);
    bool saved = target.prepare();
    if (saved) {
        {
            QPdfWriter writer(target.temporaryPath());
            writer.setTitle(Text(Caption));
            printDocument(html, writer);
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
