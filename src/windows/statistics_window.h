#pragma once
// "Статистика" / "Statistics": the archive's figures per series and for the whole table, with
// the limits to set in place (a series' own, or the whole table's on its last row). It follows
// the archive table while it is open: a download, an opened project or a sort shows anew. It
// copies its table (text and HTML), prints it and saves it as PDF.

#include "table/statistics_model.h"
#include "table/table_values.h"

#include <QWidget>

#include <functional>

class QLabel;
class QPushButton;
class QTableView;

namespace quilex {

class StatisticsWindow final : public QWidget {
    Q_OBJECT
public:
    StatisticsWindow(const TableValues& table, QWidget* parent = nullptr);

    // Computes anew from the table and these limits, in the language in use.
    void refresh(const TableLimits& limits);
    // The window's own texts in the language in use.
    void retranslate();

    StatisticsModel* model() const { return model_; }
    QTableView* view() const { return view_; }
    QLabel* unreadableLabel() const { return unreadable_; }
    QPushButton* copyButton() const { return copy_; }
    QPushButton* printButton() const { return print_; }
    QPushButton* pdfButton() const { return pdf_; }

    void copyTable();
    void printTable();
    // Returns false when the file could not be written (the user has been told).
    bool saveTablePdf(const QString& path);

    // The save dialog for the PDF; replaceable for tests. Gets the name to suggest.
    std::function<QString(QWidget* parent, const QString& suggested)> pdfDialog;

    // The table as HTML, for the clipboard, the printer and the PDF.
    QString tableHtml() const;
    // The caption over the table, as printed and saved.
    QString printedHtml() const;

Q_SIGNALS:
    void limitsEdited(const quilex::TableLimits& limits);

private:
    const TableValues& table_;
    StatisticsModel* model_;
    QTableView* view_;
    QLabel* unreadable_;
    QPushButton* copy_;
    QPushButton* print_;
    QPushButton* pdf_;
};

} // namespace quilex
