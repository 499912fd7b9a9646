#pragma once
// The exchange thread: a state machine over ExchangeMode. Each pass of its loop shows the
// state to the user and then does the work of the current mode, which names the next mode,
// ends the thread, or takes the error tail (pause, then the step again or a new connection).
// It talks to the gauge only through the GaugeLink of the open link, reports only through its
// targets and bridge, and hands what it read over as typed records and materials: it touches
// no table or grid.

#include "base/texts.h"
#include "exchange/exchange_state.h"
#include "exchange/exchange_targets.h"
#include "link/gauge_link.h"

#include <QThread>

#include <atomic>
#include <climits>
#include <cstdint>
#include <functional>
#include <mutex>

#include <sys/types.h>

namespace quilex {

// The modes by number.
namespace Mode {
inline constexpr std::uint8_t Connect = 0;
inline constexpr std::uint8_t ReadVersion = 1;
inline constexpr std::uint8_t ReadParameters = 2;
inline constexpr std::uint8_t ReadRecords = 3;
inline constexpr std::uint8_t ReadMaterials = 4;
inline constexpr std::uint8_t WriteMaterials = 5;
inline constexpr std::uint8_t AfterMaterials = 6;
inline constexpr std::uint8_t FinishWrite = 7;
inline constexpr std::uint8_t ReadScreen = 8;
inline constexpr std::uint8_t Finish = 10;
inline constexpr std::uint8_t ScreenDone = 12;
} // namespace Mode

class BMTreadUSB : public QThread {
public:
    BMTreadUSB(ExchangeState& state, ExchangeBridge& bridge);
    ~BMTreadUSB() override;

    // Set once, right after the thread is made and before it runs; each may be absent. The
    // materials target is given what a material read delivers and asked for what a write sends;
    // an archive read hands its records to the bridge instead (ExchangeBridge::archiveRead).
    void SetTargets(GaugeTarget* gauge, DialogTarget* dialog, LabelTarget* label, MaterialsTarget* materials);

    // The loop itself; run() calls it on the new thread, tests may call it directly.
    void Execute();
    // Shows Progress, the link status and the mode's texts; runs on the interface thread.
    void ShowStatus();

    // True once run() has left the loop. Asked under a mutex of the standard library, so that
    // everything the thread did is seen by the asker, also by thread checkers (which cannot
    // follow QThread::isFinished through Qt's own locks).
    bool hasEnded() const;
    // QThread::wait, and then hasEnded(): true when the thread has ended within ms.
    bool waitUntilEnded(unsigned long ms = ULONG_MAX);
    // The system's id of the thread that ran, once it has ended; 0 before.
    pid_t systemThreadId() const;
    // Called on the thread at its very end, under the lock hasEnded() takes. Set before start().
    void SetEndNotice(std::function<void()> notice) { endNotice_ = std::move(notice); }

    int progress() const { return Progress.load(); }
    ExchangeOutcome outcome() const { return outcome_; }

    // A step that fails this many times in a row is not tried again over the same link: the
    // link is closed and opened afresh (modes 1 to 3 from the connection on).
    static constexpr int StepAttempts = 3;

protected:
    void run() override;

private:
    void Connect();
    void ReadVersion();
    void ReadParameters();
    void ReadRecords();
    void ReadMaterials();
    void WriteMaterials();
    void AfterMaterials();
    void FinishWrite();
    void ReadScreen();
    void Finish();
    void ScreenDone();
    // The one answer to a failed step, in every mode and over both transports (see the .cpp).
    void ErrorTail(std::uint8_t failedMode, TransferStatus why);
    void materialWriteFailed();

    // Sets Progress, shows it and waits.
    void show(int progress);
    void showErrorBox(const TextPair& text);
    void Terminate(ExchangeOutcome outcome);
    void setIdle(bool idle);
    bool cancelled() const { return state_.CancelRequest.load(); }
    void openLink();
    void closeLink();

    // Every transfer goes through these: they set LinkStatus from its result and note when the
    // gauge answered.
    TransferStatus noteTransfer(TransferStatus result);
    TransferStatus send(const std::uint8_t* data, std::uint32_t count);
    TransferStatus receive(std::uint8_t* data, std::uint32_t count);
    // Command, optional pause, length, block cut to cap. On Ok, *received is the block's length
    // after the cut.
    TransferStatus exchange(const std::uint8_t* command, std::uint32_t commandLength, std::uint8_t* block,
                            std::uint32_t cap, int pauseMs, std::uint32_t* received);

    ExchangeState& state_;
    ExchangeBridge& bridge_;
    std::atomic<int> Progress{0};
    GaugeTarget* ProgressGauge = nullptr;
    DialogTarget* ProgressDialog = nullptr;
    LabelTarget* StatusLabel = nullptr;
    MaterialsTarget* MaterialsShown = nullptr;

    bool terminated_ = false;
    int failuresInARow_ = 0;
    int nextRecord_ = 0; // where the record loop goes on after a failed record
    mutable std::mutex endMutex_;
    bool ended_ = false;
    pid_t systemThread_ = 0;
    std::function<void()> endNotice_;
    ExchangeOutcome outcome_ = ExchangeOutcome::Completed;
};

} // namespace quilex
