#include "link/gauge_link.h"

#include "link/commands.h"
#include "link/link_selection.h"

#include <algorithm>
#include <cerrno>

namespace quilex {

TransferStatus GaugeLink::write(const std::uint8_t* data, std::uint32_t count)
{
    const Transfer t = writeBytes(data, count);
    traceTransfer(trace_, TraceDirection::Write, t.result, data, std::min(t.moved, count));
    return t.status;
}

TransferStatus GaugeLink::read(std::uint8_t* data, std::uint32_t count, std::uint32_t* received)
{
    const Transfer t = readBytes(data, count);
    const std::uint32_t moved = std::min(t.moved, count);
    traceTransfer(trace_, TraceDirection::Read, t.result, data, moved);
    if (received)
        *received = moved;
    return t.status;
}

// ---------------------------------------------------------------------------------------

namespace {

// The error tail's drain only clears what a confused gauge left in the pipe; it need not wait
// for the full read time-out of a silent one.
constexpr int DrainTimeoutMs = 100;

TransferStatus pipeStatus(std::uint16_t status, const DriverPipeLink& pipes)
{
    switch (status) {
    case PipeOk: return TransferStatus::Ok;
    case PipeNotOpen: return TransferStatus::NotOpen;
    default: return pipes.peerGone() ? TransferStatus::Gone : TransferStatus::Failed;
    }
}

} // namespace

LinkStatus PipeGaugeLink::open(Pacing&)
{
    std::string list;
    // A driver device whose pipes do not open counts as no device; libusb may still reach it.
    if (pipes_.Enumerate(list) > 0 && pipes_.Open(lastDevicePath(list)) == PipeOk)
        return LinkStatus::Ok;
    return LinkStatus::NoDevice;
}

void PipeGaugeLink::drain()
{
    if (!pipes_.isOpen())
        return;
    std::uint8_t drained[ErrorTailDrainBytes];
    const int readTimeoutMs = pipes_.readTimeoutMs();
    pipes_.setReadTimeoutMs(std::min(DrainTimeoutMs, readTimeoutMs));
    (void)read(drained, sizeof drained);
    pipes_.setReadTimeoutMs(readTimeoutMs);
}

GaugeLink::Transfer PipeGaugeLink::writeBytes(const std::uint8_t* data, std::uint32_t count)
{
    std::uint32_t written = 0;
    const std::uint16_t status = pipes_.Write(data, count, &written);
    return {pipeStatus(status, pipes_), status, written};
}

GaugeLink::Transfer PipeGaugeLink::readBytes(std::uint8_t* data, std::uint32_t count)
{
    std::uint32_t received = 0;
    const std::uint16_t status = pipes_.ReadExact(data, count, &received);
    return {pipeStatus(status, pipes_), status, received};
}

// ---------------------------------------------------------------------------------------

namespace {

// libusb 0.1 answers the bytes moved, or a negative errno; -ENODEV means the device has left
// the bus.
TransferStatus usbStatus(int result)
{
    if (result >= 0)
        return TransferStatus::Ok;
    return result == -ENODEV ? TransferStatus::Gone : TransferStatus::Failed;
}

} // namespace

LinkStatus UsbGaugeLink::open(Pacing& pacing)
{
    if (usb_.Load() != 0)
        return LinkStatus::NoLibrary;
    pacing.pauseMs(LinkOpenPauseMs);
    if (usb_.OpenDevice() != 0)
        return LinkStatus::NoDevice;
    pacing.pauseMs(LinkOpenPauseMs);
    return LinkStatus::Ok;
}

GaugeLink::Transfer UsbGaugeLink::writeBytes(const std::uint8_t* data, std::uint32_t count)
{
    if (!usb_.hasDevice()) // the gauge was found but could not be opened
        return {TransferStatus::NotOpen, -1, 0};
    const int result = usb_.BulkWrite(data, static_cast<int>(count));
    return {usbStatus(result), result, result > 0 ? static_cast<std::uint32_t>(result) : 0};
}

GaugeLink::Transfer UsbGaugeLink::readBytes(std::uint8_t* data, std::uint32_t count)
{
    if (!usb_.hasDevice())
        return {TransferStatus::NotOpen, -1, 0};
    const int result = usb_.BulkRead(data, static_cast<int>(count));
    return {usbStatus(result), result, result > 0 ? static_cast<std::uint32_t>(result) : 0};
}

} // namespace quilex
