// The simulated gauge behind the libusb 0.1 interface: one bus, one device, two bulk
// endpoints. Built as libquilex-sim-usb.so; the program loads it in place of libusb.
//
// Nothing happens at load time: the gauge is set up by the first call that needs it, and
// again by every usb_init. One mutex guards everything; sleeps (latency, silence) run with
// the mutex released so that control calls from other threads are not held up.

#include "gauge_model.h"
#include "sim_setup.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#pragma GCC visibility push(default)
#include <usb.h>
#include "sim_control.h"
#pragma GCC visibility pop

using namespace quilex::sim;

struct usb_dev_handle {
    struct usb_device* device = nullptr;
    int generation = 0; // the plug-in it was opened on; a handle never outlives an unplug
    int configuration = 0;
    int claimed = -1;
};

struct usb_bus* usb_busses = nullptr;

namespace {

constexpr int OutEndpoint = 0x01;
constexpr int InEndpoint = 0x82;
constexpr int SilentReadMaxMs = 5000;

class SimUsb {
public:
    std::mutex mutex;

    // Overrides set by quilex_sim_configure; absent: the environment.
    bool faultsOverride = false;
    std::string faultsText;
    bool imageOverride = false;
    std::string imagePath;

    std::string lastError;
    bool configured = false; // a good configuration is loaded
    SimSetup setup;
    std::unique_ptr<GaugeModel> model;
    TransferGate gate;
    Transcript transcript;
    std::string transcriptPath;

    usb_bus bus{};
    struct usb_device device{};
    usb_config_descriptor config{};
    usb_interface interface{};
    usb_interface_descriptor altsetting{};
    usb_endpoint_descriptor endpoints[2]{};

    bool busListed = false;
    bool plugged = true;
    int generation = 0;
    int deviceChanges = 0; // plug events usb_find_devices has not reported yet
    int busChanges = 0;

    std::set<usb_dev_handle*> handles;
    int initCalls = 0;
    int openCalls = 0;
    char usbError[160] = "no error";

    ~SimUsb()
    {
        for (usb_dev_handle* h : handles)
            delete h;
        usb_busses = nullptr;
    }

    void ensureStarted()
    {
        if (!model && lastError.empty())
            restart();
    }

    // Reloads the configuration and starts the gauge afresh. Handles stay open.
    bool restart()
    {
        std::string error;
        SimSetup fresh;
        const bool ok = loadSetup(faultsOverride ? faultsText.c_str() : nullptr,
                                  imageOverride ? imagePath.c_str() : nullptr, fresh, error);
        usb_busses = nullptr;
        busListed = false;
        bus.devices = nullptr;
        busChanges = 1;
        deviceChanges = 1;
        plugged = true;
        if (!ok) {
            lastError = error;
            configured = false;
            model.reset();
            transcript.close();
            transcriptPath.clear();
            return false;
        }
        lastError.clear();
        configured = true;
        setup = std::move(fresh);
        model = std::make_unique<GaugeModel>(Transport::LibUsb, setup.image, setup.faults);
        gate = TransferGate(setup.faults);
        if (setup.faults.transcriptPath != transcriptPath || !transcript.isOpen()) {
            transcript.close();
            transcriptPath.clear();
            if (!setup.faults.transcriptPath.empty()) {
                if (!transcript.open(setup.faults.transcriptPath, error)) {
                    lastError = error;
                    configured = false;
                    model.reset();
                    return false;
                }
                transcriptPath = setup.faults.transcriptPath;
            }
        }
        transcript.note("gauge started");
        fillDescriptors();
        return true;
    }

    void fillDescriptors()
    {
        bus = usb_bus{};
        std::snprintf(bus.dirname, sizeof bus.dirname, "001");
        bus.location = 1;
        fillDevice();
    }

    // The device as it shows on the bus; the bus itself is left alone, so that a program
    // walking the list never finds it half written.
    void fillDevice()
    {
        device = {};
        std::snprintf(device.filename, sizeof device.filename, "%03d", 1 + generation % 127);
        device.bus = &bus;
        device.devnum = static_cast<std::uint8_t>(1 + generation % 127);
        usb_device_descriptor& d = device.descriptor;
        d.bLength = USB_DT_DEVICE_SIZE;
        d.bDescriptorType = USB_DT_DEVICE;
        d.bcdUSB = 0x0200;
        d.bDeviceClass = 0xFF;
        d.bMaxPacketSize0 = 8;
        d.idVendor = setup.faults.vendor;
        d.idProduct = setup.faults.product;
        d.bcdDevice = 0x0107;
        d.bNumConfigurations = 1;

        endpoints[0] = usb_endpoint_descriptor{};
        endpoints[0].bLength = USB_DT_ENDPOINT_SIZE;
        endpoints[0].bDescriptorType = USB_DT_ENDPOINT;
        endpoints[0].bEndpointAddress = OutEndpoint;
        endpoints[0].bmAttributes = USB_ENDPOINT_TYPE_BULK;
        endpoints[0].wMaxPacketSize = 64;
        endpoints[1] = endpoints[0];
        endpoints[1].bEndpointAddress = InEndpoint;
        altsetting = usb_interface_descriptor{};
        altsetting.bLength = USB_DT_INTERFACE_SIZE;
        altsetting.bDescriptorType = USB_DT_INTERFACE;
        altsetting.bNumEndpoints = 2;
        altsetting.bInterfaceClass = 0xFF;
        altsetting.endpoint = endpoints;
        interface.altsetting = &altsetting;
        interface.num_altsetting = 1;
        config = usb_config_descriptor{};
        config.bLength = USB_DT_CONFIG_SIZE;
        config.bDescriptorType = USB_DT_CONFIG;
        config.wTotalLength = USB_DT_CONFIG_SIZE + USB_DT_INTERFACE_SIZE + 2 * USB_DT_ENDPOINT_SIZE;
        config.bNumInterfaces = 1;
        config.bConfigurationValue = 1;
        config.bmAttributes = 0x80;
        config.MaxPower = 50;
        config.interface = &interface;
        device.config = &config;
    }

    void closeAllHandles()
    {
        for (usb_dev_handle* h : handles)
            delete h;
        handles.clear();
    }

    void unplug(const char* why)
    {
        if (!plugged)
            return;
        plugged = false;
        ++generation;
        ++deviceChanges;
        transcript.note(std::string("unplugged: ") + why);
    }

    // Plugs the gauge in again; a gauge still on the bus is pulled out first, so the
    // program sees a new device either way.
    void replug()
    {
        if (!configured)
            return;
        if (plugged)
            unplug("for a reconnection");
        plugged = true;
        ++deviceChanges;
        fillDevice(); // a new device number, as after a real reconnection
        transcript.note("plugged in again");
    }

    int setError(int code, const char* text)
    {
        std::snprintf(usbError, sizeof usbError, "%s", text);
        return code;
    }

    // Checks a handle for a transfer; 0 when it may go on.
    int usable(usb_dev_handle* h)
    {
        if (!h || !handles.count(h))
            return setError(-EINVAL, "invalid device handle");
        if (!plugged || h->generation != generation)
            return setError(-ENODEV, "no such device (it was unplugged)");
        return 0;
    }
};

SimUsb& sim()
{
    static SimUsb instance;
    return instance;
}

// Waits ms milliseconds, to within a few microseconds. A plain sleep overshoots by the timer's
// slack and the wake-up, often a tenth of a millisecond or more: with a latency of one 1 ms
// frame per transfer that would cost the caller more than the wire does. So the sleep stops a
// little short of the deadline and the rest is waited out yielding.
void sleepMs(std::unique_lock<std::mutex>& lock, int ms)
{
    if (ms <= 0)
        return;
    using Clock = std::chrono::steady_clock;
    constexpr auto WakeUpMargin = std::chrono::microseconds(300);
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(ms);
    lock.unlock();
    std::this_thread::sleep_until(deadline - WakeUpMargin);
    while (Clock::now() < deadline)
        std::this_thread::yield();
    lock.lock();
}

// Refuses a request the gauge does not support, noting why for usb_strerror.
int refuse(int code, const char* text)
{
    SimUsb& s = sim();
    std::lock_guard lock(s.mutex);
    return s.setError(code, text);
}

int copyOut(const unsigned char* data, int length, unsigned char* out, int size)
{
    if (!out || size < 0)
        return -1;
    std::memcpy(out, data, static_cast<std::size_t>(std::min(size, length)));
    return length;
}

} // namespace

extern "C" {

void usb_init(void)
{
    try {
        SimUsb& s = sim();
        std::lock_guard lock(s.mutex);
        ++s.initCalls;
        if (!s.restart())
            std::fprintf(stderr, "quilex-sim-usb: %s; the bus stays empty\n", s.lastError.c_str());
    } catch (...) {
    }
}

void usb_set_debug(int) {}

int usb_find_busses(void)
{
    SimUsb& s = sim();
    std::lock_guard lock(s.mutex);
    s.ensureStarted();
    if (!s.configured)
        return 0;
    if (!s.busListed) {
        s.busListed = true;
        usb_busses = &s.bus;
    }
    const int changes = s.busChanges;
    s.busChanges = 0;
    return changes;
}

int usb_find_devices(void)
{
    SimUsb& s = sim();
    std::lock_guard lock(s.mutex);
    s.ensureStarted();
    if (!s.configured || !s.busListed)
        return 0;
    s.bus.devices = s.plugged ? &s.device : nullptr;
    const int changes = s.deviceChanges;
    s.deviceChanges = 0;
    return changes;
}

struct usb_bus* usb_get_busses(void)
{
    SimUsb& s = sim();
    std::lock_guard lock(s.mutex);
    return usb_busses;
}

usb_dev_handle* usb_open(struct usb_device* dev)
{
    try {
        SimUsb& s = sim();
        std::lock_guard lock(s.mutex);
        ++s.openCalls;
        if (!s.configured || dev != &s.device || !s.plugged) {
            s.setError(0, "no such device");
            return nullptr;
        }
        if (s.setup.faults.openDenied) {
            // As libusb does for a device node the user may not open.
            s.setError(-EACCES, "permission denied (simulated)");
            s.transcript.note("open denied");
            errno = EACCES;
            return nullptr;
        }
        auto* h = new usb_dev_handle;
        h->device = dev;
        h->generation = s.generation;
        s.handles.insert(h);
        return h;
    } catch (...) {
        return nullptr;
    }
}

int usb_close(usb_dev_handle* dev)
{
    SimUsb& s = sim();
    std::lock_guard lock(s.mutex);
    if (!dev || !s.handles.erase(dev))
        return s.setError(-EINVAL, "invalid device handle");
    delete dev;
    return 0;
}

struct usb_device* usb_device(usb_dev_handle* dev)
{
    SimUsb& s = sim();
    std::lock_guard lock(s.mutex);
    return dev && s.handles.count(dev) ? dev->device : nullptr;
}

int usb_set_configuration(usb_dev_handle* dev, int configuration)
{
    SimUsb& s = sim();
    std::lock_guard lock(s.mutex);
    if (const int e = s.usable(dev))
        return e;
    if (configuration != 1)
        return s.setError(-EINVAL, "the gauge has only configuration 1");
    dev->configuration = configuration;
    return 0;
}

int usb_claim_interface(usb_dev_handle* dev, int interface)
{
    SimUsb& s = sim();
    std::lock_guard lock(s.mutex);
    if (const int e = s.usable(dev))
        return e;
    if (interface != 0)
        return s.setError(-EINVAL, "the gauge has only interface 0");
    if (s.setup.faults.claimBusy)
        return s.setError(-EBUSY, "device or resource busy (simulated)");
    dev->claimed = interface;
    return 0;
}

int usb_release_interface(usb_dev_handle* dev, int interface)
{
    SimUsb& s = sim();
    std::lock_guard lock(s.mutex);
    if (const int e = s.usable(dev))
        return e;
    if (interface != dev->claimed)
        return s.setError(-EINVAL, "interface not claimed");
    dev->claimed = -1;
    return 0;
}

int usb_set_altinterface(usb_dev_handle* dev, int alternate)
{
    SimUsb& s = sim();
    std::lock_guard lock(s.mutex);
    if (const int e = s.usable(dev))
        return e;
    return alternate == 0 ? 0 : s.setError(-EINVAL, "the gauge has only alternate setting 0");
}

int usb_resetep(usb_dev_handle* dev, unsigned int)
{
    SimUsb& s = sim();
    std::lock_guard lock(s.mutex);
    return s.usable(dev);
}

int usb_clear_halt(usb_dev_handle* dev, unsigned int)
{
    SimUsb& s = sim();
    std::lock_guard lock(s.mutex);
    return s.usable(dev);
}

int usb_reset(usb_dev_handle*)
{
    SimUsb& s = sim();
    std::lock_guard lock(s.mutex);
    return s.setError(-ENOSYS, "reset is not simulated");
}

int usb_bulk_write(usb_dev_handle* dev, int ep, const char* bytes, int size, int)
{
    try {
        SimUsb& s = sim();
        std::unique_lock lock(s.mutex);
        if (const int e = s.usable(dev))
            return e;
        if (ep != OutEndpoint || size < 0 || (!bytes && size > 0))
            return s.setError(-EINVAL, "bulk write: bad endpoint or buffer");
        const TransferGate::Decision d = s.gate.next();
        if (d.outcome == TransferGate::Outcome::Gone) {
            s.unplug("gone");
            return s.setError(-ENODEV, "no such device (it was unplugged)");
        }
        sleepMs(lock, d.latencyMs);
        if (const int e = s.usable(dev))
            return e;
        const auto* data = reinterpret_cast<const std::uint8_t*>(bytes);
        int result = size;
        switch (d.outcome) {
        case TransferGate::Outcome::Fail:
            s.transcript.note("transfer " + std::to_string(d.number) + " W failed -5 (fail_every)");
            result = s.setError(-EIO, "input/output error (simulated)");
            break;
        case TransferGate::Outcome::Silent:
            s.transcript.transfer('W', data, static_cast<std::size_t>(size));
            s.transcript.note("transfer " + std::to_string(d.number) + " W ignored (silent)");
            break;
        default:
            s.transcript.transfer('W', data, static_cast<std::size_t>(size));
            s.model->feed(data, static_cast<std::size_t>(size));
            break;
        }
        if (s.gate.unplugDue())
            s.unplug(("after " + std::to_string(s.gate.count()) + " transfers").c_str());
        return result;
    } catch (...) {
        return -ENOMEM;
    }
}

#ifndef QUILEX_SIM_WITHOUT_BULK_READ
int usb_bulk_read(usb_dev_handle* dev, int ep, char* bytes, int size, int timeout)
{
    try {
        SimUsb& s = sim();
        std::unique_lock lock(s.mutex);
        if (const int e = s.usable(dev))
            return e;
        if (ep != InEndpoint || size < 0 || (!bytes && size > 0))
            return s.setError(-EINVAL, "bulk read: bad endpoint or buffer");
        const TransferGate::Decision d = s.gate.next();
        if (d.outcome == TransferGate::Outcome::Gone) {
            s.unplug("gone");
            return s.setError(-ENODEV, "no such device (it was unplugged)");
        }
        int result = 0;
        if (d.outcome == TransferGate::Outcome::Silent) {
            // A gauge that does not answer lets the read run into its time-out.
            sleepMs(lock, timeout > 0 ? std::min(timeout, SilentReadMaxMs) : SilentReadMaxMs);
            if (const int e = s.usable(dev))
                return e;
            s.transcript.note("transfer " + std::to_string(d.number) + " R timed out -110 (silent)");
            result = s.setError(-ETIMEDOUT, "connection timed out");
        } else {
            sleepMs(lock, d.latencyMs);
            if (const int e = s.usable(dev))
                return e;
            if (d.outcome == TransferGate::Outcome::Fail) {
                s.model->dropPart(); // the part is lost with the failed transfer
                s.transcript.note("transfer " + std::to_string(d.number) + " R failed -5 (fail_every)");
                result = s.setError(-EIO, "input/output error (simulated)");
            } else if (size == 0) {
                s.transcript.transfer('R', nullptr, 0);
            } else if (s.model->partRemaining() == 0) {
                // Nothing to send: the real read would wait for its time-out; answering at once
                // keeps the callers' tests fast and looks the same to them.
                s.transcript.note("transfer " + std::to_string(d.number) + " R timed out -110 (nothing to send)");
                result = s.setError(-ETIMEDOUT, "connection timed out");
            } else {
                std::size_t want = static_cast<std::size_t>(size);
                if (s.setup.faults.chunkBytes > 0)
                    want = std::min(want, static_cast<std::size_t>(s.setup.faults.chunkBytes));
                auto* out = reinterpret_cast<std::uint8_t*>(bytes);
                const std::size_t n = s.model->read(out, want);
                s.transcript.transfer('R', out, n);
                result = static_cast<int>(n);
            }
        }
        if (s.gate.unplugDue())
            s.unplug(("after " + std::to_string(s.gate.count()) + " transfers").c_str());
        return result;
    } catch (...) {
        return -ENOMEM;
    }
}
#endif

int usb_interrupt_write(usb_dev_handle*, int, const char*, int, int)
{
    return refuse(-ENOSYS, "the gauge has no interrupt endpoints");
}

int usb_interrupt_read(usb_dev_handle*, int, char*, int, int)
{
    return refuse(-ENOSYS, "the gauge has no interrupt endpoints");
}

int usb_control_msg(usb_dev_handle*, int, int, int, int, char*, int, int)
{
    return refuse(-ENOSYS, "control requests are not simulated");
}

int usb_get_string(usb_dev_handle*, int, int, char*, size_t)
{
    return refuse(-ENOSYS, "the gauge has no string descriptors");
}

int usb_get_string_simple(usb_dev_handle*, int, char*, size_t)
{
    return refuse(-ENOSYS, "the gauge has no string descriptors");
}

int usb_get_descriptor_by_endpoint(usb_dev_handle*, int, unsigned char, unsigned char, void*, int)
{
    return refuse(-ENOSYS, "descriptor requests are not simulated");
}

int usb_get_descriptor(usb_dev_handle*, unsigned char, unsigned char, void*, int)
{
    return refuse(-ENOSYS, "descriptor requests are not simulated");
}

int usb_get_driver_np(usb_dev_handle*, int, char*, unsigned int)
{
    return refuse(-ENODATA, "no kernel driver is bound to the gauge");
}

int usb_detach_kernel_driver_np(usb_dev_handle*, int)
{
    return refuse(-ENODATA, "no kernel driver is bound to the gauge");
}

char* usb_strerror(void)
{
    // The text stays valid for the caller; a later error may change it, as with libusb.
    return sim().usbError;
}

// Control interface.

int quilex_sim_configure(const char* faults, const char* image_path)
{
    try {
        SimUsb& s = sim();
        std::lock_guard lock(s.mutex);
        s.faultsOverride = faults != nullptr;
        s.faultsText = faults ? faults : "";
        s.imageOverride = image_path != nullptr;
        s.imagePath = image_path ? image_path : "";
        s.closeAllHandles();
        s.initCalls = 0;
        s.openCalls = 0;
        s.transcript.close();
        s.transcriptPath.clear();
        return s.restart() ? 0 : -1;
    } catch (...) {
        return -1;
    }
}

const char* quilex_sim_last_error(void)
{
    SimUsb& s = sim();
    std::lock_guard lock(s.mutex);
    return s.lastError.c_str();
}

int quilex_sim_usb_init_calls(void)
{
    SimUsb& s = sim();
    std::lock_guard lock(s.mutex);
    return s.initCalls;
}

int quilex_sim_usb_open_calls(void)
{
    SimUsb& s = sim();
    std::lock_guard lock(s.mutex);
    return s.openCalls;
}

int quilex_sim_open_handles(void)
{
    SimUsb& s = sim();
    std::lock_guard lock(s.mutex);
    return static_cast<int>(s.handles.size());
}

int quilex_sim_transfer_count(void)
{
    SimUsb& s = sim();
    std::lock_guard lock(s.mutex);
    return s.gate.count();
}

void quilex_sim_unplug(void)
{
    try {
        SimUsb& s = sim();
        std::lock_guard lock(s.mutex);
        s.ensureStarted();
        s.unplug("by control");
    } catch (...) {
    }
}

void quilex_sim_replug(void)
{
    try {
        SimUsb& s = sim();
        std::lock_guard lock(s.mutex);
        s.ensureStarted();
        s.replug();
    } catch (...) {
    }
}

int quilex_sim_is_plugged(void)
{
    SimUsb& s = sim();
    std::lock_guard lock(s.mutex);
    return s.configured && s.plugged ? 1 : 0;
}

int quilex_sim_material_table(unsigned char* out, int size)
{
    SimUsb& s = sim();
    std::lock_guard lock(s.mutex);
    s.ensureStarted();
    if (!s.model)
        return -1;
    const auto& t = s.model->materialTable();
    return copyOut(t.data(), static_cast<int>(t.size()), out, size);
}

int quilex_sim_screen(unsigned char* out, int size)
{
    SimUsb& s = sim();
    std::lock_guard lock(s.mutex);
    s.ensureStarted();
    if (!s.model)
        return -1;
    const auto& p = s.model->screen();
    return copyOut(p.data(), static_cast<int>(p.size()), out, size);
}

int quilex_sim_material_writes(void)
{
    SimUsb& s = sim();
    std::lock_guard lock(s.mutex);
    return s.model ? s.model->materialWrites() : 0;
}

int quilex_sim_record_count(void)
{
    SimUsb& s = sim();
    std::lock_guard lock(s.mutex);
    s.ensureStarted();
    return s.model ? s.model->recordCount() : 0;
}

int quilex_sim_pending_bytes(void)
{
    SimUsb& s = sim();
    std::lock_guard lock(s.mutex);
    return s.model ? static_cast<int>(s.model->pendingBytes()) : 0;
}

} // extern "C"
