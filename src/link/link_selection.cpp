#include "link_selection.h"

#include "link/commands.h"

namespace quilex {

std::string lastDevicePath(const std::string& list)
{
    std::string trimmed = list;
    if (!trimmed.empty() && trimmed.back() == '\n')
        trimmed.pop_back();
    const auto cut = trimmed.rfind('\n');
    return cut == std::string::npos ? trimmed : trimmed.substr(cut + 1);
}

LinkOpening OpenLink(DriverPipeLink& pipes, LibUsbLink& usb, Pacing& pacing)
{
    std::string list;
    // A driver device whose pipes do not open counts as no device; libusb may still reach it.
    if (pipes.Enumerate(list) > 0 && pipes.Open(lastDevicePath(list)) == PipeOk)
        return {LinkKind::DriverPipes, LinkStatus::Ok};
    if (usb.Load() != 0)
        return {LinkKind::None, LinkStatus::NoLibrary};
    pacing.pauseMs(LinkOpenPauseMs);
    if (usb.OpenDevice() != 0)
        return {LinkKind::None, LinkStatus::NoDevice};
    pacing.pauseMs(LinkOpenPauseMs);
    return {LinkKind::LibUsb, LinkStatus::Ok};
}

} // namespace quilex
