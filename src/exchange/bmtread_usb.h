#pragma once
// The exchange thread: a state machine over ExchangeMode. Each pass of its loop shows the
// state to the user and then does the work of the current mode, which names the next mode,
// ends the thread, or takes the error tail (pause and reconnect).

#include "app/string_grid.h"
#include "app/texts.h"
#include "exchange/exchange_state.h"
#include "exchange/exchange_targets.h"

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

    // Set once, right after the thread is made and before it runs; each may be absent.
    void SetTargets(GaugeTarget* gauge, DialogTarget* dialog, LabelTarget* label, StringGrid* grid);

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
    // Records whose libusb transfer failed and that reach the table as their place held them.
    int skippedRecords() const { return skippedRecords_; }

protected:
    void run() override;

private:
    enum class Transfer { Ok, NoLink, DriverFailed, UsbFailed };

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
    void ErrorTail(std::uint8_t failedMode);

    // Sets Progress, shows it and waits.
    void show(int progress);
    void showErrorBox(const TextPair& text);
    // The same mode runs again in the next pass, unless the user has cancelled.
    void repeatMode();
    void Terminate(ExchangeOutcome outcome);
    void setIdle(bool idle);
    void openLink();
    void closeLink();

    // Sets LinkStatus from a transfer's result and hands the result on.
    Transfer noteTransfer(Transfer result);
    Transfer send(const std::uint8_t* data, std::uint32_t count);
    Transfer receive(std::uint8_t* data, std::uint32_t count);
    // Command, optional pause, length, block cut to cap. On Ok, *received is the block's
    // length after the cut.
    Transfer exchange(const std::uint8_t* command, std::uint32_t commandLength, std::uint8_t* block,
                      std::uint32_t cap, int pauseMs, std::uint32_t* received);
    bool failedOnDriverOrNoLink(Transfer t);

    ExchangeState& state_;
    ExchangeBridge& bridge_;
    std::atomic<int> Progress{0};
    GaugeTarget* ProgressGauge = nullptr;
    DialogTarget* ProgressDialog = nullptr;
    LabelTarget* StatusLabel = nullptr;
    StringGrid* TableGrid = nullptr;

    bool terminated_ = false;
    int skippedRecords_ = 0;
    mutable std::mutex endMutex_;
    bool ended_ = false;
    pid_t systemThread_ = 0;
    std::function<void()> endNotice_;
    ExchangeOutcome outcome_ = ExchangeOutcome::Completed;
};

} // namespace quilex
