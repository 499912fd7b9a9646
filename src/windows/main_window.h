#pragma once
// The main window: the archive table, the two buttons that start exchanges with the gauge
// and the menu from which everything else is reached.

#include "table/grid_sort.h"
#include "table/string_grid.h"
#include "windows/string_grid_view.h"
#include "table/table_values.h"
#include "table/thickness_limits.h"
#include "table/report_title.h"
#include "exchange/exchange_state.h"
#include "windows/widget_bridge.h"

#include <QMainWindow>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <optional>
#include <memory>

class QAction;
class QMenu;
class QPushButton;
class QTranslator;

namespace quilex {

class TForm2;
class TForm3;
class TForm5;
class StatisticsWindow;
class ChartWindow;
class HistoryCommands;

class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    TForm1(ExchangeState& state, QWidget* parent = nullptr);
    ~TForm1() override;

    // The file dialogs, replaceable so that tests can answer them. Each gets the dialog's
    // initial file name and its filter, and returns the chosen path or an empty one; the
    // project dialogs also the type chosen in them ("Comma-separated text", "All Files"), which
    // decides what a table is saved as whatever the name's ending.
    struct FileChoice {
        FileChoice(QString chosenPath = {}, QString chosenType = {})
            : path(std::move(chosenPath)), type(std::move(chosenType))
        {
        }
        QString path;
        QString type;
    };
    using TypedFileDialog = std::function<FileChoice(QWidget* parent, const QString& initialName, const QString& filter)>;
    using FileDialog = std::function<QString(QWidget* parent, const QString& initialName, const QString& filter)>;
    TypedFileDialog openProjectDialog;
    TypedFileDialog saveProjectDialog;
    FileDialog saveSpreadsheetDialog;

    // The start: the project named by the command line, its arguments joined by single
    // spaces (a path with a space that arrived split is whole again).
    void openFromCommandLine(const QStringList& arguments);

    // A table that was downloaded and never saved, or changed since it was opened, is not
    // dropped without a question: quitting, opening another project and a new download ask.
    enum class UnsavedTable { Save, Discard, Cancel };
    using UnsavedTableQuestion = std::function<UnsavedTable(QWidget* parent)>;
    UnsavedTableQuestion askAboutUnsavedTable;
    // An exchange that never reached the gauge is followed by a box that says why (no gauge on
    // the bus, no permission to open it, no libusb library, no driver); replaceable for tests.
    using GaugeNotReachedNotice = std::function<void(QWidget* parent, const QString& text)>;
    GaugeNotReachedNotice tellGaugeNotReached;
    // The status bar's text: what just happened (records read, a file saved or opened, an
    // exchange cancelled, materials written), in the language in use.
    QString statusText() const;
    bool tableModified() const { return isWindowModified(); }
    // The project file the table was last saved to or opened from (empty before).
    const QString& projectFile() const { return projectFile_; }
    // The inspector's thickness limits for the table: set in the statistics window, kept in the
    // project file, drawn as red rows in the table.
    const TableLimits& limits() const { return limits_; }
    void setLimits(const TableLimits& limits);

    StringGrid& archiveTable() { return ArchiveTable; }
    // The values of the table's rows, kept beside its texts.
    const TableValues& tableValues() const { return tableValues_; }
    StringGridView* grid() const { return StringGrid1; }
    ExchangeRunner& runner() { return runner_; }
    SortDirection sortDirection() const { return SortDirection_; }
    const QString& openDialogFileName() const { return openFileName_; }
    // The folder of the file last chosen in a file dialog of this run (empty before); the next
    // dialog starts there, and the print dialog suggests its PDF there.
    const QString& lastFolder() const { return lastFolder_; }
    TForm2* progressDialog() const { return progress_.get(); }
    TForm3* materialWindow() const { return materialWindow_.get(); }
    TForm5* screenshotWindow() const { return screenshotWindow_.get(); }

    // Menu items and buttons, named as the window has always named them.
    QMenu* File1 = nullptr;
    QAction* Save1 = nullptr;
    QAction* Save2 = nullptr;
    QAction* Save3 = nullptr;
    QAction* Print1 = nullptr;
    QAction* Exit1 = nullptr;
    QMenu* Edit1 = nullptr;
    QAction* Copy1 = nullptr;
    QAction* Copy2 = nullptr;
    QAction* N1 = nullptr;
    // Beside the menu's own items: the statistics per series with the limits, and the chart.
    QAction* Statistics1 = nullptr;
    QAction* Chart1 = nullptr;
    QMenu* Language1 = nullptr;
    QAction* Lang0 = nullptr;
    QAction* Lang1 = nullptr;
    QMenu* Help1 = nullptr;
    QAction* Contents1 = nullptr;
    QAction* About1 = nullptr;
    // "Read archive" from the keyboard (F5, Ctrl+R), and the menu bar (F10).
    QAction* ReadArchiveKey = nullptr;
    QAction* MenuBarKey = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;

    void Button1Click();
    void Button2Click();
    void Save1Click();
    void Save2Click();
    void Action1Execute(bool fromMenu);
    void Print1Click();
    void Copy1Click();
    void Copy2Click();
    void N1Click();
    void Lang0Click();
    void Lang1Click();
    void Contents1Click();
    void Statistics1Click();
    void Chart1Click();
    StatisticsWindow* statisticsWindow() const { return statisticsWindow_.get(); }
    // Selects a row of the archive table (by its row in the grid) and brings it into view: the
    // row the statistics window was asked to show.
    void showTableRow(int gridRow);
    ChartWindow* chartWindow() const { return chartWindow_.get(); }
    void About1Click();

    // ---- The inspection report: File -> "Inspection report", after the menu's own items.
    QAction* InspectionReport1 = nullptr;
    void InspectionReport1Click();
    // The title block's texts, typed in the report's dialog and kept beside the limits.
    const ReportTitle& reportTitle() const { return reportTitle_; }
    void setReportTitle(const ReportTitle& title) { reportTitle_ = title; }
    // The report's dialog (replaceable for tests): edits the texts, and says whether to
    // preview or to write a PDF; nothing when cancelled. Then the PDF's file dialog.
    enum class ReportChoice { Preview, Pdf };
    using ReportTitleQuestion = std::function<std::optional<ReportChoice>(QWidget* parent, ReportTitle& title)>;
    ReportTitleQuestion askReportTitle;
    FileDialog saveReportPdfDialog;
    // ---- end of the inspection report

    void StringGrid1KeyDown(int key, Qt::KeyboardModifiers modifiers);
    void StringGrid1MouseUp(Qt::MouseButton button, int column, int row);

    // The survey history's commands, at the end of the Edit menu: make, open, add the current
    // table, and the history window.
    HistoryCommands* historyCommands() const { return history_.get(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void FormCreate();
    void switchLanguage(std::uint8_t language);
    void showError(const QString& text);
    // A warning box: what was done, and what could not be (limits left behind when opening).
    void showWarning(const QString& text);
    // Runs a command that opens a window or a preview; whatever it throws is shown to the user
    // in an error box, and the program goes on.
    void runCommand(const std::function<void()>& command);
    bool clipboardGuard();
    void layoutButtons();
    void fitArchiveColumns();
    void widenForTheColumns();
    // True when the table may be replaced or dropped: unmodified, saved now, or given up.
    bool unsavedTableSettled();
    void updateCaption();
    // Shows what just happened under the table; made again in the other language on a switch.
    void setStatus(std::function<QString()> text);
    // After a command whose window ran exchanges (finishedBefore: the count of ended exchanges
    // when it began): the status, and why a gauge that was never reached was not.
    void afterExchange(int finishedBefore);
    static QString runSpreadsheetDialog(QWidget* parent, const QString& initialName);
    // A dialog's start name in the folder last used, when the name has no folder of its own.
    QString inLastFolder(const QString& name) const;
    void noteFolderOf(const QString& path);

    ExchangeState& state_;
    ExchangeRunner runner_;
    StringGrid ArchiveTable;
    TableValues tableValues_{ArchiveTable};
    StringGridView* StringGrid1 = nullptr;
    SortDirection SortDirection_ = 0;
    QString openFileName_;
    QString saveFileName_;
    QString spreadsheetFileName_;
    QString lastFolder_;
    QString projectFile_;
    TableLimits limits_;
    bool altAlone_ = false; // Alt went down with no other key since
    std::unique_ptr<TForm2> progress_;
    std::unique_ptr<TForm3> materialWindow_;
    std::unique_ptr<TForm5> screenshotWindow_;
    std::unique_ptr<QTranslator> qtTranslator_;
    QTimer fitTimer_;
    std::function<QString()> status_;
    ExchangeOutcome lastOutcome_ = ExchangeOutcome::Completed;
    int finishedExchanges_ = 0;
    QTimer analysisTimer_; // the statistics and the chart follow the table
    std::unique_ptr<StatisticsWindow> statisticsWindow_;
    std::unique_ptr<ChartWindow> chartWindow_;
    void refreshAnalysis();
    std::unique_ptr<HistoryCommands> history_;
    // The inspection report's menu item and its texts.
    void setUpInspectionReport();
    void retranslateInspectionReport();
    ReportTitle reportTitle_;
};

// Qt's own dialogs and buttons speak the language in use: Qt's Russian translation is loaded
// while Russian is in use.
void applyQtTranslation(std::uint8_t language, std::unique_ptr<QTranslator>& translator);

} // namespace quilex
