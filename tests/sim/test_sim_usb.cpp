// The simulated gauge behind the libusb 0.1 interface, loaded the way the program loads
// libusb: dlopen of the library file and dlsym of every name.

#include "gauge_image.h"

#include "link/crc16.h"

#include <gtest/gtest.h>

#include <usb.h>

#include <dlfcn.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

const char* const SimLibrary = QUILEX_LIB_DIR "/libquilex-sim-usb.so";
const char* const IncompleteLibrary = QUILEX_LIB_DIR "/libquilex-usb-incomplete.so";

// Every function usb.h declares.
const char* const UsbNames[] = {
    "usb_open", "usb_close", "usb_get_string", "usb_get_string_simple", "usb_get_descriptor_by_endpoint",
    "usb_get_descriptor", "usb_bulk_write", "usb_bulk_read", "usb_interrupt_write", "usb_interrupt_read",
    "usb_control_msg", "usb_set_configuration", "usb_claim_interface", "usb_release_interface",
    "usb_set_altinterface", "usb_resetep", "usb_clear_halt", "usb_reset", "usb_get_driver_np",
    "usb_detach_kernel_driver_np", "usb_strerror", "usb_init", "usb_set_debug", "usb_find_busses",
    "usb_find_devices", "usb_device", "usb_get_busses",
};

struct SimUsb {
    void* lib = nullptr;
    void (*init)() = nullptr;
    int (*findBusses)() = nullptr;
    int (*findDevices)() = nullptr;
    usb_bus* (*getBusses)() = nullptr;
    usb_dev_handle* (*open)(struct usb_device*) = nullptr;
    int (*close)(usb_dev_handle*) = nullptr;
    int (*setConfiguration)(usb_dev_handle*, int) = nullptr;
    int (*claimInterface)(usb_dev_handle*, int) = nullptr;
    int (*bulkWrite)(usb_dev_handle*, int, const char*, int, int) = nullptr;
    int (*bulkRead)(usb_dev_handle*, int, char*, int, int) = nullptr;
    int (*controlMsg)(usb_dev_handle*, int, int, int, int, char*, int, int) = nullptr;

    int (*configure)(const char*, const char*) = nullptr;
    const char* (*lastError)() = nullptr;
    int (*initCalls)() = nullptr;
    int (*openCalls)() = nullptr;
    int (*openHandles)() = nullptr;
    void (*unplug)() = nullptr;
    void (*replug)() = nullptr;
    int (*materialTable)(unsigned char*, int) = nullptr;
    int (*screen)(unsigned char*, int) = nullptr;

    template <typename F>
    void bind(F& f, const char* name)
    {
        f = reinterpret_cast<F>(dlsym(lib, name));
        ASSERT_NE(f, nullptr) << name;
    }

    void load()
    {
        lib = dlopen(SimLibrary, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(lib, nullptr) << dlerror();
        bind(init, "usb_init");
        bind(findBusses, "usb_find_busses");
        bind(findDevices, "usb_find_devices");
        bind(getBusses, "usb_get_busses");
        bind(open, "usb_open");
        bind(close, "usb_close");
        bind(setConfiguration, "usb_set_configuration");
        bind(claimInterface, "usb_claim_interface");
        bind(bulkWrite, "usb_bulk_write");
        bind(bulkRead, "usb_bulk_read");
        bind(controlMsg, "usb_control_msg");
        bind(configure, "quilex_sim_configure");
        bind(lastError, "quilex_sim_last_error");
        bind(initCalls, "quilex_sim_usb_init_calls");
        bind(openCalls, "quilex_sim_usb_open_calls");
        bind(openHandles, "quilex_sim_open_handles");
        bind(unplug, "quilex_sim_unplug");
        bind(replug, "quilex_sim_replug");
        bind(materialTable, "quilex_sim_material_table");
        bind(screen, "quilex_sim_screen");
    }

    // The gauge on the bus, or null.
    struct usb_device* findGauge()
    {
        for (usb_bus* bus = getBusses(); bus; bus = bus->next)
            for (struct usb_device* dev = bus->devices; dev; dev = dev->next)
                if (dev->descriptor.idVendor == 0x03EB && dev->descriptor.idProduct == 0x0201)
                    return dev;
        return nullptr;
    }

    // What the program does to open the gauge.
    usb_dev_handle* openGauge()
    {
        init();
        findBusses();
        findDevices();
        struct usb_device* dev = findGauge();
        if (!dev)
            return nullptr;
        usb_dev_handle* h = open(dev);
        EXPECT_EQ(setConfiguration(h, 1), 0);
        EXPECT_EQ(claimInterface(h, 0), 0);
        return h;
    }

    int write(usb_dev_handle* h, const Bytes& b)
    {
        return bulkWrite(h, 0x01, reinterpret_cast<const char*>(b.data()), static_cast<int>(b.size()), 500);
    }

    // One bulk read of up to n bytes; the bytes read, or the error code alone.
    Bytes read(usb_dev_handle* h, int n, int* result = nullptr)
    {
        Bytes buf(static_cast<std::size_t>(n));
        const int r = bulkRead(h, 0x82, reinterpret_cast<char*>(buf.data()), n, 500);
        if (result)
            *result = r;
        buf.resize(r > 0 ? static_cast<std::size_t>(r) : 0);
        return buf;
    }
};

class SimUsbTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        usb.load();
        ASSERT_EQ(usb.configure("", ""), 0) << usb.lastError();
    }
    void TearDown() override
    {
        if (usb.configure)
            usb.configure(nullptr, nullptr);
    }
    SimUsb usb;
};

std::string tempPath(const char* name)
{
    return (testing::TempDir() + "/" + name + "-" + std::to_string(getpid()));
}

} // namespace

TEST(SimUsbLibrary, ExportsEveryUsbNameAndTheIncompleteOneLacksBulkRead)
{
    void* sim = dlopen(SimLibrary, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(sim, nullptr) << dlerror();
    for (const char* name : UsbNames)
        EXPECT_NE(dlsym(sim, name), nullptr) << name;
    EXPECT_NE(dlsym(sim, "usb_busses"), nullptr);
    // The model inside stays private.
    EXPECT_EQ(dlsym(sim, "_ZN6quilex5Crc16EPKhm"), nullptr);

    void* incomplete = dlopen(IncompleteLibrary, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(incomplete, nullptr) << dlerror();
    EXPECT_EQ(dlsym(incomplete, "usb_bulk_read"), nullptr);
    for (const char* name : UsbNames) {
        if (std::string(name) != "usb_bulk_read") {
            EXPECT_NE(dlsym(incomplete, name), nullptr) << name;
        }
    }
    dlclose(incomplete);
    dlclose(sim);
}

TEST_F(SimUsbTest, BusSearchReportsChangesAndListsOneGauge)
{
    usb.init();
    EXPECT_EQ(usb.getBusses(), nullptr); // nothing is known before the search
    EXPECT_EQ(usb.findBusses(), 1);
    EXPECT_EQ(usb.findDevices(), 1);
    EXPECT_EQ(usb.findBusses(), 0);
    EXPECT_EQ(usb.findDevices(), 0);
    usb_bus* bus = usb.getBusses();
    ASSERT_NE(bus, nullptr);
    EXPECT_EQ(bus->next, nullptr);
    struct usb_device* dev = bus->devices;
    ASSERT_NE(dev, nullptr);
    EXPECT_EQ(dev->next, nullptr);
    EXPECT_EQ(dev->bus, bus);
    EXPECT_EQ(dev->descriptor.idVendor, 0x03EB);
    EXPECT_EQ(dev->descriptor.idProduct, 0x0201);
    EXPECT_EQ(dev->descriptor.bNumConfigurations, 1);
    ASSERT_NE(dev->config, nullptr);
    EXPECT_EQ(dev->config->interface->altsetting->endpoint[1].bEndpointAddress, 0x82);
    EXPECT_EQ(usb.initCalls(), 1);

    usb.unplug();
    EXPECT_EQ(usb.findDevices(), 1);
    EXPECT_EQ(bus->devices, nullptr);
    EXPECT_EQ(usb.findDevices(), 0);
    usb.replug();
    EXPECT_EQ(usb.findDevices(), 1);
    EXPECT_EQ(usb.findGauge(), dev);
}

TEST_F(SimUsbTest, ExchangeDeliversOneReplyPartPerRead)
{
    usb_dev_handle* h = usb.openGauge();
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(usb.openHandles(), 1);
    EXPECT_EQ(usb.openCalls(), 1);

    EXPECT_EQ(usb.write(h, {0x02, 0xFD}), 2);
    EXPECT_EQ(usb.read(h, 4), (Bytes{0x48, 0x29, 0x00, 0x00}));
    const Bytes block = usb.read(h, 10568);
    ASSERT_EQ(block.size(), 10568u);
    EXPECT_TRUE(quilex::checkBlock(block.data(), block.size()));

    // Nothing left: a time-out at once, not after the 500 ms.
    int r = 0;
    const auto before = std::chrono::steady_clock::now();
    EXPECT_TRUE(usb.read(h, 4, &r).empty());
    EXPECT_EQ(r, -110);
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(200));

    // A read never runs from the length into the block, and never past what was asked.
    EXPECT_EQ(usb.write(h, {0x04, 0xFB}), 2);
    EXPECT_EQ(usb.read(h, 468).size(), 4u);
    EXPECT_EQ(usb.read(h, 100).size(), 100u);
    EXPECT_EQ(usb.read(h, 1000).size(), 368u);

    // Wrong endpoints and handles are refused.
    EXPECT_EQ(usb.bulkWrite(h, 0x02, "\x01\xFE", 2, 500), -22);
    char buf[4];
    EXPECT_EQ(usb.bulkRead(h, 0x81, buf, 4, 500), -22);
    EXPECT_LT(usb.controlMsg(h, 0xC0, 0, 0, 0, buf, 4, 500), 0);

    EXPECT_EQ(usb.close(h), 0);
    EXPECT_EQ(usb.openHandles(), 0);
    EXPECT_EQ(usb.close(h), -22);
}

TEST_F(SimUsbTest, PutMaterialsIsKeptForTheNextRead)
{
    usb_dev_handle* h = usb.openGauge();
    ASSERT_NE(h, nullptr);
    Bytes table(468);
    for (std::size_t i = 0; i < table.size(); ++i)
        table[i] = static_cast<std::uint8_t>(255 - i % 251);
    EXPECT_EQ(usb.write(h, {0x05, 0xFA}), 2);
    EXPECT_EQ(usb.write(h, {0xD4, 0x01, 0x00, 0x00}), 4);
    for (std::size_t at = 0; at < table.size(); at += 64) {
        const std::size_t n = std::min<std::size_t>(64, table.size() - at);
        EXPECT_EQ(usb.write(h, Bytes(table.begin() + static_cast<std::ptrdiff_t>(at),
                                     table.begin() + static_cast<std::ptrdiff_t>(at + n))),
                  static_cast<int>(n));
    }
    unsigned char held[468];
    EXPECT_EQ(usb.materialTable(held, sizeof held), 468);
    EXPECT_EQ(Bytes(held, held + 468), table);
    EXPECT_EQ(usb.write(h, {0x04, 0xFB}), 2);
    EXPECT_EQ(usb.read(h, 4), (Bytes{0xD4, 0x01, 0x00, 0x00}));
    EXPECT_EQ(usb.read(h, 468), table);

    unsigned char screen[1024];
    EXPECT_EQ(usb.screen(screen, sizeof screen), 1024);
    EXPECT_EQ(usb.write(h, {0x08, 0xF7}), 2);
    EXPECT_EQ(usb.read(h, 4), (Bytes{0x00, 0x04, 0x00, 0x00}));
    EXPECT_EQ(usb.read(h, 1024), Bytes(screen, screen + 1024));
    usb.close(h);
}

TEST_F(SimUsbTest, FailEveryNthTransfer)
{
    ASSERT_EQ(usb.configure("fail_every=3", ""), 0);
    usb_dev_handle* h = usb.openGauge();
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(usb.write(h, {0x08, 0xF7}), 2);     // 1
    EXPECT_EQ(usb.read(h, 4).size(), 4u);         // 2
    int r = 0;
    usb.read(h, 1024, &r);                        // 3: fails, the block is lost
    EXPECT_EQ(r, -5);
    EXPECT_EQ(usb.write(h, {0x08, 0xF7}), 2);     // 4
    EXPECT_EQ(usb.read(h, 4).size(), 4u);         // 5
    EXPECT_EQ(usb.write(h, {0x08, 0xF7}), -5);    // 6: the command does not arrive
    EXPECT_EQ(usb.read(h, 1024).size(), 1024u);   // 7: the reply of transfer 4 is still there
    usb.close(h);
}

TEST_F(SimUsbTest, UnplugFailsTransfersAndLeavesTheBus)
{
    ASSERT_EQ(usb.configure("unplug_after=3", ""), 0);
    usb_dev_handle* h = usb.openGauge();
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(usb.write(h, {0x01, 0xFE}), 2);
    EXPECT_EQ(usb.read(h, 4).size(), 4u);
    EXPECT_EQ(usb.read(h, 100).size(), 18u);
    int r = 0;
    usb.read(h, 4, &r);
    EXPECT_EQ(r, -19);
    EXPECT_EQ(usb.write(h, {0x01, 0xFE}), -19);
    EXPECT_EQ(usb.findBusses(), 0);
    EXPECT_EQ(usb.findDevices(), 1);
    EXPECT_EQ(usb.findGauge(), nullptr);
    EXPECT_EQ(usb.openHandles(), 1); // the program still has to close its handle
    EXPECT_EQ(usb.close(h), 0);

    // Plugged in again: found anew; a handle from before stays dead.
    ASSERT_EQ(usb.configure("", ""), 0);
    usb_dev_handle* old = usb.openGauge();
    ASSERT_NE(old, nullptr);
    usb.unplug();
    usb.replug();
    EXPECT_EQ(usb.findDevices(), 2);
    usb_dev_handle* fresh = usb.open(usb.findGauge());
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(usb.write(old, {0x08, 0xF7}), -19);
    EXPECT_EQ(usb.write(fresh, {0x08, 0xF7}), 2);
    usb.close(old);

    // Replugged while on the bus: the same as pulling it out and putting it back.
    usb.replug();
    EXPECT_EQ(usb.findDevices(), 2);
    EXPECT_EQ(usb.write(fresh, {0x08, 0xF7}), -19);
    usb.close(fresh);
}

TEST_F(SimUsbTest, OtherProductIsNotTheGauge)
{
    ASSERT_EQ(usb.configure("product=0x0202", ""), 0);
    usb.init();
    usb.findBusses();
    usb.findDevices();
    EXPECT_EQ(usb.findGauge(), nullptr);
    ASSERT_NE(usb.getBusses()->devices, nullptr);
    EXPECT_EQ(usb.getBusses()->devices->descriptor.idProduct, 0x0202);
}

TEST_F(SimUsbTest, ShortReadsAndShortReplies)
{
    ASSERT_EQ(usb.configure("chunk=100", ""), 0);
    usb_dev_handle* h = usb.openGauge();
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(usb.write(h, {0x08, 0xF7}), 2);
    EXPECT_EQ(usb.read(h, 4).size(), 4u);
    EXPECT_EQ(usb.read(h, 1024).size(), 100u);
    EXPECT_EQ(usb.read(h, 1024).size(), 100u);
    usb.close(h);

    ASSERT_EQ(usb.configure("short=screen:10,empty", ""), 0);
    h = usb.openGauge();
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(usb.write(h, {0x08, 0xF7}), 2);
    EXPECT_EQ(usb.read(h, 4), (Bytes{0x00, 0x04, 0x00, 0x00}));
    EXPECT_EQ(usb.read(h, 1024).size(), 10u);
    int r = 0;
    usb.read(h, 1014, &r);
    EXPECT_EQ(r, -110);
    // An empty archive: the map has no bit set.
    EXPECT_EQ(usb.write(h, {0x02, 0xFD}), 2);
    usb.read(h, 4);
    const Bytes block = usb.read(h, 10568);
    ASSERT_EQ(block.size(), 10568u);
    EXPECT_EQ(std::count(block.begin(), block.begin() + 256, 0), 256);
    usb.close(h);
}

TEST_F(SimUsbTest, SilentGaugeLetsReadsTimeOut)
{
    ASSERT_EQ(usb.configure("silent_from=2,silent_ms=150", ""), 0);
    usb_dev_handle* h = usb.openGauge();
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(usb.write(h, {0x08, 0xF7}), 2);
    int r = 0;
    const auto before = std::chrono::steady_clock::now();
    usb.bulkRead(h, 0x82, nullptr, 0, 50); // 2: silence starts; a zero-length read may pass a null buffer
    Bytes got = usb.read(h, 4, &r);         // 3
    EXPECT_EQ(r, -110);
    EXPECT_GE(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(400));
    // 150 ms on, the gauge answers again.
    EXPECT_EQ(usb.write(h, {0x08, 0xF7}), 2);
    EXPECT_EQ(usb.read(h, 4), (Bytes{0x00, 0x04, 0x00, 0x00}));
    usb.close(h);
}

TEST_F(SimUsbTest, LatencyMakesEveryTransferTakeThatMuchLonger)
{
    ASSERT_EQ(usb.configure("latency=3", ""), 0) << usb.lastError();
    usb_dev_handle* h = usb.openGauge();
    ASSERT_NE(h, nullptr);
    for (int k = 0; k < 4; ++k) {
        const auto start = std::chrono::steady_clock::now();
        usb.write(h, {0x03, 0xFC, 0x00, 0x00});
        usb.read(h, 4);
        usb.read(h, 20);
        // Three transfers, none of them shorter than its 3 ms.
        EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(9));
    }
    usb.close(h);
}

TEST_F(SimUsbTest, TranscriptHasEveryTransfer)
{
    const std::string path = tempPath("usb-transcript");
    ASSERT_EQ(usb.configure(("transcript=" + path).c_str(), ""), 0) << usb.lastError();
    usb_dev_handle* h = usb.openGauge();
    ASSERT_NE(h, nullptr);
    usb.write(h, {0x03, 0xFC, 0x05, 0x00});
    usb.read(h, 4);
    usb.read(h, 20);
    usb.read(h, 4); // nothing left: a note, not a transfer
    usb.close(h);

    std::ifstream in(path);
    std::vector<std::string> transfers;
    std::string line;
    unsigned long long last = 0;
    int notes = 0;
    while (std::getline(in, line)) {
        if (line.rfind("# ", 0) == 0) {
            ++notes;
            continue;
        }
        std::istringstream fields(line);
        unsigned long long us = 0;
        std::string dir;
        fields >> us >> dir;
        EXPECT_GE(us, last);
        last = us;
        std::string rest;
        std::getline(fields, rest);
        transfers.push_back(dir + rest);
    }
    ASSERT_EQ(transfers.size(), 3u);
    EXPECT_EQ(transfers[0], "W 03 FC 05 00");
    EXPECT_EQ(transfers[1], "R 14 00 00 00");
    EXPECT_EQ(transfers[2].size(), 1u + 20u * 3u);
    EXPECT_EQ(transfers[2].substr(transfers[2].size() - 12, 6), " AA AA");
    EXPECT_GE(notes, 2); // the start and the time-out
    std::remove(path.c_str());
}

TEST_F(SimUsbTest, BadConfigurationEmptiesTheBusAndSaysWhy)
{
    EXPECT_EQ(usb.configure("latency=fast", ""), -1);
    EXPECT_NE(std::string(usb.lastError()).find("latency=fast"), std::string::npos);
    EXPECT_EQ(usb.findBusses(), 0);
    EXPECT_EQ(usb.getBusses(), nullptr);

    EXPECT_EQ(usb.configure("", "/nonexistent/gauge.txt"), -1);
    EXPECT_NE(std::string(usb.lastError()).find("/nonexistent/gauge.txt"), std::string::npos);

    // With no override, usb_init reads the environment.
    setenv("QUILEX_SIM", "product=0x0203", 1);
    EXPECT_EQ(usb.configure(nullptr, ""), 0);
    usb.init();
    usb.findBusses();
    usb.findDevices();
    EXPECT_EQ(usb.getBusses()->devices->descriptor.idProduct, 0x0203);
    unsetenv("QUILEX_SIM");
}
