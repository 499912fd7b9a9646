#pragma once
// One way to talk to a gauge, whatever carries the bytes. Each transport is one small class
// behind the same four operations (open, read, write, close), every transfer answers one
// status, and the transcript of $QUILEX_TRACE is written here, once, for both. The exchange
// sees nothing else of the transports; what really differs between them on the wire (block
// sizes, record layouts, pauses) it keeps as data of its own.

#include "link/driver_pipe_link.h"
#include "link/libusb_link.h"
#include "link/link_trace.h"
#include "link/link_types.h"
#include "link/pacing.h"

#include <cstdint>

namespace quilex {

// How one transfer ended.
enum class TransferStatus : std::uint8_t {
    Ok,      // the bytes went through
    Failed,  // it failed, but the gauge may still be there (a time-out, a glitch on the cable)
    Gone,    // the device has gone: only opening the link anew can reach it again
    NotOpen, // no link is open
};

class GaugeLink {
public:
    virtual ~GaugeLink() = default;
    GaugeLink(const GaugeLink&) = delete;
    GaugeLink& operator=(const GaugeLink&) = delete;

    LinkKind kind() const { return kind_; }

    // Opens the link, or keeps the one that is open. Ok, or why no link opened.
    virtual LinkStatus open(Pacing& pacing) = 0;
    // Sends count bytes in one transfer.
    TransferStatus write(const std::uint8_t* data, std::uint32_t count);
    // Receives into data: exactly count bytes over the pipes, one bulk read of up to count over
    // libusb (a shorter answer leaves the rest of data as it was). *received, when given, is how
    // many bytes came; a failed read may still have brought some.
    TransferStatus read(std::uint8_t* data, std::uint32_t count, std::uint32_t* received = nullptr);
    // Throws away what a confused gauge left unread, waiting only briefly for it.
    virtual void drain() {}
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

protected:
    GaugeLink(LinkKind kind, TraceLink trace) : kind_(kind), trace_(trace) {}

    // What one transfer of the transport gave: its status, the transport's own result for the
    // transcript, and the bytes that went through.
    struct Transfer {
        TransferStatus status = TransferStatus::Failed;
        long result = 0;
        std::uint32_t moved = 0;
    };
    virtual Transfer writeBytes(const std::uint8_t* data, std::uint32_t count) = 0;
    virtual Transfer readBytes(std::uint8_t* data, std::uint32_t count) = 0;

private:
    LinkKind kind_;
    TraceLink trace_;
};

// The gauge's driver: its device folders and the two pipes of the last one listed.
class PipeGaugeLink final : public GaugeLink {
public:
    explicit PipeGaugeLink(DriverPipeLink& pipes) : GaugeLink(LinkKind::DriverPipes, TraceLink::Pipe), pipes_(pipes) {}
    // NoDevice when no device is listed or its pipes do not open.
    LinkStatus open(Pacing& pacing) override;
    void drain() override;
    void close() override { pipes_.Close(); }
    bool isOpen() const override { return pipes_.isOpen(); }

private:
    Transfer writeBytes(const std::uint8_t* data, std::uint32_t count) override;
    Transfer readBytes(std::uint8_t* data, std::uint32_t count) override;
    DriverPipeLink& pipes_;
};

// libusb 0.1: the library loaded once, the gauge found on the buses by its identifiers.
class UsbGaugeLink final : public GaugeLink {
public:
    explicit UsbGaugeLink(LibUsbLink& usb) : GaugeLink(LinkKind::LibUsb, TraceLink::Usb), usb_(usb) {}
    // NoLibrary when the library does not load, NoDevice when no gauge is on the buses; each
    // attempt that gets as far as the buses waits 300 ms before and after looking, as the gauge
    // needs.
    LinkStatus open(Pacing& pacing) override;
    void close() override { usb_.CloseDevice(); }
    bool isOpen() const override { return usb_.hasDevice(); }

private:
    Transfer writeBytes(const std::uint8_t* data, std::uint32_t count) override;
    Transfer readBytes(std::uint8_t* data, std::uint32_t count) override;
    LibUsbLink& usb_;
};

} // namespace quilex
