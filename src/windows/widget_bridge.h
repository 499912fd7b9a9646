#pragma once
// The windows' side of an exchange: the bridge that hands the thread's work to the interface
// thread and waits, widget adapters for the gauge bar and the status label, and the runner
// that lets only one exchange run at a time.

#include "exchange/bmtread_usb.h"
#include "exchange/exchange_state.h"
#include "exchange/exchange_targets.h"

#include <QLabel>
#include <QObject>
#include <QProgressBar>
#include <QPointer>

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>


namespace quilex {

class WidgetExchangeBridge final : public QObject, public ExchangeBridge {
    Q_OBJECT
public:
    explicit WidgetExchangeBridge(QObject* parent = nullptr);
    ~WidgetExchangeBridge() override;
    void synchronize(const std::function<void()>& work) override;
    void showErrorBox(const QString& caption, const QString& text) override;
    void archiveRead(const ArchiveDownload& download) override;
    void exchangeEnded(ExchangeOutcome outcome) override;

Q_SIGNALS:
    // Both are emitted on the interface thread while the exchange thread waits.
    void archiveDownloaded(const quilex::ArchiveDownload& download);
    void ended(quilex::ExchangeOutcome outcome);

private:
    // One piece of work on the stack of the exchange thread that waits for it.
    struct HandOff {
        explicit HandOff(const std::function<void()>& w) : work(w) {}
        void finish();

        const std::function<void()>& work;
        std::mutex mutex;
        std::condition_variable doneChanged;
        bool done = false;
    };
    Q_INVOKABLE void runQueued();

    std::mutex queueMutex_;
    std::deque<HandOff*> queued_;
};

// The gauge bar of the material and screenshot windows: no text, a navy bar, 0 to 100.
QProgressBar* makeGaugeBar(QWidget* parent, const QRect& geometry);

// A gauge bar that may be destroyed while the exchange still reports into it.
class ProgressBarTarget final : public GaugeTarget {
public:
    explicit ProgressBarTarget(QProgressBar* bar) : bar_(bar) {}
    void setGaugePosition(int percent) override;
    void setGaugeVisible(bool visible) override;

private:
    QPointer<QProgressBar> bar_;
};

class LabelWidgetTarget final : public LabelTarget {
public:
    explicit LabelWidgetTarget(QLabel* label) : label_(label) {}
    void setLabelText(const QString& text) override;

private:
    QPointer<QLabel> label_;
};

// Owns the program's exchange state and the exchange running now. A starter asks busy()
// first: while one exchange runs no other may start, as they would share every exchange
// variable and the link.
class ExchangeRunner final : public QObject {
    Q_OBJECT
public:
    explicit ExchangeRunner(ExchangeState& state, QObject* parent = nullptr);
    ~ExchangeRunner() override;

    ExchangeState& state() { return state_; }
    bool busy() const;

    // Starts an exchange in firstMode with its targets (each may be null). The targets must
    // stay valid until finished() is emitted. Returns false when one is already running. A
    // Cancel left over from an earlier exchange is cleared first.
    bool start(std::uint8_t firstMode, GaugeTarget* gauge, DialogTarget* dialog, LabelTarget* label,
               MaterialsTarget* materials);

    // Waits for the running exchange, if any, to end (Cancel is not pressed here).
    void waitForEnd();
    // Presses Cancel for the running exchange, if any, and waits for it to end.
    void shutdown();

Q_SIGNALS:
    void busyChanged(bool busy);
    // A download's records, for the window that started it to put into its table; emitted
    // while the exchange waits, before it closes its progress dialog.
    void archiveRead(const quilex::ArchiveDownload& download);
    void finished(quilex::ExchangeOutcome outcome);

private:
    Q_INVOKABLE void threadEnded();

    ExchangeState& state_;
    WidgetExchangeBridge bridge_;
    std::unique_ptr<BMTreadUSB> thread_;
    bool endTold_ = false; // busyChanged(false) emitted for thread_
};

} // namespace quilex
