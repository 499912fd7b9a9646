// The material settings dialog against the simulated gauge: the read on opening, editing by
// keyboard, the load into the gauge, and the key rules of the grid.

#include "windows/material_settings.h"

#include "base/texts.h"
#include "exchange/bmtread_usb.h"
#include "link/byte_order.h"
#include "link/crc16.h"
#include "support/sim_gauge.h"
#include "windows/windows_test_support.h"

#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

using namespace quilex;
using namespace quilex::test;

namespace {

[[maybe_unused]] auto* const environment = ::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);

// What the main window does when it opens the dialog.
void startRead(ExchangeRunner& runner, TForm3& form)
{
    runner.state().ReadMaterialsFirst = false;
    runner.state().ArchiveRequested = false;
    ASSERT_TRUE(form.startRead());
}

void showActive(QWidget& window)
{
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
}

void selectCell(TForm3& form, int column, int gridRow)
{
    form.StringGrid1->setFocus();
    form.StringGrid1->setCurrentIndex(form.StringGrid1->gridModel()->index(gridRow - 1, column));
}

// The exchange has ended and the dialog has heard of it.
bool exchangeOver(const ExchangeRunner& runner, const TForm3& form)
{
    return !runner.busy() && form.Button1->isEnabled();
}

int currentGridRow(const TForm3& form)
{
    return form.StringGrid1->currentIndex().row() + 1;
}

QLineEdit* openEditor()
{
    return qobject_cast<QLineEdit*>(QApplication::focusWidget());
}

// The 468 bytes of the last material table the program sent, from the gauge's transcript.
std::vector<std::uint8_t> lastTableSent(const SimGauge& gauge)
{
    // The pipe face may read pieces sent back to back in one go, so look in the whole stream of
    // what the program wrote: the table follows the last 05 FA and its length D4 01 00 00.
    std::vector<std::uint8_t> stream;
    for (const auto& write : writesIn(gauge.transcript()))
        stream.insert(stream.end(), write.begin(), write.end());
    const auto head = test::bytes({0x05, 0xFA, 0xD4, 0x01, 0x00, 0x00});
    const auto found = std::find_end(stream.begin(), stream.end(), head.begin(), head.end());
    if (found == stream.end())
        return {};
    const auto table = found + std::ptrdiff_t(head.size());
    return std::vector<std::uint8_t>(table, table + std::min<std::ptrdiff_t>(468, stream.end() - table));
}

class MaterialSettings : public ::testing::TestWithParam<Transport> {
protected:
    void TearDown() override { setLanguageIndex(LanguageRussian); }
    RecordingPacing pacing;
};

} // namespace

TEST_P(MaterialSettings, ReadsOnOpeningThenLoadsTheEditedTableIntoTheGauge)
{
    SimGauge gauge(GetParam());
    auto state = gauge.makeState(pacing);
    ExchangeRunner runner(*state);
    TForm3 form(runner);
    EXPECT_EQ(form.windowTitle(), "Настройка материалов");
    EXPECT_EQ(form.StringGrid1->model()->headerData(2, Qt::Horizontal).toString(), "Скорость звука, м/с");
    EXPECT_EQ(form.Button1->text(), "Загрузить в прибор");
    startRead(runner, form);
    showActive(form);
    ASSERT_TRUE(waitFor([&] { return exchangeOver(runner, form); }));

    StringGrid& grid = form.grid();
    for (int row = 1; row <= 13; ++row) {
        EXPECT_EQ(grid.cell(0, row), QString::number(row));
        EXPECT_EQ(grid.cell(1, row), state->MaterialNames[2 * (row - 1)]);
        EXPECT_GT(grid.cell(2, row).toInt(), 0);
    }
    EXPECT_EQ(form.Label1->text(), "Готово");
    EXPECT_TRUE(form.CGauge1->isHidden());
    EXPECT_TRUE(form.Button1->isEnabled());
    const QString englishName = state->MaterialNames[2 * 5 + 1];

    // Row 6: a new name typed over the old one, Enter; a new speed, Enter.
    selectCell(form, 1, 6);
    typeText(QStringLiteral("сталь 45"));
    pressKey(Qt::Key_Return);
    EXPECT_EQ(currentGridRow(form), 7);
    selectCell(form, 2, 6);
    typeText(QStringLiteral("777"));
    pressKey(Qt::Key_Return);
    EXPECT_EQ(grid.cell(1, 6), "сталь 45");
    EXPECT_EQ(grid.cell(2, 6), "777");

    // A speed still being edited when the button is pressed goes in with the text it shows.
    selectCell(form, 2, 2);
    typeText(QStringLiteral("123"));
    QTest::mouseClick(form.Button1, Qt::LeftButton);
    EXPECT_TRUE(form.CGauge1->isVisible());
    ASSERT_TRUE(waitFor([&] { return exchangeOver(runner, form); }));
    EXPECT_EQ(form.Label1->text(), "Готово");
    EXPECT_TRUE(form.CGauge1->isHidden());

    // The pipe server writes its transcript as it reads, a moment after the program has sent.
    std::vector<std::uint8_t> sent;
    waitFor([&] { return (sent = lastTableSent(gauge)).size() == 468u; }, 5000);
    ASSERT_EQ(sent.size(), 468u);
    const std::uint8_t* record = sent.data() + 5 * 36;
    const std::uint8_t name[] = {0x08, 0xF1, 0xF2, 0xE0, 0xEB, 0xFC, 0x20, 0x34, 0x35, 0x00}; // "сталь 45"
    EXPECT_TRUE(std::equal(std::begin(name), std::end(name), record + 2));
    EXPECT_EQ(readI32le(record + 28), 777);
    EXPECT_EQ(Crc16(record, 36), 0u);
    EXPECT_EQ(readI32le(sent.data() + 1 * 36 + 28), 123);
    if (GetParam() == Transport::Usb) {
        EXPECT_EQ(gauge.materialTable(), sent);
    }

    // The gauge keeps it: a dialog opened afresh reads the new values, the English name as before.
    TForm3 again(runner);
    startRead(runner, again);
    ASSERT_TRUE(waitFor([&] { return !runner.busy(); }));
    EXPECT_EQ(again.grid().cell(1, 6), "сталь 45");
    EXPECT_EQ(again.grid().cell(2, 6), "777");
    EXPECT_EQ(again.grid().cell(2, 2), "123");
    EXPECT_EQ(state->MaterialNames[2 * 5 + 1], englishName);
}

TEST_P(MaterialSettings, InEnglishOnlyTheEnglishNamesChange)
{
    setLanguageIndex(LanguageEnglish);
    SimGauge gauge(GetParam());
    auto state = gauge.makeState(pacing);
    ExchangeRunner runner(*state);
    TForm3 form(runner);
    EXPECT_EQ(form.windowTitle(), "Material Settings");
    EXPECT_EQ(form.StringGrid1->model()->headerData(0, Qt::Horizontal).toString(), "№");
    EXPECT_EQ(form.StringGrid1->model()->headerData(1, Qt::Horizontal).toString(), "Material");
    EXPECT_EQ(form.Button1->text(), "Load into the device");
    startRead(runner, form);
    ASSERT_TRUE(waitFor([&] { return exchangeOver(runner, form); }));
    EXPECT_EQ(form.grid().cell(1, 3), state->MaterialNames[2 * 2 + 1]);
    const QString russianName = state->MaterialNames[2 * 2];

    form.grid().setCell(1, 3, QStringLiteral("Acrylic"));
    form.Button1Click();
    ASSERT_TRUE(waitFor([&] { return !runner.busy(); }));
    // The pipe server writes its transcript as it reads, a moment after the program has sent.
    std::vector<std::uint8_t> sent;
    waitFor([&] { return (sent = lastTableSent(gauge)).size() == 468u; }, 5000);
    ASSERT_EQ(sent.size(), 468u);
    const std::uint8_t* record = sent.data() + 2 * 36;
    const std::uint8_t english[] = {0x07, 'A', 'c', 'r', 'y', 'l', 'i', 'c', 0x00};
    EXPECT_TRUE(std::equal(std::begin(english), std::end(english), record + 15));
    MaterialTable table{};
    std::copy(sent.begin(), sent.end(), table.begin());
    EXPECT_EQ(decodeNameField(materialNameRu(table, 2)), russianName);
}

INSTANTIATE_TEST_SUITE_P(Transports, MaterialSettings, ::testing::Values(Transport::Pipes, Transport::Usb),
                         [](const auto& info) { return transportName(info.param); });

// ---------------------------------------------------------------------------------------
// Keys, with no gauge: the grid is filled by hand.

class MaterialKeys : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (int row = 1; row <= 13; ++row) {
            form.grid().setCell(0, row, QString::number(row));
            form.grid().setCell(1, row, QStringLiteral("name%1").arg(row));
            form.grid().setCell(2, row, QStringLiteral("5900"));
        }
        showActive(form);
    }

    TempDir nowhere;
    RecordingPacing pacing;
    ExchangeState state{pacing, nowhere.path(), "/nonexistent/libusb.so"};
    ExchangeRunner runner{state};
    TForm3 form{runner};
};

TEST_F(MaterialKeys, SpeedColumnTakesDigitsOnlyWithAWarning)
{
    ModalBoxWatcher boxes;
    selectCell(form, 2, 4);
    typeText(QStringLiteral("x"));
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].caption, "Предупреждение");
    EXPECT_EQ(boxes.boxes[0].text, "Вводить только цифры!");
    EXPECT_EQ(boxes.boxes[0].icon, QMessageBox::Warning);
    EXPECT_FALSE(boxes.boxes[0].hasOwner);
    EXPECT_EQ(form.grid().cell(2, 4), "5900");

    // Inside an open editor: a minus sign is dropped too, digits and Backspace work.
    typeText(QStringLiteral("12"));
    typeText(QStringLiteral("-"));
    EXPECT_EQ(boxes.boxes.size(), 2u);
    pressKey(Qt::Key_Backspace);
    pressKey(Qt::Key_Return);
    EXPECT_EQ(form.grid().cell(2, 4), "1");

    // Tab moves on without a warning.
    selectCell(form, 2, 4);
    pressKey(Qt::Key_Tab);
    EXPECT_NE(form.StringGrid1->currentIndex().row(), 3);
    EXPECT_EQ(boxes.boxes.size(), 2u);

    // Letters are fine in the name column.
    selectCell(form, 1, 4);
    typeText(QStringLiteral("Lead"));
    pressKey(Qt::Key_Return);
    EXPECT_EQ(form.grid().cell(1, 4), "Lead");
    EXPECT_EQ(boxes.boxes.size(), 2u);
}

TEST_F(MaterialKeys, EnterMovesDownAndWrapsFromTheLastRowToTheFirst)
{
    selectCell(form, 1, 5);
    pressKey(Qt::Key_Return);
    EXPECT_EQ(currentGridRow(form), 6);
    EXPECT_EQ(form.StringGrid1->currentIndex().column(), 1);
    selectCell(form, 2, 13);
    pressKey(Qt::Key_Enter);
    EXPECT_EQ(currentGridRow(form), 1);
    EXPECT_EQ(form.StringGrid1->currentIndex().column(), 2);
    // The same while a cell is being edited: the text goes in first.
    selectCell(form, 1, 13);
    typeText(QStringLiteral("zinc"));
    pressKey(Qt::Key_Return);
    EXPECT_EQ(form.grid().cell(1, 13), "zinc");
    EXPECT_EQ(currentGridRow(form), 1);
}

TEST_F(MaterialKeys, ThirteenthCharacterOrFourthDigitSelectsTheWholeText)
{
    selectCell(form, 1, 2);
    typeText(QStringLiteral("abcdefghijkl"));
    QLineEdit* editor = openEditor();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->text(), "abcdefghijkl");
    EXPECT_FALSE(editor->hasSelectedText());
    typeText(QStringLiteral("m"));
    EXPECT_EQ(editor->text(), "abcdefghijklm");
    EXPECT_EQ(editor->selectedText(), "abcdefghijklm");
    EXPECT_EQ(form.grid().cell(1, 2), "abcdefghijklm");
    typeText(QStringLiteral("Z"));
    EXPECT_EQ(editor->text(), "Z");
    pressKey(Qt::Key_Return);
    EXPECT_EQ(form.grid().cell(1, 2), "Z");

    selectCell(form, 2, 2);
    typeText(QStringLiteral("590"));
    editor = openEditor();
    ASSERT_NE(editor, nullptr);
    EXPECT_FALSE(editor->hasSelectedText());
    typeText(QStringLiteral("0"));
    EXPECT_EQ(editor->selectedText(), "5900");
    typeText(QStringLiteral("7"));
    EXPECT_EQ(editor->text(), "7");
}

TEST_F(MaterialKeys, LoadDoesNothingWhileAnExchangeRunsAndClosingGivesUpAnAbsentGauge)
{
    startRead(runner, form);
    ASSERT_TRUE(waitFor([&] { return state.LinkStatus.load() != LinkStatus::Ok && !form.Button1->isEnabled(); }));
    EXPECT_FALSE(form.Button1->isEnabled());
    form.Button1Click();
    EXPECT_EQ(state.ExchangeMode.load(), Mode::ReadMaterials);
    EXPECT_TRUE(runner.busy());

    // Nobody answers: closing the dialog stops the read, which would otherwise retry for ever
    // and keep every other exchange from starting. The grid keeps what it had.
    form.close();
    EXPECT_TRUE(form.isHidden());
    ASSERT_TRUE(waitFor([&] { return exchangeOver(runner, form); }, 10000));
    EXPECT_FALSE(state.CancelRequest.load());
    EXPECT_TRUE(form.Button1->isEnabled());
    EXPECT_EQ(form.grid().cell(1, 1), "name1");
}

// A silent gauge behind the driver's pipes: the link looks fine while the read waits. Closing
// the dialog then still gives the read up at once, and the grid keeps what it had.
TEST(MaterialSettingsSilentGauge, ClosingGivesUpTheReadWhileTheLinkStillLooksFine)
{
    RecordingPacing pacing;
    SimGauge gauge(Transport::Pipes, "silent_from=1");
    auto state = gauge.makeState(pacing);
    ExchangeRunner runner(*state);
    TForm3 form(runner);
    form.grid().setCell(1, 1, QStringLiteral("name1"));
    form.show();
    startRead(runner, form);
    ASSERT_TRUE(waitFor([&] { return !writesIn(gauge.transcript()).empty(); }));
    EXPECT_EQ(state->LinkStatus.load(), LinkStatus::Ok);
    form.close();
    const auto closed = std::chrono::steady_clock::now();
    ASSERT_TRUE(waitFor([&] { return exchangeOver(runner, form); }, 5000));
    EXPECT_LT(std::chrono::steady_clock::now() - closed, std::chrono::milliseconds(1500));
    EXPECT_EQ(form.grid().cell(1, 1), "name1");
}

// A write cut off after the gauge has taken its command is a failure: the status stays on the
// link error and a message says the gauge's table may be incomplete.
TEST(MaterialSettingsCutOff, AWriteWhoseChunkFailsIsToldAsAFailure)
{
    RecordingPacing pacing;
    // The read takes three transfers; the write's second chunk is its fourth.
    SimGauge gauge(Transport::Usb, "fail_at=7");
    auto state = gauge.makeState(pacing);
    ExchangeRunner runner(*state);
    TForm3 form(runner);
    form.show();
    startRead(runner, form);
    ASSERT_TRUE(waitFor([&] { return exchangeOver(runner, form); }));
    form.grid().setCell(1, 2, QStringLiteral("new name"));
    ModalBoxWatcher boxes;
    form.Button1Click();
    ASSERT_TRUE(waitFor([&] { return exchangeOver(runner, form) && !boxes.boxes.empty(); }));
    EXPECT_EQ(boxes.boxes[0].caption, "Ошибка");
    EXPECT_TRUE(boxes.boxes[0].text.contains(QStringLiteral("может быть неполной"))) << boxes.boxes[0].text.toStdString();
    EXPECT_EQ(form.Label1->text(), "Ошибка связи");
    EXPECT_NE(form.Label1->text(), "Готово");
}

// Edits that never reached the gauge are not dropped without a question when the dialog is
// closed: the user may load them, close without them, or go on editing.
TEST(MaterialSettingsEdits, ClosingWithUnloadedEditsAsksFirst)
{
    RecordingPacing pacing;
    SimGauge gauge(Transport::Usb);
    auto state = gauge.makeState(pacing);
    ExchangeRunner runner(*state);
    TForm3 form(runner);
    form.show();
    startRead(runner, form);
    ASSERT_TRUE(waitFor([&] { return exchangeOver(runner, form); }));
    std::vector<TForm3::UnloadedEdits> answers;
    int asked = 0;
    form.askAboutUnloadedEdits = [&](QWidget*) {
        ++asked;
        const auto answer = answers.front();
        answers.erase(answers.begin());
        return answer;
    };
    form.close(); // nothing edited: no question
    EXPECT_EQ(asked, 0);
    EXPECT_TRUE(form.isHidden());

    form.show();
    selectCell(form, 2, 4);
    QTest::keyClicks(form.StringGrid1, QStringLiteral("4321"));
    QTest::keyClick(form.StringGrid1->focusWidget(), Qt::Key_Return);
    ASSERT_TRUE(form.hasUnloadedEdits());
    answers = {TForm3::UnloadedEdits::KeepEditing};
    form.close();
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(form.isVisible());

    answers = {TForm3::UnloadedEdits::Load};
    form.close(); // loads them and stays open to show how it went
    EXPECT_EQ(asked, 2);
    EXPECT_TRUE(form.isVisible());
    ASSERT_TRUE(waitFor([&] { return exchangeOver(runner, form); }));
    EXPECT_FALSE(form.hasUnloadedEdits());
    EXPECT_EQ(gauge.materialWrites(), 1);
    form.close(); // loaded: no question
    EXPECT_EQ(asked, 2);
    EXPECT_TRUE(form.isHidden());

    form.show();
    selectCell(form, 2, 5);
    QTest::keyClicks(form.StringGrid1, QStringLiteral("1111"));
    QTest::keyClick(form.StringGrid1->focusWidget(), Qt::Key_Return);
    answers = {TForm3::UnloadedEdits::Discard};
    form.close();
    EXPECT_EQ(asked, 3);
    EXPECT_TRUE(form.isHidden());
    EXPECT_EQ(gauge.materialWrites(), 1);
}
