#include "exchange/bmtread_usb.h"

#include "base/texts.h"
#include "exchange/archive_records.h"
#include "exchange/exchange_texts.h"
#include "exchange/transport_protocol.h"
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

BMTreadUSB::BMTreadUSB(ExchangeState& state, ExchangeBridge& bridge) : state_(state), bridge_(bridge) {}

BMTreadUSB::~BMTreadUSB()
{
    waitUntilEnded();
}

void BMTreadUSB::SetTargets(GaugeTarget* gauge, DialogTarget* dialog, LabelTarget* label, MaterialsTarget* materials)
{
    ProgressGauge = gauge;
    ProgressDialog = dialog;
    StatusLabel = label;
    MaterialsShown = materials;
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
            // An unknown mode names no work: end the exchange without touching any table.
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
    case LinkStatus::NoLibrary:
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
        break;
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

TransferStatus BMTreadUSB::noteTransfer(TransferStatus result)
{
    // Every transfer step tells the display how the link is doing.
    switch (result) {
    case TransferStatus::Ok: state_.LinkStatus = LinkStatus::Ok; break;
    case TransferStatus::Failed:
    case TransferStatus::Gone: state_.LinkStatus = LinkStatus::LinkError; break;
    case TransferStatus::NotOpen:
        // A libusb gauge that was found but would not open: every transfer fails.
        if (state_.LinkKind.load() != LinkKind::None)
            state_.LinkStatus = LinkStatus::LinkError;
        break;
    }
    return result;
}

TransferStatus BMTreadUSB::send(const std::uint8_t* data, std::uint32_t count)
{
    GaugeLink* link = state_.link(state_.LinkKind.load());
    return link ? noteTransfer(link->write(data, count)) : TransferStatus::NotOpen;
}

TransferStatus BMTreadUSB::receive(std::uint8_t* data, std::uint32_t count)
{
    GaugeLink* link = state_.link(state_.LinkKind.load());
    if (!link)
        return TransferStatus::NotOpen;
    std::uint32_t received = 0;
    const TransferStatus t = noteTransfer(link->read(data, count, &received));
    if (t == TransferStatus::Ok && received > 0)
        state_.noteAnswer();
    return t;
}

TransferStatus BMTreadUSB::exchange(const std::uint8_t* command, std::uint32_t commandLength, std::uint8_t* block,
                                    std::uint32_t cap, int pauseMs, std::uint32_t* received)
{
    if (TransferStatus t = send(command, commandLength); t != TransferStatus::Ok)
        return t;
    if (pauseMs > 0)
        state_.pacing.pauseMs(pauseMs);
    // The gauge answers with the length first; it lands in the block's first bytes.
    auto read = [this](std::uint8_t* data, std::uint32_t count) { return receive(data, count); };
    return readReply(read, TransferStatus::Ok, block, cap, received);
}

void BMTreadUSB::openLink()
{
    const LinkOpening opened = OpenLink(state_.pipeLink, state_.usbLink, state_.pacing);
    state_.LinkStatus = opened.status;
    state_.LinkKind = opened.kind;
}

void BMTreadUSB::closeLink()
{
    if (GaugeLink* link = state_.link(state_.LinkKind.load()))
        link->close();
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
#ifdef SCHED_BATCH
    // Linux has no priority below the normal one that still gets its turn. Its idle class runs a
    // thread only while nothing else wants the processor: with other programs keeping it busy,
    // a connection or a material read stood still for seconds after a pause, and a gauge that
    // answers looked silent. The batch class gives the idle steps their share all the same and
    // lets the window's thread go first when both wake; the exchange waits on the link nearly
    // all the time either way. Any thread may move between the two classes.
    sched_param param{};
    (void)pthread_setschedparam(pthread_self(), idle ? SCHED_BATCH : SCHED_OTHER, &param);
#else
    setPriority(idle ? QThread::IdlePriority : QThread::NormalPriority);
#endif
}

// Every failed step of every mode comes here, whatever the transport: nothing is skipped and
// nothing is repeated without a pause.
// - Cancel ends the exchange (mode 10 closes the link and touches no table).
// - What a confused gauge left unread is drained, and the thread waits a second (Cancel cuts
//   the wait short).
// - A step that failed once or twice over a link that is still there is simply tried again:
//   the same version, parameter or record request, or the same material or picture exchange.
// - A link that has gone (its pipes closed, libusb says no device, or none was open), and a
//   step that failed StepAttempts times in a row, close the link: modes 1 to 3 start again
//   from the connection, which finds a gauge plugged in again; modes 4, 5 and 8 open the link
//   themselves when they run again.
void BMTreadUSB::ErrorTail(std::uint8_t failedMode, TransferStatus why)
{
    if (cancelled()) {
        state_.ExchangeMode = Mode::Finish;
        return;
    }
    GaugeLink* link = state_.link(state_.LinkKind.load());
    if (link)
        link->drain();
    const bool reconnect = why != TransferStatus::Failed || ++failuresInARow_ >= StepAttempts;
    if (reconnect) {
        failuresInARow_ = 0;
        if (link)
            link->close();
        state_.LinkKind = LinkKind::None;
    }
    state_.ExchangeMode = reconnect && failedMode <= Mode::ReadRecords ? Mode::Connect : failedMode;
    state_.pacing.pauseUnlessCancelled(std::chrono::milliseconds(ErrorTailPauseMs), state_.CancelRequest);
    if (cancelled())
        state_.ExchangeMode = Mode::Finish;
}

// ---------------------------------------------------------------------------------------
// The modes

void BMTreadUSB::Connect()
{
    setIdle(true);
    if (cancelled()) {
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
    const TransportProtocol& protocol = protocolOf(state_.LinkKind.load());
    const TransferStatus t =
        exchange(command.data(), 2, state_.VersionText.data(), VersionCap, protocol.versionPauseMs, nullptr);
    if (t != TransferStatus::Ok)
        return ErrorTail(Mode::ReadVersion, t);
    failuresInARow_ = 0;
    if (cancelled()) {
        state_.ExchangeMode = Mode::Finish;
        return;
    }
    state_.ExchangeMode = Mode::ReadParameters;
    show(6);
}

void BMTreadUSB::ReadParameters()
{
    const TransportProtocol& protocol = protocolOf(state_.LinkKind.load());
    const std::uint32_t n = protocol.parameterBlockLength;
    std::uint8_t* header = n == LibUsbParameterBlockLength ? state_.UsbHeader.data() : state_.DriverHeader.data();
    const auto command = commandBytes(Command::GetParameters);
    const TransferStatus t = exchange(command.data(), 2, header, n, protocol.parametersPauseMs, nullptr);
    if (t != TransferStatus::Ok)
        return ErrorTail(Mode::ReadParameters, t);
    failuresInARow_ = 0;
    // The check covers the whole block, whatever length the gauge announced.
    if (!checkBlock(header, n)) {
        showErrorBox(texts::CrcErrorMessage);
        state_.CancelRequest = true;
        outcome_ = ExchangeOutcome::ChecksumFailed;
    } else {
        state_.ArchiveRecordCount = static_cast<int>(countArchiveRecords({header, n}));
    }
    if (cancelled()) {
        state_.ExchangeMode = Mode::Finish;
    } else if (state_.ArchiveRecordCount.load() == 0) {
        state_.LinkStatus = LinkStatus::NoData;
        state_.ExchangeMode = Mode::Finish;
    } else {
        nextRecord_ = 0; // a fresh download: every record from the first
        state_.ExchangeMode = Mode::ReadRecords;
        show(7);
    }
}

void BMTreadUSB::ReadRecords()
{
    const int count = state_.ArchiveRecordCount.load();
    const LinkKind kind = state_.LinkKind.load();
    if (kind == LinkKind::None)
        return ErrorTail(Mode::ReadRecords, TransferStatus::NotOpen);
    const TransportProtocol& protocol = protocolOf(kind);
    if (nextRecord_ == 0) {
        try {
            state_.ArchiveRecords.assign(static_cast<std::size_t>(count) * ArchiveRecordLength, 0);
        } catch (const std::bad_alloc&) {
            showErrorBox(texts::OutOfMemoryMessage);
            std::exit(1);
        }
        state_.ArchiveRecordsKind = kind;
    }
    int shownProgress = -1;
    LinkStatus shownStatus = state_.LinkStatus.load();
    for (int i = nextRecord_; i < count; ++i) {
        std::uint8_t* record = state_.ArchiveRecords.data() + static_cast<std::size_t>(i) * ArchiveRecordLength;
        const auto command = recordCommand(static_cast<std::uint16_t>(i));
        std::uint32_t received = 0;
        TransferStatus t = exchange(command.data(), 4, record, ArchiveRecordLength, 0, &received);
        // A record without a check of its own must at least be whole: its missing bytes would
        // be shown as a measurement.
        if (t == TransferStatus::Ok && !protocol.recordsChecked && received < ArchiveRecordLength)
            t = noteTransfer(TransferStatus::Failed);
        if (t != TransferStatus::Ok) {
            // Tried again from this record, or, when the link is gone, from a new connection.
            nextRecord_ = i;
            return ErrorTail(Mode::ReadRecords, t);
        }
        failuresInARow_ = 0;
        if (protocol.recordsChecked && !checkBlock(record, ArchiveRecordLength)) {
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
        if (cancelled())
            break;
    }
    nextRecord_ = 0;
    state_.ExchangeMode = Mode::Finish;
}

void BMTreadUSB::ReadMaterials()
{
    setIdle(true);
    openLink();
    const LinkKind kind = state_.LinkKind.load();
    if (kind == LinkKind::None)
        return ErrorTail(Mode::ReadMaterials, TransferStatus::NotOpen);
    const bool archive = state_.ArchiveRequested.load();
    const int stepPauseMs = protocolOf(kind).materialsStepPauseMs;
    auto step = [&](int archiveValue, int materialValue) {
        state_.LinkStatus = LinkStatus::Ok;
        show(archive ? archiveValue : materialValue);
        if (stepPauseMs > 0)
            state_.pacing.pauseMs(stepPauseMs);
    };
    // The reply is read into the table itself (a shorter one replaces only its own bytes), so a
    // read that fails halfway puts back what the table held: the next write sends from it.
    const MaterialTable before = state_.MaterialTable;
    auto failed = [&](TransferStatus t) {
        if (t == TransferStatus::Ok)
            return false;
        state_.MaterialTable = before;
        ErrorTail(Mode::ReadMaterials, t); // the mode runs again and opens the link anew
        return true;
    };

    const auto command = commandBytes(Command::GetMaterials);
    if (failed(send(command.data(), 2)))
        return;
    step(1, 40);
    auto read = [this](std::uint8_t* data, std::uint32_t count) { return receive(data, count); };
    if (failed(readReply(read, TransferStatus::Ok, state_.MaterialTable.data(), MaterialTableLength, nullptr,
                         [&] { step(2, 60); })))
        return;
    failuresInARow_ = 0;
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
    // The materials are asked for, and every speed checked, before the link is opened, so a
    // speed that is not a number stops the write with nothing sent and no link left open.
    Result<Materials> wanted = fail(Text(texts::BadSoundSpeedMessage).arg(1));
    bridge_.synchronize([&] {
        if (MaterialsShown)
            wanted = MaterialsShown->materialsToWrite(state_.MaterialNames);
    });
    if (!wanted.ok()) {
        const QString caption = Text(texts::ErrorCaption);
        const QString message = wanted.error();
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
        return ErrorTail(Mode::WriteMaterials, TransferStatus::NotOpen);
    applyMaterials(state_.MaterialTable, wanted.value());
    for (int i = 0; i < 26; ++i)
        show((i + 1) * 25 / 26);
    // Up to here the gauge has been sent nothing, and Cancel may still stop the write whole.
    if (cancelled()) {
        state_.ExchangeMode = Mode::Finish;
        return;
    }
    const auto command = commandBytes(Command::PutMaterials);
    if (const TransferStatus t = send(command.data(), 2); t != TransferStatus::Ok)
        return ErrorTail(Mode::WriteMaterials, t); // the gauge took nothing: try again
    state_.pacing.pauseMs(PutMaterialsPauseMs);
    std::uint8_t length[4];
    writeU32le(length, MaterialTableLength);
    if (send(length, 4) != TransferStatus::Ok)
        return materialWriteFailed();
    for (std::uint32_t sent = 0; sent < MaterialTableLength;) {
        const std::uint32_t chunk = std::min<std::uint32_t>(PutMaterialsChunkBytes, MaterialTableLength - sent);
        if (send(state_.MaterialTable.data() + sent, chunk) != TransferStatus::Ok)
            return materialWriteFailed();
        sent += chunk;
        show(25 + int(25 * sent / MaterialTableLength));
        state_.pacing.pauseMs(PutMaterialsChunkPauseMs);
    }
    state_.ExchangeMode = Mode::FinishWrite;
}

void BMTreadUSB::materialWriteFailed()
{
    // The gauge has taken the command and maybe part of the table. The write is not tried again
    // by itself: a gauge still waiting for the rest of the table would take the new command and
    // length as table bytes. The user is told, and loads the table again.
    closeLink();
    bridge_.synchronize([this] {
        if (ProgressGauge)
            ProgressGauge->setGaugeVisible(false);
        if (StatusLabel)
            StatusLabel->setLabelText(Text(texts::LinkErrorLabel));
    });
    showErrorBox(texts::MaterialWriteIncompleteMessage);
    setIdle(true);
    Terminate(ExchangeOutcome::LinkFailed);
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
        return ErrorTail(Mode::ReadScreen, TransferStatus::NotOpen);
    // As for the material table: a picture read that fails halfway leaves the picture as it was.
    const auto before = state_.ScreenImage;
    auto failed = [&](TransferStatus t) {
        if (t == TransferStatus::Ok)
            return false;
        state_.ScreenImage = before;
        ErrorTail(Mode::ReadScreen, t);
        return true;
    };
    const auto command = commandBytes(Command::GetScreen);
    if (failed(send(command.data(), 2)))
        return;
    state_.LinkStatus = LinkStatus::Ok;
    if (protocolOf(kind).screenShowsSixty)
        show(60);
    auto lengthArrived = [&] {
        state_.LinkStatus = LinkStatus::Ok;
        show(80);
    };
    auto read = [this](std::uint8_t* data, std::uint32_t count) { return receive(data, count); };
    if (failed(readReply(read, TransferStatus::Ok, state_.ScreenImage.data(), ScreenImageLength, nullptr,
                         lengthArrived)))
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
    if (cancelled()) {
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
        // Every record was read and checked: the records go to the table's owner.
        ArchiveDownload download;
        if (count > 0)
            download.records = decodeArchiveRecords(state_.ArchiveRecords, static_cast<std::size_t>(count),
                                                    state_.ArchiveRecordsKind);
        download.names = state_.MaterialNames;
        bridge_.synchronize([&] {
            bridge_.archiveRead(download);
            if (ProgressDialog)
                ProgressDialog->closeDialog();
        });
        state_.ArchiveRecords.clear();
        state_.ArchiveRecords.shrink_to_fit();
    } else {
        const Materials materials = decodeMaterials(state_.MaterialTable);
        bridge_.synchronize([&] {
            if (MaterialsShown)
                MaterialsShown->showMaterials(materials);
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
