#include "link_selection.h"

#include "link/gauge_link.h"

namespace quilex {

std::string lastDevicePath(const std::string& list)
{
    std::string trimmed = list;
    if (!trimmed.empty() && trimmed.back() == '\n')
        trimmed.pop_back();
    const auto cut = trimmed.rfind('\n');
    return cut == std::string::npos ? trimmed : trimmed.substr(cut + 1);
}

LinkOpening OpenLink(GaugeLink& driver, GaugeLink& usb, Pacing& pacing)
{
    if (driver.open(pacing) == LinkStatus::Ok)
        return {driver.kind(), LinkStatus::Ok};
    const LinkStatus status = usb.open(pacing);
    return {status == LinkStatus::Ok ? usb.kind() : LinkKind::None, status};
}

LinkOpening OpenLink(DriverPipeLink& pipes, LibUsbLink& usb, Pacing& pacing)
{
    PipeGaugeLink driverLink(pipes);
    UsbGaugeLink usbLink(usb);
    return OpenLink(driverLink, usbLink, pacing);
}

} // namespace quilex
