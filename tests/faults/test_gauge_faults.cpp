// A bad gauge against every exchange: the real exchange thread and links in front of the
// simulated gauge with one fault at a time, on both transports. Each cell says how the
// exchange must end (completed, possibly after trying a step again; stopped with its message;
// or retrying, a second apart, until the user cancels, which must end it within 2 s even in
// the middle of a transfer or a pause) and what becomes of the table, material grid, material
// table or picture: updated whole, or left exactly as it was. Nothing the gauge did not send
// may reach a table. None may crash, hang, or leave a device handle, a pipe or a thread behind.

#include "table/archive_columns.h"
#include "exchange/bmtread_usb.h"
#include "exchange/exchange_texts.h"
#include "support/sim_gauge.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <dlfcn.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <map>
#include <optional>
#include <ostream>
#include <thread>

using namespace quilex;
using namespace quilex::test;

namespace {

using Clock = std::chrono::steady_clock;

const QString CrcError = QStringLiteral("Ошибка: Ошибка контрольной суммы");
const QString WriteIncomplete =
    QStringLiteral("Ошибка: ") + QString::fromUtf16(exchange_texts::MaterialWriteIncompleteMessage.russian);

// A read of a silent driver pipe gives up after this; the product waits 2 s.
constexpr int PipeReadTimeoutMs = 250;
constexpr int CancelLimitMs = 2000;
constexpr int HangLimitMs = 15000;
constexpr int ArchiveRecords = 5;
constexpr std::uint8_t OldByte = 0x5A; // what the buffers hold before an exchange

enum class Exchange { Archive, MaterialRead, MaterialWrite, Screen };

const char* exchangeName(Exchange e)
{
    switch (e) {
    case Exchange::Archive: return "Archive";
    case Exchange::MaterialRead: return "MaterialRead";
    case Exchange::MaterialWrite: return "MaterialWrite";
    case Exchange::Screen: return "Screen";
    }
    return "?";
}

// What the exchange leaves in its target.
enum class Delivered {
    Whole,      // the gauge's data, all of it (for a write: the gauge holds the whole new table)
    Unchanged,  // exactly what was there before (for a write: the gauge did not take the table)
    OwnBytes,   // libusb reply shorter than announced: its bytes replace only their own place
    Incomplete, // a write cut off after its command: the gauge may hold part of the table
};

struct Cell {
    Exchange exchange;
    Transport transport;
    const char* fault; // for the test's name
    std::string faults;
    ExchangeOutcome outcome;
    bool cancel;  // retries until the user presses Cancel
    int crcBoxes; // "CRC16 Error" boxes (a write cut off also shows its own message)
    Delivered result;
    int runs = 1; // the exchange is made this many times on the same gauge (a later one meets the fault)
};

std::ostream& operator<<(std::ostream& out, const Cell& c)
{
    return out << exchangeName(c.exchange) << "/" << transportName(c.transport) << "/" << c.faults;
}

constexpr auto Done = ExchangeOutcome::Completed;
constexpr auto Cancelled = ExchangeOutcome::Cancelled;
constexpr auto BadBlock = ExchangeOutcome::ChecksumFailed;
constexpr auto CutOff = ExchangeOutcome::LinkFailed;
constexpr auto P = Transport::Pipes;
constexpr auto U = Transport::Usb;
constexpr auto A = Exchange::Archive;
constexpr auto R = Exchange::MaterialRead;
constexpr auto W = Exchange::MaterialWrite;
constexpr auto S = Exchange::Screen;

// Transfers are counted from 1 as the simulated gauge counts them (sim/README.md): for a bare
// archive read the version and the parameters take three each, so 11 is the length of record 1;
// for the material read and the picture 2 is the length; for the write 1 is its command and 4
// its second 64-byte chunk.
//
// The driver's pipes tell the program nothing of a write the gauge lost or ignored: there the
// write ends as sent, and the cell says what the gauge really kept.
// clang-format off
const Cell Matrix[] = {
    // One failed transfer: the step is tried again after the error tail's second, and the
    // result is whole.
    {A, P, "FailOnce", "fail_at=11", Done, false, 0, Delivered::Whole},
    {A, U, "FailOnce", "fail_at=11", Done, false, 0, Delivered::Whole},
    {R, P, "FailOnce", "fail_at=2", Done, false, 0, Delivered::Whole},
    {R, U, "FailOnce", "fail_at=2", Done, false, 0, Delivered::Whole},
    {W, P, "FailOnce", "fail_at=1", Done, false, 0, Delivered::Unchanged},
    {W, U, "FailOnce", "fail_at=1", Done, false, 0, Delivered::Whole},
    {S, P, "FailOnce", "fail_at=2", Done, false, 0, Delivered::Whole},
    {S, U, "FailOnce", "fail_at=2", Done, false, 0, Delivered::Whole},

    // Every 5th transfer fails: each failed step succeeds when tried again.
    {A, P, "FailEvery5", "fail_every=5", Done, false, 0, Delivered::Whole},
    {A, U, "FailEvery5", "fail_every=5", Done, false, 0, Delivered::Whole},
    // The second read meets the 5th transfer (its length) and runs again.
    {R, P, "FailEvery5", "fail_every=5", Done, false, 0, Delivered::Whole, 2},
    {R, U, "FailEvery5", "fail_every=5", Done, false, 0, Delivered::Whole, 2},
    // The third chunk fails: a failure, told, over libusb; lost unseen over the pipes.
    {W, P, "FailEvery5", "fail_every=5", Done, false, 0, Delivered::Unchanged},
    {W, U, "FailEvery5", "fail_every=5", CutOff, false, 0, Delivered::Incomplete},
    {S, P, "FailEvery5", "fail_every=5", Done, false, 0, Delivered::Whole, 2},
    {S, U, "FailEvery5", "fail_every=5", Done, false, 0, Delivered::Whole, 2},

    // A failed chunk of the material write (the gauge got 64 of 468 bytes).
    {W, P, "ChunkFails", "fail_at=4", Done, false, 0, Delivered::Unchanged},
    {W, U, "ChunkFails", "fail_at=4", CutOff, false, 0, Delivered::Incomplete},

    // Every transfer fails: retried a second apart until Cancel.
    {A, P, "EveryTransferFails", "fail_every=1", Cancelled, true, 0, Delivered::Unchanged},
    {A, U, "EveryTransferFails", "fail_every=1", Cancelled, true, 0, Delivered::Unchanged},
    {R, P, "EveryTransferFails", "fail_every=1", Cancelled, true, 0, Delivered::Unchanged},
    {R, U, "EveryTransferFails", "fail_every=1", Cancelled, true, 0, Delivered::Unchanged},
    {W, P, "EveryTransferFails", "fail_every=1", Done, false, 0, Delivered::Unchanged},
    {W, U, "EveryTransferFails", "fail_every=1", Cancelled, true, 0, Delivered::Unchanged},
    {S, P, "EveryTransferFails", "fail_every=1", Cancelled, true, 0, Delivered::Unchanged},
    {S, U, "EveryTransferFails", "fail_every=1", Cancelled, true, 0, Delivered::Unchanged},

    // A gauge silent for 3 s: in the middle of the records on the pipes, from the start on
    // libusb (its reads wait 500 ms each, so only the archive stays silent the full 3 s).
    {A, P, "Silent3s", "silent_from=12,silent_ms=3000", Done, false, 0, Delivered::Whole},
    {A, U, "Silent3s", "silent_ms=3000", Done, false, 0, Delivered::Whole},
    {R, P, "Silent3s", "silent_ms=3000", Done, false, 0, Delivered::Whole},
    {R, U, "Silent", "silent_ms=600", Done, false, 0, Delivered::Whole},
    // Writes into a silent gauge are taken and ignored: sent, and the gauge keeps its table.
    {W, P, "Silent3s", "silent_ms=3000", Done, false, 0, Delivered::Unchanged},
    {W, U, "Silent3s", "silent_ms=3000", Done, false, 0, Delivered::Unchanged},
    {S, P, "Silent3s", "silent_ms=3000", Done, false, 0, Delivered::Whole},
    {S, U, "Silent", "silent_ms=600", Done, false, 0, Delivered::Whole},

    // A gauge that takes every command and never answers: until Cancel.
    {A, P, "NeverAnswers", "silent_from=1", Cancelled, true, 0, Delivered::Unchanged},
    {A, U, "NeverAnswers", "silent_from=1", Cancelled, true, 0, Delivered::Unchanged},
    {A, P, "NeverAnswersFromRecord2", "silent_from=13", Cancelled, true, 0, Delivered::Unchanged},
    {A, U, "NeverAnswersFromRecord2", "silent_from=13", Cancelled, true, 0, Delivered::Unchanged},
    {R, P, "NeverAnswers", "silent_from=1", Cancelled, true, 0, Delivered::Unchanged},
    {R, U, "NeverAnswers", "silent_from=1", Cancelled, true, 0, Delivered::Unchanged},
    {W, P, "NeverAnswers", "silent_from=1", Done, false, 0, Delivered::Unchanged},
    {W, U, "NeverAnswers", "silent_from=1", Done, false, 0, Delivered::Unchanged},
    {S, P, "NeverAnswers", "silent_from=1", Cancelled, true, 0, Delivered::Unchanged},
    {S, U, "NeverAnswers", "silent_from=1", Cancelled, true, 0, Delivered::Unchanged},

    // The cable pulled in the middle: the gauge is looked for again a second apart until Cancel,
    // and nothing of the broken read reaches its target. A write cut off is told.
    {A, P, "Unplugged", "unplug_after=12", Cancelled, true, 0, Delivered::Unchanged},
    {A, U, "Unplugged", "unplug_after=12", Cancelled, true, 0, Delivered::Unchanged},
    {R, P, "Unplugged", "unplug_after=2", Cancelled, true, 0, Delivered::Unchanged},
    {R, U, "Unplugged", "unplug_after=2", Cancelled, true, 0, Delivered::Unchanged},
    {W, P, "Unplugged", "unplug_after=3", CutOff, false, 0, Delivered::Incomplete},
    {W, U, "Unplugged", "unplug_after=3", CutOff, false, 0, Delivered::Incomplete},
    {S, P, "Unplugged", "unplug_after=2", Cancelled, true, 0, Delivered::Unchanged},
    {S, U, "Unplugged", "unplug_after=2", Cancelled, true, 0, Delivered::Unchanged},

    // A gauge this user may not open: every transfer fails until Cancel.
    {A, U, "OpenDenied", "open_denied", Cancelled, true, 0, Delivered::Unchanged},
    {R, U, "OpenDenied", "open_denied", Cancelled, true, 0, Delivered::Unchanged},
    {W, U, "OpenDenied", "open_denied", Cancelled, true, 0, Delivered::Unchanged},
    {S, U, "OpenDenied", "open_denied", Cancelled, true, 0, Delivered::Unchanged},

    // A wrong marker or CRC. A bad parameter block or libusb record stops the archive with one
    // box; a material record's marker costs one box and the read goes on; its CRC is not
    // checked on reading. The write and the picture read no checked block.
    {A, P, "BadMarker", "bad_marker=params", BadBlock, false, 1, Delivered::Unchanged},
    {A, U, "BadCrc", "bad_crc=record:2", BadBlock, false, 1, Delivered::Unchanged},
    {R, P, "BadCrc", "bad_crc=material:3", Done, false, 0, Delivered::Whole},
    {R, U, "BadMarker", "bad_marker=material:3", Done, false, 1, Delivered::Whole},
    {W, P, "BadMarker", "bad_marker=material:3", Done, false, 0, Delivered::Whole},
    {W, U, "BadCrc", "bad_crc=material:3", Done, false, 0, Delivered::Whole},
    {S, P, "BadCrc", "bad_crc=params", Done, false, 0, Delivered::Whole},
    {S, U, "BadMarker", "bad_marker=params", Done, false, 0, Delivered::Whole},

    // Short replies. Pipes read exactly what was announced, time out and retry for ever.
    // libusb takes the short block: the check of the parameter block fails on the bytes it
    // did not get; the material table and picture keep their old bytes after the cut (the old
    // material markers cost eleven boxes). A record shorter than 20 bytes is no measurement:
    // over the pipes, which have no check, it is asked for again; libusb's check refuses it.
    {A, P, "Short", "short=params:100", Cancelled, true, 0, Delivered::Unchanged},
    {A, U, "Short", "short=params:100", BadBlock, false, 1, Delivered::Unchanged},
    {A, P, "ShortRecord", "short=record:12", Cancelled, true, 0, Delivered::Unchanged},
    {A, U, "ShortRecord", "short=record:12", BadBlock, false, 1, Delivered::Unchanged},
    {R, P, "Short", "short=materials:100", Cancelled, true, 0, Delivered::Unchanged},
    {R, U, "Short", "short=materials:100", Done, false, 11, Delivered::OwnBytes},
    {W, P, "Short", "short=materials:100", Done, false, 0, Delivered::Whole},
    {W, U, "Short", "short=materials:100", Done, false, 0, Delivered::Whole},
    {S, P, "Short", "short=screen:512", Cancelled, true, 0, Delivered::Unchanged},
    {S, U, "Short", "short=screen:512", Done, false, 0, Delivered::OwnBytes},

    // A length above the cap is read to the cap and no further.
    {A, P, "LengthAboveCap", "length=version:0xFFFFFFFF", Done, false, 0, Delivered::Whole},
    {A, U, "LengthAboveCap", "length=params:0xFFFFFFFF", Done, false, 0, Delivered::Whole},
    {R, P, "LengthAboveCap", "length=materials:0xFFFFFFFF", Done, false, 0, Delivered::Whole},
    {R, U, "LengthAboveCap", "length=materials:0x80000000", Done, false, 0, Delivered::Whole},
    {W, P, "LengthAboveCap", "length=materials:0xFFFFFFFF", Done, false, 0, Delivered::Whole},
    {W, U, "LengthAboveCap", "length=materials:0xFFFFFFFF", Done, false, 0, Delivered::Whole},
    {S, P, "LengthAboveCap", "length=screen:0xFFFFFFFF", Done, false, 0, Delivered::Whole},
    {S, U, "LengthAboveCap", "length=screen:4096", Done, false, 0, Delivered::Whole},

    // Another product id: libusb finds no gauge and tries again until Cancel; the driver's
    // folders carry no ids.
    {A, P, "OtherProduct", "product=0x0202", Done, false, 0, Delivered::Whole},
    {A, U, "OtherProduct", "product=0x0202", Cancelled, true, 0, Delivered::Unchanged},
    {R, P, "OtherProduct", "product=0x0202", Done, false, 0, Delivered::Whole},
    {R, U, "OtherProduct", "product=0x0202", Cancelled, true, 0, Delivered::Unchanged},
    {W, P, "OtherProduct", "product=0x0202", Done, false, 0, Delivered::Whole},
    {W, U, "OtherProduct", "product=0x0202", Cancelled, true, 0, Delivered::Unchanged},
    {S, P, "OtherProduct", "product=0x0202", Done, false, 0, Delivered::Whole},
    {S, U, "OtherProduct", "product=0x0202", Cancelled, true, 0, Delivered::Unchanged},
};
// clang-format on

// ---------------------------------------------------------------------------------------
// The targets as they are before an exchange

StringGrid oldArchiveTable()
{
    StringGrid table;
    writeArchiveHeader(table, 0);
    table.setRowCount(2);
    table.setRow(1, {"1", "old", "5920", "1,00", "1", "1", "01.01.2013", "10:00:00"});
    return table;
}

StringGrid oldMaterialGrid()
{
    StringGrid grid(3, 14, 1, 1);
    for (int col = 0; col < 3; ++col)
        grid.setCell(col, 0, archiveHeaderTexts(0)[col]);
    for (int row = 1; row <= 13; ++row)
        grid.setRow(row, {QString::number(row), QStringLiteral("old %1").arg(row), QStringLiteral("1234")});
    return grid;
}

bool sameGrid(const StringGrid& a, const StringGrid& b)
{
    if (a.colCount() != b.colCount() || a.rowCount() != b.rowCount())
        return false;
    for (int row = 0; row < a.rowCount(); ++row)
        for (int col = 0; col < a.colCount(); ++col)
            if (a.cell(col, row) != b.cell(col, row))
                return false;
    return true;
}

template <typename Buffer>
bool allOld(const Buffer& buffer, std::size_t from)
{
    return std::all_of(buffer.begin() + static_cast<std::ptrdiff_t>(from), buffer.end(),
                       [](std::uint8_t b) { return b == OldByte; });
}

// ---------------------------------------------------------------------------------------
// Records every pause, but really waits the 15 ms after each chunk of a material write: the
// driver's pipe then hands each chunk to the gauge on its own, as it does with the real pauses,
// and the gauge counts its transfers as it would. Once `real` is set, the pauses Cancel may cut
// short (the error tail's second) are really waited too, so that Cancel is timed against them.
class ChunkPacing final : public Pacing {
public:
    void pause(std::chrono::milliseconds duration) override
    {
        if (duration.count() == PutMaterialsChunkPauseMs)
            std::this_thread::sleep_for(duration);
        recorded.pause(duration);
    }
    void pauseUnlessCancelled(std::chrono::milliseconds duration, const std::atomic<bool>& cancel) override
    {
        recorded.pause(duration);
        if (real.load())
            sleeping.pauseUnlessCancelled(duration, cancel);
    }
    RecordingPacing recorded;
    SleepingPacing sleeping;
    std::atomic<bool> real{false};
};

// One exchange on its own thread. When the cell says it retries until Cancel, Cancel is pressed
// from this thread once the exchange has been in trouble for three passes and 300 ms more,
// wherever the exchange then is: in a transfer, or in a pause.
struct RunResult {
    ExchangeOutcome outcome = ExchangeOutcome::Aborted;
    bool ended = false;
    std::optional<Clock::time_point> pressed;
    Clock::time_point end;
};

RunResult runOnce(ExchangeState& state, ChunkPacing& pacing, Recorder& recorder, std::uint8_t firstMode,
                  StringGrid* grid, bool withDialog, bool pressCancel)
{
    RunResult result;
    std::atomic<bool> troubled{false};
    int troubledShows = 0; // the exchange thread's own
    // Runs on the exchange thread, inside its report to the window.
    recorder.onShow = [&](const Recorder::Show&) {
        if (pressCancel && state.LinkStatus.load() != LinkStatus::Ok && ++troubledShows == 3) {
            pacing.real = true;
            troubled = true;
        }
    };
    state.ExchangeMode = firstMode;
    BMTreadUSB thread(state, recorder);
    recorder.archiveTable = grid;
    recorder.materialGrid = grid;
    thread.SetTargets(&recorder, withDialog ? &recorder : nullptr, &recorder, &recorder);
    thread.start();
    if (pressCancel) {
        const auto limit = Clock::now() + std::chrono::milliseconds(HangLimitMs);
        while (!troubled.load() && !thread.hasEnded() && Clock::now() < limit)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        if (troubled.load()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            result.pressed = Clock::now();
            state.CancelRequest = true;
        }
    }
    result.ended = thread.waitUntilEnded(HangLimitMs);
    if (!result.ended) {
        state.CancelRequest = true;
        thread.waitUntilEnded();
    }
    result.end = Clock::now();
    result.outcome = thread.outcome();
    recorder.onShow = nullptr;
    pacing.real = false;
    return result;
}

std::uint8_t firstModeOf(Exchange e)
{
    switch (e) {
    case Exchange::Archive: return Mode::Connect;
    case Exchange::MaterialRead: return Mode::ReadMaterials;
    case Exchange::MaterialWrite: return Mode::WriteMaterials;
    case Exchange::Screen: return Mode::ReadScreen;
    }
    return Mode::Connect;
}

// ---------------------------------------------------------------------------------------
// What a healthy gauge gives on each transport, made once.

struct Reference {
    StringGrid archive;
    StringGrid materialGrid;
    MaterialTable materialTable{};
    MaterialNames materialNames;
    std::array<std::uint8_t, ScreenImageLength> screen{};
};

const Reference& reference(Transport transport)
{
    static std::map<Transport, Reference> made;
    if (auto it = made.find(transport); it != made.end())
        return it->second;
    Reference ref;
    ChunkPacing pacing;
    SimGauge gauge(transport, "records=" + std::to_string(ArchiveRecords));
    auto state = gauge.makeState(pacing);
    {
        ref.archive = oldArchiveTable();
        state->ArchiveRequested = true;
        Recorder recorder(*state);
        EXPECT_EQ(runOnce(*state, pacing, recorder, Mode::Connect, &ref.archive, true, false).outcome, Done);
    }
    {
        ref.materialGrid = oldMaterialGrid();
        state->ArchiveRequested = false;
        Recorder recorder(*state);
        EXPECT_EQ(runOnce(*state, pacing, recorder, Mode::ReadMaterials, &ref.materialGrid, false, false).outcome, Done);
        ref.materialTable = state->MaterialTable;
        ref.materialNames = state->MaterialNames;
    }
    {
        Recorder recorder(*state);
        EXPECT_EQ(runOnce(*state, pacing, recorder, Mode::ReadScreen, nullptr, false, false).outcome, Done);
        ref.screen = state->ScreenImage;
    }
    EXPECT_EQ(ref.archive.rowCount(), ArchiveRecords + 1);
    EXPECT_TRUE(std::any_of(ref.screen.begin(), ref.screen.end(), [](std::uint8_t b) { return b != 0; }));
    return made.emplace(transport, std::move(ref)).first->second;
}

// ---------------------------------------------------------------------------------------
// Leaks: descriptors of this process, its threads, and the simulated gauge's open handles.

int entriesIn(const char* folder)
{
    int n = 0;
    if (DIR* dir = ::opendir(folder)) {
        while (const dirent* e = ::readdir(dir))
            n += e->d_name[0] != '.';
        ::closedir(dir);
    }
    return n - 1; // the one opendir holds
}

// A finished thread may still be on its way out for a moment after wait() returned; one that
// stays is a leak. A thread of the process's own that ends meanwhile is no leak, so fewer is fine.
int settledThreads(int expected)
{
    const auto limit = Clock::now() + std::chrono::seconds(2);
    int n = entriesIn("/proc/self/task");
    while (n > expected && Clock::now() < limit) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        n = entriesIn("/proc/self/task");
    }
    return n;
}

int simOpenHandles()
{
    void* library = ::dlopen(simUsbLibrary().c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NOLOAD);
    if (!library)
        return 0;
    auto count = reinterpret_cast<int (*)()>(::dlsym(library, "quilex_sim_open_handles"));
    const int n = count ? count() : -1;
    ::dlclose(library);
    return n;
}

// The notes of the simulated gauge's transcript (lines starting with "# ").
std::vector<std::string> transcriptNotes(const std::string& path)
{
    std::vector<std::string> notes;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);)
        if (line.rfind("# ", 0) == 0)
            notes.push_back(line);
    return notes;
}

int notesContaining(const std::vector<std::string>& notes, const char* what)
{
    return int(std::count_if(notes.begin(), notes.end(),
                             [&](const std::string& n) { return n.find(what) != std::string::npos; }));
}

// The grid the write sends: the healthy gauge's, with material 6 renamed and a new speed.
StringGrid editedMaterialGrid(const Reference& ref)
{
    StringGrid grid = ref.materialGrid;
    grid.setCell(1, 6, QStringLiteral("сталь 45"));
    grid.setCell(2, 6, QStringLiteral("5900"));
    return grid;
}

class GaugeFault : public ::testing::TestWithParam<Cell> {};

} // namespace

TEST_P(GaugeFault, EndsAsTheCellSaysAndLeavesNothingBehind)
{
    const Cell& cell = GetParam();
    const Reference& ref = reference(cell.transport);

    ChunkPacing pacing;
    SimGauge gauge(cell.transport,
                   (cell.exchange == Exchange::Archive ? "records=" + std::to_string(ArchiveRecords) + "," : "")
                       + cell.faults);
    auto state = gauge.makeState(pacing);
    state->DriverPipeLink.setReadTimeoutMs(PipeReadTimeoutMs);
    const std::vector<std::uint8_t> gaugeTableBefore =
        cell.transport == Transport::Usb ? gauge.materialTable() : std::vector<std::uint8_t>{};

    // The targets and buffers as the windows hold them before the exchange.
    StringGrid archive = oldArchiveTable();
    StringGrid materials = oldMaterialGrid();
    StringGrid* grid = nullptr;
    state->MaterialTable.fill(OldByte);
    state->ScreenImage.fill(OldByte);
    switch (cell.exchange) {
    case Exchange::Archive:
        grid = &archive;
        break;
    case Exchange::MaterialRead:
        grid = &materials;
        break;
    case Exchange::MaterialWrite:
        // As after a read of the healthy gauge, then edited.
        state->MaterialTable = ref.materialTable;
        state->MaterialNames = ref.materialNames;
        materials = editedMaterialGrid(ref);
        grid = &materials;
        break;
    case Exchange::Screen:
        break;
    }
    const StringGrid gridBefore = grid ? *grid : StringGrid();
    const MaterialTable tableBefore = state->MaterialTable;
    const MaterialNames namesBefore = state->MaterialNames;
    const auto screenBefore = state->ScreenImage;

    const int fdsBefore = entriesIn("/proc/self/fd");
    const int threadsBefore = entriesIn("/proc/self/task");

    RunResult run;
    Recorder recorder(*state);
    for (int i = 0; i < cell.runs; ++i) {
        SCOPED_TRACE("run " + std::to_string(i + 1));
        const bool last = i + 1 == cell.runs;
        state->ArchiveRequested = cell.exchange == Exchange::Archive;
        if (!last) {
            // An earlier exchange of the same kind, which the fault does not reach yet.
            Recorder earlier(*state);
            StringGrid scratch = gridBefore;
            ASSERT_EQ(runOnce(*state, pacing, earlier, firstModeOf(cell.exchange), grid ? &scratch : nullptr,
                              cell.exchange == Exchange::Archive, false)
                          .outcome,
                      Done);
            state->MaterialTable = tableBefore;
            state->ScreenImage = screenBefore;
            continue;
        }
        run = runOnce(*state, pacing, recorder, firstModeOf(cell.exchange), grid, cell.exchange == Exchange::Archive,
                      cell.cancel);
    }

    // Never a hang, and Cancel ends even an exchange that would retry for ever within 2 s.
    ASSERT_TRUE(run.ended) << "the exchange did not end within " << HangLimitMs << " ms";
    EXPECT_EQ(run.outcome, cell.outcome);
    if (cell.cancel) {
        ASSERT_TRUE(run.pressed.has_value()) << "the exchange never got into trouble";
        const auto latency = std::chrono::duration_cast<std::chrono::milliseconds>(run.end - *run.pressed);
        EXPECT_LT(latency.count(), CancelLimitMs);
        if (cell.exchange == Exchange::Archive) {
            EXPECT_EQ(recorder.dialogCloses, 1);
        }
    }
    EXPECT_FALSE(state->CancelRequest.load()); // it must not cancel the next exchange

    // The messages: exactly the "CRC16 Error" boxes the cell names, the message of a write cut
    // off, and nothing else.
    std::vector<QString> boxes(std::size_t(cell.crcBoxes), CrcError);
    if (cell.outcome == CutOff)
        boxes.push_back(WriteIncomplete);
    EXPECT_EQ(recorder.errors, boxes);
    // Rows reach the table only from a download that read every record.
    if (cell.exchange == Exchange::Archive) {
        EXPECT_EQ(recorder.archiveRows.has_value(), cell.result == Delivered::Whole);
    }

    // The target: whole, or as it was.
    switch (cell.exchange) {
    case Exchange::Archive:
        switch (cell.result) {
        case Delivered::Whole:
            EXPECT_TRUE(sameGrid(archive, ref.archive));
            break;
        case Delivered::Unchanged:
            EXPECT_TRUE(sameGrid(archive, gridBefore));
            break;
        default:
            ADD_FAILURE() << "not a result of the archive";
            break;
        }
        break;
    case Exchange::MaterialRead:
        switch (cell.result) {
        case Delivered::Whole:
            EXPECT_TRUE(sameGrid(materials, ref.materialGrid));
            EXPECT_EQ(state->MaterialNames, ref.materialNames);
            break;
        case Delivered::Unchanged:
            EXPECT_TRUE(sameGrid(materials, gridBefore));
            // The table the next write sends from must not keep a half-read reply.
            EXPECT_EQ(state->MaterialTable, tableBefore);
            EXPECT_EQ(state->MaterialNames, namesBefore);
            break;
        case Delivered::OwnBytes:
            EXPECT_TRUE(std::equal(state->MaterialTable.begin(), state->MaterialTable.begin() + 100,
                                   ref.materialTable.begin()));
            EXPECT_TRUE(allOld(state->MaterialTable, 100));
            EXPECT_EQ(materials.cell(1, 1), ref.materialGrid.cell(1, 1));
            EXPECT_EQ(materials.rowCount(), 14);
            break;
        case Delivered::Incomplete:
            ADD_FAILURE() << "not a result of the material read";
            break;
        }
        break;
    case Exchange::MaterialWrite: {
        ASSERT_NE(cell.result, Delivered::OwnBytes);
        const bool whole = cell.result == Delivered::Whole;
        if (cell.result == Delivered::Incomplete) {
            // Cut off after its command: told, and the status stays on the link error.
            EXPECT_EQ(recorder.labels.back(), "Ошибка связи");
        } else if (cell.transport == Transport::Usb) {
            const std::vector<std::uint8_t> now = gauge.materialTable();
            if (whole) {
                EXPECT_EQ(now, std::vector<std::uint8_t>(state->MaterialTable.begin(), state->MaterialTable.end()));
                EXPECT_NE(now, gaugeTableBefore);
            } else {
                EXPECT_EQ(now, gaugeTableBefore);
            }
        } else {
            // The pipe face cannot be asked; its transcript tells what it took, once the gauge
            // has read what lies in its pipe (quick writes may arrive in one read).
            std::vector<std::uint8_t> expected{0x05, 0xFA, 0xD4, 0x01, 0x00, 0x00};
            expected.insert(expected.end(), state->MaterialTable.begin(), state->MaterialTable.end());
            const auto received = [&] {
                std::vector<std::uint8_t> all;
                for (const auto& w : writesIn(gauge.transcript()))
                    all.insert(all.end(), w.begin(), w.end());
                return all;
            };
            const auto limit = Clock::now() + std::chrono::milliseconds(500);
            while (received().size() < expected.size() && Clock::now() < limit)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            const auto notes = transcriptNotes(gauge.transcriptPath());
            const int dropped = notesContaining(notes, " W lost") + notesContaining(notes, " W ignored");
            if (whole) {
                EXPECT_EQ(dropped, 0);
                EXPECT_EQ(received(), expected);
            } else {
                EXPECT_TRUE(dropped > 0 || received().size() < expected.size());
            }
        }
        if (cell.outcome == Done) {
            EXPECT_EQ(recorder.labels.back(), "Готово");
        }
        break;
    }
    case Exchange::Screen: {
        // The window takes the picture once it sees 100, so 100 is shown only for a whole one.
        const bool hundred = std::any_of(recorder.shows.begin(), recorder.shows.end(),
                                         [](const Recorder::Show& s) { return s.progress == 100; });
        EXPECT_EQ(hundred, cell.outcome == Done);
        switch (cell.result) {
        case Delivered::Whole:
            EXPECT_EQ(state->ScreenImage, ref.screen);
            break;
        case Delivered::Unchanged:
            EXPECT_EQ(state->ScreenImage, screenBefore);
            break;
        case Delivered::OwnBytes:
            EXPECT_TRUE(std::equal(state->ScreenImage.begin(), state->ScreenImage.begin() + 512, ref.screen.begin()));
            EXPECT_TRUE(allOld(state->ScreenImage, 512));
            break;
        case Delivered::Incomplete:
            ADD_FAILURE() << "not a result of the picture";
            break;
        }
        break;
    }
    }

    // Nothing left open: no pipe, no device handle, no thread.
    EXPECT_FALSE(state->DriverPipeLink.isOpen());
    EXPECT_FALSE(state->LibUSB.hasDevice());
    EXPECT_EQ(entriesIn("/proc/self/fd"), fdsBefore);
    EXPECT_LE(settledThreads(threadsBefore), threadsBefore);
    if (cell.transport == Transport::Usb) {
        EXPECT_EQ(simOpenHandles(), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Matrix, GaugeFault, ::testing::ValuesIn(Matrix), [](const auto& info) {
    return std::string(exchangeName(info.param.exchange)) + "_" + transportName(info.param.transport) + "_" +
           info.param.fault;
});
