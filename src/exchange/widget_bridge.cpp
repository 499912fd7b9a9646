#include "exchange/widget_bridge.h"

#include <QCoreApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPalette>
#include <QProgressBar>
#include <QThread>

namespace quilex {

WidgetExchangeBridge::WidgetExchangeBridge(QObject* parent) : QObject(parent) {}

void WidgetExchangeBridge::synchronize(const std::function<void()>& work)
{
    if (QThread::currentThread() == thread()) {
        work();
        return;
    }
    // The exchange thread waits here until the interface thread has done the work.
    QMetaObject::invokeMethod(this, [&work] { work(); }, Qt::BlockingQueuedConnection);
}

void WidgetExchangeBridge::showErrorBox(const QString& caption, const QString& text)
{
    // No owner window: the box belongs to no form and blocks only the exchange.
    QMessageBox box(QMessageBox::Critical, caption, text, QMessageBox::Ok);
    box.exec();
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
    // then still to return from its loop, so busy() follows QThread::finished.
    connect(&bridge_, &WidgetExchangeBridge::ended, this, &ExchangeRunner::finished);
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
    return thread_ && !thread_->isFinished();
}

bool ExchangeRunner::start(std::uint8_t firstMode, GaugeTarget* gauge, DialogTarget* dialog, LabelTarget* label,
                           StringGrid* grid)
{
    if (busy())
        return false;
    state_.ExchangeMode = firstMode;
    thread_ = std::make_unique<BMTreadUSB>(state_, bridge_);
    thread_->SetTargets(gauge, dialog, label, grid);
    connect(thread_.get(), &QThread::finished, this, [this] { Q_EMIT busyChanged(false); });
    thread_->start();
    Q_EMIT busyChanged(true);
    return true;
}

void ExchangeRunner::waitForEnd()
{
    while (thread_ && !thread_->wait(20))
        QCoreApplication::processEvents();
}

} // namespace quilex
