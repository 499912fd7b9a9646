#include "support/widget_test_support.h"

#include <QElapsedTimer>
#include <QMessageBox>
#include <QThread>

namespace quilex::test {

QApplication& widgetApp()
{
    static int argc = 1;
    static char name[] = "quilex-test";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

MessageBoxAnswerer::MessageBoxAnswerer()
{
    timer_.setInterval(5);
    connect(&timer_, &QTimer::timeout, this, [this] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(w);
            if (box && box->isVisible()) {
                seen.push_back({box->windowTitle(), box->text()});
                box->done(QMessageBox::Ok);
            }
        }
    });
    timer_.start();
}

bool waitUntil(const std::function<bool()>& done, int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}

} // namespace quilex::test
