// Choosing the transport: every outcome of opening a link, with pauses recorded instead of
// slept.

#include "link/link_selection.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include <fcntl.h>
#include <unistd.h>

using namespace quilex;
using quilex::test::RecordingPacing;
using quilex::test::TempDir;

namespace {

// Holds a device's Pipe00 open for reading, as a running gauge does, so the program's open
// succeeds.
struct ListeningGauge {
    explicit ListeningGauge(const std::string& dir)
        : fromProgram(::open((dir + "/Pipe00").c_str(), O_RDWR)), toProgram(::open((dir + "/Pipe01").c_str(), O_RDWR))
    {
    }
    ~ListeningGauge()
    {
        ::close(fromProgram);
        ::close(toProgram);
    }
    int fromProgram;
    int toProgram;
};

class OpenLinkTest : public ::testing::Test {
protected:
    void SetUp() override { ::unsetenv("QUILEX_SIM"); }
    void TearDown() override { ::unsetenv("QUILEX_SIM"); }
    TempDir root;
    RecordingPacing pacing;
};

} // namespace

TEST(LastDevicePath, TakesTheTextBetweenTheLastTwoLineFeeds)
{
    EXPECT_EQ(lastDevicePath("/a\n"), "/a");
    EXPECT_EQ(lastDevicePath("/a\n/b\n"), "/b");
    EXPECT_EQ(lastDevicePath(""), "");
}

TEST_F(OpenLinkTest, DriverDeviceWithOpenPipes)
{
    const auto dir = test::makeFifoDevice(root.path(), "gauge");
    ListeningGauge gauge(dir);
    DriverPipeLink pipes(root.path());
    LibUsbLink usb("/nonexistent/libusb.so");
    const auto opened = OpenLink(pipes, usb, pacing);
    EXPECT_EQ(opened.kind, LinkKind::DriverPipes);
    EXPECT_EQ(opened.status, LinkStatus::Ok);
    EXPECT_TRUE(pacing.pausesMs().empty());

    // Already open: the same link at once, even with the gauge's folder gone.
    const auto again = OpenLink(pipes, usb, pacing);
    EXPECT_EQ(again.kind, LinkKind::DriverPipes);
    EXPECT_TRUE(pacing.pausesMs().empty());
}

TEST_F(OpenLinkTest, TwoDriverDevicesOpenTheLastListed)
{
    const auto first = test::makeFifoDevice(root.path(), "gauge-1");
    const auto second = test::makeFifoDevice(root.path(), "gauge-2");
    ListeningGauge onlySecondListens(second); // the first has nobody behind it
    DriverPipeLink pipes(root.path());
    LibUsbLink usb("/nonexistent/libusb.so");
    EXPECT_EQ(OpenLink(pipes, usb, pacing).kind, LinkKind::DriverPipes);
}

TEST_F(OpenLinkTest, NoDriverDeviceAndNoLibrary)
{
    DriverPipeLink pipes(root.path());
    LibUsbLink usb("/nonexistent/libusb.so");
    const auto opened = OpenLink(pipes, usb, pacing);
    EXPECT_EQ(opened.kind, LinkKind::None);
    EXPECT_EQ(opened.status, LinkStatus::NoLibrary);
    EXPECT_TRUE(pacing.pausesMs().empty());
}

TEST_F(OpenLinkTest, DriverPipesFailAndNoLibrary)
{
    test::makeFifoDevice(root.path(), "gauge"); // no gauge holds the pipes
    DriverPipeLink pipes(root.path());
    LibUsbLink usb(test::incompleteUsbLibrary());
    const auto opened = OpenLink(pipes, usb, pacing);
    EXPECT_EQ(opened.kind, LinkKind::None);
    EXPECT_EQ(opened.status, LinkStatus::NoLibrary);
    EXPECT_TRUE(pacing.pausesMs().empty());
}

TEST_F(OpenLinkTest, LibraryButNoGauge)
{
    ::setenv("QUILEX_SIM", "product=0x0202", 1);
    DriverPipeLink pipes(root.path());
    LibUsbLink usb(test::simUsbLibrary());
    const auto opened = OpenLink(pipes, usb, pacing);
    EXPECT_EQ(opened.kind, LinkKind::None);
    EXPECT_EQ(opened.status, LinkStatus::NoDevice);
    EXPECT_EQ(pacing.pausesMs(), std::vector<int>{300});
}

TEST_F(OpenLinkTest, LibUsbGaugeFound)
{
    DriverPipeLink pipes(root.path());
    LibUsbLink usb(test::simUsbLibrary());
    const auto opened = OpenLink(pipes, usb, pacing);
    EXPECT_EQ(opened.kind, LinkKind::LibUsb);
    EXPECT_EQ(opened.status, LinkStatus::Ok);
    EXPECT_EQ(pacing.pausesMs(), (std::vector<int>{300, 300}));
    usb.CloseDevice();
}

TEST_F(OpenLinkTest, BrokenDriverPipesFallBackToLibUsb)
{
    test::makeFifoDevice(root.path(), "gauge"); // listed, but its pipes do not open
    DriverPipeLink pipes(root.path());
    LibUsbLink usb(test::simUsbLibrary());
    const auto opened = OpenLink(pipes, usb, pacing);
    EXPECT_EQ(opened.kind, LinkKind::LibUsb);
    EXPECT_EQ(opened.status, LinkStatus::Ok);
    EXPECT_FALSE(pipes.isOpen());
    usb.CloseDevice();
}
