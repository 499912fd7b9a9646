#include "export/pdf_pages.h"

#include "table/main_window_texts.h"
#include "export/file_replace.h"

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QLineEdit>
#include <QPdfWriter>
#include <QPrintDialog>

namespace quilex {

Result<void> writePdfPages(const QString& path, const QString& title, const std::function<bool(QPdfWriter&)>& paint)
{
    ReplacingFile target(path);
    if (!target.prepare())
        return fail(target.errorString());
    {
        QPdfWriter writer(target.temporaryPath());
        writer.setTitle(title);
        writer.setCreator(QString::fromUtf16(ApplicationTitle));
        if (!paint(writer))
            return fail(QStringLiteral("cannot paint the pages"));
    }
    QFile written(target.temporaryPath());
    if (!written.open(QIODevice::ReadOnly) || written.size() < 16)
        return fail(QStringLiteral("the pages were not written"));
    written.seek(written.size() - 16);
    if (!written.read(16).contains("%%EOF"))
        return fail(QStringLiteral("the pages were not written in full"));
    written.close();
    if (!target.commit())
        return fail(target.errorString());
    return done();
}

PdfNameInFolder::PdfNameInFolder(QString folder, QString documentName)
    : folder_(std::move(folder)), documentName_(std::move(documentName))
{
    qApp->installEventFilter(this);
}

PdfNameInFolder::~PdfNameInFolder()
{
    qApp->removeEventFilter(this);
}

bool PdfNameInFolder::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Show)
        if (auto* dialog = qobject_cast<QPrintDialog*>(watched))
            if (auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("filename")))
                name->setText(QDir(folder_).filePath(documentName_ + QStringLiteral(".pdf")));
    return false;
}

} // namespace quilex
