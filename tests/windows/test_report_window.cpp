// The main window's "Inspection report" on the offscreen platform, in both languages: the menu
// item after the File menu's own, the dialog of the title block (its texts kept for the next
// report), the preview opened and closed, and the PDF written in the folder chosen.

#include "windows/main_window.h"
#include "export/outside_readers.h"
#include "export/report_texts.h"
#include "windows/report_title_dialog.h"
#include "support/test_support.h"
#include "windows/windows_test_support.h"

#include <QAction>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPushButton>

using namespace quilex;
using namespace quilex::test;

namespace {

[[maybe_unused]] auto* const environment = ::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);

class ReportWindow : public ::testing::TestWithParam<std::uint8_t> {
protected:
    void SetUp() override
    {
        window = std::make_unique<TForm1>(state);
        window->askAboutUnsavedTable = [](QWidget*) { return TForm1::UnsavedTable::Discard; };
        if (GetParam() == LanguageEnglish)
            window->Lang1Click();
        // A downloaded table of 120 readings: series 1 and 2, some below 10.00 mm.
        StringGrid& table = window->archiveTable();
        table.setRowCount(121);
        const QLocale locale = QLocale::system();
        for (int r = 1; r <= 120; ++r)
            table.setRow(r, {QString::number(r), QStringLiteral("сталь 1"), QStringLiteral("5920"),
                             locale.toString((900 + r * 3) / 100.0, 'f', 2), QString::number(r), QString::number(r % 2 + 1),
                             locale.toString(QDate(2024, 3, 1), locale.dateFormat(QLocale::ShortFormat)),
                             QStringLiteral("10:00:00")});
        TableLimits limits;
        limits.table.minimum = 1000;
        window->setLimits(limits);
    }
    void TearDown() override
    {
        window.reset();
        setLanguageIndex(LanguageRussian);
    }

    // Runs `act` once a modal window of type T is up, however long it takes to come.
    template <typename T>
    static void whenUp(std::function<void(T&)> act)
    {
        auto* timer = new QTimer;
        timer->setInterval(50);
        QObject::connect(timer, &QTimer::timeout, [timer, act] {
            if (auto* window = qobject_cast<T*>(QApplication::activeModalWidget())) {
                timer->stop();
                timer->deleteLater();
                act(*window);
            }
        });
        timer->start();
    }
    static void onTheDialog(std::function<void(ReportTitleDialog&)> act) { whenUp<ReportTitleDialog>(std::move(act)); }

    ExchangeState state;
    std::unique_ptr<TForm1> window;
    TempDir dir;
};

} // namespace

TEST_P(ReportWindow, TheDialogThePreviewAndThePdf)
{
    const bool english = GetParam() == LanguageEnglish;
    // After the File menu's own items, named in the language in use.
    const QList<QAction*> items = window->File1->actions();
    ASSERT_FALSE(items.isEmpty());
    EXPECT_EQ(items.back(), window->InspectionReport1);
    EXPECT_LT(items.indexOf(window->Exit1), items.indexOf(window->InspectionReport1));
    EXPECT_TRUE(window->InspectionReport1->text().startsWith(english ? "Inspection report" : "Протокол контроля"));

    // The dialog: typed texts, then the preview, which shows pages and closes.
    bool previewShown = false;
    int pages = 0;
    onTheDialog([&](ReportTitleDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), english ? "Inspection report" : "Протокол контроля");
        dialog.field(0)->setText(QStringLiteral("Separator V-101"));
        dialog.field(2)->setText(QStringLiteral("P. Petrov"));
        dialog.field(5)->setText(QStringLiteral("D7910"));
        whenUp<QPrintPreviewDialog>([&](QPrintPreviewDialog& preview) {
            previewShown = true;
            if (auto* widget = preview.findChild<QPrintPreviewWidget*>())
                pages = widget->pageCount();
            preview.reject();
        });
        dialog.previewButton()->click();
    });
    window->InspectionReport1->trigger();
    EXPECT_TRUE(previewShown);
    EXPECT_GE(pages, 2);
    EXPECT_EQ(window->reportTitle().object, "Separator V-101");
    EXPECT_EQ(window->reportTitle().operatorName, "P. Petrov");
    EXPECT_EQ(window->reportTitle().probe, "D7910");

    // The next report starts from the texts kept; a cancelled dialog changes none of them.
    onTheDialog([](ReportTitleDialog& dialog) {
        EXPECT_EQ(dialog.field(0)->text(), "Separator V-101");
        dialog.field(0)->setText(QStringLiteral("something else"));
        dialog.cancelButton()->click();
    });
    window->InspectionReport1->trigger();
    EXPECT_EQ(window->reportTitle().object, "Separator V-101");

    // The PDF, offered in the folder last used, written where the user says.
    const QString folder = QString::fromStdString(dir.path());
    QString offered;
    const QString pdf = QString::fromStdString(dir.file("report.pdf"));
    window->saveReportPdfDialog = [&](QWidget*, const QString& initial, const QString& filter) {
        offered = initial;
        EXPECT_TRUE(filter.contains("*.pdf"));
        return pdf;
    };
    onTheDialog([](ReportTitleDialog& dialog) { dialog.pdfButton()->click(); });
    window->InspectionReport1->trigger();
    EXPECT_TRUE(offered.endsWith(".pdf"));
    ASSERT_TRUE(QFile::exists(pdf));
    const QString text = pdfText(pdf);
    EXPECT_TRUE(text.contains("Separator V-101"));
    EXPECT_TRUE(text.contains(english ? "below min." : "ниже мин."));
    EXPECT_TRUE(text.contains(english ? "page 1 of " : "страница 1 из "));
    EXPECT_TRUE(window->statusText().contains("report.pdf"));
    // With QUILEX_SCREENSHOTS naming a folder, the PDF goes there too, for its pages' pictures.
    if (const QString kept = qEnvironmentVariable("QUILEX_SCREENSHOTS"); !kept.isEmpty()) {
        QDir().mkpath(kept);
        const QString copy = kept + (english ? "/inspection-report-en.pdf" : "/inspection-report-ru.pdf");
        QFile::remove(copy);
        QFile::copy(pdf, copy);
    }
    // The next PDF is offered in the folder of this one.
    onTheDialog([](ReportTitleDialog& dialog) { dialog.pdfButton()->click(); });
    window->saveReportPdfDialog = [&](QWidget*, const QString& initial, const QString&) {
        offered = initial;
        return QString();
    };
    window->InspectionReport1->trigger();
    EXPECT_TRUE(offered.startsWith(folder + u'/')) << offered.toStdString();
}

// The title block's texts are the project's: typed ones make the table unsaved, go into the file
// with it, and come back with it in another window, whose dialog starts from them.
TEST_P(ReportWindow, TheTitleBlockIsKeptInTheProject)
{
    window->askReportTitle = [](QWidget*, ReportTitle& title) {
        title.object = QStringLiteral("Резервуар №5");
        title.couplant = QStringLiteral("gel");
        return std::optional<TForm1::ReportChoice>();
    };
    window->InspectionReport1->trigger();
    EXPECT_TRUE(window->reportTitle().empty()); // a cancelled dialog keeps nothing
    EXPECT_FALSE(window->isWindowModified());

    window->askReportTitle = [](QWidget*, ReportTitle& title) {
        title.object = QStringLiteral("Резервуар №5");
        title.couplant = QStringLiteral("gel");
        return std::optional<TForm1::ReportChoice>(TForm1::ReportChoice::Pdf);
    };
    window->saveReportPdfDialog = [](QWidget*, const QString&, const QString&) { return QString(); };
    window->InspectionReport1->trigger();
    EXPECT_EQ(window->reportTitle().object, QStringLiteral("Резервуар №5"));
    EXPECT_TRUE(window->isWindowModified());

    const QString project = QString::fromStdString(dir.file("tank.qlx"));
    window->saveProjectDialog = [&](QWidget*, const QString&, const QString&) { return project; };
    window->Save2Click();
    EXPECT_FALSE(window->isWindowModified());

    TForm1 other(state);
    other.openProjectDialog = [&](QWidget*, const QString&, const QString&) { return project; };
    other.Action1Execute(true);
    EXPECT_EQ(other.reportTitle(), window->reportTitle());
    EXPECT_EQ(other.limits(), window->limits());
    ReportTitle offered;
    other.askReportTitle = [&](QWidget*, ReportTitle& title) {
        offered = title;
        return std::optional<TForm1::ReportChoice>();
    };
    other.InspectionReport1->trigger();
    EXPECT_EQ(offered.couplant, QStringLiteral("gel"));
}

// An empty table has no report: the window says so and opens no dialog.
TEST_P(ReportWindow, AnEmptyTableHasNoReport)
{
    window->archiveTable().setRowCount(2);
    for (int column = 0; column < 8; ++column)
        window->archiveTable().setCell(column, 1, QString()); // a row that setRow would fill with spaces
    bool asked = false;
    window->askReportTitle = [&](QWidget*, ReportTitle&) {
        asked = true;
        return std::optional<TForm1::ReportChoice>();
    };
    ModalBoxWatcher boxes;
    window->InspectionReport1->trigger();
    EXPECT_FALSE(asked);
    ASSERT_EQ(boxes.boxes.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Languages, ReportWindow, ::testing::Values(LanguageRussian, LanguageEnglish),
                         [](const auto& info) { return info.param == LanguageEnglish ? "English" : "Russian"; });
