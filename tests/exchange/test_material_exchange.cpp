// Reading and writing the gauge's material table end to end, and the screen picture.

#include "table/archive_columns.h"
#include "exchange/bmtread_usb.h"
#include "link/byte_order.h"
#include "link/crc16.h"
#include "support/sim_gauge.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <numeric>
#include <thread>

using namespace quilex;
using namespace quilex::test;

namespace {

StringGrid materialGrid()
{
    StringGrid grid(3, 14, 1, 1);
    for (int col = 0; col < 3; ++col)
        grid.setCell(col, 0, archiveHeaderTexts(0)[col]);
    return grid;
}

class MaterialExchange : public ::testing::TestWithParam<Transport> {
protected:
    RecordingPacing pacing;
};

} // namespace

TEST_P(MaterialExchange, ReadFillsTheGridAndTheNames)
{
    SimGauge gauge(GetParam());
    auto state = gauge.makeState(pacing);
    StringGrid grid = materialGrid();
    state->ArchiveRequested = false;
    state->ReadMaterialsFirst = false;
    Recorder recorder(*state);
    EXPECT_EQ(runExchange(*state, recorder, Mode::ReadMaterials, &grid, false), ExchangeOutcome::Completed);
    EXPECT_EQ(recorder.modes(), (std::vector<int>{4, 6, 10}));
    EXPECT_EQ(recorder.progresses(), (std::vector<int>{0, 40, 60, 80, 100}));
    EXPECT_EQ(recorder.dialogCloses, 0);
    EXPECT_TRUE(recorder.errors.empty());
    ASSERT_EQ(grid.rowCount(), 14);
    for (int row = 1; row <= 13; ++row) {
        EXPECT_EQ(grid.cell(0, row), QString::number(row));
        EXPECT_EQ(grid.cell(1, row), state->MaterialNames[2 * (row - 1)]);
        bool number = false;
        EXPECT_GT(grid.cell(2, row).toInt(&number), 0);
        EXPECT_TRUE(number);
    }
    if (GetParam() == Transport::Pipes) {
        EXPECT_EQ(pacing.pausesMs(), (std::vector<int>{50, 50, 50}));
    }
}

// The steps that run at a low priority (the connection, the materials, the picture) still get
// their turn while other programs keep every core busy: a gauge that answers must not look
// silent on a loaded machine.
TEST_P(MaterialExchange, AReadAtLowPriorityStillGetsItsTurnOnABusyMachine)
{
    SimGauge gauge(GetParam());
    auto state = gauge.makeState(pacing);
    state->ArchiveRequested = false;
    state->ReadMaterialsFirst = false;
    const auto timedRead = [&] {
        Recorder recorder(*state);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(runExchange(*state, recorder, Mode::ReadMaterials, nullptr, false, 30000), ExchangeOutcome::Completed);
        return std::chrono::steady_clock::now() - start;
    };
    const auto quiet = timedRead();

    std::atomic<bool> stop{false};
    std::vector<std::thread> busy;
    for (unsigned i = 0; i < 3 * std::max(2u, std::thread::hardware_concurrency()); ++i)
        busy.emplace_back([&stop] {
            while (!stop.load(std::memory_order_relaxed)) {
            }
        });
    auto loaded = quiet - quiet;
    for (int read = 0; read < 3; ++read)
        loaded += timedRead();
    stop = true;
    for (std::thread& thread : busy)
        thread.join();
    // Its share of the processors, not what is left when nobody else wants them (seconds).
    EXPECT_LT(loaded, 3 * (5 * quiet + std::chrono::milliseconds(300)));
}

// The thread hands over typed data and touches no grid: with none at all, a material read
// still delivers the 13 materials and an archive read its checked records, and a write asked
// for materials that nobody shows is refused before anything is sent.
TEST_P(MaterialExchange, ExchangesDeliverTypedDataWithNoGridAtAll)
{
    SimGauge gauge(GetParam());
    auto state = gauge.makeState(pacing);
    state->ArchiveRequested = false;
    state->ReadMaterialsFirst = false;
    Recorder materials(*state);
    ASSERT_EQ(runExchange(*state, materials, Mode::ReadMaterials, nullptr, false), ExchangeOutcome::Completed);
    ASSERT_TRUE(materials.materials.has_value());
    EXPECT_EQ(*materials.materials, decodeMaterials(state->MaterialTable));
    for (std::size_t k = 0; k < MaterialCount; ++k) {
        EXPECT_EQ((*materials.materials)[k].russian, state->MaterialNames[2 * k]);
        EXPECT_GT((*materials.materials)[k].soundSpeed, 0);
    }
    EXPECT_FALSE(materials.download.has_value());

    state->ArchiveRequested = true;
    Recorder archive(*state);
    ASSERT_EQ(runExchange(*state, archive, Mode::Connect, nullptr, false), ExchangeOutcome::Completed);
    ASSERT_TRUE(archive.download.has_value());
    EXPECT_EQ(int(archive.download->records.size()), state->ArchiveRecordCount.load());
    EXPECT_EQ(archive.download->names, state->MaterialNames);
    ASSERT_FALSE(archive.download->records.empty());
    EXPECT_GT(archive.download->records.front().Thickness, 0.0f);

    const auto writesBefore = writesIn(gauge.transcript()).size();
    Recorder writing(*state);
    EXPECT_EQ(runExchange(*state, writing, Mode::WriteMaterials, nullptr, false), ExchangeOutcome::Refused);
    EXPECT_EQ(writing.errors.size(), 1u);
    EXPECT_EQ(writesIn(gauge.transcript()).size(), writesBefore);
}

TEST_P(MaterialExchange, AllMarkersWrongGiveThirteenMessagesAndStillTheNames)
{
    std::string faults;
    for (int k = 1; k <= 13; ++k)
        faults += (k > 1 ? "," : "") + std::string("bad_marker=material:") + std::to_string(k);
    SimGauge gauge(GetParam(), faults);
    auto state = gauge.makeState(pacing);
    StringGrid grid = materialGrid();
    Recorder recorder(*state);
    EXPECT_EQ(runExchange(*state, recorder, Mode::ReadMaterials, &grid, false), ExchangeOutcome::Completed);
    EXPECT_EQ(recorder.errors.size(), 13u);
    EXPECT_FALSE(grid.cell(1, 13).isEmpty());
}

TEST_P(MaterialExchange, WriteSendsTheTableInChunksWithItsPauses)
{
    SimGauge gauge(GetParam());
    auto state = gauge.makeState(pacing);
    StringGrid grid = materialGrid();
    Recorder reading(*state);
    ASSERT_EQ(runExchange(*state, reading, Mode::ReadMaterials, &grid, false), ExchangeOutcome::Completed);
    const auto prefixBefore = std::vector<std::uint8_t>(state->MaterialTable.begin(), state->MaterialTable.begin() + 2);

    grid.setCell(1, 6, QStringLiteral("сталь 45"));
    grid.setCell(2, 6, QStringLiteral("5900"));
    pacing.clear();
    const auto writesBefore = writesIn(gauge.transcript()).size();
    Recorder writing(*state);
    EXPECT_EQ(runExchange(*state, writing, Mode::WriteMaterials, &grid, false), ExchangeOutcome::Completed);

    // The pipe face writes its transcript as it reads the pipe, a moment after we sent, and may
    // read two pieces sent back to back in one go: compare the bytes, and on libusb, where each
    // bulk write is one transfer, the pieces too.
    std::vector<std::uint8_t> wire;
    std::vector<std::size_t> pieces;
    for (int i = 0; i < 200; ++i) {
        const auto writes = writesIn(gauge.transcript());
        wire.clear();
        pieces.clear();
        for (std::size_t k = writesBefore; k < writes.size(); ++k) {
            wire.insert(wire.end(), writes[k].begin(), writes[k].end());
            pieces.push_back(writes[k].size());
        }
        if (wire.size() >= 6 + 468)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_EQ(wire.size(), 6u + 468u);
    EXPECT_EQ(std::vector<std::uint8_t>(wire.begin(), wire.begin() + 6), test::bytes({0x05, 0xFA, 0xD4, 0x01, 0x00, 0x00}));
    if (GetParam() == Transport::Usb) {
        EXPECT_EQ(pieces, (std::vector<std::size_t>{2, 4, 64, 64, 64, 64, 64, 64, 64, 20}));
    }
    const std::vector<std::uint8_t> sent(wire.begin() + 6, wire.end());

    // Record 5 carries the new name and speed, a fresh CRC and its old prefix and marker.
    const std::uint8_t* record = sent.data() + 5 * 36;
    const std::uint8_t name[] = {0x08, 0xF1, 0xF2, 0xE0, 0xEB, 0xFC, 0x20, 0x34, 0x35, 0x00}; // "сталь 45"
    EXPECT_TRUE(std::equal(std::begin(name), std::end(name), record + 2));
    EXPECT_EQ(readI32le(record + 28), 5900);
    EXPECT_EQ(readU16le(record + 32), 0xAAAA);
    EXPECT_EQ(Crc16(record, 36), 0u);
    EXPECT_EQ(std::vector<std::uint8_t>(sent.begin(), sent.begin() + 2), prefixBefore);

    std::vector<int> expected = GetParam() == Transport::Usb ? std::vector<int>{300, 300, 300} : std::vector<int>{300};
    expected.insert(expected.end(), 8, 15);
    EXPECT_EQ(pacing.pausesMs(), expected);

    std::vector<int> progress = writing.progresses();
    EXPECT_EQ(std::vector<int>(progress.end() - 8, progress.end()), (std::vector<int>{28, 31, 35, 38, 42, 45, 48, 50}));
    EXPECT_EQ(writing.gaugeVisible, std::optional<bool>(false));
    EXPECT_EQ(writing.labels.back(), "Готово");

    // The gauge keeps it: the next read returns the new name.
    Recorder again(*state);
    StringGrid check = materialGrid();
    ASSERT_EQ(runExchange(*state, again, Mode::ReadMaterials, &check, false), ExchangeOutcome::Completed);
    EXPECT_EQ(check.cell(1, 6), "сталь 45");
    EXPECT_EQ(check.cell(2, 6), "5900");
}

TEST_P(MaterialExchange, SpeedThatIsNotANumberStopsTheWriteBeforeAnythingIsSent)
{
    SimGauge gauge(GetParam());
    auto state = gauge.makeState(pacing);
    StringGrid grid = materialGrid();
    Recorder reading(*state);
    ASSERT_EQ(runExchange(*state, reading, Mode::ReadMaterials, &grid, false), ExchangeOutcome::Completed);
    const auto tableBefore = state->MaterialTable;
    grid.setCell(2, 7, QStringLiteral("12.5"));
    const auto writesBefore = writesIn(gauge.transcript()).size();
    Recorder writing(*state);
    EXPECT_EQ(runExchange(*state, writing, Mode::WriteMaterials, &grid, false), ExchangeOutcome::Refused);
    EXPECT_EQ(writesIn(gauge.transcript()).size(), writesBefore);
    ASSERT_EQ(writing.errors.size(), 1u);
    EXPECT_TRUE(writing.errors[0].contains(QStringLiteral("7")));
    EXPECT_EQ(state->MaterialTable, tableBefore);
    EXPECT_FALSE(state->DriverPipeLink.isOpen());
    EXPECT_FALSE(state->LibUSB.hasDevice());
}

TEST_P(MaterialExchange, ScreenPicture)
{
    SimGauge gauge(GetParam());
    auto state = gauge.makeState(pacing);
    Recorder recorder(*state);
    EXPECT_EQ(runExchange(*state, recorder, Mode::ReadScreen, nullptr, false), ExchangeOutcome::Completed);
    EXPECT_EQ(state->ExchangeMode.load(), Mode::ScreenDone);
    const std::vector<int> expected =
        GetParam() == Transport::Pipes ? std::vector<int>{0, 40, 60, 80, 100} : std::vector<int>{0, 40, 80, 100};
    EXPECT_EQ(recorder.progresses(), expected);
    EXPECT_GT(std::accumulate(state->ScreenImage.begin(), state->ScreenImage.end(), 0), 0); // something is lit
    EXPECT_FALSE(state->DriverPipeLink.isOpen());
    EXPECT_FALSE(state->LibUSB.hasDevice());
}

TEST_P(MaterialExchange, ScreenRepliesLongerOrShorterThanThePicture)
{
    {
        SimGauge gauge(GetParam(), "length=screen:2000");
        auto state = gauge.makeState(pacing);
        Recorder recorder(*state);
        EXPECT_EQ(runExchange(*state, recorder, Mode::ReadScreen, nullptr, false), ExchangeOutcome::Completed);
        EXPECT_GT(std::accumulate(state->ScreenImage.begin(), state->ScreenImage.end(), 0), 0);
    }
    {
        SimGauge gauge(GetParam(), "length=screen:512");
        auto state = gauge.makeState(pacing);
        state->ScreenImage.fill(0x5A);
        Recorder recorder(*state);
        EXPECT_EQ(runExchange(*state, recorder, Mode::ReadScreen, nullptr, false), ExchangeOutcome::Completed);
        // The lower four bands keep what they held.
        EXPECT_TRUE(std::all_of(state->ScreenImage.begin() + 512, state->ScreenImage.end(),
                                [](std::uint8_t b) { return b == 0x5A; }));
    }
}

INSTANTIATE_TEST_SUITE_P(Transports, MaterialExchange, ::testing::Values(Transport::Pipes, Transport::Usb),
                         [](const auto& info) { return transportName(info.param); });
