// The main window's inspection report: its menu item after the File menu's own items, the
// dialog for the title block's texts, and the preview or the PDF it leads to.

#include "windows/main_window.h"

#include "charts/report_chart.h"
#include "export/table_report.h"
#include "export/report_texts.h"
#include "table/main_window_texts.h"
#include "windows/report_title_dialog.h"

#include <QAction>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>

namespace quilex {

namespace {

std::optional<TForm1::ReportChoice> askWithTheDialog(QWidget* parent, ReportTitle& title)
{
    ReportTitleDialog dialog(title, parent);
    if (dialog.exec() != QDialog::Accepted || !dialog.choice())
        return std::nullopt;
    title = dialog.title();
    return *dialog.choice() == ReportTitleDialog::Choice::Pdf ? TForm1::ReportChoice::Pdf
                                                              : TForm1::ReportChoice::Preview;
}

QString askForPdf(QWidget* parent, const QString& initialName, const QString& filter)
{
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("pdf"));
    dialog.setNameFilters({filter});
    dialog.selectFile(initialName);
    return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty() ? dialog.selectedFiles().front()
                                                                                 : QString();
}

} // namespace

void TForm1::setUpInspectionReport()
{
    askReportTitle = askWithTheDialog;
    saveReportPdfDialog = askForPdf;
    File1->addSeparator();
    InspectionReport1 = File1->addAction(QString(), this, &TForm1::InspectionReport1Click);
}

void TForm1::retranslateInspectionReport()
{
    InspectionReport1->setText(Text(report_texts::InspectionTitle) + QStringLiteral("..."));
}

void TForm1::InspectionReport1Click()
{
    if (!clipboardGuard())
        return;
    ReportTitle title = reportTitle_;
    const std::optional<ReportChoice> choice = askReportTitle ? askReportTitle(this, title) : ReportChoice::Preview;
    if (!choice)
        return;
    // The texts are the project's: a change is saved with it.
    if (title != reportTitle_) {
        reportTitle_ = title;
        setWindowModified(true);
    }
    InspectionReport report;
    report.values = &tableValues_;
    report.limits = limits_;
    report.title = reportTitle_;
    report.languageIndex = languageIndex();
    report.chart = readingsChartPicture(tableValues_.dataRows(), limits_, languageIndex());
    if (*choice == ReportChoice::Preview) {
        runCommand([&] { showInspectionReportPreview(this, report, lastFolder_); });
        return;
    }
    const QString path = saveReportPdfDialog(this, inLastFolder(inspectionReportName(report) + QStringLiteral(".pdf")),
                                             Text(report_texts::PdfFilter));
    if (path.isEmpty())
        return;
    noteFolderOf(path);
    if (const auto written = writeInspectionReportPdf(report, path); !written) {
        showError(written.error());
        return;
    }
    const QString name = QFileInfo(path).fileName();
    setStatus([name] { return Text(SavedStatusText).arg(name); });
}

} // namespace quilex
