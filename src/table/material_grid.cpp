#include "table/material_grid.h"

#include "base/texts.h"
#include "exchange/exchange_texts.h"

namespace quilex {

std::vector<QStringList> materialGridRows(const Materials& materials, std::uint8_t languageIndex)
{
    const bool english = languageIndex == LanguageEnglish;
    std::vector<QStringList> rows;
    rows.reserve(MaterialCount);
    for (std::size_t k = 0; k < MaterialCount; ++k) {
        const Material& m = materials[k];
        rows.push_back({QString::number(k + 1), english ? m.english : m.russian, QString::number(m.soundSpeed)});
    }
    return rows;
}

void putMaterialRows(StringGrid& grid, const Materials& materials, std::uint8_t languageIndex)
{
    const std::vector<QStringList> rows = materialGridRows(materials, languageIndex);
    StringGrid::UpdateBatch batch(grid);
    grid.setRowCount(int(MaterialCount) + 1);
    for (std::size_t k = 0; k < rows.size(); ++k)
        for (int col = 0; col < rows[k].size(); ++col)
            grid.setCell(col, static_cast<int>(k) + 1, rows[k][col]);
}

bool parseSoundSpeed(const QString& text, std::int32_t& speed)
{
    bool ok = false;
    // Base 10 and the C locale: no hexadecimal, no group separators, no fractions.
    const int value = text.toInt(&ok, 10);
    if (ok)
        speed = value;
    return ok;
}

QString MaterialGridReading::message(std::uint8_t languageIndex) const
{
    return Text(exchange_texts::BadSoundSpeedMessage, languageIndex).arg(badRow);
}

MaterialGridReading readMaterialGrid(std::span<const MaterialGridCells> rows, std::uint8_t languageIndex,
                                     const MaterialNames& names)
{
    MaterialGridReading reading;
    const bool english = languageIndex == LanguageEnglish;
    for (std::size_t k = 0; k < MaterialCount; ++k) {
        Material& m = reading.materials[k];
        if (k >= rows.size() || !parseSoundSpeed(rows[k].speed, m.soundSpeed)) {
            reading.badRow = static_cast<int>(k + 1);
            return reading;
        }
        // The grid shows one language; the other name goes back as it was last read.
        m.russian = english ? names[2 * k] : rows[k].name;
        m.english = english ? rows[k].name : names[2 * k + 1];
    }
    return reading;
}

MaterialGridReading readMaterialGrid(const StringGrid& grid, std::uint8_t languageIndex, const MaterialNames& names)
{
    std::vector<MaterialGridCells> rows;
    for (int row = 1; row <= int(MaterialCount); ++row)
        rows.push_back({grid.cell(1, row), grid.cell(2, row)});
    return readMaterialGrid(rows, languageIndex, names);
}

void MaterialGridTarget::showMaterials(const Materials& materials)
{
    putMaterialRows(grid_, materials, languageIndex());
}

Result<Materials> MaterialGridTarget::materialsToWrite(const MaterialNames& names)
{
    const std::uint8_t language = languageIndex();
    MaterialGridReading reading = readMaterialGrid(grid_, language, names);
    if (!reading.ok())
        return fail(reading.message(language));
    return std::move(reading.materials);
}

} // namespace quilex
