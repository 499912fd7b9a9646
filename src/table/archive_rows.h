#pragma once
// The archive table's rows made from the gauge's records: the texts a download writes, in the
// language and locale of that moment.

#include "exchange/archive_records.h"
#include "exchange/materials.h"
#include "table/archive_values.h"
#include "table/string_grid.h"

#include <QLocale>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace quilex {

// What a cell shows when its value cannot be written out.
inline constexpr char16_t NanCellText[] = u"NAN";

// The cell texts one by one; "NAN" where the value cannot be shown.
// Column 1: the material's name in the given language, "NAN" for a Material above 12.
QString archiveMaterialText(const ArchiveRecord& record, const MaterialNames& names,
                            std::uint8_t languageIndex);
// Column 3: two decimals, rounded, the locale's decimal separator, no group separator.
QString thicknessText(float thickness, const QLocale& locale = QLocale::system());
// Column 6: 2000 + Year, Month, Day in the locale's short date format.
QString archiveDateText(const ArchiveRecord& record, const QLocale& locale = QLocale::system());
// Column 7: "hh:mm:ss", 24-hour. An invalid date makes the time "NAN" too: the two cells
// come from one date and time.
QString archiveTimeText(const ArchiveRecord& record);

// The eight cells of the table row for record i (row i + 1 of the table).
QStringList archiveRowTexts(std::size_t i, const ArchiveRecord& record, const MaterialNames& names,
                            std::uint8_t languageIndex, const QLocale& locale = QLocale::system());

// The rows for a download's records, record i in row i + 1.
std::vector<QStringList> archiveRows(const std::vector<ArchiveRecord>& records, const MaterialNames& names,
                                     std::uint8_t languageIndex, const QLocale& locale = QLocale::system());

// The thickness a record's cell shows, in hundredths of a millimetre: rounded as the cell's two
// decimals are; none where the cell shows "NAN" or the value does not fit.
std::optional<std::int32_t> thicknessHundredths(float thickness);

// The values of record i's row, exactly what reading the row's texts gives, made from the record
// itself; record and material are the row's texts of those cells. With a date format of two-digit
// years, the date is the one its text reads back as (2000 to 2099).
ArchiveValues archiveRowValues(std::size_t i, const ArchiveRecord& record, const QString& recordText,
                               const QString& materialText, bool twoDigitYears);

class TableValues;

// Puts a download into the table: one row per record after the header row, which stays as it
// is (an empty archive leaves the header row and one empty row), in the language and locale
// given; and when values are kept beside the table, the rows' values from the records.
void putArchiveDownload(StringGrid& table, TableValues* values, const std::vector<ArchiveRecord>& records,
                        const MaterialNames& names, std::uint8_t languageIndex,
                        const QLocale& locale = QLocale::system());

} // namespace quilex
