// The libusb link against the simulated gauge's library, a library that lacks a name, and
// Debian's own libusb 0.1.

#include "link/libusb_link.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include <dlfcn.h>

using namespace quilex;

namespace {

// The simulated gauge's own counters, looked up in the same loaded copy the link uses.
struct SimControl {
    SimControl()
    {
        handle = ::dlopen(test::simUsbLibrary().c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle)
            return;
        initCalls = reinterpret_cast<int (*)()>(::dlsym(handle, "quilex_sim_usb_init_calls"));
        openCalls = reinterpret_cast<int (*)()>(::dlsym(handle, "quilex_sim_usb_open_calls"));
        openHandles = reinterpret_cast<int (*)()>(::dlsym(handle, "quilex_sim_open_handles"));
        unplug = reinterpret_cast<void (*)()>(::dlsym(handle, "quilex_sim_unplug"));
        replug = reinterpret_cast<void (*)()>(::dlsym(handle, "quilex_sim_replug"));
    }
    bool ok() const { return handle && initCalls && openCalls && openHandles && unplug && replug; }
    void* handle = nullptr;
    int (*initCalls)() = nullptr;
    int (*openCalls)() = nullptr;
    int (*openHandles)() = nullptr;
    void (*unplug)() = nullptr;
    void (*replug)() = nullptr;
};

class LibUsbLinkTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ::unsetenv("QUILEX_SIM");
        ::unsetenv("QUILEX_SIM_IMAGE");
        ASSERT_TRUE(sim.ok()) << ::dlerror();
    }
    void TearDown() override { ::unsetenv("QUILEX_SIM"); }
    SimControl sim;
};

} // namespace

TEST(LibUsbLoad, MissingOrIncompleteLibrary)
{
    LibUsbLink missing("/nonexistent/libusb-nothing.so");
    EXPECT_EQ(missing.Load(), 1);
    EXPECT_FALSE(missing.isLoaded());
    EXPECT_FALSE(missing.loadError().empty());
    EXPECT_EQ(missing.OpenDevice(), 1);

    LibUsbLink incomplete(test::incompleteUsbLibrary());
    EXPECT_EQ(incomplete.Load(), 2);
    EXPECT_FALSE(incomplete.isLoaded());
    EXPECT_NE(incomplete.loadError().find("usb_bulk_read"), std::string::npos);
    EXPECT_EQ(incomplete.Load(), 2); // tried again, still refused
}

TEST_F(LibUsbLinkTest, SecondLoadDoesNotInitialiseAgain)
{
    LibUsbLink link(test::simUsbLibrary());
    const int before = sim.initCalls();
    EXPECT_EQ(link.Load(), 0);
    EXPECT_EQ(sim.initCalls(), before + 1);
    EXPECT_EQ(link.Load(), 0);
    EXPECT_EQ(sim.initCalls(), before + 1);
}

TEST_F(LibUsbLinkTest, UnchangedBusKeepsTheHandleAndAChangedBusReplacesIt)
{
    LibUsbLink link(test::simUsbLibrary());
    ASSERT_EQ(link.Load(), 0);
    const int opensBefore = sim.openCalls();
    ASSERT_EQ(link.OpenDevice(), 0);
    EXPECT_TRUE(link.hasDevice());
    EXPECT_EQ(sim.openCalls(), opensBefore + 1);

    EXPECT_EQ(link.OpenDevice(), 0); // nothing changed on the bus
    EXPECT_EQ(sim.openCalls(), opensBefore + 1);

    sim.unplug(); // pulled out and plugged in again: a new device on the bus
    sim.replug();
    EXPECT_EQ(link.OpenDevice(), 0);
    EXPECT_EQ(sim.openCalls(), opensBefore + 2);
    EXPECT_EQ(sim.openHandles(), 1); // the replaced handle was closed, not dropped

    link.CloseDevice();
    EXPECT_FALSE(link.hasDevice());
    EXPECT_EQ(sim.openHandles(), 0);
}

TEST_F(LibUsbLinkTest, BulkTransfersReachTheGauge)
{
    LibUsbLink link(test::simUsbLibrary());
    ASSERT_EQ(link.Load(), 0);
    ASSERT_EQ(link.OpenDevice(), 0);
    const auto command = test::bytes({0x08, 0xF7});
    EXPECT_EQ(link.BulkWrite(command.data(), 2), 2);
    std::uint8_t length[4] = {};
    EXPECT_EQ(link.BulkRead(length, 4), 4);
    EXPECT_EQ(test::bytes({length[0], length[1], length[2], length[3]}), test::bytes({0x00, 0x04, 0x00, 0x00}));
    link.CloseDevice();
    EXPECT_LT(link.BulkWrite(command.data(), 2), 0); // no device: a failed transfer
}

TEST_F(LibUsbLinkTest, GaugeWithAnotherProductIdIsNotFound)
{
    ::setenv("QUILEX_SIM", "product=0x0202", 1);
    LibUsbLink link(test::simUsbLibrary());
    ASSERT_EQ(link.Load(), 0); // the simulated gauge reads its settings when initialised
    EXPECT_EQ(link.OpenDevice(), 1);
    EXPECT_FALSE(link.hasDevice());
}

TEST(LibUsbDebian, RealLibraryLoadsAndFindsNoGauge)
{
    LibUsbLink link(DefaultLibUsbName);
    ASSERT_EQ(link.Load(), 0) << link.loadError();
    EXPECT_EQ(link.OpenDevice(), 1); // no gauge is plugged into a build machine
    EXPECT_FALSE(link.hasDevice());
}
