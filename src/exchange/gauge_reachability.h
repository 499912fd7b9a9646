#pragma once
// Why a gauge is or is not reachable, looked at the way link selection looks for it: the
// driver's device folders first, libusb second. The command line's "devices" prints it; the
// window explains with it a download or a material exchange that never reached the gauge.
// Only asked while no exchange runs: it opens the links itself.

#include "link/driver_pipe_link.h"
#include "link/libusb_link.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <string>
#include <vector>

namespace quilex {

struct GaugeReachability {
    // The driver's side.
    std::string driverRoot;
    bool driverRootExists = false;
    std::vector<std::string> driverDevices; // in name order; the last is the one opened
    bool driverAnswers = false;             // the last device's pipes opened
    std::uint16_t driverError = 0;          // the failed open's code, when they did not
    // libusb's side.
    std::string libraryName;
    int libraryLoad = 0; // as LibUsbLink::Load: 0 loaded, 1 cannot be loaded, 2 a function missing
    std::string loadError;
    LibUsbLink::DeviceProbe probe;

    bool usbReachable() const { return libraryLoad == 0 && probe.result == LibUsbLink::DeviceProbe::Result::Usable; }
    bool reachable() const { return driverAnswers || usbReachable(); }
};

GaugeReachability checkReachability(DriverPipeLink& pipes, LibUsbLink& usb);

// Why no gauge was reached, in a few sentences in the given language: the driver's side, then
// libusb's (no library, no gauge on the bus, a gauge this user may not open, with the udev rule
// to check, or one another program holds).
QString unreachableReason(const GaugeReachability& reachability, std::uint8_t languageIndex);

} // namespace quilex
