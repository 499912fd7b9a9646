// The road of "Read archive" end to end: the exchange thread over the real links against the
// simulated gauge on each transport, pauses recorded instead of slept.

#include "table/archive_columns.h"
#include "exchange/bmtread_usb.h"
#include "exchange/exchange_texts.h"
#include "support/sim_gauge.h"

#include <gtest/gtest.h>

#include <sched.h>

using namespace quilex;
using namespace quilex::test;

namespace {

const QString CrcError = QStringLiteral("Ошибка: Ошибка контрольной суммы");

class ArchiveRead : public ::testing::TestWithParam<Transport> {
protected:
    // A table as the main window starts with it, holding one old row.
    static StringGrid oldTable()
    {
        StringGrid table;
        writeArchiveHeader(table, 0);
        table.setRowCount(2);
        table.setRow(1, {"1", "old", "5920", "1,00", "1", "1", "01.01.2013", "10:00:00"});
        return table;
    }
    void expectUnchanged(const StringGrid& table)
    {
        EXPECT_EQ(table.rowCount(), 2);
        EXPECT_EQ(table.cell(1, 1), "old");
    }
    RecordingPacing pacing;
};

int lastRecordProgressFor(int i, int n)
{
    return 10 + 90 * (i + 1) / n;
}

} // namespace

TEST_P(ArchiveRead, FirstReadTakesTheMaterialsFirstAndTheSecondDoesNot)
{
    SimGauge gauge(GetParam(), "records=3");
    auto state = gauge.makeState(pacing);
    StringGrid table;
    writeArchiveHeader(table, 0);

    // First read of the run: materials first.
    state->ReadMaterialsFirst = false;
    state->ArchiveRequested = true;
    Recorder first(*state);
    EXPECT_EQ(runExchange(*state, first, Mode::ReadMaterials, &table), ExchangeOutcome::Completed);
    EXPECT_EQ(first.modes(), (std::vector<int>{4, 6, 1, 2, 3, 10}));
    EXPECT_EQ(first.progresses(), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 40, 70, 100}));
    EXPECT_EQ(first.dialogCloses, 1);
    EXPECT_EQ(first.gaugeVisible, std::optional<bool>(false));
    EXPECT_EQ(first.labels.back(), "Готово");
    EXPECT_TRUE(first.errors.empty());
    EXPECT_FALSE(state->ArchiveRequested.load());

    ASSERT_EQ(table.rowCount(), 4);
    EXPECT_EQ(table.cell(0, 0), "№");
    for (int row = 1; row <= 3; ++row) {
        EXPECT_EQ(table.cell(0, row), QString::number(row));
        EXPECT_FALSE(table.cell(1, row).isEmpty());
        EXPECT_NE(table.cell(3, row), "NAN");
        EXPECT_NE(table.cell(6, row), "NAN");
    }

    if (GetParam() == Transport::Usb) {
        // Opening twice 300 ms; the version waits 80 ms, the parameters 50 ms.
        EXPECT_EQ(pacing.pausesMs(), (std::vector<int>{300, 300, 80, 50}));
    } else {
        // The driver transport paces only the material read: after each of its steps.
        EXPECT_EQ(pacing.pausesMs(), (std::vector<int>{50, 50, 50}));
    }

    // Second read: mode 0, from Progress 0.
    pacing.clear();
    state->ArchiveRequested = true;
    Recorder second(*state);
    EXPECT_EQ(runExchange(*state, second, Mode::Connect, &table), ExchangeOutcome::Completed);
    EXPECT_EQ(second.modes(), (std::vector<int>{0, 1, 2, 3, 10}));
    EXPECT_EQ(second.progresses().front(), 0);
    EXPECT_EQ(table.rowCount(), 4);

    const auto writes = writesIn(gauge.transcript());
    ASSERT_FALSE(writes.empty());
    EXPECT_EQ(writes.front(), test::bytes({0x04, 0xFB}));
    EXPECT_EQ(writes.back(), test::bytes({0x03, 0xFC, 0x02, 0x00}));
}

TEST_P(ArchiveRead, FullArchiveOf2048Records)
{
    SimGauge gauge(GetParam(), "records=2048");
    auto state = gauge.makeState(pacing);
    StringGrid table;
    state->ArchiveRequested = true;
    Recorder recorder(*state);
    EXPECT_EQ(runExchange(*state, recorder, Mode::Connect, &table, true, 60000), ExchangeOutcome::Completed);
    EXPECT_EQ(state->ArchiveRecordCount.load(), 2048);
    EXPECT_EQ(table.rowCount(), 2049);
    EXPECT_EQ(table.cell(0, 2048), "2048");
    EXPECT_EQ(recorder.shows.back().progress, 100);
    EXPECT_EQ(writesIn(gauge.transcript()).back(), test::bytes({0x03, 0xFC, 0xFF, 0x07}));
    EXPECT_TRUE(state->ArchiveRecords.empty()); // released once the table is written
}

TEST_P(ArchiveRead, EmptyArchiveLeavesTheHeaderAndOneEmptyRow)
{
    SimGauge gauge(GetParam(), "records=0");
    auto state = gauge.makeState(pacing);
    StringGrid table = oldTable();
    table.setRowCount(5);
    state->ArchiveRequested = true;
    Recorder recorder(*state);
    EXPECT_EQ(runExchange(*state, recorder, Mode::Connect, &table), ExchangeOutcome::Completed);
    EXPECT_EQ(table.rowCount(), 2);
    EXPECT_EQ(table.fixedRows(), 1);
    EXPECT_NE(std::find(recorder.labels.begin(), recorder.labels.end(), "Данных нет"), recorder.labels.end());
    const auto pauses = pacing.pausesMs();
    EXPECT_NE(std::find(pauses.begin(), pauses.end(), 300), pauses.end());
}

TEST_P(ArchiveRead, BadParameterBlockShowsOneMessageAndLeavesTheTable)
{
    for (const char* fault : {"bad_crc=params", "bad_marker=params"}) {
        SCOPED_TRACE(fault);
        SimGauge gauge(GetParam(), fault);
        auto state = gauge.makeState(pacing);
        StringGrid table = oldTable();
        state->ArchiveRequested = true;
        Recorder recorder(*state);
        EXPECT_EQ(runExchange(*state, recorder, Mode::Connect, &table), ExchangeOutcome::ChecksumFailed);
        EXPECT_EQ(recorder.errors, std::vector<QString>{CrcError});
        EXPECT_EQ(recorder.dialogCloses, 1);
        EXPECT_FALSE(state->CancelRequest.load()); // mode 10 acted on it
        expectUnchanged(table);
    }
}

TEST_P(ArchiveRead, CancelDuringTheRecordsEndsAfterTheCurrentOne)
{
    SimGauge gauge(GetParam(), "records=10");
    auto state = gauge.makeState(pacing);
    StringGrid table = oldTable();
    state->ArchiveRequested = true;
    Recorder recorder(*state);
    recorder.onShow = [&](const Recorder::Show& s) {
        if (s.mode == Mode::ReadRecords && s.progress == lastRecordProgressFor(3, 10))
            state->CancelRequest = true; // the user presses Cancel
    };
    EXPECT_EQ(runExchange(*state, recorder, Mode::Connect, &table), ExchangeOutcome::Cancelled);
    EXPECT_EQ(writesIn(gauge.transcript()).back(), test::bytes({0x03, 0xFC, 0x03, 0x00}));
    EXPECT_EQ(recorder.dialogCloses, 1);
    EXPECT_FALSE(state->CancelRequest.load());
    expectUnchanged(table);
}

TEST_P(ArchiveRead, CancelWithoutAGaugeEndsAtTheNextConnection)
{
    TempDir empty;
    ExchangeState state(pacing, empty.path(), "/nonexistent/libusb.so");
    StringGrid table = oldTable();
    state.ArchiveRequested = true;
    Recorder recorder(state);
    int passes = 0;
    recorder.onShow = [&](const Recorder::Show&) {
        if (++passes == 3)
            state.CancelRequest = true;
    };
    EXPECT_EQ(runExchange(state, recorder, Mode::Connect, &table), ExchangeOutcome::Cancelled);
    // No link: the version step finds none and the error tail waits a second each time.
    EXPECT_EQ(recorder.modes().front(), 0);
    EXPECT_EQ(recorder.modes().back(), 10);
    EXPECT_EQ(state.LinkStatus.load(), LinkStatus::NoLibrary);
    // No library and no driver device: the user is told to check the connection, not left with
    // the title alone.
    EXPECT_NE(std::find(recorder.labels.begin(), recorder.labels.end(), "Проверьте подключение"), recorder.labels.end());
    const auto pauses = pacing.pausesMs();
    EXPECT_NE(std::find(pauses.begin(), pauses.end(), 1000), pauses.end());
    EXPECT_EQ(recorder.dialogCloses, 1);
    expectUnchanged(table);
}

TEST_P(ArchiveRead, RecordsAreReadAtNormalPriorityAndShownOncePerPercent)
{
    SimGauge gauge(GetParam(), "records=500");
    auto state = gauge.makeState(pacing);
    StringGrid table;
    state->ArchiveRequested = true;
    Recorder recorder(*state);
    std::vector<int> policies;
    int recordShows = 0;
    recorder.onShow = [&](const Recorder::Show& s) {
        // The recorder shows on the exchange thread itself.
        if (s.mode == Mode::ReadRecords) {
            ++recordShows;
            policies.push_back(sched_getscheduler(0));
        }
    };
    // The materials first, as the window's first download does: that step runs idle.
    EXPECT_EQ(runExchange(*state, recorder, Mode::ReadMaterials, &table), ExchangeOutcome::Completed);
    EXPECT_EQ(table.rowCount(), 501);
    ASSERT_FALSE(policies.empty());
    for (int policy : policies)
        EXPECT_EQ(policy, SCHED_OTHER);
    // 500 records move the bar from 10 to 100: once per percent, and the mode's first showing.
    EXPECT_GE(recordShows, 90);
    EXPECT_LE(recordShows, 93);
    EXPECT_EQ(recorder.progresses().back(), 100);
}

// Faults that only the libusb transport has its own rules for.

TEST(ArchiveReadUsb, BadRecordEndsTheLoopWithOneMessage)
{
    RecordingPacing pacing;
    SimGauge gauge(Transport::Usb, "records=6,bad_crc=record:2");
    auto state = gauge.makeState(pacing);
    StringGrid table;
    writeArchiveHeader(table, 0);
    state->ArchiveRequested = true;
    Recorder recorder(*state);
    EXPECT_EQ(runExchange(*state, recorder, Mode::Connect, &table), ExchangeOutcome::ChecksumFailed);
    EXPECT_EQ(recorder.errors, std::vector<QString>{CrcError});
    EXPECT_EQ(writesIn(gauge.transcript()).back(), test::bytes({0x03, 0xFC, 0x02, 0x00}));
    EXPECT_TRUE(table.isEmptyTable());
}

// Transfers are counted from the program's first write of a bare archive read: the version
// and the parameters take three each, so transfer 11 is the length of the second record.
TEST_P(ArchiveRead, ARecordWhoseTransferFailsIsAskedForAgainAndNoRowIsInvented)
{
    SimGauge healthy(GetParam(), "records=4");
    auto healthyState = healthy.makeState(pacing);
    StringGrid expected = oldTable();
    healthyState->ArchiveRequested = true;
    Recorder first(*healthyState);
    ASSERT_EQ(runExchange(*healthyState, first, Mode::Connect, &expected), ExchangeOutcome::Completed);

    pacing.clear();
    SimGauge gauge(GetParam(), "records=4,fail_at=11");
    auto state = gauge.makeState(pacing);
    state->DriverPipeLink.setReadTimeoutMs(250); // the lost length is waited for this long
    StringGrid table = oldTable();
    state->ArchiveRequested = true;
    Recorder recorder(*state);
    EXPECT_EQ(runExchange(*state, recorder, Mode::Connect, &table), ExchangeOutcome::Completed);
    for (int row = 0; row < expected.rowCount(); ++row)
        EXPECT_EQ(table.row(row), expected.row(row)) << "row " << row;
    EXPECT_EQ(table.rowCount(), 5);
    // The second record was asked for twice, a second apart, and the link was not reopened.
    const auto writes = writesIn(gauge.transcript());
    EXPECT_EQ(std::count(writes.begin(), writes.end(), test::bytes({0x03, 0xFC, 0x01, 0x00})), 2);
    EXPECT_EQ(std::count(writes.begin(), writes.end(), test::bytes({0x01, 0xFE})), 1);
    const auto pauses = pacing.pausesMs();
    EXPECT_EQ(std::count(pauses.begin(), pauses.end(), 1000), 1);
}

// A gauge that fails every transfer: nothing is shown as read, the thread waits a second
// between attempts, and Cancel ends it.
TEST_P(ArchiveRead, CancelEndsAGaugeThatFailsEveryTransfer)
{
    SimGauge gauge(GetParam(), "records=3,fail_every=1");
    auto state = gauge.makeState(pacing);
    state->DriverPipeLink.setReadTimeoutMs(250);
    StringGrid table = oldTable();
    state->ArchiveRequested = true;
    Recorder recorder(*state);
    int passes = 0;
    recorder.onShow = [&](const Recorder::Show&) {
        if (++passes == 12)
            state->CancelRequest = true;
    };
    EXPECT_EQ(runExchange(*state, recorder, Mode::ReadMaterials, &table, true, 10000), ExchangeOutcome::Cancelled);
    EXPECT_EQ(state->LinkStatus.load(), LinkStatus::LinkError);
    EXPECT_FALSE(recorder.archiveRows.has_value());
    expectUnchanged(table);
    // Every attempt after the first waited the error tail's second.
    const auto pauses = pacing.pausesMs();
    EXPECT_GE(std::count(pauses.begin(), pauses.end(), 1000), passes / 2 - 1);
}

INSTANTIATE_TEST_SUITE_P(Transports, ArchiveRead, ::testing::Values(Transport::Pipes, Transport::Usb),
                         [](const auto& info) { return transportName(info.param); });

// The cable pulled in the middle of the records: the table keeps its rows while the gauge is
// away, the thread looks for it once a second and no faster, and the gauge plugged back in is
// read from the start.
TEST(ArchiveReadUsb, GaugePulledOutIsLookedForOnceASecondAndReadAfreshWhenBack)
{
    RecordingPacing pacing;
    SimGauge gauge(Transport::Usb, "records=6");
    auto state = gauge.makeState(pacing);
    StringGrid table;
    writeArchiveHeader(table, 0);
    table.setRowCount(2);
    table.setRow(1, {"1", "old", "5920", "1,00", "1", "1", "01.01.2013", "10:00:00"});
    const StringGrid before = table;
    state->ArchiveRequested = true;
    Recorder recorder(*state);
    int absentPasses = 0;
    int pausesWhenGone = -1;
    bool pulled = false;
    recorder.onShow = [&](const Recorder::Show& s) {
        if (!pulled && s.mode == Mode::ReadRecords && s.progress >= 40) {
            pulled = true;
            gauge.unplug();
        } else if (pulled && state->LinkStatus.load() == LinkStatus::NoDevice && ++absentPasses == 6) {
            EXPECT_EQ(table.row(1), before.row(1)); // nothing of the broken download reached it
            const auto pauses = pacing.pausesMs();
            pausesWhenGone = int(std::count(pauses.begin(), pauses.end(), 1000));
            gauge.replug();
        }
    };
    EXPECT_EQ(runExchange(*state, recorder, Mode::Connect, &table), ExchangeOutcome::Completed);
    ASSERT_TRUE(pulled);
    EXPECT_EQ(table.rowCount(), 7);
    EXPECT_EQ(table.cell(0, 6), "6");
    EXPECT_NE(table.cell(1, 1), "old");
    // Six passes without a gauge: three connections, each followed by the error tail's second.
    EXPECT_GE(pausesWhenGone, 3);
    const auto writes = writesIn(gauge.transcript());
    EXPECT_EQ(std::count(writes.begin(), writes.end(), test::bytes({0x02, 0xFD})), 2); // a fresh start
}

TEST(ArchiveReadPipes, GaugePluggedInAgainIsReachedAfterTheErrorTail)
{
    RecordingPacing pacing;
    // The gauge leaves in the middle of the records: its pipes close and its folder goes.
    SimGauge gauge(Transport::Pipes, "records=30,unplug_after=20");
    auto state = gauge.makeState(pacing);
    StringGrid table;
    state->ArchiveRequested = true;
    Recorder recorder(*state);
    std::optional<SimGauge> again;
    recorder.onShow = [&](const Recorder::Show&) {
        // Once the program has lost it, the gauge is plugged in again under the same folder.
        if (!again && state->LinkStatus.load() == LinkStatus::NoLibrary)
            again.emplace(gauge, "records=30");
    };
    EXPECT_EQ(runExchange(*state, recorder, Mode::Connect, &table), ExchangeOutcome::Completed);
    ASSERT_TRUE(again.has_value());
    EXPECT_EQ(table.rowCount(), 31);
    EXPECT_EQ(table.cell(0, 30), "30");
}
