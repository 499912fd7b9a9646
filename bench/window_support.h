#pragma once
// What the window benchmarks share: the offscreen platform unless a display is asked for, a
// state that reaches no gauge unless told, and waiting for a widget's next paint.

#include "exchange/exchange_state.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QObject>
#include <QWidget>

#include <memory>

namespace quilex::bench {

inline void useOffscreenUnlessSet()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

// Counts the paint events a widget receives.
class PaintWatch final : public QObject {
public:
    explicit PaintWatch(QWidget* widget) : widget_(widget) { widget->installEventFilter(this); }
    ~PaintWatch() override
    {
        if (widget_)
            widget_->removeEventFilter(this);
    }
    int paints() const { return paints_; }

    // Runs the event loop until the widget has been painted more than `before` times; false
    // after limitMs without that.
    bool waitForPaintAfter(int before, int limitMs = 10000) const
    {
        QElapsedTimer timer;
        timer.start();
        while (paints_ <= before) {
            if (timer.elapsed() > limitMs)
                return false;
            QApplication::processEvents(QEventLoop::AllEvents, 5);
        }
        return true;
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == widget_ && event->type() == QEvent::Paint)
            ++paints_;
        return false;
    }

private:
    QWidget* widget_;
    int paints_ = 0;
};

} // namespace quilex::bench
