// The driver pipe link over real FIFOs, with this test playing the gauge.

#include "link/driver_pipe_link.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include <fcntl.h>
#include <unistd.h>

using namespace quilex;
using quilex::test::TempDir;

namespace {

// The gauge's ends of one device's FIFOs, held open read-write so neither side blocks.
struct FakeGauge {
    explicit FakeGauge(const std::string& dir)
    {
        fromProgram = ::open((dir + "/Pipe00").c_str(), O_RDWR);
        toProgram = ::open((dir + "/Pipe01").c_str(), O_RDWR);
    }
    ~FakeGauge()
    {
        ::close(fromProgram);
        ::close(toProgram);
    }
    void send(const std::vector<std::uint8_t>& b) const { ASSERT_EQ(::write(toProgram, b.data(), b.size()), ssize_t(b.size())); }
    std::vector<std::uint8_t> receive(std::size_t n) const
    {
        std::vector<std::uint8_t> b(n);
        std::size_t got = 0;
        while (got < n) {
            const ssize_t r = ::read(fromProgram, b.data() + got, n - got);
            if (r <= 0)
                break;
            got += std::size_t(r);
        }
        b.resize(got);
        return b;
    }
    int fromProgram = -1;
    int toProgram = -1;
};

} // namespace

TEST(DriverPipeLink, EnumerateListsDeviceFoldersInNameOrder)
{
    TempDir root;
    test::makeFifoDevice(root.path(), "gauge-b");
    test::makeFifoDevice(root.path(), "gauge-a");
    std::filesystem::create_directories(root.file("not-a-gauge")); // no pipes inside
    DriverPipeLink link(root.path());
    std::string list;
    EXPECT_EQ(link.Enumerate(list), 2);
    EXPECT_EQ(list, root.file("gauge-a") + "\n" + root.file("gauge-b") + "\n");

    DriverPipeLink nowhere(root.file("missing"));
    std::string none;
    EXPECT_EQ(nowhere.Enumerate(none), 0);
    EXPECT_TRUE(none.empty());
}

TEST(DriverPipeLink, OpenWithoutAGaugeFailsAtOnce)
{
    TempDir root;
    const auto dir = test::makeFifoDevice(root.path(), "gauge");
    DriverPipeLink link(root.path());
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(link.Open(dir), ENXIO); // nobody reads Pipe00
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(500));
    EXPECT_FALSE(link.isOpen());
    EXPECT_EQ(link.Open(root.file("missing")), ENOENT);
}

TEST(DriverPipeLink, ExchangesBytesAndKeepsAnOpenLink)
{
    TempDir root;
    const auto dir = test::makeFifoDevice(root.path(), "gauge");
    FakeGauge gauge(dir);
    DriverPipeLink link(root.path(), 200);
    ASSERT_EQ(link.Open(dir), PipeOk);
    EXPECT_EQ(link.Open(root.file("elsewhere")), PipeOk); // already open: nothing reopened
    EXPECT_TRUE(link.isOpen());

    const auto command = test::bytes({0x01, 0xFE});
    ASSERT_EQ(link.Write(command.data(), 2), PipeOk);
    EXPECT_EQ(gauge.receive(2), command);

    // Four bytes that arrive as one and then three.
    std::thread sender([&] {
        gauge.send({0x04});
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        gauge.send({0x01, 0x00, 0x00});
    });
    std::uint8_t length[4] = {};
    EXPECT_EQ(link.ReadExact(length, 4), PipeOk);
    sender.join();
    EXPECT_EQ(length[0], 0x04);
    EXPECT_EQ(length[1], 0x01);

    EXPECT_EQ(link.Close(), PipeOk);
    EXPECT_EQ(link.Close(), PipeOk); // twice changes nothing
    EXPECT_FALSE(link.isOpen());
}

TEST(DriverPipeLink, BadArgumentsAndClosedLink)
{
    TempDir root;
    const auto dir = test::makeFifoDevice(root.path(), "gauge");
    FakeGauge gauge(dir);
    DriverPipeLink link(root.path(), 100);
    std::uint8_t buf[4] = {};
    EXPECT_EQ(link.ReadExact(buf, 4), PipeNotOpen);
    EXPECT_EQ(link.Write(buf, 4), PipeNotOpen);
    ASSERT_EQ(link.Open(dir), PipeOk);

    // A count of 0 fails before the pipe is touched: the byte waiting stays there.
    gauge.send({0x5A});
    EXPECT_EQ(link.ReadExact(buf, 0), PipeBadArgument);
    EXPECT_EQ(link.Write(buf, 0), PipeBadArgument);
    ASSERT_EQ(link.ReadExact(buf, 1), PipeOk);
    EXPECT_EQ(buf[0], 0x5A);
}

TEST(DriverPipeLink, SilentOrVanishedGaugeEndsTheRead)
{
    TempDir root;
    const auto dir = test::makeFifoDevice(root.path(), "gauge");
    DriverPipeLink link(root.path(), 150);
    std::uint8_t buf[8] = {};
    {
        FakeGauge gauge(dir);
        ASSERT_EQ(link.Open(dir), PipeOk);
        gauge.send({0x01, 0x02});
        const auto started = std::chrono::steady_clock::now();
        EXPECT_EQ(link.ReadExact(buf, 8), PipeIoError); // two bytes, then silence
        const auto waited = std::chrono::steady_clock::now() - started;
        EXPECT_GE(waited, std::chrono::milliseconds(140));
        EXPECT_LT(waited, std::chrono::seconds(2));
    }
    // The gauge has closed its ends: the read ends at once, writing fails without SIGPIPE.
    EXPECT_EQ(link.ReadExact(buf, 1), PipeIoError);
    EXPECT_EQ(link.Write(buf, 2), PipeIoError);
}

TEST(DriverPipeLink, AbortFlagEndsAWaitingRead)
{
    TempDir root;
    const auto dir = test::makeFifoDevice(root.path(), "gauge");
    FakeGauge gauge(dir);
    DriverPipeLink link(root.path(), 5000);
    std::atomic<bool> abort{false};
    link.setAbortFlag(&abort);
    ASSERT_EQ(link.Open(dir), PipeOk);
    std::thread canceller([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        abort = true;
    });
    std::uint8_t buf[4] = {};
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(link.ReadExact(buf, 4), PipeIoError);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(1000));
    canceller.join();

    abort = false; // once the flag is down again the link reads as before
    gauge.send({1, 2, 3, 4});
    EXPECT_EQ(link.ReadExact(buf, 4), PipeOk);
}
