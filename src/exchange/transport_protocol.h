#pragma once
// What the protocol does differently over the two transports, as data. The exchange looks this
// up by the kind of the open link and has no other switch on transports; the record layouts
// are the archive codec's (archive_records.h).

#include "link/commands.h"
#include "link/link_types.h"

#include <cstdint>

namespace quilex {

struct TransportProtocol {
    std::uint32_t parameterBlockLength; // the parameter block, which is also its reply's cap
    int versionPauseMs;                 // after 01 FE, before the length
    int parametersPauseMs;              // after 02 FD, before the length
    int materialsStepPauseMs;           // after each of the first three shows of the material read
    bool recordsChecked;                // each record ends in a marker and a CRC
    bool screenShowsSixty;              // the picture read shows 60 once its command has gone
};

inline constexpr TransportProtocol DriverPipesProtocol{DriverParameterBlockLength, 0, 0, MaterialsStepPauseDriverMs,
                                                       false, true};
inline constexpr TransportProtocol LibUsbProtocol{LibUsbParameterBlockLength, VersionPauseLibUsbMs,
                                                  ParametersPauseLibUsbMs, 0, true, false};

inline constexpr const TransportProtocol& protocolOf(LinkKind kind)
{
    return kind == LinkKind::LibUsb ? LibUsbProtocol : DriverPipesProtocol;
}

} // namespace quilex
