// The main window with its real widgets on the offscreen platform, the simulated gauge and
// real files.

#include "table/archive_columns.h"
#include "windows/main_window.h"
#include "exchange/gauge_reachability.h"
#include "table/main_window_texts.h"
#include "table/project_file.h"
#include "base/texts.h"
#include "windows/progress_dialog.h"
#include "export/table_formats.h"
#include "windows/help_window.h"
#include "windows/material_settings.h"
#include "windows/screenshot_window.h"
#include "support/sim_gauge.h"
#include "support/widget_test_support.h"
#include "windows_test_support.h"

#include <QAction>
#include <QClipboard>
#include <QFile>
#include <QHeaderView>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTimer>

#include <cerrno>
#include <cstring>

#include <gtest/gtest.h>

using namespace quilex;
using namespace quilex::test;

namespace {

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override { widgetApp(); }

    // A window whose exchanges reach the simulated gauge over libusb.
    std::unique_ptr<TForm1> windowOn(SimGauge& gauge)
    {
        state = gauge.makeState(pacing);
        auto window = std::make_unique<TForm1>(*state);
        // Every download of these tests may replace the table without a question.
        window->askAboutUnsavedTable = [](QWidget*) { return TForm1::UnsavedTable::Discard; };
        return window;
    }

    RecordingPacing pacing;
    std::unique_ptr<ExchangeState> state;
};

// The caption as the window system shows it: the modified mark in place of its placeholder.
QString shownTitle(const QWidget& w)
{
    QString title = w.windowTitle();
    return title.replace(QStringLiteral("[*]"), w.isWindowModified() ? QStringLiteral("*") : QString());
}

QStringList menuTitles(TForm1& w)
{
    QStringList titles;
    for (QAction* a : w.menuBar()->actions())
        titles << a->text();
    return titles;
}

} // namespace

TEST_F(MainWindow, StartsInRussianAndSwitchesToEnglish)
{
    SimGauge gauge(Transport::Usb);
    auto w = windowOn(gauge);
    EXPECT_EQ(shownTitle(*w), "Толщиномер ультразвуковой Quilex-A");
    EXPECT_EQ(menuTitles(*w), (QStringList{"Файл", "Правка", "Language(Язык)", "Помощь"}));
    EXPECT_TRUE(w->Lang0->isChecked());
    EXPECT_FALSE(w->Lang1->isChecked());
    EXPECT_EQ(w->Button1->text(), "Считать архив");
    EXPECT_EQ(w->archiveTable().cell(6, 0), "Дата");
    EXPECT_EQ(w->grid()->model()->headerData(3, Qt::Horizontal).toString(), "Толщина, мм");
    // Qt's own buttons and dialogs speak the language in use.
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), "Отмена");

    w->archiveTable().setCell(1, 1, QStringLiteral("чугун"));
    w->Lang1Click();
    EXPECT_EQ(languageIndex(), LanguageEnglish);
    EXPECT_EQ(shownTitle(*w), "Ultrasonic thickness gauge Quilex-A");
    EXPECT_EQ(menuTitles(*w), (QStringList{"File", "Edit", "Language(Язык)", "Help"}));
    EXPECT_EQ(w->Save2->text().front(), QChar(0x0421)); // "Сreate Project" starts with a Cyrillic Es
    EXPECT_EQ(w->N1->text(), "Скриншот с прибора");
    EXPECT_EQ(w->Lang0->text(), "Русский");
    EXPECT_TRUE(w->Lang1->isChecked());
    EXPECT_FALSE(w->Lang0->isChecked());
    EXPECT_EQ(w->Button2->text(), "Material settings");
    EXPECT_EQ(w->archiveTable().cell(6, 0), "Date");
    EXPECT_EQ(w->archiveTable().cell(1, 1), "чугун"); // data rows keep their texts
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), "Cancel");
    EXPECT_EQ(QLocale().formattedDataSize(8), "8 bytes") << QLocale().formattedDataSize(8).toStdString();
    w->Lang0Click();
    EXPECT_EQ(QLocale().language(), QLocale::system().language());
    EXPECT_EQ(languageIndex(), LanguageRussian);
}

TEST_F(MainWindow, ReadArchiveFirstAndSecondTime)
{
    SimGauge gauge(Transport::Usb, "records=25");
    auto w = windowOn(gauge);
    w->show();
    w->Button1Click(); // modal until the download closes the dialog
    w->runner().waitForEnd();
    EXPECT_EQ(w->archiveTable().rowCount(), 26);
    EXPECT_EQ(w->archiveTable().cell(0, 25), "25");
    EXPECT_EQ(w->grid()->model()->rowCount(), 25);
    EXPECT_FALSE(w->progressDialog()->isVisible());
    const auto first = writesIn(gauge.transcript());
    EXPECT_EQ(first.front(), test::bytes({0x04, 0xFB})); // the gauge's materials first

    const auto before = first.size();
    w->Button1Click();
    w->runner().waitForEnd();
    const auto second = writesIn(gauge.transcript());
    ASSERT_GT(second.size(), before);
    EXPECT_EQ(second[before], test::bytes({0x01, 0xFE})); // straight to the version
    EXPECT_TRUE(w->Button1->isEnabled());
}

TEST_F(MainWindow, ClosingTheProgressDialogIsCancelAndOnlyOneExchangeRuns)
{
    TempDir empty;
    ExchangeState noGauge(pacing, empty.path(), "/nonexistent/libusb.so");
    TForm1 w(noGauge);
    QString told;
    w.tellGaugeNotReached = [&](QWidget*, const QString& text) { told = text; };
    w.archiveTable().setCell(1, 1, QStringLiteral("kept"));
    w.show();
    bool pressed = false;
    QTimer::singleShot(50, [&] {
        // While the download looks for a gauge, no second one starts.
        EXPECT_TRUE(w.runner().busy());
        EXPECT_FALSE(w.Button1->isEnabled());
        EXPECT_FALSE(w.Button2->isEnabled());
        const auto* dialog = w.progressDialog();
        w.Button1Click(); // does nothing
        EXPECT_EQ(w.progressDialog(), dialog);
        // Escape closes the dialog as its close box does: that is Cancel.
        QTest::keyClick(w.progressDialog(), Qt::Key_Escape);
        pressed = true;
    });
    w.Button1Click();
    ASSERT_TRUE(pressed);
    EXPECT_FALSE(w.progressDialog()->isVisible());
    ASSERT_TRUE(waitUntil([&] { return w.Button1->isEnabled(); }, 2000));
    EXPECT_FALSE(w.runner().busy());
    EXPECT_FALSE(noGauge.CancelRequest.load());
    EXPECT_EQ(w.archiveTable().cell(1, 1), "kept");
    // The window then says what happened, and why no gauge answered: the driver's folder holds
    // none, and the libusb library does not load.
    EXPECT_EQ(w.statusText(), QStringLiteral("Отменено"));
    EXPECT_TRUE(told.startsWith(QStringLiteral("Связь с прибором не установлена."))) << told.toStdString();
    EXPECT_TRUE(told.contains(QString::fromStdString(empty.path()))) << told.toStdString();
    EXPECT_TRUE(told.contains(QStringLiteral("/nonexistent/libusb.so"))) << told.toStdString();
    EXPECT_TRUE(told.contains(QStringLiteral("libusb-0.1-4"))) << told.toStdString();
}

// A Cancel that came after a download had finished must not stop the next one.
TEST_F(MainWindow, ALateCancelDoesNotStopTheNextDownload)
{
    SimGauge gauge(Transport::Usb, "records=4");
    auto w = windowOn(gauge);
    w->show();
    w->Button1Click();
    w->runner().waitForEnd();
    ASSERT_EQ(w->archiveTable().rowCount(), 5);
    w->archiveTable().setRowCount(2);
    state->CancelRequest = true; // pressed as the last download ended
    w->Button1Click();
    w->runner().waitForEnd();
    EXPECT_EQ(w->archiveTable().rowCount(), 5);
}

TEST_F(MainWindow, ClipboardGuardAndCopies)
{
    SimGauge gauge(Transport::Usb, "records=3");
    auto w = windowOn(gauge);
    MessageBoxAnswerer answerer;
    w->Copy1Click();
    ASSERT_EQ(answerer.seen.size(), 1u);
    EXPECT_EQ(answerer.seen[0].caption, "Ошибка");
    EXPECT_EQ(answerer.seen[0].text, "Таблтца пуста");

    w->Button1Click();
    w->runner().waitForEnd();
    QApplication::clipboard()->clear();
    w->archiveTable().setSelection({1, 1, 1, 1});
    QTest::keyClick(w->grid(), Qt::Key_C, Qt::ControlModifier); // one cell: the whole table
    const QString whole = QApplication::clipboard()->text();
    EXPECT_TRUE(whole.startsWith("№\tМатериал\t")) << whole.toStdString();
    EXPECT_EQ(whole.count("\r\n"), 4);

    w->archiveTable().setSelection({2, 1, 3, 2});
    QTest::keyClick(w->grid(), Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier); // a block
    const QString block = QApplication::clipboard()->text();
    EXPECT_EQ(block.count("\r\n"), 2);
    EXPECT_EQ(block.split("\r\n")[0], w->archiveTable().cell(2, 1) + "\t" + w->archiveTable().cell(3, 1));
    // The same cells as an HTML table, one cell each, for a spreadsheet to paste.
    const QString html = QApplication::clipboard()->mimeData()->html();
    EXPECT_EQ(html.count("<tr>"), 2);
    EXPECT_EQ(html.count("<td>"), 4);
    EXPECT_TRUE(html.contains("<td>" + w->archiveTable().cell(3, 2).toHtmlEscaped() + "</td>"));
}

// A table opened from a project file is copied in a run that downloaded nothing: the guard
// looks at the table the user sees.
TEST_F(MainWindow, ATableOpenedFromAProjectIsCopiedWithoutADownload)
{
    SimGauge gauge(Transport::Usb, "records=3");
    auto w = windowOn(gauge);
    TempDir dir;
    StringGrid table;
    writeArchiveHeader(table, 0);
    table.setRowCount(2);
    table.setRow(1, {"1", "Сталь & <медь>", "5920", "12,50", "3", "1", "07.05.2013", "09:03:00"});
    const QString path = QString::fromStdString(dir.file("a.qlx"));
    ASSERT_TRUE(saveProject(table, path, 0).ok());
    w->openFromCommandLine({path});
    MessageBoxAnswerer answerer;
    w->Copy1Click();
    EXPECT_TRUE(answerer.seen.empty());
    EXPECT_TRUE(QApplication::clipboard()->text().contains("Сталь & <медь>\t5920"));
    EXPECT_TRUE(QApplication::clipboard()->mimeData()->html().contains("<td>Сталь &amp; &lt;медь&gt;</td>"));
    EXPECT_EQ(state->ArchiveRecordCount.load(), 0);
}

TEST_F(MainWindow, HeaderClicksSort)
{
    SimGauge gauge(Transport::Usb);
    auto w = windowOn(gauge);
    StringGrid& t = w->archiveTable();
    w->StringGrid1MouseUp(Qt::LeftButton, 3, 0); // empty table: only the direction turns
    EXPECT_EQ(w->sortDirection(), 1);
    t.setRowCount(4);
    t.setRow(1, {"1", "a", "5920", "12,34", "1", "1", "", ""});
    t.setRow(2, {"2", "b", "5920", "9,50", "1", "1", "", ""});
    t.setRow(3, {"3", "c", "5920", "100,00", "1", "1", "", ""});
    w->StringGrid1MouseUp(Qt::RightButton, 0, 0); // another button: nothing
    EXPECT_EQ(w->sortDirection(), 1);
    // A real release of the left button over the "Номер" header sorts descending by number
    // (all equal), then one over "№" ascending by record number.
    w->show();
    QHeaderView* header = w->grid()->horizontalHeader();
    const QPoint overNumber(header->sectionViewportPosition(0) + 5, header->height() / 2);
    QTest::mouseRelease(header->viewport(), Qt::LeftButton, {}, overNumber);
    EXPECT_EQ(w->sortDirection(), -1);
    EXPECT_EQ(t.cell(0, 1), "3");
    QTest::mouseRelease(header->viewport(), Qt::LeftButton, {}, overNumber);
    EXPECT_EQ(w->sortDirection(), 1);
    EXPECT_EQ(t.cell(0, 1), "1");

    // A cell that does not convert: the error's text in a box, the table as it was.
    t.setCell(2, 2, "NAN");
    MessageBoxAnswerer answerer;
    w->StringGrid1MouseUp(Qt::LeftButton, 2, 0);
    ASSERT_EQ(answerer.seen.size(), 1u);
    EXPECT_TRUE(answerer.seen[0].text.contains("NAN"));
    EXPECT_EQ(t.cell(0, 1), "1");
    t.setCell(2, 2, "5920");

    // Where the button goes up counts, not where it went down: pressed on the header and
    // released over a data row is no click; pressed in the body and released on a header is.
    QTest::mouseRelease(header->viewport(), Qt::LeftButton, {}, QPoint(overNumber.x(), header->height() + 30));
    EXPECT_EQ(w->sortDirection(), -1);
    const QPoint numberFromBody(header->sectionViewportPosition(4) + 5, -header->height() / 2);
    QTest::mouseRelease(w->grid()->viewport(), Qt::LeftButton, {}, numberFromBody);
    EXPECT_EQ(w->sortDirection(), 1);
    QTest::mouseRelease(w->grid()->viewport(), Qt::LeftButton, {}, QPoint(overNumber.x(), 10));
    EXPECT_EQ(w->sortDirection(), 1); // a release in the body is no header click
}

TEST_F(MainWindow, SaveAndOpenProjectsThroughTheDialogs)
{
    SimGauge gauge(Transport::Usb, "records=4");
    auto w = windowOn(gauge);
    TempDir dir;
    const QString path = QString::fromStdString(dir.file("my archive.qlx"));
    QStringList asked;
    w->saveProjectDialog = [&](QWidget*, const QString& initial, const QString& filter) {
        asked << initial << filter;
        return path;
    };
    MessageBoxAnswerer answerer;
    w->Save2Click(); // the empty table is refused after the dialog
    ASSERT_EQ(answerer.seen.size(), 1u);
    EXPECT_EQ(answerer.seen[0].text, "Архив не считан!");
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_EQ(asked, (QStringList{"Arhive.qlx", "Quilex-A Project|*.qlx|All Files|*.*|Comma-separated text|*.csv|"
                                                "Tab-separated text|*.tsv"}));

    w->Button1Click();
    w->runner().waitForEnd();
    w->Save2Click();
    EXPECT_EQ(answerer.seen.size(), 1u);
    ASSERT_TRUE(QFile::exists(path));
    w->Save2Click();
    EXPECT_EQ(asked[2], path); // the dialog remembers the last name

    // Open it into a fresh window, by the menu and from a command line split at the space.
    TForm1 other(*state);
    other.openProjectDialog = [&](QWidget*, const QString& initial, const QString&) {
        EXPECT_EQ(initial, "Arhive.qlx");
        return path;
    };
    other.Action1Execute(true);
    EXPECT_EQ(other.archiveTable().rowCount(), 5);
    EXPECT_EQ(other.archiveTable().cell(0, 4), "4");

    TForm1 started(*state);
    started.openFromCommandLine({QString::fromStdString(dir.file("my")), "archive.qlx"});
    EXPECT_EQ(started.openDialogFileName(), path);
    EXPECT_EQ(started.archiveTable().rowCount(), 5);

    // A damaged file is refused with a message naming it; the table stays.
    QFile damaged(QString::fromStdString(dir.file("damaged.qlx")));
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write(QByteArray::fromHex("0800000064000000"));
    damaged.close();
    other.openProjectDialog = [&](QWidget*, const QString&, const QString&) { return damaged.fileName(); };
    other.Action1Execute(true);
    ASSERT_EQ(answerer.seen.size(), 2u);
    EXPECT_TRUE(answerer.seen[1].text.contains("damaged.qlx"));
    EXPECT_EQ(other.archiveTable().rowCount(), 5);
}

TEST_F(MainWindow, SpreadsheetExportFromTheMenu)
{
    SimGauge gauge(Transport::Usb, "records=6");
    auto w = windowOn(gauge);
    TempDir dir;
    const QString path = QString::fromStdString(dir.file("Arhive.xlsx"));
    QStringList asked;
    w->saveSpreadsheetDialog = [&](QWidget*, const QString& initial, const QString& filter) {
        asked << initial << filter;
        return path;
    };
    MessageBoxAnswerer answerer;
    w->Save1Click(); // nothing read yet: refused after the dialog
    ASSERT_EQ(answerer.seen.size(), 1u);
    EXPECT_EQ(answerer.seen[0].text, "Архив не считан!");
    EXPECT_EQ(asked, (QStringList{"Arhive.xlsx", "Exel 2007|*.xlsx|All Files|*.*"}));
    EXPECT_FALSE(QFile::exists(path));

    w->Button1Click();
    w->runner().waitForEnd();
    w->Save1Click();
    EXPECT_EQ(answerer.seen.size(), 1u);
    QFile written(path);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_TRUE(written.read(2) == "PK"); // a workbook, whatever the name says
}

TEST_F(MainWindow, MaterialSettingsAndScreenshotWindowsFromTheMainWindow)
{
    SimGauge gauge(Transport::Usb);
    auto w = windowOn(gauge);
    w->show();
    // The material window reads the gauge's table as it opens; the user closes it.
    QTimer::singleShot(20, [&] {
        ASSERT_TRUE(waitUntil([&] { return !w->runner().busy(); }));
        EXPECT_FALSE(w->materialWindow()->grid().cell(1, 1).isEmpty());
        w->materialWindow()->reject();
    });
    w->Button2Click();
    EXPECT_FALSE(state->ReadMaterialsFirst.load()); // the next archive read starts at the connection
    EXPECT_EQ(writesIn(gauge.transcript()).front(), test::bytes({0x04, 0xFB}));

    QTimer::singleShot(20, [&] { w->screenshotWindow()->reject(); });
    w->N1Click();
    ASSERT_NE(w->screenshotWindow(), nullptr);
    EXPECT_FALSE(w->screenshotWindow()->isVisible());
}

TEST_F(MainWindow, AboutBoxAndHelpByMenuAndF1)
{
    SimGauge gauge(Transport::Usb);
    auto w = windowOn(gauge);
    w->show();
    bool aboutShown = false;
    QTimer::singleShot(20, [&] {
        if (auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            aboutShown = true;
            box->reject();
        }
    });
    w->About1Click();
    EXPECT_TRUE(aboutShown);

    destroyHelpWindow();
    QTest::keyClick(w->grid(), Qt::Key_F1, Qt::ShiftModifier); // modifiers are not looked at
    ASSERT_NE(helpWindow(), nullptr);
    EXPECT_TRUE(helpWindow()->isVisible());
    EXPECT_EQ(helpWindow()->parentWidget(), nullptr); // not owned by the main window
    destroyHelpWindow();
    w->Contents1Click();
    EXPECT_TRUE(helpWindow()->isVisible());
    destroyHelpWindow();
}

TEST_F(MainWindow, TheUsualKeysReachTheCommandsAndTheMenuBar)
{
    SimGauge gauge(Transport::Usb, "records=4");
    auto w = windowOn(gauge);
    EXPECT_EQ(w->Save3->shortcut(), QKeySequence(QKeySequence::Open));
    EXPECT_EQ(w->Save2->shortcut(), QKeySequence(QKeySequence::Save));
    EXPECT_EQ(w->Print1->shortcut(), QKeySequence(QKeySequence::Print));
    EXPECT_EQ(w->Exit1->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
    EXPECT_EQ(w->Contents1->shortcut(), QKeySequence(Qt::Key_F1));
    w->show();
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));

    // F5 reads the archive.
    w->grid()->setFocus();
    QTest::keyClick(w->grid(), Qt::Key_F5);
    w->runner().waitForEnd();
    EXPECT_EQ(w->archiveTable().rowCount(), 5);
    w->activateWindow(); // back from the progress dialog
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));

    // Tab goes from the table to the two buttons.
    w->grid()->setFocus();
    QTest::keyClick(w->grid(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), w->Button1);
    QTest::keyClick(w->Button1, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), w->Button2);

    // F10, and Alt pressed and released alone, take the keyboard to the menu bar.
    QTest::keyClick(w->grid(), Qt::Key_F10);
    EXPECT_EQ(w->menuBar()->activeAction(), w->File1->menuAction());
    w->menuBar()->setActiveAction(nullptr);
    w->grid()->setFocus();
    QTest::keyPress(w->grid(), Qt::Key_Alt, Qt::AltModifier);
    QTest::keyRelease(w->grid(), Qt::Key_Alt);
    EXPECT_EQ(w->menuBar()->activeAction(), w->File1->menuAction());
    w->menuBar()->setActiveAction(nullptr);
}

// A downloaded table that no project holds is not dropped without a question; saving it
// names the project in the caption; a sort is a change too, and the header shows it.
TEST_F(MainWindow, UnsavedTablesAreAskedAboutAndTheCaptionNamesTheProject)
{
    SimGauge gauge(Transport::Usb, "records=4");
    auto w = windowOn(gauge);
    std::vector<TForm1::UnsavedTable> answers;
    int asked = 0;
    w->askAboutUnsavedTable = [&](QWidget*) {
        ++asked;
        const auto answer = answers.front();
        answers.erase(answers.begin());
        return answer;
    };
    w->show();
    w->close(); // nothing to lose yet
    EXPECT_EQ(asked, 0);
    w->show();
    w->Button1Click();
    w->runner().waitForEnd();
    EXPECT_TRUE(w->tableModified());
    EXPECT_EQ(shownTitle(*w), "Толщиномер ультразвуковой Quilex-A*");

    answers = {TForm1::UnsavedTable::Cancel};
    EXPECT_FALSE(w->close());
    EXPECT_TRUE(w->isVisible());
    answers = {TForm1::UnsavedTable::Cancel};
    w->Button1Click(); // a new download waits for the answer: none starts
    EXPECT_FALSE(w->runner().busy());
    EXPECT_EQ(asked, 2);

    TempDir dir;
    const QString path = QString::fromStdString(dir.file("Arhive.qlx"));
    w->saveProjectDialog = [&](QWidget*, const QString&, const QString&) { return path; };
    answers = {TForm1::UnsavedTable::Save};
    w->openProjectDialog = [&](QWidget*, const QString&, const QString&) { return path; };
    w->Action1Execute(true); // asked, saved, then opened
    EXPECT_EQ(asked, 3);
    EXPECT_TRUE(QFile::exists(path));
    EXPECT_FALSE(w->tableModified());
    EXPECT_EQ(shownTitle(*w), "Толщиномер ультразвуковой Quilex-A \u2014 Arhive.qlx");

    // A header click sorts, marks the table changed and shows its column and direction.
    QHeaderView* header = w->grid()->horizontalHeader();
    w->StringGrid1MouseUp(Qt::LeftButton, 3, 0);
    EXPECT_TRUE(w->tableModified());
    EXPECT_TRUE(header->isSortIndicatorShown());
    EXPECT_EQ(header->sortIndicatorSection(), 3);
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::AscendingOrder);
    answers = {TForm1::UnsavedTable::Discard};
    EXPECT_TRUE(w->close());
    EXPECT_EQ(asked, 4);
}

// The window saves and opens CSV and TSV through the same list of formats as the command line:
// a table saved here as CSV reads back whole, and quilex-cli reads the very same rows.
TEST_F(MainWindow, TextTablesThroughTheProjectDialogs)
{
    SimGauge gauge(Transport::Usb, "records=5");
    auto w = windowOn(gauge);
    w->Button1Click();
    w->runner().waitForEnd();
    TempDir dir;
    for (const auto& [name, type] : {std::pair{"table.csv", "Comma-separated text"}, {"table.tsv", "Tab-separated text"}}) {
        SCOPED_TRACE(name);
        const QString path = QString::fromStdString(dir.file(name));
        w->saveProjectDialog = [&](QWidget*, const QString&, const QString&) {
            return TForm1::FileChoice(path, QString::fromLatin1(type));
        };
        w->Save2Click();
        QFile written(path);
        ASSERT_TRUE(written.open(QIODevice::ReadOnly));
        EXPECT_FALSE(written.peek(4) == QByteArray("\x08\x00\x00\x00", 4)); // text, not a project file
        TForm1 other(*state);
        other.openProjectDialog = [&](QWidget*, const QString&, const QString&) { return path; };
        other.Action1Execute(true);
        ASSERT_EQ(other.archiveTable().rowCount(), w->archiveTable().rowCount());
        for (int row = 0; row < w->archiveTable().rowCount(); ++row)
            EXPECT_EQ(other.archiveTable().row(row), w->archiveTable().row(row));

        StringGrid viaCommandLineFormats;
        ASSERT_TRUE(tableFormatFor(path)->read(path, viaCommandLineFormats, 0).ok());
        EXPECT_EQ(viaCommandLineFormats.row(3), w->archiveTable().row(3));
    }
}

// The type picked in the save dialog decides what is written, not the name's ending: a project
// saved under "All Files" as legacy.txt stays a project, limits and all, and opens as one
// whatever its name. A file that is neither a project nor text is refused by name, and the
// table stays; a project whose limits are damaged opens its cells and says so.
TEST_F(MainWindow, TheChosenTypeDecidesAndTheBytesTellWhatAFileIs)
{
    SimGauge gauge(Transport::Usb, "records=5");
    auto w = windowOn(gauge);
    w->Button1Click();
    w->runner().waitForEnd();
    TableLimits limits;
    limits.table = {1200, 900};
    w->setLimits(limits);
    TempDir dir;
    for (const char* name : {"legacy.txt", "legacy.tsv", "legacy.csv", "legacy"}) {
        SCOPED_TRACE(name);
        const QString path = QString::fromStdString(dir.file(name));
        w->saveProjectDialog = [&](QWidget*, const QString&, const QString&) {
            return TForm1::FileChoice(path, QStringLiteral("All Files"));
        };
        w->Save2Click();
        QFile written(path);
        ASSERT_TRUE(written.open(QIODevice::ReadOnly));
        EXPECT_EQ(written.readAll(), encodeProject(w->archiveTable(), limits));

        TForm1 other(*state);
        other.openProjectDialog = [&](QWidget*, const QString&, const QString&) { return path; };
        ModalBoxWatcher boxes;
        other.Action1Execute(true);
        EXPECT_TRUE(boxes.boxes.empty());
        EXPECT_EQ(other.limits(), limits);
        ASSERT_EQ(other.archiveTable().rowCount(), w->archiveTable().rowCount());
        EXPECT_EQ(other.archiveTable().row(5), w->archiveTable().row(5));
    }

    const QByteArray project = encodeProject(w->archiveTable(), limits);
    TForm1 other(*state);
    const QString picture = QString::fromStdString(dir.file("picture.tsv"));
    {
        QFile file(picture);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
    }
    other.Lang1Click();
    other.openProjectDialog = [&](QWidget*, const QString&, const QString&) { return picture; };
    {
        ModalBoxWatcher boxes;
        other.Action1Execute(true);
        ASSERT_EQ(boxes.boxes.size(), 1u);
        EXPECT_EQ(boxes.boxes[0].icon, QMessageBox::Critical);
        EXPECT_TRUE(boxes.boxes[0].text.contains(QStringLiteral("neither a project file nor a table written as text")))
            << boxes.boxes[0].text.toStdString();
        EXPECT_TRUE(boxes.boxes[0].text.contains(QStringLiteral("picture.tsv")));
        EXPECT_TRUE(other.archiveTable().isEmptyTable());
    }

    const QString damaged = QString::fromStdString(dir.file("damaged.qlx"));
    {
        QFile file(damaged);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        QByteArray bytes = project;
        bytes[bytes.size() - 1] = char(bytes[bytes.size() - 1] ^ 0x55); // the limits' checksum
        file.write(bytes);
    }
    other.Lang0Click();
    other.openProjectDialog = [&](QWidget*, const QString&, const QString&) { return damaged; };
    ModalBoxWatcher boxes;
    other.Action1Execute(true);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].icon, QMessageBox::Warning);
    EXPECT_TRUE(boxes.boxes[0].text.contains(QStringLiteral("Пределы толщины"))) << boxes.boxes[0].text.toStdString();
    EXPECT_TRUE(boxes.boxes[0].text.contains(QStringLiteral("damaged.qlx")));
    EXPECT_TRUE(other.limits().empty());
    EXPECT_EQ(other.archiveTable().row(5), w->archiveTable().row(5));
    QFile kept(damaged);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.size(), project.size());
}

// The file dialogs start in the folder last used in the run, with the names they always had.
TEST_F(MainWindow, FileDialogsStartInTheFolderLastUsed)
{
    SimGauge gauge(Transport::Usb, "records=3");
    auto w = windowOn(gauge);
    w->Button1Click();
    w->runner().waitForEnd();
    TempDir dir;
    const QString folder = QString::fromStdString(dir.path());
    w->saveProjectDialog = [&](QWidget*, const QString&, const QString&) { return folder + "/today.qlx"; };
    w->Save2Click();
    EXPECT_EQ(w->lastFolder(), folder);
    QString openedWith;
    w->openProjectDialog = [&](QWidget*, const QString& initial, const QString&) {
        openedWith = initial;
        return QString();
    };
    w->Action1Execute(true);
    EXPECT_EQ(openedWith, folder + "/Arhive.qlx");
    QString exportedWith;
    w->saveSpreadsheetDialog = [&](QWidget*, const QString& initial, const QString&) {
        exportedWith = initial;
        return QString();
    };
    w->Save1Click();
    EXPECT_EQ(exportedWith, folder + "/Arhive.xlsx");
}

// The status bar under the table says what just happened, in the language in use and again in
// the other one after a switch; a count of records in its grammatical form.
TEST_F(MainWindow, TheStatusBarTellsWhatJustHappened)
{
    SimGauge gauge(Transport::Usb, "records=22");
    auto w = windowOn(gauge);
    w->askAboutUnsavedTable = [](QWidget*) { return TForm1::UnsavedTable::Discard; };
    w->show();
    EXPECT_TRUE(w->statusText().isEmpty());
    w->Button1Click();
    w->runner().waitForEnd();
    EXPECT_EQ(w->statusText(), QStringLiteral("22 записи прочитаны"));
    w->Lang1Click();
    EXPECT_EQ(w->statusText(), QStringLiteral("22 records read"));
    // The table stays clear of the status bar and the buttons.
    EXPECT_LE(w->grid()->geometry().bottom(), w->Button1->geometry().top());
    EXPECT_LE(w->Button1->geometry().bottom(), w->statusBar()->geometry().top());

    TempDir dir;
    const QString path = QString::fromStdString(dir.file("pipe1.qlx"));
    w->saveProjectDialog = [&](QWidget*, const QString&, const QString&) { return path; };
    w->Save2Click();
    EXPECT_EQ(w->statusText(), QStringLiteral("Saved: pipe1.qlx"));
    w->Lang0Click();
    EXPECT_EQ(w->statusText(), QStringLiteral("Сохранено: pipe1.qlx"));
    w->openProjectDialog = [&](QWidget*, const QString&, const QString&) { return path; };
    w->Action1Execute(true);
    EXPECT_EQ(w->statusText(), QStringLiteral("Открыто: pipe1.qlx"));
    EXPECT_TRUE(w->windowTitle().contains(QStringLiteral("pipe1.qlx")));
    // A download is no longer that project: the caption names no file until it is saved.
    w->Button1Click();
    w->runner().waitForEnd();
    EXPECT_FALSE(w->windowTitle().contains(QStringLiteral("pipe1.qlx"))) << w->windowTitle().toStdString();
    EXPECT_TRUE(w->projectFile().isEmpty());

    for (const auto& [count, russian] : std::vector<std::pair<int, const char*>>{
             {1, "1 запись прочитана"}, {4, "4 записи прочитаны"}, {5, "5 записей прочитано"},
             {11, "11 записей прочитано"}, {12, "12 записей прочитано"}, {21, "21 запись прочитана"},
             {112, "112 записей прочитано"}, {2048, "2048 записей прочитано"}})
        EXPECT_EQ(recordsReadStatusText(count, LanguageRussian), QString::fromUtf8(russian));
    EXPECT_EQ(recordsReadStatusText(1, LanguageEnglish), QStringLiteral("1 record read"));
    EXPECT_EQ(recordsReadStatusText(21, LanguageEnglish), QStringLiteral("21 records read"));
}

// Why no gauge was reached, for each thing that can keep it away, in both languages.
TEST(GaugeNotReached, EveryReasonIsToldInBothLanguages)
{
    using Probe = LibUsbLink::DeviceProbe::Result;
    GaugeReachability seen;
    seen.driverRoot = "/run/quilex/devices";
    seen.libraryName = "libusb-0.1.so.4";
    seen.probe.result = Probe::NotFound;
    EXPECT_EQ(unreachableReason(seen, LanguageRussian),
              QStringLiteral("Папки устройств драйвера прибора /run/quilex/devices нет: драйвер прибора не установлен.\n"
                             "Прибора (USB 03EB:0201) нет на шине USB: проверьте кабель и включите прибор."));
    seen.driverRootExists = true;
    seen.probe = {Probe::CannotOpen, EACCES};
    const QString english = unreachableReason(seen, LanguageEnglish);
    EXPECT_TRUE(english.startsWith(QStringLiteral("The gauge driver's device folder /run/quilex/devices holds no gauge.\n")));
    // The system's own words for the error, in the system's language.
    EXPECT_TRUE(english.contains(QStringLiteral("cannot be opened (%1)").arg(QString::fromLocal8Bit(std::strerror(EACCES)))))
        << english.toStdString();
    EXPECT_TRUE(english.contains(QStringLiteral("60-quilex.rules")));
    seen.driverDevices = {"/run/quilex/devices/gauge0"};
    seen.probe = {Probe::CannotClaim, -EBUSY};
    EXPECT_TRUE(unreachableReason(seen, LanguageRussian).startsWith(QStringLiteral("Прибор драйвера /run/quilex/devices/gauge0 не отвечает.")));
    EXPECT_TRUE(unreachableReason(seen, LanguageEnglish).contains(QStringLiteral("another program holds it")));
    seen.libraryLoad = 1;
    seen.loadError = "libusb-0.1.so.4: cannot open shared object file";
    EXPECT_TRUE(unreachableReason(seen, LanguageEnglish).endsWith(
        QStringLiteral("The libusb library libusb-0.1.so.4 cannot be loaded (libusb-0.1.so.4: cannot open shared object "
                       "file): install the package libusb-0.1-4.")));
    seen.libraryLoad = 0;
    seen.probe = {Probe::Usable, 0};
    EXPECT_FALSE(seen.reachable() && unreachableReason(seen, LanguageEnglish).contains(QStringLiteral("USB 03EB")));
    EXPECT_TRUE(seen.reachable());
}
