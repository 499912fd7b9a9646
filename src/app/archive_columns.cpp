#include "app/archive_columns.h"

#include "app/string_grid.h"

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

} // namespace quilex
