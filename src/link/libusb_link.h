#pragma once
// The second transport: libusb 0.1, loaded at run time by name, talking to the gauge with
// bulk transfers on endpoints 0x01 (out) and 0x82 (in).

#include <cstdint>
#include <string>

#include <usb.h>

namespace quilex {

inline constexpr std::uint16_t GaugeVendorId = 0x03EB;
inline constexpr std::uint16_t GaugeProductId = 0x0201;
inline constexpr int GaugeConfiguration = 1;
inline constexpr int GaugeInterface = 0;
inline constexpr int GaugeBulkOut = 0x01;
inline constexpr int GaugeBulkIn = 0x82;
inline constexpr int BulkTimeoutMs = 500;

inline constexpr const char* DefaultLibUsbName = "libusb-0.1.so.4";

// $QUILEX_LIBUSB, or Debian's libusb 0.1 when it is unset or empty.
std::string libUsbNameFromEnvironment();

class LibUsbLink {
public:
    explicit LibUsbLink(std::string libraryName = libUsbNameFromEnvironment());
    // The library stays loaded for the life of the process (it may own threads or atexit
    // handlers); only the device is closed.
    ~LibUsbLink();
    LibUsbLink(const LibUsbLink&) = delete;
    LibUsbLink& operator=(const LibUsbLink&) = delete;

    // 0 loaded and bound (or already so), 1 the library cannot be loaded, 2 a function the
    // program calls is missing.
    int Load();
    // 0 a gauge is open (kept, or just opened), 1 no gauge on any bus.
    int OpenDevice();
    int BulkWrite(const std::uint8_t* data, int count);
    int BulkRead(std::uint8_t* data, int count);
    void CloseDevice();

    // Tries the gauge the way an exchange uses it (open, configuration 1, interface 0) and lets
    // it go again, to tell a gauge that is merely on the bus from one this user may talk to.
    // Leaves the link's own device as it was.
    struct DeviceProbe {
        enum class Result { NotFound, Usable, CannotOpen, CannotClaim } result = Result::NotFound;
        int error = 0; // errno after a failed open, or the failed claim's result
    };
    DeviceProbe probeDevice();

    bool isLoaded() const { return library_ != nullptr; }
    bool hasDevice() const { return device_ != nullptr; }
    const std::string& libraryName() const { return libraryName_; }
    // Why the last Load failed, for the command line's diagnostics.
    const std::string& loadError() const { return loadError_; }

private:
    struct Api {
        decltype(&::usb_init) init = nullptr;
        decltype(&::usb_find_busses) findBusses = nullptr;
        decltype(&::usb_find_devices) findDevices = nullptr;
        decltype(&::usb_get_busses) getBusses = nullptr;
        decltype(&::usb_open) open = nullptr;
        decltype(&::usb_set_configuration) setConfiguration = nullptr;
        decltype(&::usb_claim_interface) claimInterface = nullptr;
        decltype(&::usb_bulk_write) bulkWrite = nullptr;
        decltype(&::usb_bulk_read) bulkRead = nullptr;
        decltype(&::usb_close) close = nullptr;
    };

    std::string libraryName_;
    void* library_ = nullptr;
    Api api_;
    usb_dev_handle* device_ = nullptr;
    std::string loadError_;
};

} // namespace quilex
