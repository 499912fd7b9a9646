// The screenshot window against the simulated gauge: the picture's pixels, the bitmap file,
// the clipboard, the colours, and the downloads that end without a picture.

#include "windows/screenshot_window.h"

#include "exchange/bmtread_usb.h"
#include "support/sim_gauge.h"
#include "windows/windows_test_support.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QTimer>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include <dlfcn.h>

using namespace quilex;
using namespace quilex::test;

namespace {

[[maybe_unused]] auto* const environment = ::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);

// The demo gauge's screen as the simulated gauge holds it (the same on either face).
ScreenImage simulatedScreen()
{
    void* library = ::dlopen(simUsbLibrary().c_str(), RTLD_NOW | RTLD_LOCAL);
    EXPECT_NE(library, nullptr);
    ScreenImage screen{};
    if (!library)
        return screen;
    auto copy = reinterpret_cast<int (*)(unsigned char*, int)>(::dlsym(library, "quilex_sim_screen"));
    EXPECT_NE(copy, nullptr);
    if (copy) {
        EXPECT_EQ(copy(screen.data(), int(screen.size())), 1024);
    }
    return screen;
}

bool sameImage(const QImage& a, const QImage& b)
{
    if (a.size() != b.size())
        return false;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y))
                return false;
    return true;
}

std::uint32_t le32(const QByteArray& data, int offset)
{
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | std::uint8_t(data[offset + i]);
    return v;
}

class Screenshot : public ::testing::TestWithParam<Transport> {
protected:
    RecordingPacing pacing;
    TempDir files;
};

void update(TForm5& form)
{
    QTest::mouseClick(form.Button1, Qt::LeftButton);
}

} // namespace

TEST_P(Screenshot, UpdatePaintsThePictureSavesItAsBitmapAndCopiesIt)
{
    SimGauge gauge(GetParam());
    auto state = gauge.makeState(pacing);
    ExchangeRunner runner(*state);
    TForm5 form(runner);
    form.Timer1->setInterval(20);
    EXPECT_EQ(form.windowTitle(), "Скриншот");
    EXPECT_EQ(form.CheckBox1->text(), "сохранять в *.bmp");
    EXPECT_TRUE(form.CGauge1->isHidden());

    // Not a .bmp name: the data is BMP all the same.
    const QString path = QString::fromStdString(files.file("screen.png"));
    int dialogs = 0;
    form.pictureFileDialog = [&](QWidget*, const QString&) {
        ++dialogs;
        return path;
    };
    form.CheckBox1->click();
    EXPECT_EQ(dialogs, 1);
    EXPECT_EQ(form.pictureFileName(), path);
    form.CheckBox2->click();
    form.show();

    const ScreenImage screen = simulatedScreen();
    update(form);
    EXPECT_FALSE(form.Button1->isEnabled());
    EXPECT_TRUE(form.CGauge1->isVisible());
    ASSERT_TRUE(waitFor([&] { return !form.downloading(); }));
    EXPECT_TRUE(form.Button1->isEnabled());
    EXPECT_TRUE(form.CGauge1->isHidden());
    EXPECT_FALSE(form.Timer1->isActive());

    // Black frame, white gap, then screen pixel (c, r) at (c + 2, r + 2).
    const QImage& picture = form.picture();
    ASSERT_EQ(picture.size(), QSize(132, 68));
    const QRgb black = qRgb(0, 0, 0);
    const QRgb white = qRgb(255, 255, 255);
    for (int x = 0; x < 132; ++x) {
        EXPECT_EQ(picture.pixel(x, 0), black);
        EXPECT_EQ(picture.pixel(x, 67), black);
        if (x > 0 && x < 131) {
            EXPECT_EQ(picture.pixel(x, 1), white);
            EXPECT_EQ(picture.pixel(x, 66), white);
        }
    }
    int inkPixels = 0;
    for (int r = 0; r < 64; ++r)
        for (int c = 0; c < 128; ++c) {
            const bool ink = screenPixel(screen, c, r);
            inkPixels += ink;
            ASSERT_EQ(picture.pixel(c + 2, r + 2), ink ? black : white) << c << "," << r;
        }
    EXPECT_GT(inkPixels, 0);
    EXPECT_EQ(form.Image1->pixmap().toImage().convertToFormat(QImage::Format_RGB32), picture);
    EXPECT_TRUE(std::all_of(state->ScreenImage.begin(), state->ScreenImage.end(), [](auto b) { return b == 0; }));

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bmp = file.readAll();
    file.close();
    ASSERT_GE(bmp.size(), 54);
    EXPECT_EQ(bmp.left(2), "BM");
    EXPECT_EQ(le32(bmp, 2), std::uint32_t(bmp.size()));
    EXPECT_EQ(le32(bmp, 18), 132u);
    EXPECT_EQ(le32(bmp, 22), 68u);
    EXPECT_TRUE(sameImage(QImage::fromData(bmp, "BMP").convertToFormat(QImage::Format_RGB32), picture));
    EXPECT_TRUE(sameImage(QGuiApplication::clipboard()->image().convertToFormat(QImage::Format_RGB32), picture));

    // A new pen colour waits for the next picture; that one overwrites the same file.
    TForm5::selectColour(form.ColorBox1, Qt::red);
    EXPECT_EQ(form.picture().pixel(0, 0), black);
    ASSERT_TRUE(waitFor([&] { return !runner.busy(); })); // the first exchange has returned
    update(form);
    ASSERT_TRUE(waitFor([&] { return !form.downloading(); }));
    EXPECT_EQ(form.picture().pixel(0, 0), qRgb(255, 0, 0));
    QImage reread(path, "BMP");
    EXPECT_EQ(reread.pixel(0, 0), qRgb(255, 0, 0));
}

TEST_P(Screenshot, CancellingTheFileDialogWithNoEarlierNameSavesNothing)
{
    SimGauge gauge(GetParam());
    auto state = gauge.makeState(pacing);
    ExchangeRunner runner(*state);
    TForm5 form(runner);
    form.Timer1->setInterval(20);
    form.pictureFileDialog = [](QWidget*, const QString&) { return QString(); };
    form.CheckBox1->click();
    // No name was chosen: the box does not stay ticked, promising saves that never happen.
    EXPECT_FALSE(form.CheckBox1->isChecked());
    EXPECT_TRUE(form.pictureFileName().isEmpty());
    update(form);
    ASSERT_TRUE(waitFor([&] { return !form.downloading(); }));
    EXPECT_FALSE(form.picture().isNull());
    EXPECT_TRUE(QDir(QString::fromStdString(files.path())).entryList(QDir::Files).isEmpty());
}

// The picture's file is chosen in a save dialog; a name typed without an ending gets ".bmp".
TEST(ScreenshotFile, TheFileIsChosenInASaveDialogAndGetsTheBitmapsEnding)
{
    TempDir nowhere;
    RecordingPacing pacing;
    ExchangeState state(pacing, nowhere.path(), "/nonexistent/libusb.so");
    ExchangeRunner runner(state);
    TForm5 form(runner);
    form.pictureFileDialog = [&](QWidget*, const QString&) { return QString::fromStdString(nowhere.file("screen")); };
    form.CheckBox1->click();
    EXPECT_TRUE(form.CheckBox1->isChecked());
    EXPECT_EQ(form.pictureFileName(), QString::fromStdString(nowhere.file("screen.bmp")));

    // The real dialog, looked at while it is open: a save dialog that adds the bitmap's ending.
    TForm5 real(runner);
    QFileDialog* seen = nullptr;
    QTimer::singleShot(0, [&] {
        seen = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(seen, nullptr);
        EXPECT_EQ(seen->acceptMode(), QFileDialog::AcceptSave);
        EXPECT_EQ(seen->defaultSuffix(), "bmp");
        seen->reject();
    });
    real.CheckBox1->click();
    EXPECT_NE(seen, nullptr);
    EXPECT_FALSE(real.CheckBox1->isChecked());
}

TEST_P(Screenshot, AFileThatCannotBeWrittenIsReportedAndTheWindowGoesBackToIdle)
{
    SimGauge gauge(GetParam());
    auto state = gauge.makeState(pacing);
    ExchangeRunner runner(*state);
    TForm5 form(runner);
    form.Timer1->setInterval(20);
    const QString path = QString::fromStdString(files.file("missing/folder/shot.bmp"));
    form.pictureFileDialog = [&](QWidget*, const QString&) { return path; };
    form.CheckBox1->click();
    form.show();
    ModalBoxWatcher boxes;
    update(form);
    ASSERT_TRUE(waitFor([&] { return !form.downloading() && !boxes.boxes.empty(); }));
    EXPECT_EQ(boxes.boxes[0].caption, "Ошибка");
    EXPECT_TRUE(boxes.boxes[0].text.contains(path));
    EXPECT_TRUE(form.Button1->isEnabled());
    EXPECT_FALSE(form.Timer1->isActive());
    QTest::qWait(100);
    EXPECT_EQ(boxes.boxes.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Transports, Screenshot, ::testing::Values(Transport::Pipes, Transport::Usb),
                         [](const auto& info) { return transportName(info.param); });

TEST(ScreenshotMatrix, FramePaintsWithTheChosenColoursAndSingleBitsLandWhereTheyShould)
{
    ScreenImage image{};
    image[0] = 0x01;
    image[128] = 0x01;
    const QImage picture = TForm5::paintMatrix(buildScreenMatrix(image), Qt::blue, Qt::yellow);
    EXPECT_EQ(picture.pixel(0, 0), qRgb(0, 0, 255));
    EXPECT_EQ(picture.pixel(1, 1), qRgb(255, 255, 0));
    EXPECT_EQ(picture.pixel(2, 2), qRgb(0, 0, 255));
    EXPECT_EQ(picture.pixel(2, 10), qRgb(0, 0, 255));
    EXPECT_EQ(picture.pixel(3, 2), qRgb(255, 255, 0));
}

// A gauge that is not there: the download retries until it is given up.
class AbsentGauge : public ::testing::Test {
protected:
    TempDir nowhere;
    RecordingPacing pacing;
    ExchangeState state{pacing, nowhere.path(), "/nonexistent/libusb.so"};
    ExchangeRunner runner{state};
};

TEST_F(AbsentGauge, ADownloadGivenUpShowsScreenshotNotReadAndLeavesTheDownloadingState)
{
    TForm5 form(runner);
    form.Timer1->setInterval(20);
    form.show();
    ModalBoxWatcher boxes;
    update(form);
    ASSERT_TRUE(form.downloading());
    ASSERT_TRUE(waitFor([&] { return state.LinkStatus.load() != LinkStatus::Ok; }));
    QTest::qWait(60);
    EXPECT_TRUE(form.downloading());
    EXPECT_FALSE(form.Button1->isEnabled());

    state.CancelRequest = true; // as a caller that gives up on a silent gauge
    ASSERT_TRUE(waitFor([&] { return !form.downloading() && !boxes.boxes.empty(); }));
    EXPECT_EQ(boxes.boxes[0].caption, "Внимание");
    EXPECT_EQ(boxes.boxes[0].text, "Скриншот не считан");
    EXPECT_EQ(boxes.boxes[0].icon, QMessageBox::Critical);
    EXPECT_TRUE(form.Button1->isEnabled());
    EXPECT_TRUE(form.CGauge1->isHidden());
    EXPECT_FALSE(form.Timer1->isActive());
    EXPECT_TRUE(form.picture().isNull());
}

TEST_F(AbsentGauge, ClosingTheWindowGivesUpADownloadThatCannotReachTheGauge)
{
    TForm5 form(runner);
    form.show();
    ModalBoxWatcher boxes;
    update(form);
    ASSERT_TRUE(waitFor([&] { return state.LinkStatus.load() != LinkStatus::Ok; }));
    form.close();
    ASSERT_TRUE(waitFor([&] { return !runner.busy() && !form.downloading(); }, 10000));
    EXPECT_FALSE(state.CancelRequest.load());
    QTest::qWait(50);
    EXPECT_TRUE(boxes.boxes.empty()); // the user gave it up: nothing to tell
}

// A gauge behind the driver's pipes that takes the command and says nothing: the link looks
// fine until the read gives up after 2 s. Closing the window in that time still gives the
// download up, and Cancel cuts the wait on the pipe short.
TEST(SilentGauge, ClosingTheWindowGivesUpADownloadWhileTheLinkStillLooksFine)
{
    RecordingPacing pacing;
    SimGauge gauge(Transport::Pipes, "silent_from=1");
    auto state = gauge.makeState(pacing);
    ExchangeRunner runner(*state);
    TForm5 form(runner);
    form.show();
    update(form);
    ASSERT_TRUE(waitFor([&] { return !writesIn(gauge.transcript()).empty(); }));
    EXPECT_EQ(state->LinkStatus.load(), LinkStatus::Ok);
    form.close();
    const auto closed = std::chrono::steady_clock::now();
    ASSERT_TRUE(waitFor([&] { return !runner.busy() && !form.downloading(); }, 5000));
    EXPECT_LT(std::chrono::steady_clock::now() - closed, std::chrono::milliseconds(1500));
    EXPECT_TRUE(form.picture().isNull());
}

TEST(ScreenshotAgain, ASecondUpdateDoesNotTakeThePreviousDownloadsHundredForItsOwn)
{
    RecordingPacing pacing;
    SimGauge gauge(Transport::Usb);
    auto state = gauge.makeState(pacing);
    ExchangeRunner runner(*state);
    TForm5 form(runner);
    form.Timer1->setInterval(20);
    form.show();
    update(form);
    // The picture is taken at 100, a moment before the exchange has returned; a press until then
    // starts nothing.
    ASSERT_TRUE(waitFor([&] { return !form.downloading() && !runner.busy(); }));
    const QImage first = form.picture();
    ASSERT_EQ(form.CGauge1->value(), 100);

    // The timer's tick before the new exchange has made its first report.
    gauge.unplug();
    update(form);
    EXPECT_EQ(form.CGauge1->value(), 0);
    form.Timer1Timer();
    EXPECT_TRUE(form.downloading());
    EXPECT_TRUE(sameImage(form.picture(), first));
    ASSERT_TRUE(waitFor([&] { return state->LinkStatus.load() != LinkStatus::Ok; }));
    QTest::qWait(60);
    EXPECT_TRUE(form.downloading());
    EXPECT_TRUE(sameImage(form.picture(), first));
    form.close();
    ASSERT_TRUE(waitFor([&] { return !runner.busy(); }, 10000));
}
