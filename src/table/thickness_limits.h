#pragma once
// The inspector's limits: the nominal wall thickness and the minimum allowable thickness, for
// the whole table and, where a series (an object) differs, for that series. They travel in the
// project file after its last cell, as a trailer that a reader of the cells alone never sees:
//
//   offset  size  content (little-endian)
//        0     4  "QXLM"
//        4     2  version, 1
//        6     4  payload length P
//       10     P  entry count N (unsigned 32-bit), then N entries of 12 bytes:
//                   series (signed 32-bit; -1 the whole table),
//                   nominal, minimum (signed 32-bit hundredths of a millimetre; -1 none)
//   10 + P     2  CRC-16 (as the gauge's blocks) of bytes 0 .. 9 + P
//
// A project without limits has no trailer and is written exactly as it always was.

#include "base/result.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>
#include <map>
#include <optional>
#include <variant>

namespace quilex {

// Thicknesses in hundredths of a millimetre, as the table writes them (12,50 is 1250).
struct ThicknessLimits {
    std::optional<std::int32_t> nominal;
    std::optional<std::int32_t> minimum;
    bool empty() const { return !nominal && !minimum; }
    bool operator==(const ThicknessLimits&) const = default;
};

struct TableLimits {
    ThicknessLimits table;                          // for every series
    std::map<std::int32_t, ThicknessLimits> series; // a series' own, where it differs
    bool empty() const;
    // What holds for a series: its own nominal and minimum where set, else the table's.
    ThicknessLimits forSeries(std::optional<std::int32_t> series) const;
    bool operator==(const TableLimits&) const = default;
};

inline constexpr char LimitsMagic[4] = {'Q', 'X', 'L', 'M'};
inline constexpr std::uint16_t LimitsVersion = 1;
inline constexpr qsizetype LimitsHeaderSize = 10;
inline constexpr qsizetype LimitsEntrySize = 12;

// The trailer for the limits; empty when there are none.
QByteArray encodeLimits(const TableLimits& limits);
// True when the bytes after the last cell begin as a trailer of limits does.
bool startsLimits(QByteArrayView afterCells);
// Reads the trailer (the bytes after the last cell, which startsLimits accepted); a damaged one
// (another version, a length or count that does not fit, a wrong checksum) is refused with what
// is wrong (Russian for languageIndex 0, English for 1).
Result<TableLimits> decodeLimits(QByteArrayView trailer, int languageIndex);

// A limit as the user writes it ("12,5", "12.50"): hundredths of a millimetre, from 0 up.
std::optional<std::int32_t> limitFromText(const QString& text);

} // namespace quilex

#include <QMetaType>
Q_DECLARE_METATYPE(quilex::TableLimits)
