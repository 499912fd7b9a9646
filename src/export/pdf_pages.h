#pragma once
// What the two kinds of report share on their way out: their pages written as a PDF file, whole
// or not at all, and the print preview's PDF offered in the folder the user last used.

#include "base/result.h"

#include <QObject>
#include <QString>

#include <functional>

class QPdfWriter;

namespace quilex {

// Paints the pages into a PDF under a temporary name that replaces path only when the file is
// whole (it ends with its trailer: the PDF writer tells no write error of its own). paint gets
// the writer, its title and creator set, and says false when it could not paint. Fails with a
// short description of what went wrong.
Result<void> writePdfPages(const QString& path, const QString& title, const std::function<bool(QPdfWriter&)>& paint);

// While it lives, each print dialog that opens offers its PDF as documentName.pdf in folder. The
// dialog itself suggests the current folder only when it lies inside the home folder, and the
// home folder otherwise; the file name field is the dialog's own "filename" line.
class PdfNameInFolder final : public QObject {
public:
    PdfNameInFolder(QString folder, QString documentName);
    ~PdfNameInFolder() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QString folder_;
    QString documentName_;
};

} // namespace quilex
