#include "libusb_link.h"

#include <cerrno>
#include <cstdlib>

#include <dlfcn.h>

namespace quilex {

std::string libUsbNameFromEnvironment()
{
    const char* name = std::getenv("QUILEX_LIBUSB");
    return (name && *name) ? std::string(name) : std::string(DefaultLibUsbName);
}

LibUsbLink::LibUsbLink(std::string libraryName) : libraryName_(std::move(libraryName)) {}

LibUsbLink::~LibUsbLink()
{
    CloseDevice();
}

namespace {

template <typename Fn>
bool bind(void* library, const char* name, Fn& slot)
{
    void* address = ::dlsym(library, name);
    if (!address)
        return false;
    slot = reinterpret_cast<Fn>(address);
    return true;
}

} // namespace

int LibUsbLink::Load()
{
    if (library_)
        return 0;
    void* library = ::dlopen(libraryName_.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        const char* why = ::dlerror();
        loadError_ = why ? why : "cannot load " + libraryName_;
        return 1;
    }
    Api api;
    // Only the ten functions the program calls are required.
    const char* missing = nullptr;
    if (!bind(library, "usb_init", api.init))
        missing = "usb_init";
    else if (!bind(library, "usb_find_busses", api.findBusses))
        missing = "usb_find_busses";
    else if (!bind(library, "usb_find_devices", api.findDevices))
        missing = "usb_find_devices";
    else if (!bind(library, "usb_get_busses", api.getBusses))
        missing = "usb_get_busses";
    else if (!bind(library, "usb_open", api.open))
        missing = "usb_open";
    else if (!bind(library, "usb_set_configuration", api.setConfiguration))
        missing = "usb_set_configuration";
    else if (!bind(library, "usb_claim_interface", api.claimInterface))
        missing = "usb_claim_interface";
    else if (!bind(library, "usb_bulk_write", api.bulkWrite))
        missing = "usb_bulk_write";
    else if (!bind(library, "usb_bulk_read", api.bulkRead))
        missing = "usb_bulk_read";
    else if (!bind(library, "usb_close", api.close))
        missing = "usb_close";
    if (missing) {
        loadError_ = libraryName_ + " has no " + missing;
        ::dlclose(library);
        return 2;
    }
    library_ = library;
    api_ = api;
    loadError_.clear();
    api_.init();
    return 0;
}

int LibUsbLink::OpenDevice()
{
    if (!library_)
        return 1;
    const int busChanges = api_.findBusses();
    const int deviceChanges = api_.findDevices();
    for (usb_bus* bus = api_.getBusses(); bus; bus = bus->next) {
        for (struct usb_device* dev = bus->devices; dev; dev = dev->next) {
            if (dev->descriptor.idVendor != GaugeVendorId || dev->descriptor.idProduct != GaugeProductId)
                continue;
            if (busChanges == 0 && deviceChanges == 0 && device_)
                return 0;
            // The bus changed: the handle we held may belong to a gauge that was unplugged.
            // Close it rather than leak it, then open the gauge found now.
            CloseDevice();
            device_ = api_.open(dev);
            if (device_) {
                api_.setConfiguration(device_, GaugeConfiguration);
                api_.claimInterface(device_, GaugeInterface);
            }
            // A failed open shows up as failing transfers, which the exchange retries.
            return 0;
        }
    }
    CloseDevice();
    return 1;
}

LibUsbLink::DeviceProbe LibUsbLink::probeDevice()
{
    DeviceProbe probe;
    if (!library_)
        return probe;
    api_.findBusses();
    api_.findDevices();
    for (usb_bus* bus = api_.getBusses(); bus; bus = bus->next) {
        for (struct usb_device* dev = bus->devices; dev; dev = dev->next) {
            if (dev->descriptor.idVendor != GaugeVendorId || dev->descriptor.idProduct != GaugeProductId)
                continue;
            errno = 0;
            usb_dev_handle* handle = api_.open(dev);
            if (!handle) {
                probe.result = DeviceProbe::Result::CannotOpen;
                probe.error = errno;
                return probe;
            }
            // The configuration may already be set by the system; only the claim tells whether
            // the interface is ours.
            api_.setConfiguration(handle, GaugeConfiguration);
            const int claimed = api_.claimInterface(handle, GaugeInterface);
            api_.close(handle);
            probe.result = claimed < 0 ? DeviceProbe::Result::CannotClaim : DeviceProbe::Result::Usable;
            probe.error = claimed < 0 ? claimed : 0;
            return probe;
        }
    }
    return probe;
}

int LibUsbLink::BulkWrite(const std::uint8_t* data, int count)
{
    return device_ ? api_.bulkWrite(device_, GaugeBulkOut, reinterpret_cast<const char*>(data), count, BulkTimeoutMs)
                   : -1;
}

int LibUsbLink::BulkRead(std::uint8_t* data, int count)
{
    return device_ ? api_.bulkRead(device_, GaugeBulkIn, reinterpret_cast<char*>(data), count, BulkTimeoutMs) : -1;
}

void LibUsbLink::CloseDevice()
{
    if (device_ && api_.close)
        api_.close(device_);
    device_ = nullptr;
}

} // namespace quilex
