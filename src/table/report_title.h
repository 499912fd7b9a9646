#pragma once
// The title block of an inspection report: what the inspector types once for a table (the
// object, the place, who measured, with which gauge and probe, how it was calibrated, which
// couplant) and what every report of that table then carries at its top. Plain texts; the
// date is the report's own.
//
// A project keeps them after its last cell, before the limits (thickness_limits.h), which stay
// the file's last record:
//
//   offset  size  content (little-endian)
//        0     4  "QXLT"
//        4     2  version, 1
//        6     4  payload length P
//       10     P  text count N (signed 32-bit), then N texts, each its length n (signed 32-bit)
//                 and n bytes of UTF-8: object, place, operator, gauge, serial, probe,
//                 calibration, couplant; a reader takes the texts it knows and skips the rest
//   10 + P     2  CRC-16 (as the gauge's blocks) of bytes 0 .. 9 + P
//
// A project whose title block is empty has no such record and is written as it always was.

#include "base/result.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>

namespace quilex {

struct ReportTitle {
    QString object;
    QString place;
    QString operatorName;
    QString gauge;
    QString serial;
    QString probe;
    QString calibration;
    QString couplant;

    bool empty() const
    {
        return object.isEmpty() && place.isEmpty() && operatorName.isEmpty() && gauge.isEmpty() && serial.isEmpty()
               && probe.isEmpty() && calibration.isEmpty() && couplant.isEmpty();
    }
    friend bool operator==(const ReportTitle&, const ReportTitle&) = default;
};

inline constexpr char TitleMagic[4] = {'Q', 'X', 'L', 'T'};
inline constexpr std::uint16_t TitleVersion = 1;
inline constexpr qsizetype TitleHeaderSize = 10;

// The record; empty when the title block is.
QByteArray encodeTitle(const ReportTitle& title);
// True when the bytes after the last cell begin as a title record does.
bool startsTitle(QByteArrayView afterCells);

// A title record read from the bytes after the last cell, and how many bytes it takes there.
struct TitleRecord {
    ReportTitle title;
    qsizetype size = 0;
};
// Reads the record that startsTitle accepted. A damaged one fails with what is wrong (Russian
// for languageIndex 0, English for 1); its size is still known when its length fits the bytes
// (size > 0 in the failure's detail is not given: see titleRecordSize).
Result<TitleRecord> decodeTitle(QByteArrayView afterCells, int languageIndex);
// Where the record that startsTitle accepted ends, by its length alone: 0 when the length does
// not fit the bytes, so that nothing after it can be found.
qsizetype titleRecordSize(QByteArrayView afterCells);

} // namespace quilex
