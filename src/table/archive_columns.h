#pragma once
// The archive table's eight standard columns: header texts in both languages and widths.

#include <QStringList>

#include <array>
#include <vector>

namespace quilex {

class StringGrid;

inline constexpr int ArchiveColumnCount = 8;

// Where each of the archive's fields stands, column 0 first.
namespace archive_column {
inline constexpr int Record = 0;     // "№"
inline constexpr int Material = 1;
inline constexpr int SoundSpeed = 2; // m/s
inline constexpr int Thickness = 3;  // mm, two decimals
inline constexpr int Number = 4;
inline constexpr int Series = 5;
inline constexpr int Date = 6;       // the locale's short date format
inline constexpr int Time = 7;       // hh:mm:ss
} // namespace archive_column

// Widths in pixels, column 0 ("№") first.
inline constexpr std::array<int, ArchiveColumnCount> ArchiveColumnWidths{40, 92, 133, 96, 48, 46, 64, 63};

// "№" and the seven column headers; languageIndex 1 is English, anything else Russian.
QStringList archiveHeaderTexts(int languageIndex);

// What a language switch does to the header row: cell (0, 0) and cells (1, 0) .. (7, 0) get the
// standard texts, whatever the table's column count is at the time.
void writeArchiveHeader(StringGrid& grid, int languageIndex);

// Puts a downloaded archive into the table: one row per record after the header row, which
// stays as it is; an empty archive leaves the header row and one empty row.
void putArchiveRows(StringGrid& table, const std::vector<QStringList>& rows);

} // namespace quilex
