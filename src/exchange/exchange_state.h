#pragma once
// Everything the exchanges with the gauge share for the whole run: the exchange variables,
// the two links and the data buffers. The application owns one; each exchange thread is
// handed it; a test makes its own. What both the interface thread and an exchange thread
// touch is atomic.

#include "exchange/materials.h"
#include "link/commands.h"
#include "link/driver_pipe_link.h"
#include "link/gauge_link.h"
#include "link/libusb_link.h"
#include "link/link_types.h"
#include "link/pacing.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <vector>

namespace quilex {

struct ExchangeState {
    // `pacing` takes every fixed pause of the protocol; it must outlive the state.
    explicit ExchangeState(Pacing& pacing = defaultPacing(), std::string driverRoot = driverRootFromEnvironment(),
                           std::string libUsbName = libUsbNameFromEnvironment());

    Pacing& pacing;

    std::atomic<std::uint8_t> ExchangeMode{0};
    std::atomic<quilex::LinkKind> LinkKind{quilex::LinkKind::None};
    std::atomic<quilex::LinkStatus> LinkStatus{quilex::LinkStatus::Ok};
    std::atomic<bool> CancelRequest{false};
    std::atomic<bool> ArchiveRequested{false};
    std::atomic<bool> ReadMaterialsFirst{true};
    std::atomic<int> ArchiveRecordCount{0};

    // When bytes last came from the gauge, for callers that give up on a gauge that stopped
    // answering. Only an answer counts: a gauge that takes every command and says nothing has
    // not answered.
    std::atomic<std::chrono::steady_clock::rep> lastAnswer{0};
    void noteAnswer();
    std::chrono::steady_clock::time_point lastAnswerTime() const;

    quilex::DriverPipeLink DriverPipeLink;
    LibUsbLink LibUSB;
    // The two links as the exchange talks through them.
    PipeGaugeLink pipeLink{DriverPipeLink};
    UsbGaugeLink usbLink{LibUSB};
    // The link of a kind; none for LinkKind::None.
    GaugeLink* link(quilex::LinkKind kind);

    std::array<std::uint8_t, VersionCap> VersionText{};
    std::array<std::uint8_t, DriverParameterBlockLength> DriverHeader{};
    std::array<std::uint8_t, LibUsbParameterBlockLength> UsbHeader{};
    // ArchiveRecordCount records of 20 bytes in the layout of the link they came over.
    std::vector<std::uint8_t> ArchiveRecords;
    quilex::LinkKind ArchiveRecordsKind = quilex::LinkKind::None;

    quilex::MaterialTable MaterialTable{};
    quilex::MaterialNames MaterialNames;
    std::array<std::uint8_t, ScreenImageLength> ScreenImage{};
};

} // namespace quilex
