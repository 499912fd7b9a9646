#pragma once
// Helpers for the window tests: a QApplication on the offscreen platform, and an answerer
// that closes every message box that opens and writes down its caption and text.

#include <QApplication>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <vector>

namespace quilex::test {

// The application object the window tests share; made on first use.
QApplication& widgetApp();

class MessageBoxAnswerer : public QObject {
public:
    MessageBoxAnswerer();
    struct Seen {
        QString caption;
        QString text;
    };
    std::vector<Seen> seen;

private:
    QTimer timer_;
};

// Spins the event loop until done() is true or ms passed; false on time-out.
bool waitUntil(const std::function<bool()>& done, int ms = 10000);

} // namespace quilex::test
