#pragma once
// Faults the simulated gauge can be told to have, read from a comma-separated key=value list
// (normally $QUILEX_SIM; the keys are listed in sim/README.md), the counting of transfers
// that decides when a transfer fails, is late, goes unanswered or finds the gauge gone, and
// the transcript of every transfer.

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quilex::sim {

// Which block a marker or CRC fault spoils.
struct BlockTarget {
    enum class Kind { Parameters, Record, Material } kind = Kind::Parameters;
    int index = 0; // record ordinal (0-based) or material number (1..13)
};

// A reply rule bound to one command code (0 = every command).
struct CommandValue {
    std::uint8_t command = 0;
    std::uint32_t value = 0;
};

struct FaultConfig {
    int latencyMs = 0;          // latency=MS
    int failEvery = 0;          // fail_every=N
    std::vector<int> failAt;    // fail_at=N (each may be given more than once)
    std::vector<CommandValue> shortReplies; // short=[CMD:]N
    int chunkBytes = 0;         // chunk=N
    std::vector<BlockTarget> badMarker; // bad_marker=params|record:I|material:K
    std::vector<BlockTarget> badCrc;    // bad_crc=...
    std::vector<CommandValue> lengths;  // length=CMD:VALUE
    int silentFrom = 0;         // silent_from=N
    int silentMs = 0;           // silent_ms=MS
    int unplugAfter = 0;        // unplug_after=N
    std::uint16_t vendor = 0x03EB;   // vendor=0xVVVV
    std::uint16_t product = 0x0201;  // product=0xPPPP
    bool openDenied = false;    // open_denied: usb_open fails as for a device the user may not open
    bool claimBusy = false;     // claim_busy: usb_claim_interface fails, another program holds it
    int records = -1;           // records=N (-1: the image's own archive); empty = records=0
    std::string transcriptPath; // transcript=PATH
};

// Parses the fault list; on failure returns false with a message naming the item.
bool parseFaults(std::string_view text, FaultConfig& out, std::string& error);

// Command code named by a fault value: version, params, record, materials, screen, or a
// hex code such as 08.
std::optional<std::uint8_t> commandByName(std::string_view name);

// Decides the fate of each transfer from the fault list. Both faces count the same way:
// every bulk call or every read of the command pipe and every reply part written is one
// transfer, counted from 1.
class TransferGate {
public:
    enum class Outcome { Pass, Fail, Silent, Gone };
    struct Decision {
        Outcome outcome = Outcome::Pass;
        int latencyMs = 0;
        int number = 0; // the transfer's number
    };

    explicit TransferGate(const FaultConfig& faults = {});

    Decision next();
    // True once unplug_after transfers have been made: the gauge leaves.
    bool unplugDue() const { return faults_.unplugAfter > 0 && count_ >= faults_.unplugAfter; }
    int count() const { return count_; }

private:
    FaultConfig faults_;
    int count_ = 0;
    std::optional<std::chrono::steady_clock::time_point> silenceStarted_;
};

// One line per transfer:  <microseconds> <W|R> <bytes as two-digit upper-case hex, spaced>
// Notes (failures, time-outs, unplugging) are lines starting with '#'.
class Transcript {
public:
    Transcript() = default;
    Transcript(const Transcript&) = delete;
    Transcript& operator=(const Transcript&) = delete;
    ~Transcript() { close(); }

    bool open(const std::string& path, std::string& error); // truncates the file
    void close();
    bool isOpen() const { return file_ != nullptr; }
    void transfer(char direction, const std::uint8_t* data, std::size_t length);
    void note(const std::string& text);

    static std::uint64_t nowMicroseconds();

private:
    std::FILE* file_ = nullptr;
};

} // namespace quilex::sim
