#include "exchange/gauge_reachability.h"

#include "exchange/exchange_texts.h"
#include "link/link_selection.h"
#include "link/link_types.h"

#include <cstring>
#include <sstream>

#include <sys/stat.h>

namespace quilex {

namespace texts = exchange_texts;

GaugeReachability checkReachability(DriverPipeLink& pipes, LibUsbLink& usb)
{
    GaugeReachability r;
    r.driverRoot = pipes.root();
    struct stat info {};
    r.driverRootExists = ::stat(r.driverRoot.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
    std::string list;
    pipes.Enumerate(list);
    std::istringstream paths(list);
    for (std::string path; std::getline(paths, path);)
        r.driverDevices.push_back(path);
    if (!r.driverDevices.empty()) {
        const bool wasOpen = pipes.isOpen();
        r.driverError = pipes.Open(r.driverDevices.back());
        r.driverAnswers = r.driverError == PipeOk;
        if (!wasOpen)
            pipes.Close();
    }
    r.libraryName = usb.libraryName();
    r.libraryLoad = usb.Load();
    if (r.libraryLoad == 0)
        r.probe = usb.probeDevice();
    else
        r.loadError = usb.loadError();
    return r;
}

QString unreachableReason(const GaugeReachability& r, std::uint8_t language)
{
    auto text = [language](const TextPair& pair) { return Text(pair, language); };
    QStringList lines;
    const QString root = QString::fromStdString(r.driverRoot);
    if (!r.driverRootExists)
        lines << text(texts::DriverFolderMissingReason).arg(root);
    else if (r.driverDevices.empty())
        lines << text(texts::DriverNoDevicesReason).arg(root);
    else if (!r.driverAnswers)
        lines << text(texts::DriverSilentReason).arg(QString::fromStdString(r.driverDevices.back()));
    using Probe = LibUsbLink::DeviceProbe::Result;
    const QString device = QString::asprintf("USB %04X:%04X", unsigned(GaugeVendorId), unsigned(GaugeProductId));
    if (r.libraryLoad != 0) {
        lines << text(texts::NoLibUsbReason).arg(QString::fromStdString(r.libraryName), QString::fromStdString(r.loadError));
    } else {
        const QString why = r.probe.error == 0 ? QString()
                                               : QString::fromLocal8Bit(std::strerror(r.probe.error < 0 ? -r.probe.error
                                                                                                        : r.probe.error));
        switch (r.probe.result) {
        case Probe::NotFound: lines << text(texts::NotOnBusReason).arg(device); break;
        case Probe::CannotOpen: lines << text(texts::NoPermissionReason).arg(device, why); break;
        case Probe::CannotClaim: lines << text(texts::BusyReason).arg(device, why); break;
        case Probe::Usable: break;
        }
    }
    return lines.join(u'\n');
}

} // namespace quilex
