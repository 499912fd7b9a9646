#include "windows/widget_bridge.h"

#include <QCoreApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPalette>
#include <QProgressBar>
#include <QThread>

#include <condition_variable>
#include <mutex>

namespace quilex {

WidgetExchangeBridge::WidgetExchangeBridge(QObject* parent) : QObject(parent) {}

WidgetExchangeBridge::~WidgetExchangeBridge()
{
    // A hand-over still queued is dropped unrun: its thread must not wait for ever. The queue's
    // lock is never held while a hand-off's own lock is taken (the waiting thread takes them
    // the other way round).
    std::deque<HandOff*> dropped;
    {
        std::lock_guard lock(queueMutex_);
        dropped.swap(queued_);
    }
    for (HandOff* handOff : dropped)
        handOff->finish();
}

void WidgetExchangeBridge::HandOff::finish()
{
    // Told under the lock: the waiter cannot return, and take the hand-off off its stack,
    // before this is over.
    std::lock_guard lock(mutex);
    done = true;
    doneChanged.notify_all();
}

// The hand-over and the answer both pass mutexes of the standard library, so whatever the
// exchange thread wrote before is seen by the work and whatever the work wrote is seen after
// the wait, in a way that thread checkers can follow too (they cannot see into Qt's own
// locks). The queued call that wakes the interface thread carries nothing, and the hand-off's
// own lock is held until the wait begins, so everything made for the call comes before the
// work in that order.
void WidgetExchangeBridge::synchronize(const std::function<void()>& work)
{
    if (QThread::currentThread() == thread()) {
        work();
        return;
    }
    // The exchange thread waits here until the interface thread has done the work.
    HandOff handOff(work);
    std::unique_lock lock(handOff.mutex);
    {
        std::lock_guard queueLock(queueMutex_);
        queued_.push_back(&handOff);
    }
    QMetaObject::invokeMethod(this, "runQueued", Qt::QueuedConnection);
    handOff.doneChanged.wait(lock, [&handOff] { return handOff.done; });
}

void WidgetExchangeBridge::runQueued()
{
    for (;;) {
        HandOff* handOff = nullptr;
        {
            std::lock_guard lock(queueMutex_);
            if (queued_.empty())
                return;
            handOff = queued_.front();
            queued_.pop_front();
        }
        {
            // Waits until the exchange thread waits.
            std::lock_guard lock(handOff->mutex);
        }
        handOff->work();
        handOff->finish();
    }
}

void WidgetExchangeBridge::showErrorBox(const QString& caption, const QString& text)
{
    // No owner window: the box belongs to no form and blocks only the exchange.
    QMessageBox box(QMessageBox::Critical, caption, text, QMessageBox::Ok);
    box.exec();
}

void WidgetExchangeBridge::archiveRead(const ArchiveDownload& download)
{
    Q_EMIT archiveDownloaded(download);
}

void WidgetExchangeBridge::exchangeEnded(ExchangeOutcome outcome)
{
    Q_EMIT ended(outcome);
}

QProgressBar* makeGaugeBar(QWidget* parent, const QRect& geometry)
{
    auto* bar = new QProgressBar(parent);
    bar->setGeometry(geometry);
    bar->setRange(0, 100);
    bar->setValue(0);
    bar->setTextVisible(false);
    QPalette palette = bar->palette();
    palette.setColor(QPalette::Highlight, QColor(Qt::darkBlue));
    bar->setPalette(palette);
    return bar;
}

void ProgressBarTarget::setGaugePosition(int percent)
{
    if (bar_)
        bar_->setValue(percent);
}

void ProgressBarTarget::setGaugeVisible(bool visible)
{
    if (bar_)
        bar_->setVisible(visible);
}

void LabelWidgetTarget::setLabelText(const QString& text)
{
    if (label_)
        label_->setText(text);
}

ExchangeRunner::ExchangeRunner(ExchangeState& state, QObject* parent) : QObject(parent), state_(state)
{
    qRegisterMetaType<quilex::ExchangeOutcome>();
    // The bridge reports the end from inside the thread's last synchronize; the thread has
    // then still to return from its loop, so busy() turns false a little later (threadEnded).
    connect(&bridge_, &WidgetExchangeBridge::ended, this, &ExchangeRunner::finished);
    connect(&bridge_, &WidgetExchangeBridge::archiveDownloaded, this, &ExchangeRunner::archiveRead);
}

ExchangeRunner::~ExchangeRunner()
{
    shutdown();
}

void ExchangeRunner::shutdown()
{
    if (thread_ && thread_->isRunning()) {
        // The window is closing with an exchange still running: ask it to stop, and keep the
        // interface thread's queue turning so that its last reports can land.
        state_.CancelRequest = true;
        waitForEnd();
    }
}

bool ExchangeRunner::busy() const
{
    return thread_ && !thread_->hasEnded();
}

bool ExchangeRunner::start(std::uint8_t firstMode, GaugeTarget* gauge, DialogTarget* dialog, LabelTarget* label,
                           MaterialsTarget* materials)
{
    if (busy())
        return false;
    // A Cancel pressed after the last exchange had looked for it must not stop this one.
    state_.CancelRequest = false;
    state_.ExchangeMode = firstMode;
    thread_ = std::make_unique<BMTreadUSB>(state_, bridge_);
    endTold_ = false;
    thread_->SetTargets(gauge, dialog, label, materials);
    // Told from the thread's very end, under the same lock that hasEnded() takes.
    thread_->SetEndNotice([this] { QMetaObject::invokeMethod(this, "threadEnded", Qt::QueuedConnection); });
    thread_->start();
    Q_EMIT busyChanged(true);
    return true;
}

void ExchangeRunner::threadEnded()
{
    if (!busy() && !endTold_) {
        endTold_ = true;
        Q_EMIT busyChanged(false);
    }
}

void ExchangeRunner::waitForEnd()
{
    while (thread_ && !thread_->waitUntilEnded(20))
        QCoreApplication::processEvents();
    threadEnded(); // at once, not when the queued notice comes round
}

} // namespace quilex
