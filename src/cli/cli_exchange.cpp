#include "cli/cli_exchange.h"

#include "base/texts.h"
#include "cli/cli_commands.h"
#include "exchange/bmtread_usb.h"

#include <QByteArray>

#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>

#include <unistd.h>

namespace quilex::cli {

namespace {

const TextPair NoAnswerMessage{u"Прибор не отвечает %1 с: проверьте подключение",
                               u"The gauge has not answered for %1 s: check the connection"};

// Qt frees a finished thread's own data as the system thread leaves, a moment after wait() has
// returned. The command line exits right after its exchange and could outrun that, leaving the
// data behind (which a leak checker then reports), so it waits until the system thread is gone:
// a matter of microseconds, given up after a second.
void waitUntilGone(pid_t systemThread)
{
    if (systemThread <= 0)
        return;
    const std::string task = "/proc/self/task/" + std::to_string(systemThread);
    for (int i = 0; i < 1000 && ::access(task.c_str(), F_OK) == 0; ++i)
        ::usleep(1000);
}

// The command line has no interface thread to hand work to: the work runs on the exchange
// thread, one piece at a time.
class TerminalBridge final : public ExchangeBridge, public GaugeTarget, public LabelTarget {
public:
    explicit TerminalBridge(bool terminal) : terminal_(terminal) {}

    void synchronize(const std::function<void()>& work) override
    {
        std::lock_guard lock(mutex_);
        work();
    }
    void showErrorBox(const QString& caption, const QString& text) override
    {
        clearBar();
        std::fprintf(stderr, "%s: %s\n", caption.toUtf8().constData(), text.toUtf8().constData());
        lastError = text;
    }
    void setGaugePosition(int percent) override
    {
        percent_ = percent;
        drawBar();
    }
    void setGaugeVisible(bool visible) override
    {
        if (!visible)
            clearBar();
        visible_ = visible;
    }
    void setLabelText(const QString& text) override
    {
        if (text == label_)
            return;
        label_ = text;
        drawBar();
    }
    void archiveRead(const ArchiveDownload& read) override { download = read; }
    void finish() { clearBar(); }

    QString lastError;
    ArchiveDownload download;

private:
    void drawBar()
    {
        if (!terminal_ || !visible_)
            return;
        constexpr int width = 30;
        const int filled = percent_ * width / 100;
        std::fprintf(stderr, "\r\033[K[%s%s] %3d%% %s", QByteArray(filled, '#').constData(),
                     QByteArray(width - filled, ' ').constData(), percent_, label_.toUtf8().constData());
        std::fflush(stderr);
        drawn_ = true;
    }
    void clearBar()
    {
        if (drawn_) {
            std::fprintf(stderr, "\r\033[K");
            std::fflush(stderr);
            drawn_ = false;
        }
    }

    std::mutex mutex_;
    bool terminal_;
    bool visible_ = true;
    bool drawn_ = false;
    int percent_ = 0;
    QString label_;
};

} // namespace

int ExchangeRun::exitStatus() const
{
    if (gaveUp)
        return ExitNoGauge;
    switch (outcome) {
    case ExchangeOutcome::Completed: return ExitDone;
    case ExchangeOutcome::ChecksumFailed: return ExitBadBlock;
    case ExchangeOutcome::Refused: return ExitFileError;
    default: return ExitNoGauge;
    }
}

ExchangeRun runExchange(ExchangeState& state, std::uint8_t firstMode, MaterialsTarget* materials,
                        double waitSeconds)
{
    TerminalBridge bridge(::isatty(STDERR_FILENO) == 1);
    state.ExchangeMode = firstMode;
    state.CancelRequest = false;
    state.noteAnswer();
    ExchangeRun run;
    pid_t systemThread = 0;
    {
        BMTreadUSB thread(state, bridge);
        thread.SetTargets(&bridge, nullptr, &bridge, materials);
        thread.start();
        const auto patience = std::chrono::duration<double>(waitSeconds);
        while (!thread.waitUntilEnded(50)) {
            if (!run.gaveUp && std::chrono::steady_clock::now() - state.lastAnswerTime() > patience) {
                run.gaveUp = true;
                state.CancelRequest = true;
            }
        }
        run.outcome = thread.outcome();
        systemThread = thread.systemThreadId();
    }
    waitUntilGone(systemThread);
    bridge.finish();
    run.lastError = bridge.lastError;
    run.download = std::move(bridge.download);
    return run;
}

void reportExchange(const ExchangeRun& run, double waitSeconds)
{
    if (run.gaveUp)
        std::fprintf(stderr, "quilex-cli: %s\n",
                     Text(NoAnswerMessage).arg(waitSeconds).toUtf8().constData());
}

} // namespace quilex::cli
