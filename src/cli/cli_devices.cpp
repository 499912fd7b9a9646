// "quilex-cli devices": what link selection would find, in plain sentences.

#include "cli/cli_commands.h"
#include "link/driver_pipe_link.h"
#include "link/libusb_link.h"
#include "link/link_selection.h"

#include <cstdio>
#include <cstring>
#include <sstream>

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
    std::string list;
    const int count = pipes.Enumerate(list);
    std::printf("Driver devices under %s: %d\n", pipes.root().c_str(), count);
    std::istringstream paths(list);
    for (std::string path; std::getline(paths, path);)
        std::printf("  %s\n", path.c_str());

    bool driverReachable = false;
    if (count > 0) {
        const std::string last = lastDevicePath(list);
        const auto status = pipes.Open(last);
        driverReachable = status == PipeOk;
        pipes.Close();
        if (driverReachable)
            std::printf("  %s answers: the program would use it.\n", last.c_str());
        else
            std::printf("  %s does not answer (error %u): no gauge holds its pipes.\n", last.c_str(), unsigned(status));
    }

    LibUsbLink usb;
    bool usbReachable = false;
    const int loaded = usb.Load();
    if (loaded == 0) {
        std::printf("libusb library %s: loaded.\n", usb.libraryName().c_str());
        const LibUsbLink::DeviceProbe probe = usb.probeDevice();
        using Result = LibUsbLink::DeviceProbe::Result;
        usbReachable = probe.result == Result::Usable;
        switch (probe.result) {
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
                        probe.result == Result::CannotOpen ? "opened" : "claimed",
                        probe.error == 0 ? "the library gave no reason"
                                         : std::strerror(probe.error < 0 ? -probe.error : probe.error));
            break;
        }
    } else {
        std::printf("libusb library %s: %s (%s).\n", usb.libraryName().c_str(),
                    loaded == 1 ? "cannot be loaded" : "lacks a function the program needs",
                    usb.loadError().c_str());
    }

    if (driverReachable)
        std::printf("A gauge is reachable through its driver.\n");
    else if (usbReachable)
        std::printf("A gauge is reachable through libusb.\n");
    else
        std::printf("No gauge is reachable: connect the gauge and switch it on.\n");
    return driverReachable || usbReachable ? ExitDone : ExitNoGauge;
}

} // namespace quilex::cli
