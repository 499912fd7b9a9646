#pragma once
// The simulated gauge for end-to-end tests: its libusb face loaded in this process, or its
// pipe face running as a child process, and the recorders that stand in for the windows.

#include "table/string_grid.h"
#include "exchange/exchange_state.h"
#include "exchange/exchange_targets.h"
#include "support/test_support.h"

#include <QString>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace quilex::test {

enum class Transport { Pipes, Usb };
std::string transportName(Transport t);

// One line of the simulated gauge's transcript.
struct TranscriptLine {
    long long micros = 0;
    char direction = 0; // 'W' program to gauge, 'R' gauge to program
    std::vector<std::uint8_t> bytes;
};
std::vector<TranscriptLine> readTranscript(const std::string& path);
// Only the program's writes, in order.
std::vector<std::vector<std::uint8_t>> writesIn(const std::vector<TranscriptLine>& lines);

// A simulated gauge on one transport, with its own scratch folder, fault list and image.
class SimGauge {
public:
    SimGauge(Transport transport, const std::string& faults = "", const std::string& imagePath = "");
    // A pipe face serving under another gauge's driver folder, as a gauge plugged in again.
    SimGauge(const SimGauge& sameFolder, const std::string& faults);
    ~SimGauge();
    SimGauge(SimGauge&&) = delete;
    SimGauge& operator=(const SimGauge&) = delete;

    Transport transport() const { return transport_; }
    // A state whose links reach this gauge (and only it), pacing through `pacing`.
    std::unique_ptr<ExchangeState> makeState(Pacing& pacing) const;
    std::string transcriptPath() const { return dir_.file("transcript.txt"); }
    std::vector<TranscriptLine> transcript() const { return readTranscript(transcriptPath()); }
    const TempDir& dir() const { return dir_; }

    // The libusb face's control functions (only for Transport::Usb).
    int materialWrites() const;
    std::vector<std::uint8_t> materialTable() const;
    void unplug() const;
    void replug() const;
    int usbOpenCalls() const;

private:
    void startPipes(const std::string& faults, const std::string& imagePath);
    void* symbol(const char* name) const;

    Transport transport_;
    TempDir dir_;
    std::string driverRoot_;
    int pid_ = -1;
    void* usb_ = nullptr;
};

// Stands in for the windows: runs the exchange's work at once and writes down everything.
class Recorder final : public ExchangeBridge,
                       public GaugeTarget,
                       public DialogTarget,
                       public LabelTarget,
                       public MaterialsTarget {
public:
    explicit Recorder(const ExchangeState& state) : state_(state) {}

    struct Show {
        int mode;
        int progress;
    };

    void synchronize(const std::function<void()>& work) override;
    void showErrorBox(const QString& caption, const QString& text) override;
    // Keeps the records, makes their rows in the language in use and, as the main window does,
    // puts them into archiveTable when it is set.
    void archiveRead(const ArchiveDownload& download) override;
    // Keeps the materials and, as the settings window does, shows them in materialGrid when set.
    void showMaterials(const Materials& materials) override;
    // What materialGrid holds, as the settings window gives it; without a grid, a refusal.
    Result<Materials> materialsToWrite(const MaterialNames& names) override;
    void exchangeEnded(ExchangeOutcome outcome) override;
    void setGaugePosition(int percent) override;
    void setGaugeVisible(bool visible) override;
    void setDialogCaption(const QString& caption) override;
    void closeDialog() override;
    void setLabelText(const QString& text) override;

    // Called after every gauge position, with it: tests press Cancel from here.
    std::function<void(const Show&)> onShow;

    std::vector<Show> shows;
    std::vector<int> modes() const;       // the mode of each pass, repeats folded
    std::vector<int> progresses() const;  // each distinct Progress in order, repeats folded
    std::vector<QString> captions;
    std::vector<QString> labels;
    std::vector<QString> errors;
    int dialogCloses = 0;
    std::optional<bool> gaugeVisible;
    std::optional<ExchangeOutcome> outcome;
    StringGrid* archiveTable = nullptr;
    StringGrid* materialGrid = nullptr;
    std::optional<ArchiveDownload> download;
    std::optional<std::vector<QStringList>> archiveRows;
    std::optional<Materials> materials;

private:
    const ExchangeState& state_;
    std::recursive_mutex mutex_;
};

// Runs one exchange on its own thread from firstMode and waits for its end (at most
// limitMs, after which it presses Cancel and fails the test). grid is the material grid of a
// material exchange, or the table an archive download's rows are put into; the exchange itself
// only ever sees the recorder.
ExchangeOutcome runExchange(ExchangeState& state, Recorder& recorder, std::uint8_t firstMode, StringGrid* grid,
                            bool withDialog = true, int limitMs = 20000);

} // namespace quilex::test
