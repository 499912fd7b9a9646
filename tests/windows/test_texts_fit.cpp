// Every window in both languages with the fonts of the machine (Debian's DejaVu under the
// offscreen platform), filled as a user sees it: no label, button, check box, header or cell
// text is cut, and the caption has room in the title bar. Run again at twice the scale.
// With QUILEX_SCREENSHOTS naming a folder, each window is also saved there as a picture.

#include "windows/main_window.h"
#include "base/texts.h"
#include "exchange/exchange_texts.h"
#include "windows/progress_dialog.h"
#include "support/sim_gauge.h"
#include "windows/about_box.h"
#include "windows/chart_window.h"
#include "windows/history_sample.h"
#include "windows/history_window.h"
#include "windows/statistics_window.h"
#include "windows/material_settings.h"
#include "windows/report_title_dialog.h"
#include "windows/screenshot_window.h"
#include "windows/window_texts.h"
#include "windows/windows_test_support.h"

#include <QAbstractButton>
#include <QAction>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QRegularExpression>
#include <QScreen>
#include <QStyle>
#include <QTableView>

using namespace quilex;
using namespace quilex::test;

namespace {

[[maybe_unused]] auto* const environment = ::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);

std::string describe(const QWidget* widget, const QString& text, int needed, int room)
{
    return widget->metaObject()->className() + std::string(" \"") + text.toStdString() + "\" needs " +
           std::to_string(needed) + " px, has " + std::to_string(room);
}

// The texts of a window that do not fit their place, described.
std::vector<std::string> cutTexts(QWidget* window)
{
    std::vector<std::string> cut;
    for (QLabel* label : window->findChildren<QLabel*>()) {
        if (!label->isVisibleTo(window) || label->text().isEmpty() || label->hasScaledContents())
            continue;
        const QFontMetrics metrics = label->fontMetrics();
        const int margin = 2 * label->margin() + std::max(label->indent(), 0);
        const QStringList lines = label->text().split(u'\n');
        int widest = 0;
        for (const QString& line : lines)
            widest = std::max(widest, metrics.horizontalAdvance(line));
        const QRect room = label->contentsRect();
        if (label->wordWrap()) {
            // A label that wraps its text is whole when each word fits its width and the lines it
            // wraps into fit its height.
            int widestWord = 0;
            for (const QString& word : label->text().split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts))
                widestWord = std::max(widestWord, metrics.horizontalAdvance(word));
            if (widestWord + margin > room.width())
                cut.push_back(describe(label, label->text(), widestWord + margin, room.width()));
            const int tall =
                metrics.boundingRect(QRect(0, 0, room.width() - margin, 1 << 20), Qt::TextWordWrap, label->text()).height();
            if (tall > room.height() + 1)
                cut.push_back(describe(label, label->text() + " (height)", tall, room.height()));
            continue;
        }
        if (widest + margin > room.width())
            cut.push_back(describe(label, label->text(), widest + margin, room.width()));
        if (int(lines.size()) * metrics.height() > room.height() + 1)
            cut.push_back(describe(label, label->text() + " (height)", int(lines.size()) * metrics.height(),
                                   room.height()));
    }
    for (QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
        if (!button->isVisibleTo(window) || button->text().isEmpty())
            continue;
        const QSize hint = button->sizeHint();
        if (hint.width() > button->width())
            cut.push_back(describe(button, button->text(), hint.width(), button->width()));
    }
    for (QTableView* view : window->findChildren<QTableView*>()) {
        QHeaderView* header = view->horizontalHeader();
        const int headerMargin = 2 * view->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
        const int cellMargin = 2 * view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 2;
        QAbstractItemModel* model = view->model();
        for (int col = 0; col < model->columnCount(); ++col) {
            if (header->isVisibleTo(window)) {
                // A header may come on more than one line: each line must fit, and all of them
                // the header's height.
                const QString text = model->headerData(col, Qt::Horizontal).toString();
                const QStringList lines = text.split(u'\n');
                int needed = 0;
                for (const QString& line : lines)
                    needed = std::max(needed, header->fontMetrics().horizontalAdvance(line) + headerMargin);
                if (needed > header->sectionSize(col))
                    cut.push_back(describe(header, text, needed, header->sectionSize(col)));
                const int tall = int(lines.size()) * header->fontMetrics().height();
                if (tall > header->height())
                    cut.push_back(describe(header, text + " (height)", tall, header->height()));
            }
            for (int row = 0; row < std::min(model->rowCount(), 300); ++row) {
                const QString text = model->index(row, col).data().toString();
                const int needed = view->fontMetrics().horizontalAdvance(text) + cellMargin;
                if (needed > view->columnWidth(col))
                    cut.push_back(describe(view, text, needed, view->columnWidth(col)));
            }
        }
    }
    // The caption in a title bar's bold face, beside an icon and three buttons of about its
    // height each.
    QFont bold = window->font();
    bold.setBold(true);
    const QFontMetrics title(bold);
    const int needed = title.horizontalAdvance(window->windowTitle()) + 3 * title.height() + 24;
    if (needed > window->width())
        cut.push_back(describe(window, window->windowTitle() + " (caption)", needed, window->width()));
    return cut;
}

void savePicture(QWidget* window, const QString& name)
{
    const QString folder = qEnvironmentVariable("QUILEX_SCREENSHOTS");
    if (folder.isEmpty())
        return;
    QDir().mkpath(folder);
    const QString base = folder + QLatin1Char('/') + name + (languageIndex() == LanguageEnglish ? "-en" : "-ru");
    window->grab().save(base + QStringLiteral(".png"));
    // On a real display the window manager's frame and caption are taken from the screen too.
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        QTest::qWait(300);
        const QRect frame = window->frameGeometry();
        window->screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height())
            .save(base + QStringLiteral("-framed.png"));
    }
}

void expectWhole(QWidget* window, const QString& name)
{
    window->show();
    QApplication::processEvents();
    savePicture(window, name);
    const auto cut = cutTexts(window);
    for (const std::string& text : cut)
        ADD_FAILURE() << name.toStdString() << ": " << text;
}

class TextsFit : public ::testing::TestWithParam<std::uint8_t> {
protected:
    void SetUp() override { setLanguageIndex(GetParam()); }
    void TearDown() override { setLanguageIndex(LanguageRussian); }
    RecordingPacing pacing;
};

} // namespace

TEST_P(TextsFit, MainWindowWithADownloadedArchive)
{
    SimGauge gauge(Transport::Usb);
    auto state = gauge.makeState(pacing);
    TForm1 window(*state);
    if (GetParam() == LanguageEnglish)
        window.Lang1Click();
    window.show();
    window.Button1Click();
    window.runner().waitForEnd();
    ASSERT_GT(window.archiveTable().rowCount(), 100);
    QApplication::processEvents();
    expectWhole(&window, QStringLiteral("main-window"));

    // Wider than drawn, the columns take the room instead of leaving it blank.
    window.resize(window.width() + 300, window.height());
    QApplication::processEvents();
    int columns = 0;
    for (int col = 0; col < window.grid()->model()->columnCount(); ++col)
        columns += window.grid()->columnWidth(col);
    EXPECT_GE(columns + 4, window.grid()->viewport()->width());
    window.Lang0Click();
}

TEST_P(TextsFit, ProgressDialogWithEveryStatus)
{
    TempDir nowhere;
    ExchangeState state(pacing, nowhere.path(), "/nonexistent/libusb.so");
    TForm2 dialog(state);
    namespace texts = exchange_texts;
    dialog.setDialogCaption(Text(texts::ParametersReadTitle));
    for (const TextPair* label : {&texts::ArchiveReadLabel, &texts::MaterialsReadLabel, &texts::SoundSpeedReadLabel,
                                  &texts::CheckConnectionLabel, &texts::LinkErrorLabel, &texts::NoDataLabel,
                                  &texts::ReadyLabel}) {
        dialog.labelTarget()->setLabelText(Text(*label));
        expectWhole(&dialog, QStringLiteral("progress"));
    }
    dialog.labelTarget()->setLabelText(Text(texts::SoundSpeedReadLabel));
    dialog.setDialogCaption(Text(texts::DataReadTitle));
    expectWhole(&dialog, QStringLiteral("progress"));
}

TEST_P(TextsFit, MaterialSettingsWithTheGaugesTable)
{
    SimGauge gauge(Transport::Usb);
    auto state = gauge.makeState(pacing);
    ExchangeRunner runner(*state);
    TForm3 form(runner);
    form.show();
    ASSERT_TRUE(form.startRead());
    ASSERT_TRUE(waitFor([&] { return !runner.busy(); }));
    QApplication::processEvents();
    // A name of twelve wide letters, the most a name holds.
    form.grid().setCell(1, 13, QStringLiteral("ШШШШШШШШШШШШ"));
    QApplication::processEvents();
    expectWhole(&form, QStringLiteral("materials"));
    form.setLabelText(Text(exchange_texts::CheckConnectionLabel));
    expectWhole(&form, QStringLiteral("materials-status"));
}

TEST_P(TextsFit, ScreenshotWindowWithEveryStatus)
{
    TempDir nowhere;
    ExchangeState state(pacing, nowhere.path(), "/nonexistent/libusb.so");
    ExchangeRunner runner(state);
    TForm5 form(runner);
    for (const TextPair* label : {&exchange_texts::CheckConnectionLabel, &exchange_texts::LinkErrorLabel}) {
        form.setLabelText(Text(*label));
        expectWhole(&form, QStringLiteral("screenshot"));
    }
}

TEST_P(TextsFit, AboutBox)
{
    TAboutBox box;
    expectWhole(&box, QStringLiteral("about"));
    // The two links side by side never overlap.
    EXPECT_LE(box.LabelWWW->geometry().right(), box.LabelEMail->geometry().left());
}

TEST_P(TextsFit, StatisticsAndChartWindows)
{
    SimGauge gauge(Transport::Usb);
    auto state = gauge.makeState(pacing);
    TForm1 window(*state);
    if (GetParam() == LanguageEnglish)
        window.Lang1Click();
    window.Button1Click();
    window.runner().waitForEnd();
    window.Statistics1->trigger();
    QApplication::processEvents();
    expectWhole(window.statisticsWindow(), QStringLiteral("statistics"));
    window.Chart1->trigger();
    QApplication::processEvents();
    expectWhole(window.chartWindow(), QStringLiteral("chart"));
    window.Lang0Click();
}

TEST_P(TextsFit, HistoryWindowOnALaptopScreen)
{
    TempDir dir;
    const QString path = QString::fromStdString(dir.file("unit4.qlh"));
    makeSampleHistory(path);
    auto store = openHistory(path);
    ASSERT_TRUE(store.ok());
    HistoryWindow window;
    window.setAsOf(SampleAsOf);
    ASSERT_TRUE(window.setHistory(store->get(), path));
    window.selectLocation({1, 2});
    expectWhole(&window, QStringLiteral("history-locations"));
    window.showGroup(1);
    expectWhole(&window, QStringLiteral("history-groups"));
    window.showSurveys();
    expectWhole(&window, QStringLiteral("history-surveys"));
    // A laptop's 1366 x 768 screen (at twice the scale, as many points) holds it with its frame.
    EXPECT_LE(window.frameGeometry().width(), 1366);
    EXPECT_LE(window.frameGeometry().height(), 768);
    EXPECT_LE(window.minimumSizeHint().width(), 1366 - 40);
    EXPECT_LE(window.minimumSizeHint().height(), 768 - 60);
}

TEST_P(TextsFit, InspectionReportDialog)
{
    ReportTitle title;
    title.object = QStringLiteral("Сепаратор V-101, штуцер N3");
    title.operatorName = QStringLiteral("Петров П. П.");
    title.calibration = QStringLiteral("по образцу 5,00 мм и 20,00 мм");
    ReportTitleDialog dialog(title);
    expectWhole(&dialog, QStringLiteral("inspection-report"));
    // A laptop's 1366 x 768 screen (at twice the scale, as many points) holds it with its frame.
    EXPECT_LE(dialog.frameGeometry().width(), 1366);
    EXPECT_LE(dialog.frameGeometry().height(), 768);
}

INSTANTIATE_TEST_SUITE_P(Languages, TextsFit, ::testing::Values(LanguageRussian, LanguageEnglish),
                         [](const auto& info) { return info.param == LanguageEnglish ? "English" : "Russian"; });
