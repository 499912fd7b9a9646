// "quilex-cli devices": what link selection would find, in plain sentences.

#include "cli/cli_commands.h"
#include "exchange/gauge_reachability.h"

#include <cstdio>
#include <cstring>

namespace quilex::cli {

const char* const DevicesHelp =
    "Usage: quilex-cli devices\n"
    "\n"
    "Lists what the program sees when it looks for a gauge, in the order it looks:\n"
    "  1. the gauge driver's devices: every folder under $QUILEX_DRIVER_ROOT\n"
    "     (default /run/quilex/devices) that holds the FIFOs Pipe00 and Pipe01,\n"
    "     and whether the last of them answers (that is the one the program opens);\n"
    "  2. whether the libusb 0.1 library $QUILEX_LIBUSB (default libusb-0.1.so.4)\n"
    "     loads, whether a gauge (USB 03EB:0201) is on the bus, and whether this user\n"
    "     may open it and claim its interface, as an exchange does.\n"
    "\n"
    "Exit status: 0 when a gauge is reachable, 2 when none is.\n";

int runDevices(const QStringList& args)
{
    if (!args.isEmpty()) {
        std::fprintf(stderr, "quilex-cli devices: takes no arguments\n\n%s", DevicesHelp);
        return ExitUsage;
    }
    DriverPipeLink pipes;
    LibUsbLink usb;
    const GaugeReachability seen = checkReachability(pipes, usb);
    std::printf("Driver devices under %s: %d\n", seen.driverRoot.c_str(), int(seen.driverDevices.size()));
    for (const std::string& path : seen.driverDevices)
        std::printf("  %s\n", path.c_str());
    if (!seen.driverDevices.empty()) {
        const std::string& last = seen.driverDevices.back();
        if (seen.driverAnswers)
            std::printf("  %s answers: the program would use it.\n", last.c_str());
        else
            std::printf("  %s does not answer (error %u): no gauge holds its pipes.\n", last.c_str(),
                        unsigned(seen.driverError));
    }

    if (seen.libraryLoad == 0) {
        std::printf("libusb library %s: loaded.\n", seen.libraryName.c_str());
        using Result = LibUsbLink::DeviceProbe::Result;
        switch (seen.probe.result) {
        case Result::NotFound:
            std::printf("No gauge (USB %04X:%04X) is on the bus.\n", unsigned(GaugeVendorId), unsigned(GaugeProductId));
            break;
        case Result::Usable:
            std::printf("A gauge (USB %04X:%04X) is on the bus and can be opened.\n", unsigned(GaugeVendorId),
                        unsigned(GaugeProductId));
            break;
        case Result::CannotOpen:
        case Result::CannotClaim:
            std::printf("A gauge (USB %04X:%04X) is on the bus but cannot be %s (%s).\n"
                        "  The device is not yours to open: see that the package's udev rule\n"
                        "  60-quilex.rules is in /usr/lib/udev/rules.d/ and plug the gauge in again;\n"
                        "  over ssh, without a seat, a group rule of your own is needed. If another\n"
                        "  program holds the gauge, close it.\n",
                        unsigned(GaugeVendorId), unsigned(GaugeProductId),
                        seen.probe.result == Result::CannotOpen ? "opened" : "claimed",
                        seen.probe.error == 0 ? "the library gave no reason"
                                              : std::strerror(seen.probe.error < 0 ? -seen.probe.error : seen.probe.error));
            break;
        }
    } else {
        std::printf("libusb library %s: %s (%s).\n", seen.libraryName.c_str(),
                    seen.libraryLoad == 1 ? "cannot be loaded" : "lacks a function the program needs",
                    seen.loadError.c_str());
    }
    const bool driverReachable = seen.driverAnswers;
    const bool usbReachable = seen.usbReachable();

    if (driverReachable)
        std::printf("A gauge is reachable through its driver.\n");
    else if (usbReachable)
        std::printf("A gauge is reachable through libusb.\n");
    else
        std::printf("No gauge is reachable: connect the gauge and switch it on.\n");
    return driverReachable || usbReachable ? ExitDone : ExitNoGauge;
}

} // namespace quilex::cli
