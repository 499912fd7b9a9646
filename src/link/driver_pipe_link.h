#pragma once
// The first transport: the gauge's own driver, which shows every connected gauge as a
// folder holding two pipes, Pipe00 (to the gauge) and Pipe01 (from the gauge). On Linux the
// folders are the subfolders of $QUILEX_DRIVER_ROOT (default /run/quilex/devices) and the
// pipes are FIFOs.

#include <atomic>
#include <cstdint>
#include <string>

namespace quilex {

inline constexpr std::uint16_t PipeOk = 0;
inline constexpr std::uint16_t PipeNotOpen = 0x8000;
inline constexpr std::uint16_t PipeBadArgument = 0x8080;
inline constexpr std::uint16_t PipeIoError = 0x8010;

inline constexpr const char* DefaultDriverRoot = "/run/quilex/devices";
inline constexpr int DefaultPipeReadTimeoutMs = 2000;

// $QUILEX_DRIVER_ROOT, or the default folder when it is unset or empty.
std::string driverRootFromEnvironment();

class DriverPipeLink {
public:
    // A read that sees no byte for readTimeoutMs ends as a read with no bytes: a silent gauge
    // never holds the program forever.
    explicit DriverPipeLink(std::string root = driverRootFromEnvironment(),
                            int readTimeoutMs = DefaultPipeReadTimeoutMs);
    ~DriverPipeLink();
    DriverPipeLink(const DriverPipeLink&) = delete;
    DriverPipeLink& operator=(const DriverPipeLink&) = delete;

    // Writes the device path of every gauge, each followed by a line feed, into list, in name
    // order, and returns how many there are.
    int Enumerate(std::string& list) const;

    // 0 when both pipes are open (at once when they already were), else the system's error
    // code of the failed open.
    std::uint16_t Open(const std::string& path);
    // Reads exactly count bytes; *received (when given) tells how many came, also on failure.
    std::uint16_t ReadExact(std::uint8_t* buffer, std::uint32_t count, std::uint32_t* received = nullptr);
    // One write of count bytes; *written (when given) tells how many went.
    std::uint16_t Write(const std::uint8_t* buffer, std::uint32_t count, std::uint32_t* written = nullptr);
    std::uint16_t Close();

    bool isOpen() const { return open_; }
    // True once a transfer found the gauge's end of the pipes closed: the gauge has gone, and
    // only opening its pipes anew can reach it again.
    bool peerGone() const { return peerGone_; }
    const std::string& root() const { return root_; }
    int readTimeoutMs() const { return readTimeoutMs_; }
    void setReadTimeoutMs(int ms) { readTimeoutMs_ = ms; }
    // While *flag is true a read or write that waits for the gauge gives up within a tenth of a
    // second, as a read with no bytes: Cancel need not wait out the read time-out.
    void setAbortFlag(const std::atomic<bool>* flag) { abort_ = flag; }

private:
    std::string root_;
    int readTimeoutMs_;
    int readFd_ = -1;  // Pipe01
    int writeFd_ = -1; // Pipe00
    bool open_ = false;
    bool peerGone_ = false;
    const std::atomic<bool>* abort_ = nullptr;
};

} // namespace quilex
