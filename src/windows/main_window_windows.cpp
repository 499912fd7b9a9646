// The main window's commands that open other windows or write other files. Until those
// windows are built, each says so.

#include "windows/main_window.h"
#include "table/main_window_texts.h"
#include "export/report.h"
#include "export/spreadsheet_export.h"
#include "windows/about_box.h"
#include "windows/help_window.h"
#include "windows/material_settings.h"
#include "windows/screenshot_window.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

namespace quilex {

void TForm1::Button2Click()
{
    if (runner_.busy())
        return;
    runCommand([this] {
        // A new window each time; the one before lives on, hidden, until now, because an
        // exchange it started may have reported into it after it was closed.
        materialWindow_ = std::make_unique<TForm3>(runner_, this);
        state_.ReadMaterialsFirst = false;
        state_.ArchiveRequested = false;
        const int finishedBefore = finishedExchanges_;
        if (!materialWindow_->startRead())
            return;
        connect(materialWindow_.get(), &TForm3::materialsWritten, this,
                [this] { setStatus([] { return Text(WrittenToGaugeStatusText); }); });
        materialWindow_->exec();
        afterExchange(finishedBefore);
    });
}
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
    const QString path = saveSpreadsheetDialog(
        this,
        inLastFolder(spreadsheetFileName_.isEmpty() ? QString::fromUtf16(SpreadsheetInitialFileName) : spreadsheetFileName_),
        QString::fromUtf16(SpreadsheetFilter));
    if (path.isEmpty())
        return;
    spreadsheetFileName_ = path;
    noteFolderOf(path);
    if (const auto checked = spreadsheetTableCheck(ArchiveTable); !checked) {
        showError(checked.error());
        return;
    }
    if (const auto written = ExportToSpreadsheet(ArchiveTable, path, Text(MainText::ArchiveTitle), QLocale::system(),
                                                 limits_, -1, &tableValues_);
        !written) {
        showError(written.error());
        return;
    }
    const QString name = QFileInfo(path).fileName();
    setStatus([name] { return Text(SavedStatusText).arg(name); });
}

void TForm1::Print1Click()
{
    runCommand([this] { showPrintPreview(this, ArchiveTable, lastFolder_); });
}
void TForm1::N1Click()
{
    if (runner_.busy())
        return;
    runCommand([this] {
        screenshotWindow_ = std::make_unique<TForm5>(runner_, this);
        const int finishedBefore = finishedExchanges_;
        screenshotWindow_->exec();
        afterExchange(finishedBefore);
    });
}

void TForm1::Contents1Click()
{
    showHelp();
}

void TForm1::About1Click()
{
    TAboutBox box(this);
    box.exec();
}

} // namespace quilex
