#pragma once
// "Статистика" / "Statistics": the archive's figures per series and for the whole table, with
// the limits to set in place (a series' own, or the whole table's on its last row). It follows
// the archive table while it is open: a download, an opened project or a sort shows anew. It
// copies its table (text and HTML), prints it and saves it as PDF, and a double click on the
// "№" of a minimum or maximum shows that row in the archive table.

#include "table/statistics_model.h"
#include "table/table_values.h"

#include <QWidget>

#include <functional>
#include <vector>

class QLabel;
class QPagedPaintDevice;
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
    // The table's name for the printed title: its project file's name, or the archive's title
    // while no file holds it. The owner of the table knows it.
    std::function<QString()> tableName;

    // The table as HTML, for the clipboard, the printer and the PDF.
    QString tableHtml() const;
    // The title over the table, as printed and saved: the table's name and the date.
    QString printedTitle() const;
    QString printedHtml() const;

    // Shows the archive table's row of a "№" in this window's table (a minimum's or maximum's):
    // tells rowChosen. False for any other cell.
    bool chooseRecordOf(const QModelIndex& index);

Q_SIGNALS:
    void limitsEdited(const quilex::TableLimits& limits);
    // The user asked to see a row of the archive table (by its row in the grid).
    void rowChosen(int gridRow);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // True when a column's width changed (or all were measured afresh).
    bool fitColumns();
    void fitWindow();
    void printTo(QPagedPaintDevice& device) const;

    const TableValues& table_;
    StatisticsModel* model_;
    QTableView* view_;
    QLabel* hint_;
    QLabel* unreadable_;
    QPushButton* copy_;
    QPushButton* print_;
    QPushButton* pdf_;
    // What each column needs for its header and for its cells, kept between refreshes: a typed
    // limit changes the texts of a few columns only.
    std::vector<int> headerNeeds_;
    std::vector<int> cellNeeds_;
    bool measureAll_ = true;
    // The window sizes itself to its table until the user sizes it (or maximises it): from then
    // on the user's size and state stay.
    QSize ownSize_;
    bool userSized_ = false;
    bool placed_ = false;
};

} // namespace quilex
