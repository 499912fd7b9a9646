#include "exchange/bmtread_usb.h"

#include "app/texts.h"
#include "exchange/archive_records.h"
#include "exchange/exchange_texts.h"
#include "link/byte_order.h"
#include "link/crc16.h"
#include "link/link_selection.h"
#include "link/reply_framing.h"

#include <algorithm>
#include <cstdlib>
#include <new>

#include <pthread.h>
#include <sched.h>
#include <unistd.h>

namespace quilex {

namespace texts = exchange_texts;

namespace {
// The error tail's drain only clears what a confused gauge left in the pipe; it need not wait
// for the full read time-out of a silent one.
constexpr int DrainTimeoutMs = 100;
} // namespace

BMTreadUSB::BMTreadUSB(ExchangeState& state, ExchangeBridge& bridge) : state_(state), bridge_(bridge) {}

BMTreadUSB::~BMTreadUSB()
{
    waitUntilEnded();
}

void BMTreadUSB::SetTargets(GaugeTarget* gauge, DialogTarget* dialog, LabelTarget* label, StringGrid* grid)
{
    ProgressGauge = gauge;
    ProgressDialog = dialog;
    StatusLabel = label;
    TableGrid = grid;
}

void BMTreadUSB::run()
{
    Execute();
    std::lock_guard lock(endMutex_);
    ended_ = true;
    systemThread_ = ::gettid();
    if (endNotice_)
        endNotice_();
}

bool BMTreadUSB::hasEnded() const
{
    std::lock_guard lock(endMutex_);
    return ended_;
}

pid_t BMTreadUSB::systemThreadId() const
{
    std::lock_guard lock(endMutex_);
    return systemThread_;
}

bool BMTreadUSB::waitUntilEnded(unsigned long ms)
{
    const bool finished = ms == ULONG_MAX ? wait() : wait(ms);
    return finished && hasEnded();
}

void BMTreadUSB::Execute()
{
    terminated_ = false;
    while (!terminated_) {
        bridge_.synchronize([this] { ShowStatus(); });
        switch (state_.ExchangeMode.load()) {
        case Mode::Connect: Connect(); break;
        case Mode::ReadVersion: ReadVersion(); break;
        case Mode::ReadParameters: ReadParameters(); break;
        case Mode::ReadRecords: ReadRecords(); break;
        case Mode::ReadMaterials: ReadMaterials(); break;
        case Mode::WriteMaterials: WriteMaterials(); break;
        case Mode::AfterMaterials: AfterMaterials(); break;
        case Mode::FinishWrite: FinishWrite(); break;
        case Mode::ReadScreen: ReadScreen(); break;
        case 9:
        case 11:
            // Nothing sets these; pass on, but let Cancel end the loop.
            if (state_.CancelRequest.load())
                state_.ExchangeMode = Mode::Finish;
            break;
        case Mode::Finish: Finish(); break;
        case Mode::ScreenDone: ScreenDone(); break;
        default:
            // An unknown mode names no work: end the exchange without touching any grid.
            closeLink();
            Terminate(ExchangeOutcome::Aborted);
            break;
        }
    }
}

void BMTreadUSB::ShowStatus()
{
    if (ProgressGauge) {
        if (Progress.load() > 100)
            Progress = 100;
        ProgressGauge->setGaugePosition(Progress.load());
    }
    switch (state_.LinkStatus.load()) {
    case LinkStatus::Ok:
        if (StatusLabel)
            StatusLabel->setLabelText(QString());
        break;
    case LinkStatus::NoDevice:
    case LinkStatus::LinkError:
        if (StatusLabel)
            StatusLabel->setLabelText(Text(*texts::linkStatusLabel(state_.LinkStatus.load())));
        return;
    case LinkStatus::NoData:
        if (StatusLabel)
            StatusLabel->setLabelText(Text(texts::NoDataLabel));
        state_.pacing.pauseMs(NoDataDisplayPauseMs);
        return;
    default:
        break; // NoLibrary has no text of its own: the label keeps what it shows
    }
    const std::uint8_t mode = state_.ExchangeMode.load();
    if (ProgressDialog) {
        if (const TextPair* title = texts::modeTitle(mode))
            ProgressDialog->setDialogCaption(Text(*title));
    }
    if (mode == Mode::Finish && ProgressGauge)
        ProgressGauge->setGaugeVisible(false);
    if (StatusLabel) {
        if (const TextPair* label = texts::modeLabel(mode))
            StatusLabel->setLabelText(Text(*label));
    }
}

// ---------------------------------------------------------------------------------------
// Transfers

BMTreadUSB::Transfer BMTreadUSB::noteTransfer(Transfer result)
{
    // Every transfer step tells the display how the link is doing.
    if (result == Transfer::Ok) {
        state_.LinkStatus = LinkStatus::Ok;
        state_.noteTransferOk();
    } else if (result != Transfer::NoLink) {
        state_.LinkStatus = LinkStatus::LinkError;
    }
    return result;
}

BMTreadUSB::Transfer BMTreadUSB::send(const std::uint8_t* data, std::uint32_t count)
{
    switch (state_.LinkKind.load()) {
    case LinkKind::DriverPipes:
        return noteTransfer(state_.DriverPipeLink.Write(data, count) == PipeOk ? Transfer::Ok : Transfer::DriverFailed);
    case LinkKind::LibUsb:
        return noteTransfer(state_.LibUSB.BulkWrite(data, static_cast<int>(count)) >= 0 ? Transfer::Ok
                                                                                        : Transfer::UsbFailed);
    default:
        return Transfer::NoLink;
    }
}

BMTreadUSB::Transfer BMTreadUSB::receive(std::uint8_t* data, std::uint32_t count)
{
    switch (state_.LinkKind.load()) {
    case LinkKind::DriverPipes:
        // Exactly count bytes; a count of 0 is refused by the link and counts as a failure.
        return noteTransfer(state_.DriverPipeLink.ReadExact(data, count) == PipeOk ? Transfer::Ok
                                                                                   : Transfer::DriverFailed);
    case LinkKind::LibUsb:
        // One bulk read of up to count bytes; a shorter answer leaves the rest as it was.
        return noteTransfer(state_.LibUSB.BulkRead(data, static_cast<int>(count)) >= 0 ? Transfer::Ok
                                                                                       : Transfer::UsbFailed);
    default:
        return Transfer::NoLink;
    }
}

BMTreadUSB::Transfer BMTreadUSB::exchange(const std::uint8_t* command, std::uint32_t commandLength,
                                          std::uint8_t* block, std::uint32_t cap, int pauseMs,
                                          std::uint32_t* received)
{
    if (Transfer t = send(command, commandLength); t != Transfer::Ok)
        return t;
    if (pauseMs > 0)
        state_.pacing.pauseMs(pauseMs);
    // The gauge answers with the length first; it lands in the block's first bytes.
    auto read = [this](std::uint8_t* data, std::uint32_t count) { return receive(data, count); };
    return readReply(read, Transfer::Ok, block, cap, received);
}

bool BMTreadUSB::failedOnDriverOrNoLink(Transfer t)
{
    return t == Transfer::NoLink || t == Transfer::DriverFailed;
}

void BMTreadUSB::openLink()
{
    const LinkOpening opened = OpenLink(state_.DriverPipeLink, state_.LibUSB, state_.pacing);
    state_.LinkStatus = opened.status;
    state_.LinkKind = opened.kind;
}

void BMTreadUSB::closeLink()
{
    switch (state_.LinkKind.load()) {
    case LinkKind::DriverPipes: state_.DriverPipeLink.Close(); break;
    case LinkKind::LibUsb: state_.LibUSB.CloseDevice(); break;
    default: break;
    }
}

// ---------------------------------------------------------------------------------------
// Helpers of the modes

void BMTreadUSB::show(int progress)
{
    Progress = progress;
    bridge_.synchronize([this] { ShowStatus(); });
}

void BMTreadUSB::showErrorBox(const TextPair& text)
{
    const QString caption = Text(texts::ErrorCaption);
    const QString message = Text(text);
    bridge_.synchronize([&] { bridge_.showErrorBox(caption, message); });
}

void BMTreadUSB::repeatMode()
{
    // A libusb step that keeps failing would otherwise repeat for ever: Cancel ends it.
    if (state_.CancelRequest.load())
        state_.ExchangeMode = Mode::Finish;
}

void BMTreadUSB::Terminate(ExchangeOutcome outcome)
{
    outcome_ = outcome;
    terminated_ = true;
    bridge_.synchronize([&] { bridge_.exchangeEnded(outcome_); });
}

void BMTreadUSB::setIdle(bool idle)
{
    if (QThread::currentThread() != this)
        return;
    setPriority(idle ? QThread::IdlePriority : QThread::NormalPriority);
#ifdef SCHED_IDLE
    // Qt puts an idle thread into the kernel's idle class but leaves it there when it is given a
    // normal priority again: the records would then be read only while the machine has nothing
    // else to do. Back to the normal class by hand.
    int policy = 0;
    sched_param param{};
    if (!idle && pthread_getschedparam(pthread_self(), &policy, &param) == 0 && policy == SCHED_IDLE) {
        param.sched_priority = 0;
        (void)pthread_setschedparam(pthread_self(), SCHED_OTHER, &param);
    }
#endif
}

void BMTreadUSB::ErrorTail(std::uint8_t failedMode)
{
    // Modes 1 to 3 open no link of their own, so they start again from the connection;
    // modes 4, 5 and 8 open the link themselves and simply run again.
    if (state_.CancelRequest.load()) {
        state_.ExchangeMode = Mode::Finish;
        return;
    }
    if (failedMode <= Mode::ReadRecords)
        state_.ExchangeMode = Mode::Connect;
    else
        state_.ExchangeMode = failedMode;
    if (state_.DriverPipeLink.isOpen()) {
        std::uint8_t drain[ErrorTailDrainBytes];
        const int readTimeoutMs = state_.DriverPipeLink.readTimeoutMs();
        state_.DriverPipeLink.setReadTimeoutMs(std::min(DrainTimeoutMs, readTimeoutMs));
        (void)state_.DriverPipeLink.ReadExact(drain, sizeof drain);
        state_.DriverPipeLink.setReadTimeoutMs(readTimeoutMs);
        // A gauge that stopped answering on its pipes may have been unplugged and plugged in
        // again: the pipes we hold then lead nowhere, and an open link is used again as it
        // is. Close them, so that the next connection opens the gauge's pipes anew.
        if (state_.LinkStatus.load() == LinkStatus::LinkError)
            state_.DriverPipeLink.Close();
    }
    state_.pacing.pauseMs(ErrorTailPauseMs);
}

// ---------------------------------------------------------------------------------------
// The modes

void BMTreadUSB::Connect()
{
    setIdle(true);
    if (state_.CancelRequest.load()) {
        state_.ExchangeMode = Mode::Finish;
        return;
    }
    openLink();
    state_.ExchangeMode = Mode::ReadVersion; // also without a link: the next mode finds none
}

void BMTreadUSB::ReadVersion()
{
    setIdle(false);
    const auto command = commandBytes(Command::GetVersion);
    const int pause = state_.LinkKind.load() == LinkKind::LibUsb ? VersionPauseLibUsbMs : 0;
    const Transfer t = exchange(command.data(), 2, state_.VersionText.data(), VersionCap, pause, nullptr);
    if (failedOnDriverOrNoLink(t))
        return ErrorTail(Mode::ReadVersion);
    if (t == Transfer::UsbFailed)
        return repeatMode();
    if (state_.CancelRequest.load()) {
        state_.ExchangeMode = Mode::Finish;
        return;
    }
    state_.ExchangeMode = Mode::ReadParameters;
    show(6);
}

void BMTreadUSB::ReadParameters()
{
    const bool usb = state_.LinkKind.load() == LinkKind::LibUsb;
    std::uint8_t* header = usb ? state_.UsbHeader.data() : state_.DriverHeader.data();
    const std::uint32_t n = usb ? LibUsbParameterBlockLength : DriverParameterBlockLength;
    const auto command = commandBytes(Command::GetParameters);
    const Transfer t = exchange(command.data(), 2, header, n, usb ? ParametersPauseLibUsbMs : 0, nullptr);
    if (failedOnDriverOrNoLink(t))
        return ErrorTail(Mode::ReadParameters);
    if (t == Transfer::UsbFailed)
        return repeatMode();
    // The check covers the whole block, whatever length the gauge announced.
    if (!checkBlock(header, n)) {
        showErrorBox(texts::CrcErrorMessage);
        state_.CancelRequest = true;
        outcome_ = ExchangeOutcome::ChecksumFailed;
    } else {
        state_.ArchiveRecordCount = static_cast<int>(countArchiveRecords({header, n}));
    }
    if (state_.CancelRequest.load()) {
        state_.ExchangeMode = Mode::Finish;
    } else if (state_.ArchiveRecordCount.load() == 0) {
        state_.LinkStatus = LinkStatus::NoData;
        state_.ExchangeMode = Mode::Finish;
    } else {
        state_.ExchangeMode = Mode::ReadRecords;
        show(7);
    }
}

void BMTreadUSB::ReadRecords()
{
    const int count = state_.ArchiveRecordCount.load();
    const LinkKind kind = state_.LinkKind.load();
    try {
        state_.ArchiveRecords.assign(static_cast<std::size_t>(count) * ArchiveRecordLength, 0);
    } catch (const std::bad_alloc&) {
        showErrorBox(texts::OutOfMemoryMessage);
        std::exit(1);
    }
    state_.ArchiveRecordsKind = kind;
    skippedRecords_ = 0;
    int shownProgress = -1;
    LinkStatus shownStatus = state_.LinkStatus.load();
    for (int i = 0; i < count; ++i) {
        std::uint8_t* record = state_.ArchiveRecords.data() + static_cast<std::size_t>(i) * ArchiveRecordLength;
        const auto command = recordCommand(static_cast<std::uint16_t>(i));
        const Transfer t = exchange(command.data(), 4, record, ArchiveRecordLength, 0, nullptr);
        if (failedOnDriverOrNoLink(t))
            return ErrorTail(Mode::ReadRecords);
        if (t == Transfer::UsbFailed) {
            ++skippedRecords_; // the record keeps what its place held
            continue;
        }
        if (kind == LinkKind::LibUsb && !checkBlock(record, ArchiveRecordLength)) {
            showErrorBox(texts::CrcErrorMessage);
            state_.CancelRequest = true;
            outcome_ = ExchangeOutcome::ChecksumFailed;
        }
        // The window is only asked to show something new: of a few thousand records, the bar
        // moves once per percent, and each showing waits for the interface thread.
        const int progress = 10 + (90 * (i + 1)) / count;
        if (progress != shownProgress || state_.LinkStatus.load() != shownStatus) {
            shownProgress = progress;
            shownStatus = state_.LinkStatus.load();
            show(progress);
        }
        if (state_.CancelRequest.load())
            break;
    }
    state_.ExchangeMode = Mode::Finish;
}

void BMTreadUSB::ReadMaterials()
{
    setIdle(true);
    openLink();
    const LinkKind kind = state_.LinkKind.load();
    if (kind == LinkKind::None)
        return ErrorTail(Mode::ReadMaterials);
    const bool archive = state_.ArchiveRequested.load();
    const bool driver = kind == LinkKind::DriverPipes;
    auto step = [&](int archiveValue, int materialValue) {
        state_.LinkStatus = LinkStatus::Ok;
        show(archive ? archiveValue : materialValue);
        if (driver)
            state_.pacing.pauseMs(MaterialsStepPauseDriverMs);
    };
    // The reply is read into the table itself (a shorter one replaces only its own bytes), so a
    // read that fails halfway puts back what the table held: the next write sends from it.
    const MaterialTable before = state_.MaterialTable;
    auto failed = [&](Transfer t) {
        if (t == Transfer::Ok)
            return false;
        state_.MaterialTable = before;
        if (failedOnDriverOrNoLink(t))
            ErrorTail(Mode::ReadMaterials);
        else
            repeatMode(); // the mode runs again and opens the link anew
        return true;
    };

    const auto command = commandBytes(Command::GetMaterials);
    if (failed(send(command.data(), 2)))
        return;
    step(1, 40);
    auto read = [this](std::uint8_t* data, std::uint32_t count) { return receive(data, count); };
    if (failed(readReply(read, Transfer::Ok, state_.MaterialTable.data(), MaterialTableLength, nullptr,
                         [&] { step(2, 60); })))
        return;
    step(3, 80);
    // The marker is checked on reading, the CRC only computed on writing.
    for (std::size_t k : recordsWithBadMarker(state_.MaterialTable)) {
        (void)k;
        showErrorBox(texts::CrcErrorMessage);
    }
    state_.MaterialNames = decodeMaterialNames(state_.MaterialTable);
    show(archive ? 4 : 100);
    state_.ExchangeMode = Mode::AfterMaterials;
}

void BMTreadUSB::AfterMaterials()
{
    if (state_.ArchiveRequested.load()) {
        Progress = 5;
        state_.ExchangeMode = Mode::ReadVersion; // the link opened for the materials stays in use
    } else {
        Progress = 100;
        state_.ExchangeMode = Mode::Finish;
    }
}

void BMTreadUSB::WriteMaterials()
{
    setIdle(true);
    // The grid is read and every speed checked before the link is opened, so a cell that is
    // not a number stops the write with nothing sent and no link left open.
    std::vector<MaterialGridCells> rows;
    bridge_.synchronize([&] {
        if (!TableGrid)
            return;
        for (int row = 1; row <= int(MaterialCount); ++row)
            rows.push_back({TableGrid->cell(1, row), TableGrid->cell(2, row)});
    });
    MaterialTable patched = state_.MaterialTable;
    const MaterialWriteResult prepared =
        prepareMaterialWrite(patched, rows, languageIndex(), state_.MaterialNames);
    if (!prepared.ok()) {
        const QString caption = Text(texts::ErrorCaption);
        const QString message = prepared.message(languageIndex());
        bridge_.synchronize([&] {
            if (ProgressGauge)
                ProgressGauge->setGaugeVisible(false);
            if (StatusLabel)
                StatusLabel->setLabelText(QString());
            bridge_.showErrorBox(caption, message);
        });
        Terminate(ExchangeOutcome::Refused);
        return;
    }

    openLink();
    if (state_.LinkKind.load() == LinkKind::None)
        return ErrorTail(Mode::WriteMaterials);
    state_.MaterialTable = patched;
    for (int i = 0; i < 26; ++i)
        show((i + 1) * 25 / 26);

    auto failed = [&](Transfer t) {
        if (t == Transfer::Ok)
            return false;
        if (failedOnDriverOrNoLink(t))
            ErrorTail(Mode::WriteMaterials);
        else
            repeatMode();
        return true;
    };
    const auto command = commandBytes(Command::PutMaterials);
    if (failed(send(command.data(), 2)))
        return;
    state_.pacing.pauseMs(PutMaterialsPauseMs);
    std::uint8_t length[4];
    writeU32le(length, MaterialTableLength);
    if (failed(send(length, 4)))
        return;
    for (std::uint32_t sent = 0; sent < MaterialTableLength;) {
        const std::uint32_t chunk = std::min<std::uint32_t>(PutMaterialsChunkBytes, MaterialTableLength - sent);
        const Transfer t = send(state_.MaterialTable.data() + sent, chunk);
        if (failedOnDriverOrNoLink(t))
            return ErrorTail(Mode::WriteMaterials);
        // A libusb chunk that fails is passed over: the rest still goes out.
        sent += chunk;
        show(25 + int(25 * sent / MaterialTableLength));
        state_.pacing.pauseMs(PutMaterialsChunkPauseMs);
    }
    state_.ExchangeMode = Mode::FinishWrite;
}

void BMTreadUSB::FinishWrite()
{
    bridge_.synchronize([this] {
        if (ProgressGauge)
            ProgressGauge->setGaugeVisible(false);
        if (StatusLabel)
            StatusLabel->setLabelText(Text(texts::ReadyLabel));
    });
    closeLink();
    setIdle(true);
    Terminate(ExchangeOutcome::Completed);
}

void BMTreadUSB::ReadScreen()
{
    setIdle(true);
    openLink();
    show(40);
    const LinkKind kind = state_.LinkKind.load();
    if (kind == LinkKind::None)
        return ErrorTail(Mode::ReadScreen);
    // As for the material table: a picture read that fails halfway leaves the picture as it was.
    const auto before = state_.ScreenImage;
    auto failed = [&](Transfer t) {
        if (t == Transfer::Ok)
            return false;
        state_.ScreenImage = before;
        if (failedOnDriverOrNoLink(t))
            ErrorTail(Mode::ReadScreen);
        else
            repeatMode();
        return true;
    };
    const auto command = commandBytes(Command::GetScreen);
    if (failed(send(command.data(), 2)))
        return;
    state_.LinkStatus = LinkStatus::Ok;
    if (kind == LinkKind::DriverPipes)
        show(60);
    auto lengthArrived = [&] {
        state_.LinkStatus = LinkStatus::Ok;
        show(80);
    };
    auto read = [this](std::uint8_t* data, std::uint32_t count) { return receive(data, count); };
    if (failed(readReply(read, Transfer::Ok, state_.ScreenImage.data(), ScreenImageLength, nullptr, lengthArrived)))
        return;
    state_.LinkStatus = LinkStatus::Ok;
    closeLink();
    state_.ExchangeMode = Mode::ScreenDone;
    show(100);
    Terminate(ExchangeOutcome::Completed);
}

void BMTreadUSB::Finish()
{
    closeLink();
    if (state_.CancelRequest.load()) {
        state_.CancelRequest = false;
        bridge_.synchronize([this] {
            if (ProgressDialog)
                ProgressDialog->closeDialog();
        });
        setIdle(true);
        Terminate(outcome_ == ExchangeOutcome::ChecksumFailed ? outcome_ : ExchangeOutcome::Cancelled);
        return;
    }
    if (state_.ArchiveRequested.load()) {
        state_.ArchiveRequested = false;
        const int count = state_.ArchiveRecordCount.load();
        // The texts are made here; only putting them into the grid needs the interface thread.
        std::vector<QStringList> rows;
        if (count > 0)
            rows = archiveRows(state_.ArchiveRecords, static_cast<std::size_t>(count), state_.ArchiveRecordsKind,
                               state_.MaterialNames, languageIndex());
        bridge_.synchronize([&] {
            if (TableGrid) {
                StringGrid::UpdateBatch batch(*TableGrid);
                TableGrid->setRowCount(count + 1);
                if (count == 0) {
                    TableGrid->setRowCount(TableGrid->rowCount() + 1);
                    TableGrid->setFixedRows(1);
                }
                for (std::size_t i = 0; i < rows.size(); ++i) {
                    const int row = static_cast<int>(i) + 1;
                    for (int col = 0; col < rows[i].size(); ++col)
                        TableGrid->setCell(col, row, rows[i][col]);
                }
            }
            if (ProgressDialog)
                ProgressDialog->closeDialog();
        });
        state_.ArchiveRecords.clear();
        state_.ArchiveRecords.shrink_to_fit();
    } else {
        const std::vector<QStringList> rows =
            materialGridRows(state_.MaterialTable, state_.MaterialNames, languageIndex());
        bridge_.synchronize([&] {
            if (!TableGrid)
                return;
            StringGrid::UpdateBatch batch(*TableGrid);
            TableGrid->setRowCount(int(MaterialCount) + 1);
            for (std::size_t k = 0; k < rows.size(); ++k)
                for (int col = 0; col < rows[k].size(); ++col)
                    TableGrid->setCell(col, static_cast<int>(k) + 1, rows[k][col]);
        });
    }
    setIdle(true);
    Terminate(ExchangeOutcome::Completed);
}

void BMTreadUSB::ScreenDone()
{
    setIdle(true);
    // Only ever reached by a starter that sets it by hand: there is nothing to do.
    Terminate(ExchangeOutcome::Completed);
}

} // namespace quilex
