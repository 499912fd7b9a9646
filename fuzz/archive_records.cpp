// A record buffer as the gauge filled it, in either layout: the rows the archive table gets.
// The first two bytes pick the transport, the language, the locale and how many records the
// parameter block announced; the rest is the buffer.

#include "fuzz_check.h"

#include "exchange/archive_records.h"
#include "table/archive_columns.h"
#include "table/archive_rows.h"

#include <QLocale>

#include <algorithm>
#include <cstring>

using namespace quilex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    const LinkKind kind = (data[0] & 1) ? LinkKind::LibUsb : LinkKind::DriverPipes;
    const std::uint8_t language = (data[0] >> 1) & 1;
    const QLocale locale = (data[0] & 4) ? QLocale(QLocale::Russian, QLocale::Russia) : QLocale::c();
    // Up to a few records more than the buffer holds, as an announced count can be.
    const std::size_t announced = data[1] % 64;
    const std::span<const std::uint8_t> records(data + 2, size - 2);

    const MaterialNames& names = builtInMaterialNames();
    const std::vector<QStringList> rows =
        archiveRows(decodeArchiveRecords(records, announced, kind), names, language, locale);
    const std::size_t whole = records.size() / ArchiveRecordLength;
    FUZZ_CHECK(rows.size() == std::min(announced, whole));
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const QStringList& row = rows[i];
        FUZZ_CHECK(row.size() == int(ArchiveColumnCount));
        FUZZ_CHECK(row[0] == QString::number(i + 1));
        for (const QString& cell : row)
            FUZZ_CHECK(!cell.isEmpty());
        // The date and the time come from one moment: both shown or both "NAN".
        FUZZ_CHECK((row[6] == QStringView(NanCellText)) == (row[7] == QStringView(NanCellText)));

        const auto record = decodeArchiveRecord(records.subspan(i * ArchiveRecordLength), kind);
        FUZZ_CHECK(record.has_value());
        FUZZ_CHECK(row == archiveRowTexts(i, *record, names, language, locale));
        if (kind == LinkKind::LibUsb)
            FUZZ_CHECK(record->Material <= 0xFF);
    }
    // A short buffer decodes to nothing rather than reading past its end.
    std::vector<std::uint8_t> tail(records.begin(), records.begin() + long(records.size() % ArchiveRecordLength));
    FUZZ_CHECK(!decodeArchiveRecord(tail, kind).has_value());
    return 0;
}
