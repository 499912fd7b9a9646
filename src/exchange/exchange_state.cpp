#include "exchange/exchange_state.h"

namespace quilex {

ExchangeState::ExchangeState(Pacing& pacingToUse, std::string driverRoot, std::string libUsbName)
    : pacing(pacingToUse), DriverPipeLink(std::move(driverRoot)), LibUSB(std::move(libUsbName)),
      MaterialNames(builtInMaterialNames())
{
    // Cancel ends a read that waits on a silent gauge at once, not after the read time-out.
    DriverPipeLink.setAbortFlag(&CancelRequest);
    noteAnswer();
}

void ExchangeState::noteAnswer()
{
    lastAnswer.store(std::chrono::steady_clock::now().time_since_epoch().count());
}

std::chrono::steady_clock::time_point ExchangeState::lastAnswerTime() const
{
    return std::chrono::steady_clock::time_point(std::chrono::steady_clock::duration(lastAnswer.load()));
}

GaugeLink* ExchangeState::link(quilex::LinkKind kind)
{
    switch (kind) {
    case LinkKind::DriverPipes: return &pipeLink;
    case LinkKind::LibUsb: return &usbLink;
    default: return nullptr;
    }
}

} // namespace quilex
