// The main window's commands that open other windows or write other files. Until those
// windows are built, each says so.

#include "app/main_window.h"
#include "app/main_window_texts.h"
#include "export/report.h"
#include "export/spreadsheet_export.h"

#include <QFileDialog>
#include <QMessageBox>

namespace quilex {

namespace {
void notReady(QWidget* parent)
{
    QMessageBox::information(parent, QStringLiteral("Quilex-A"), QStringLiteral("Not ready yet."));
}
} // namespace

void TForm1::Button2Click() { notReady(this); }
QString TForm1::runSpreadsheetDialog(QWidget* parent, const QString& initialName)
{
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setDefaultSuffix(QString());
    const QStringList filters = spreadsheetNameFilters();
    dialog.setNameFilters(filters);
    dialog.selectNameFilter(filters.front());
    dialog.selectFile(initialName);
    // A change of type adds the type's extension to a name that lacks it anywhere.
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog, filters](const QString& filter) {
        const QStringList chosen = dialog.selectedFiles();
        if (chosen.isEmpty())
            return;
        const QString renamed = spreadsheetFileNameForType(chosen.front(), int(filters.indexOf(filter)) + 1);
        if (renamed != chosen.front())
            dialog.selectFile(renamed);
    });
    return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty() ? dialog.selectedFiles().front()
                                                                                 : QString();
}

void TForm1::Save1Click()
{
    const QString path =
        saveSpreadsheetDialog(this, spreadsheetFileName_.isEmpty() ? QString::fromUtf16(SpreadsheetInitialFileName)
                                                                   : spreadsheetFileName_,
                              QString::fromUtf16(SpreadsheetFilter));
    if (path.isEmpty())
        return;
    spreadsheetFileName_ = path;
    if (auto refused = spreadsheetTableCheck(ArchiveTable)) {
        showError(*refused);
        return;
    }
    if (auto failed = ExportToSpreadsheet(ArchiveTable, path, Text(MainText::ArchiveTitle)))
        showError(*failed);
}

void TForm1::Print1Click()
{
    showPrintPreview(this, ArchiveTable);
}
void TForm1::N1Click() { notReady(this); }
void TForm1::Contents1Click() { notReady(this); }
void TForm1::About1Click() { notReady(this); }

} // namespace quilex
