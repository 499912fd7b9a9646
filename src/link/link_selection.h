#pragma once
// Choosing and opening the transport before an exchange: the gauge's driver first, libusb
// second.

#include "link/driver_pipe_link.h"
#include "link/libusb_link.h"
#include "link/link_types.h"
#include "link/pacing.h"

#include <string>

namespace quilex {

class GaugeLink;

struct LinkOpening {
    LinkKind kind = LinkKind::None;
    LinkStatus status = LinkStatus::Ok; // why no link opened, when kind is None
};

// The last path of a device list written by Enumerate ("a\nb\n" gives "b"); empty when the
// list holds none.
std::string lastDevicePath(const std::string& list);

// Opens a link and says which: the driver's when its pipes open, else libusb's; with neither,
// the status libusb gave. Never closes a link: an open driver link is used again as it is, an
// open libusb handle while the buses report no change.
LinkOpening OpenLink(GaugeLink& driver, GaugeLink& usb, Pacing& pacing);
LinkOpening OpenLink(DriverPipeLink& pipes, LibUsbLink& usb, Pacing& pacing);

} // namespace quilex
