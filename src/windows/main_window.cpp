#include "windows/main_window.h"

#include "table/archive_columns.h"
#include "table/archive_rows.h"
#include "table/clipboard_copy.h"
#include "table/main_window_texts.h"
#include "table/project_file.h"
#include "table/statistics.h"
#include "base/texts.h"
#include "exchange/exchange_texts.h"
#include "exchange/gauge_reachability.h"
#include "windows/progress_dialog.h"
#include "export/table_formats.h"
#include "windows/chart_window.h"
#include "windows/history_commands.h"
#include "history/table_readings.h"
#include "windows/statistics_window.h"
#include "windows/text_fit.h"
#include "windows/window_texts.h"
#include "windows/material_settings.h"
#include "windows/screenshot_window.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QFileDialog>
#include <QHeaderView>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLibraryInfo>
#include <QMenuBar>
#include <QMimeData>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QTranslator>

namespace quilex {

namespace {

// The filters as the dialogs have always listed them (description|pattern pairs), and after them
// the text tables that the command line reads and writes too.
const QString TextTableTypes = QStringLiteral("|Comma-separated text|*.csv|Tab-separated text|*.tsv");
const QString ProjectSaveFilter = QStringLiteral("Quilex-A Project|*.qlx|All Files|*.*") + TextTableTypes;
const QString ProjectOpenFilter = QStringLiteral("Quilex-A|*.qlx|All Files|*.*") + TextTableTypes;

// The format the save dialog's chosen type names: a text table for its type, else a project
// file ("All Files" included), whatever the name's ending says. Opening looks at the bytes.
const TableFormat& savedFormat(const QString& type)
{
    for (const TableFormat& format : tableFormats())
        if (format.read && format.write && type == QLatin1String(format.name))
            return format;
    return *tableFormatById("qlx");
}

// The format a name given to the open dialog says: a text table by its ending, else a project.
const TableFormat& openedFormat(const QString& path)
{
    const TableFormat* format = tableFormatFor(path);
    if (format && format->read && format->write)
        return *format;
    return *tableFormatById("qlx");
}

// The description of a Qt filter "Description (*.x)".
QString typeOfFilter(const QString& filter)
{
    const qsizetype open = filter.lastIndexOf(QLatin1String(" ("));
    return open < 0 ? filter : filter.left(open);
}
const QString InitialProjectName = QStringLiteral("Arhive.qlx");

// "Description|*.x|Other|*.*" in Qt's form "Description (*.x);;Other (*)".
QString qtFilter(const QString& pairs)
{
    const QStringList parts = pairs.split(QLatin1Char('|'));
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString pattern = parts[i + 1];
        if (pattern == QLatin1String("*.*"))
            pattern = QStringLiteral("*");
        filters << QStringLiteral("%1 (%2)").arg(parts[i], pattern);
    }
    return filters.join(QLatin1String(";;"));
}

TForm1::FileChoice chosenFile(QFileDialog& dialog)
{
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return {dialog.selectedFiles().front(), typeOfFilter(dialog.selectedNameFilter())};
}

TForm1::FileChoice runOpenDialog(QWidget* parent, const QString& initialName, const QString& filter)
{
    QFileDialog dialog(parent, QString(), QString(), qtFilter(filter));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // The dialog closes on a name whether or not such a file exists.
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.selectFile(initialName);
    return chosenFile(dialog);
}

TForm1::FileChoice runSaveDialog(QWidget* parent, const QString& initialName, const QString& filter)
{
    QFileDialog dialog(parent, QString(), QString(), qtFilter(filter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    // No extension is added to a name typed without one, and an existing file is replaced
    // without a question.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setDefaultSuffix(QString());
    dialog.selectFile(initialName);
    return chosenFile(dialog);
}


void tellWithABox(QWidget*, const QString& text)
{
    // As every message box of the program: no owner window.
    QMessageBox box(QMessageBox::Warning, QString::fromUtf16(ApplicationTitle), text, QMessageBox::Ok);
    box.exec();
}

TForm1::UnsavedTable askWithABox(QWidget*)
{
    // No owner window, as every message box of the program; Qt's own buttons speak the language.
    QMessageBox box(QMessageBox::Question, QString::fromUtf16(ApplicationTitle), Text(UnsavedTableQuestionText),
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel);
    box.setDefaultButton(QMessageBox::Save);
    switch (box.exec()) {
    case QMessageBox::Save: return TForm1::UnsavedTable::Save;
    case QMessageBox::Discard: return TForm1::UnsavedTable::Discard;
    default: return TForm1::UnsavedTable::Cancel;
    }
}

} // namespace

void applyQtTranslation(std::uint8_t language, std::unique_ptr<QTranslator>& translator)
{
    if (translator) {
        QCoreApplication::removeTranslator(translator.get());
        translator.reset();
    }
    // Qt's dialogs also write sizes, dates and file types in the default locale ("8 байты",
    // "Неизвестно" under a Russian system): in English they follow the language too. The
    // program's own texts (the table's numbers and dates) keep the system's locale.
    QLocale::setDefault(language == LanguageRussian ? QLocale::system()
                                                    : QLocale(QLocale::English, QLocale::system().territory()));
    if (language != LanguageRussian)
        return;
    auto russian = std::make_unique<QTranslator>();
    if (russian->load(QLocale(QLocale::Russian, QLocale::Russia), QStringLiteral("qtbase"), QStringLiteral("_"),
                      QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(russian.get());
        translator = std::move(russian);
    }
}

TForm1::TForm1(ExchangeState& state, QWidget* parent)
    : QMainWindow(parent), openProjectDialog(runOpenDialog), saveProjectDialog(runSaveDialog),
      saveSpreadsheetDialog([](QWidget* parent, const QString& initialName, const QString&) {
          return runSpreadsheetDialog(parent, initialName);
      }), askAboutUnsavedTable(askWithABox), tellGaugeNotReached(tellWithABox), state_(state), runner_(state), openFileName_(InitialProjectName),
      saveFileName_(InitialProjectName)
{
    // The status bar under the table takes its own height; the table keeps its drawn size.
    statusBar()->setSizeGripEnabled(true);
    resize(711, 409 + menuBar()->sizeHint().height() + statusBar()->sizeHint().height());
    move(9, 10);

    StringGrid1 = new StringGridView(ArchiveTable, this);
    StringGrid1->setColumnWidths(std::vector<int>(ArchiveColumnWidths.begin(), ArchiveColumnWidths.end()));
    // Tab leaves the table for the buttons: the table is read, not typed into.
    StringGrid1->setTabKeyNavigation(false);
    // With a minimum allowable thickness set, a reading below it stands out in red. Asked only
    // of the rows on the screen.
    StringGrid1->gridModel()->setRowColour([this](int row) -> std::optional<QColor> {
        if (!limits_.empty() && belowMinimum(tableValues_.row(row), limits_))
            return QColor(0xFF, 0xA0, 0xA0); // red, and the text still reads
        return std::nullopt;
    });
    // The columns follow what they hold: at least their drawn widths, as wide as their header
    // and widest text in the font in use, and wider when the window has room. Refitted once
    // after any change of the table, and whenever the window's size changes.
    fitTimer_.setSingleShot(true);
    fitTimer_.setInterval(0);
    connect(&fitTimer_, &QTimer::timeout, this, &TForm1::fitArchiveColumns);
    startOnModelChanges(StringGrid1->model(), fitTimer_);
    // The statistics and the chart follow the table the same way.
    analysisTimer_.setSingleShot(true);
    analysisTimer_.setInterval(0);
    connect(&analysisTimer_, &QTimer::timeout, this, &TForm1::refreshAnalysis);
    startOnModelChanges(StringGrid1->model(), analysisTimer_);
    // The view's own room changes too, when its scroll bars come and go.
    StringGrid1->viewport()->installEventFilter(this);
    StringGrid1->installEventFilter(this);
    connect(StringGrid1, &StringGridView::headerReleased, this, &TForm1::StringGrid1MouseUp);

    Button1 = new QPushButton(this);
    Button2 = new QPushButton(this);
    connect(Button1, &QPushButton::clicked, this, &TForm1::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TForm1::Button2Click);

    File1 = menuBar()->addMenu(QString());
    Save1 = File1->addAction(QString(), this, &TForm1::Save1Click);
    Save2 = File1->addAction(QString(), this, &TForm1::Save2Click);
    Save3 = File1->addAction(QString(), this, [this] { Action1Execute(true); });
    File1->addSeparator(); // N9
    Print1 = File1->addAction(QString(), this, &TForm1::Print1Click);
    File1->addSeparator(); // N8
    Exit1 = File1->addAction(QString(), this, &QWidget::close);
    Edit1 = menuBar()->addMenu(QString());
    Copy1 = Edit1->addAction(QString(), this, &TForm1::Copy1Click);
    Copy2 = Edit1->addAction(QString(), this, &TForm1::Copy2Click);
    N1 = Edit1->addAction(QString::fromUtf16(ScreenshotMenuCaption), this, &TForm1::N1Click);
    Edit1->addSeparator();
    Statistics1 = Edit1->addAction(QString(), this, &TForm1::Statistics1Click);
    Chart1 = Edit1->addAction(QString(), this, &TForm1::Chart1Click);
    Language1 = menuBar()->addMenu(QString::fromUtf16(LanguageMenuCaption));
    Lang0 = Language1->addAction(QString::fromUtf16(RussianMenuCaption), this, &TForm1::Lang0Click);
    Lang1 = Language1->addAction(QString::fromUtf16(EnglishMenuCaption), this, &TForm1::Lang1Click);
    Lang0->setCheckable(true);
    Lang1->setCheckable(true);
    Help1 = menuBar()->addMenu(QString());
    Contents1 = Help1->addAction(QString(), this, &TForm1::Contents1Click);
    About1 = Help1->addAction(QString(), this, &TForm1::About1Click);
    setUpInspectionReport();

    // The survey history after the Edit menu's own items. A table goes into a history from the
    // values kept beside it, never from its texts.
    history_ = std::make_unique<HistoryCommands>(
        this, Edit1, [this] { return readingsOfTable(tableValues_.dataRows()); },
        [this] { return projectFile_.isEmpty() ? QString() : QFileInfo(projectFile_).fileName(); });

    // The desktop's usual keys, shown in the menus. F1 also works with any modifier held
    // (eventFilter), as it always has.
    Save3->setShortcut(QKeySequence::Open);
    Save2->setShortcut(QKeySequence::Save);
    Print1->setShortcut(QKeySequence::Print);
    Exit1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    Contents1->setShortcut(QKeySequence(Qt::Key_F1));
    ReadArchiveKey = new QAction(this);
    ReadArchiveKey->setShortcuts({QKeySequence(Qt::Key_F5), QKeySequence(Qt::CTRL | Qt::Key_R)});
    connect(ReadArchiveKey, &QAction::triggered, this, [this] {
        if (Button1->isEnabled())
            Button1Click();
    });
    addAction(ReadArchiveKey);
    MenuBarKey = new QAction(this);
    MenuBarKey->setShortcut(QKeySequence(Qt::Key_F10));
    connect(MenuBarKey, &QAction::triggered, this, [this] { menuBar()->setActiveAction(File1->menuAction()); });
    addAction(MenuBarKey);

    // A download hands its records over; only a download in which every record was read and
    // checked does, so a failed or cancelled one leaves the table as it was. The rows are made
    // now, in the language in use.
    connect(&runner_, &ExchangeRunner::archiveRead, this, [this](const ArchiveDownload& download) {
        putArchiveDownload(ArchiveTable, &tableValues_, download.records, download.names, languageIndex());
        const int count = int(download.records.size());
        setStatus([count] { return recordsReadStatusText(count, languageIndex()); });
        // The table is no longer the project it was opened from: no file is named until it is
        // saved.
        projectFile_.clear();
        updateCaption();
        StringGrid1->horizontalHeader()->setSortIndicatorShown(false);
        setWindowModified(true);
    });

    connect(&runner_, &ExchangeRunner::finished, this, [this](ExchangeOutcome outcome) {
        lastOutcome_ = outcome;
        ++finishedExchanges_;
    });

    // Only one exchange at a time: the starters rest while one runs.
    connect(&runner_, &ExchangeRunner::busyChanged, this, [this](bool busy) {
        Button1->setEnabled(!busy);
        Button2->setEnabled(!busy);
        N1->setEnabled(!busy);
    });

    // F1 anywhere in the window, seen before the focused control.
    qApp->installEventFilter(this);
    FormCreate();
    widenForTheColumns();
}

void TForm1::widenForTheColumns()
{
    // 711 pixels as drawn, or wider when the headers and a typical row of the archive need it in
    // the font in use, so that a downloaded archive shows whole without scrolling sideways.
    StringGrid sample(ArchiveColumnCount, 2, 1, 1);
    const QLocale locale = QLocale::system();
    for (const std::uint8_t language : {LanguageRussian, LanguageEnglish}) {
        const QStringList header = archiveHeaderTexts(language);
        for (int col = 0; col < ArchiveColumnCount; ++col)
            if (header[col].size() > sample.cell(col, 0).size())
                sample.setCell(col, 0, header[col]);
    }
    sample.setRow(1, {QStringLiteral("2048"), QStringLiteral("материал 1"), QStringLiteral("65535"),
                      locale.toString(100.0, 'f', 2), QStringLiteral("255"), QStringLiteral("255"),
                      locale.toString(QDate(2028, 12, 28), locale.dateFormat(QLocale::ShortFormat)),
                      QStringLiteral("23:59:59")});
    const int columns = neededColumnsWidth(StringGrid1, sample,
                                           QList<int>(ArchiveColumnWidths.begin(), ArchiveColumnWidths.end()));
    const int frame = 2 * StringGrid1->frameWidth() + StringGrid1->verticalScrollBar()->sizeHint().width() + 4;
    if (columns + frame > width())
        resize(columns + frame, height());
}

TForm1::~TForm1()
{
    qApp->removeEventFilter(this);
    // An exchange still running reports into this window's table and dialog: end it first.
    runner_.shutdown();
    // The view reads the table until it goes; it must go before the table does.
    delete StringGrid1;
    StringGrid1 = nullptr;
}

void TForm1::FormCreate()
{
    switchLanguage(LanguageRussian);
}

void TForm1::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    layoutButtons();
    fitArchiveColumns();
}

void TForm1::fitArchiveColumns()
{
    fitTimer_.stop();
    fitColumns(StringGrid1, ArchiveTable, QList<int>(ArchiveColumnWidths.begin(), ArchiveColumnWidths.end()));
}

void TForm1::layoutButtons()
{
    // The buttons as wide as their captions need, at least as drawn.
    const int width1 = std::max(139, Button1->sizeHint().width());
    const int width2 = std::max(172, Button2->sizeHint().width());
    // The table fills the window above the buttons; the buttons keep their distance from the
    // bottom edge and their centres at the same share of the width (27 % and 73 %).
    const QRect area = contentsRect().adjusted(0, menuBar()->height(), 0, -statusBar()->sizeHint().height());
    const int w = area.width();
    const int h = area.height();
    StringGrid1->setGeometry(area.left(), area.top(), w, std::max(0, h - 43));
    const int top = area.top() + h - 35;
    Button1->setGeometry(area.left() + w * (122 + 139 / 2) / 711 - width1 / 2, top, width1, 31);
    Button2->setGeometry(area.left() + w * (431 + 172 / 2) / 711 - width2 / 2, top, width2, 31);
}

void TForm1::switchLanguage(std::uint8_t language)
{
    setLanguageIndex(language);
    Lang0->setChecked(language == LanguageRussian);
    Lang1->setChecked(!Lang0->isChecked());
    updateCaption();
    File1->setTitle(Text(MainText::FileMenu));
    Save1->setText(Text(MainText::SaveInExcel));
    Save2->setText(Text(MainText::CreateProject));
    Save3->setText(Text(MainText::OpenProject));
    Print1->setText(Text(MainText::Print));
    Exit1->setText(Text(MainText::Exit));
    Edit1->setTitle(Text(MainText::EditMenu));
    Copy1->setText(Text(MainText::CopyTable));
    Copy2->setText(Text(MainText::CopySelection));
    Help1->setTitle(Text(MainText::HelpMenu));
    Contents1->setText(Text(MainText::HelpContents));
    About1->setText(Text(MainText::About));
    Statistics1->setText(Text(StatisticsMenuText));
    Chart1->setText(Text(ChartMenuText));
    retranslateInspectionReport();
    Button1->setText(Text(MainText::ReadArchive));
    Button2->setText(Text(MainText::MaterialSettings));
    layoutButtons();
    writeArchiveHeader(ArchiveTable, language);
    applyQtTranslation(language, qtTranslator_);
    if (statisticsWindow_)
        statisticsWindow_->retranslate();
    if (chartWindow_)
        chartWindow_->retranslate();
    if (history_)
        history_->retranslate();
    if (status_)
        statusBar()->showMessage(status_());
}

void TForm1::setStatus(std::function<QString()> text)
{
    status_ = std::move(text);
    statusBar()->showMessage(status_ ? status_() : QString());
}

QString TForm1::statusText() const
{
    return statusBar()->currentMessage();
}


bool TForm1::unsavedTableSettled()
{
    if (!isWindowModified() || ArchiveTable.isEmptyTable() || !askAboutUnsavedTable)
        return true;
    switch (askAboutUnsavedTable(this)) {
    case UnsavedTable::Save:
        Save2Click();
        return !isWindowModified(); // saved, or the dialog was cancelled or the save failed
    case UnsavedTable::Discard:
        return true;
    case UnsavedTable::Cancel:
        return false;
    }
    return false;
}

void TForm1::setLimits(const TableLimits& limits)
{
    if (limits == limits_)
        return;
    limits_ = limits;
    // The rows below their minimum change colour; the figures and the chart follow.
    StringGrid1->viewport()->update();
    refreshAnalysis();
}

void TForm1::refreshAnalysis()
{
    analysisTimer_.stop();
    if (statisticsWindow_ && statisticsWindow_->isVisible())
        statisticsWindow_->refresh(limits_);
    if (chartWindow_ && chartWindow_->isVisible())
        chartWindow_->refresh(limits_);
}

void TForm1::Statistics1Click()
{
    if (!statisticsWindow_) {
        statisticsWindow_ = std::make_unique<StatisticsWindow>(tableValues_, this);
        // Limits set in the window belong to the table: kept in its project, drawn in red.
        connect(statisticsWindow_.get(), &StatisticsWindow::limitsEdited, this, [this](const TableLimits& limits) {
            setLimits(limits);
            setWindowModified(true);
        });
        connect(statisticsWindow_.get(), &StatisticsWindow::rowChosen, this, &TForm1::showTableRow);
        // The printed figures are headed with the table's name: its project file's, or the
        // archive's title while no file holds it.
        statisticsWindow_->tableName = [this] {
            return projectFile_.isEmpty() ? Text(MainText::ArchiveTitle).trimmed() : QFileInfo(projectFile_).fileName();
        };
    }
    statisticsWindow_->refresh(limits_);
    statisticsWindow_->show();
    statisticsWindow_->raise();
    statisticsWindow_->activateWindow();
}

void TForm1::showTableRow(int gridRow)
{
    const int row = gridRow - StringGrid1->gridModel()->firstDataRow();
    QAbstractItemModel* model = StringGrid1->model();
    if (row < 0 || row >= model->rowCount())
        return;
    // The whole row but the fixed column, which is never selected.
    const int first = std::min(ArchiveTable.fixedCols(), model->columnCount() - 1);
    const QModelIndex start = model->index(row, first);
    StringGrid1->selectionModel()->select(QItemSelection(start, model->index(row, model->columnCount() - 1)),
                                          QItemSelectionModel::ClearAndSelect);
    StringGrid1->selectionModel()->setCurrentIndex(start, QItemSelectionModel::NoUpdate);
    StringGrid1->scrollTo(start, QAbstractItemView::PositionAtCenter);
    raise();
    activateWindow();
}

void TForm1::Chart1Click()
{
    if (!chartWindow_)
        chartWindow_ = std::make_unique<ChartWindow>(tableValues_, this);
    chartWindow_->show();
    chartWindow_->refresh(limits_);
    chartWindow_->raise();
    chartWindow_->activateWindow();
}

void TForm1::updateCaption()
{
    // The window's caption, the project's file name after it, and a mark while the table holds
    // what no project file has.
    QString caption = Text(MainText::WindowCaption);
    if (!projectFile_.isEmpty())
        caption += QString::fromUtf16(CaptionFileSeparator) + QFileInfo(projectFile_).fileName();
    setWindowTitle(caption + QStringLiteral("[*]"));
}

void TForm1::closeEvent(QCloseEvent* event)
{
    if (!unsavedTableSettled()) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

void TForm1::Lang0Click()
{
    switchLanguage(LanguageRussian);
}

void TForm1::Lang1Click()
{
    switchLanguage(LanguageEnglish);
}

void TForm1::showError(const QString& text)
{
    // No owner window, an error icon and OK, the caption in the language in use.
    QMessageBox box(QMessageBox::Critical, Text(MainText::ErrorCaption), text, QMessageBox::Ok);
    box.exec();
}

void TForm1::showWarning(const QString& text)
{
    QMessageBox box(QMessageBox::Warning, Text(window_texts::WarningCaption), text, QMessageBox::Ok);
    box.exec();
}

void TForm1::runCommand(const std::function<void()>& command)
{
    try {
        command();
    } catch (const std::bad_alloc&) {
        showError(Text(CommandOutOfMemoryText));
    } catch (const std::exception& error) {
        showError(Text(CommandFailedText).arg(QString::fromLocal8Bit(error.what())));
    }
}

// ---------------------------------------------------------------------------------------
// Exchanges

void TForm1::Button1Click()
{
    if (runner_.busy() || !unsavedTableSettled())
        return;
    progress_ = std::make_unique<TForm2>(state_, this);
    std::uint8_t firstMode = Mode::Connect;
    if (state_.ReadMaterialsFirst.load()) {
        state_.ReadMaterialsFirst = false;
        firstMode = Mode::ReadMaterials;
    }
    state_.ArchiveRequested = true;
    if (!runner_.start(firstMode, progress_->gaugeTarget(), progress_.get(), progress_->labelTarget(), nullptr))
        return;
    // Returns when the download has ended, or when the user has closed the dialog, which
    // cancels it.
    const int finishedBefore = finishedExchanges_;
    progress_->exec();
    afterExchange(finishedBefore);
}

void TForm1::afterExchange(int finishedBefore)
{
    // A closed window has asked its exchange to stop; it does within its current step.
    runner_.waitForEnd();
    if (finishedExchanges_ == finishedBefore || lastOutcome_ != ExchangeOutcome::Cancelled)
        return;
    setStatus([] { return Text(CancelledStatusText); });
    const LinkStatus link = state_.LinkStatus.load();
    if (link != LinkStatus::NoDevice && link != LinkStatus::NoLibrary)
        return;
    // No exchange runs now, so the links may be tried to tell the user why none answered.
    const GaugeReachability seen = checkReachability(state_.DriverPipeLink, state_.LibUSB);
    if (seen.reachable() || !tellGaugeNotReached)
        return;
    tellGaugeNotReached(this, Text(exchange_texts::GaugeNotReachedMessage) + QStringLiteral("\n\n") +
                                  unreachableReason(seen, languageIndex()));
}

// ---------------------------------------------------------------------------------------
// Project files

QString TForm1::inLastFolder(const QString& name) const
{
    if (lastFolder_.isEmpty() || QFileInfo(name).isAbsolute())
        return name;
    return QDir(lastFolder_).filePath(name);
}

void TForm1::noteFolderOf(const QString& path)
{
    lastFolder_ = QFileInfo(path).absolutePath();
}

void TForm1::Save2Click()
{
    const FileChoice chosen = saveProjectDialog(this, inLastFolder(saveFileName_), ProjectSaveFilter);
    const QString& path = chosen.path;
    if (path.isEmpty())
        return;
    saveFileName_ = path;
    noteFolderOf(path);
    if (const auto saved = saveProject(ArchiveTable, path, languageIndex(), ProjectExtras{limits_, reportTitle_, {}, {}, {}},
                                        savedFormat(chosen.type).write);
        !saved) {
        showError(saved.error());
        return;
    }
    projectFile_ = path;
    setWindowModified(false);
    updateCaption();
    const QString name = QFileInfo(path).fileName();
    setStatus([name] { return Text(SavedStatusText).arg(name); });
}

void TForm1::Action1Execute(bool fromMenu)
{
    QString path = openFileName_;
    if (fromMenu && !unsavedTableSettled())
        return;
    if (fromMenu) {
        path = openProjectDialog(this, inLastFolder(openFileName_), ProjectOpenFilter).path;
        if (path.isEmpty())
            return;
        openFileName_ = path;
        noteFolderOf(path);
    }
    const auto read = readTableFile(path, openedFormat(path), ArchiveTable, languageIndex());
    if (!read) {
        showError(read.error());
        return;
    }
    setLimits(read->limits);
    reportTitle_ = read->title;
    projectFile_ = path;
    StringGrid1->horizontalHeader()->setSortIndicatorShown(false);
    setWindowModified(false);
    updateCaption();
    const QString name = QFileInfo(path).fileName();
    setStatus([name] { return Text(OpenedStatusText).arg(name); });
    if (!read->warning.isEmpty())
        showWarning(read->warning);
}

void TForm1::openFromCommandLine(const QStringList& arguments)
{
    if (arguments.isEmpty())
        return;
    openFileName_ = arguments.join(QLatin1Char(' '));
    Action1Execute(false);
}

// ---------------------------------------------------------------------------------------
// Clipboard

bool TForm1::clipboardGuard()
{
    // The table the user sees decides, not whether a download ran in this run: a table opened
    // from a project file is copied like a downloaded one.
    if (!ArchiveTable.isEmptyTable())
        return true;
    showError(Text(MainText::TableEmpty));
    return false;
}

namespace {

// The plain text as it has always gone, and the same cells as an HTML table for spreadsheets.
void putOnClipboard(const QString& text, const QString& html)
{
    auto* data = new QMimeData;
    data->setText(text);
    data->setHtml(html);
    QApplication::clipboard()->setMimeData(data);
}

} // namespace

void TForm1::Copy1Click()
{
    if (!clipboardGuard())
        return;
    putOnClipboard(wholeTableText(ArchiveTable, Text(MainText::HeaderDate)), htmlTable(ArchiveTable, wholeTable(ArchiveTable)));
}

void TForm1::Copy2Click()
{
    if (!clipboardGuard())
        return;
    const GridRect selection = ArchiveTable.selection();
    putOnClipboard(blockText(ArchiveTable, selection), htmlTable(ArchiveTable, selection));
}

void TForm1::StringGrid1KeyDown(int key, Qt::KeyboardModifiers modifiers)
{
    if (key != Qt::Key_C || !(modifiers & Qt::ControlModifier))
        return;
    if (ctrlCCopiesWholeTable(ArchiveTable.selection()))
        Copy1Click();
    else
        Copy2Click();
}

// ---------------------------------------------------------------------------------------
// Sorting

void TForm1::StringGrid1MouseUp(Qt::MouseButton button, int column, int row)
{
    const HeaderClickResult click =
        headerClick(ArchiveTable, SortDirection_, button == Qt::LeftButton, column, row, languageIndex(),
                    QLocale::system(), &tableValues_);
    if (click.outcome == HeaderClickOutcome::Sorted) {
        // The header shows which column was sorted last and which way; the sort is the table's.
        QHeaderView* header = StringGrid1->horizontalHeader();
        header->setSortIndicatorShown(true);
        header->setSortIndicator(column, SortDirection_ == 1 ? Qt::AscendingOrder : Qt::DescendingOrder);
        setWindowModified(true);
    }
    if (click.outcome == HeaderClickOutcome::Failed) {
        // A conversion error reaches the default error box with its own text.
        QMessageBox box(QMessageBox::Critical, QString::fromUtf16(ApplicationTitle), click.error, QMessageBox::Ok);
        box.exec();
    }
}

bool TForm1::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Resize && watched == StringGrid1->viewport())
        fitTimer_.start();
    // Alt pressed and released alone takes the keyboard to the menu bar, as on other desktops.
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
        auto* key = static_cast<QKeyEvent*>(event);
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget && widget->window() == this && !key->isAutoRepeat()) {
            if (event->type() == QEvent::KeyPress)
                altAlone_ = key->key() == Qt::Key_Alt && !(key->modifiers() & ~Qt::AltModifier);
            else if (key->key() == Qt::Key_Alt && altAlone_) {
                altAlone_ = false;
                menuBar()->setActiveAction(File1->menuAction());
            }
        }
    }
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        auto* widget = qobject_cast<QWidget*>(watched);
        if (key->key() == Qt::Key_F1 && widget && widget->window() == this) {
            Contents1Click();
            return true;
        }
        if (watched == StringGrid1) {
            if (key->key() == Qt::Key_C && (key->modifiers() & Qt::ControlModifier)) {
                StringGrid1KeyDown(key->key(), key->modifiers());
                return true;
            }
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

} // namespace quilex
