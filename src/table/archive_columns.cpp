#include "table/archive_columns.h"

#include "table/string_grid.h"

namespace quilex {

QStringList archiveHeaderTexts(int languageIndex)
{
    if (languageIndex == 1) {
        return {QStringLiteral("№"), QStringLiteral("Material"), QStringLiteral("Speed Sound, m/s"),
                QStringLiteral("Thickness, mm"), QStringLiteral("Number"), QStringLiteral("Series"),
                QStringLiteral("Date"), QStringLiteral("Time")};
    }
    return {QStringLiteral("№"), QStringLiteral("Материал"), QStringLiteral("Скорость звука, м/с"),
            QStringLiteral("Толщина, мм"), QStringLiteral("Номер"), QStringLiteral("Серия"),
            QStringLiteral("Дата"), QStringLiteral("Время")};
}

void writeArchiveHeader(StringGrid& grid, int languageIndex)
{
    const QStringList texts = archiveHeaderTexts(languageIndex);
    StringGrid::UpdateBatch batch(grid);
    for (int c = 0; c < ArchiveColumnCount; ++c)
        grid.setCell(c, 0, texts[c]);
}

void putArchiveRows(StringGrid& table, const std::vector<QStringList>& rows)
{
    StringGrid::UpdateBatch batch(table);
    const int count = static_cast<int>(rows.size());
    table.setRowCount(count + 1);
    if (count == 0) {
        // An empty archive leaves the header row and one data row the download does not write.
        table.setRowCount(table.rowCount() + 1);
        table.setFixedRows(1);
    }
    for (int i = 0; i < count; ++i)
        for (int col = 0; col < rows[i].size(); ++col)
            table.setCell(col, i + 1, rows[i][col]);
}

} // namespace quilex
