#pragma once
// What the window tests share: one QApplication for the test program, a watcher that
// answers the modal boxes a window shows, typing into whatever has the focus, and waiting
// for the event loop to bring something about.

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPointer>
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
