#pragma once
// What the window tests share: one QApplication for the test program, a watcher that
// answers the modal boxes a window shows, typing into whatever has the focus, and waiting
// for the event loop to bring something about.

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

namespace quilex::test {

class QtApplicationEnvironment final : public ::testing::Environment {
public:
    void SetUp() override
    {
        static int argc = 1;
        static char name[] = "quilex-window-tests";
        static char* argv[] = {name, nullptr};
        app_ = std::make_unique<QApplication>(argc, argv);
    }
    void TearDown() override { app_.reset(); }

private:
    std::unique_ptr<QApplication> app_;
};

// The same for windows that must fit the small laptop screen: on the offscreen platform one
// screen of 1366 x 768 (times QT_SCALE_FACTOR when scaled, as the window's pixels grow with it),
// with the window manager's frame around windows when asked; under a real display (the
// screenshots) the display's own.
class LaptopScreenEnvironment final : public ::testing::Environment {
public:
    struct Screen {
        bool frameMargins = false;
        bool scaled = false;
    };
    explicit LaptopScreenEnvironment(Screen screen) : screen_(screen) {}

    void SetUp() override
    {
        if (qEnvironmentVariable("QT_QPA_PLATFORM") == QLatin1String("offscreen")) {
            const double scale = screen_.scaled && qEnvironmentVariableIsSet("QT_SCALE_FACTOR")
                                     ? qEnvironmentVariable("QT_SCALE_FACTOR").toDouble()
                                     : 1.0;
            QFile config(folder_.filePath(QStringLiteral("screen.json")));
            EXPECT_TRUE(config.open(QIODevice::WriteOnly));
            config.write(QStringLiteral("{%1\"screens\": [{\"name\": \"laptop\", \"x\": 0, \"y\": 0, \"width\": %2, "
                                        "\"height\": %3, \"logicalDpi\": 96, \"logicalBaseDpi\": 96, \"dpr\": 1}]}")
                             .arg(screen_.frameMargins ? QStringLiteral("\"windowFrameMargins\": true, ") : QString())
                             .arg(qRound(1366 * scale))
                             .arg(qRound(768 * scale))
                             .toUtf8());
            config.close();
            qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + config.fileName().toUtf8());
        }
        application_.SetUp();
    }
    void TearDown() override { application_.TearDown(); }

private:
    Screen screen_;
    QTemporaryDir folder_;
    QtApplicationEnvironment application_;
};

// Runs the event loop until done() holds or limitMs pass; tells whether it holds.
inline bool waitFor(const std::function<bool()>& done, int limitMs = 20000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > limitMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QTest::qSleep(2);
    }
    return true;
}

// Every 10 ms looks for a modal message box, writes down its caption and text and closes it.
class ModalBoxWatcher {
public:
    struct Box {
        QString caption;
        QString text;
        QMessageBox::Icon icon;
        bool hasOwner;
    };

    ModalBoxWatcher() : lastActive_(QApplication::activeWindow())
    {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) {
                lastActive_ = QApplication::activeWindow();
                return;
            }
            boxes.push_back({box->windowTitle(), box->text(), box->icon(), box->parentWidget() != nullptr});
            box->done(QMessageBox::Ok);
            // As a window system would, give the activation back to the window that had it.
            if (lastActive_)
                lastActive_->activateWindow();
        });
        timer_.start();
    }

    std::vector<Box> boxes;

private:
    QTimer timer_;
    QPointer<QWidget> lastActive_;
};

// A key press and release with a character, as typing it on the keyboard sends them.
inline void typeCharacter(QWidget* target, QChar character)
{
    const int key = character.isLetterOrNumber() && character.unicode() < 128 ? character.toUpper().unicode()
                                                                                : int(Qt::Key_unknown);
    QPointer<QWidget> receiver(target);
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(character));
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, QString(character));
    if (receiver)
        QApplication::sendEvent(receiver, &release);
}

// The widget with the focus, waiting a little for it to come back after a message box.
inline QWidget* focusedWidget()
{
    waitFor([] { return QApplication::focusWidget() != nullptr; }, 2000);
    return QApplication::focusWidget();
}

// Types into whatever has the focus now, character by character (the focus moves to a cell
// editor once the first character opens it).
inline void typeText(const QString& text)
{
    for (QChar c : text) {
        QWidget* focus = focusedWidget();
        ASSERT_NE(focus, nullptr);
        typeCharacter(focus, c);
    }
}

inline void pressKey(Qt::Key key)
{
    QWidget* focus = focusedWidget();
    ASSERT_NE(focus, nullptr);
    QTest::keyClick(focus, key);
}

} // namespace quilex::test
