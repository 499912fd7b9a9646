#pragma once
// The material grid: the gauge's 13 materials as the settings window and the command line
// show and edit them. A header row, then for material k (row k + 1) its number, its name in
// the language shown and its speed of sound. The exchange hands over typed materials and asks
// for them back; this is where they become cells and cells become materials again.

#include "base/result.h"
#include "exchange/exchange_targets.h"
#include "exchange/materials.h"
#include "table/string_grid.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <span>
#include <vector>

namespace quilex {

// The 13 rows of the grid (row k + 1 of the grid is element k): the number k + 1, the name in
// the given language and the speed as a signed decimal number.
std::vector<QStringList> materialGridRows(const Materials& materials, std::uint8_t languageIndex);

// Fills rows 1 to 13 of the grid (its row count becomes 14), header row untouched.
void putMaterialRows(StringGrid& grid, const Materials& materials, std::uint8_t languageIndex);

// What the write takes from the grid for one material.
struct MaterialGridCells {
    QString name;  // column 1, in the language the grid shows
    QString speed; // column 2
};

// The signed 32-bit number in a speed cell; surrounding blanks are allowed.
bool parseSoundSpeed(const QString& text, std::int32_t& speed);

// The materials as the grid holds them now: for each one the name in the language shown and the
// speed come from the grid, the other name from names as last read. Every speed cell is checked:
// the first that is not a whole number in the signed 32-bit range (or a grid with fewer than 13
// rows) is refused, naming its row (1..13) in badRow. A grid longer than 13 rows is read up to
// row 13.
struct MaterialGridReading {
    Materials materials;
    int badRow = 0; // 0 when every speed is a number
    bool ok() const { return badRow == 0; }
    // The message that names the bad row.
    QString message(std::uint8_t languageIndex) const;
};
MaterialGridReading readMaterialGrid(std::span<const MaterialGridCells> rows, std::uint8_t languageIndex,
                                     const MaterialNames& names);
// The same from rows 1 to 13 of a grid.
MaterialGridReading readMaterialGrid(const StringGrid& grid, std::uint8_t languageIndex, const MaterialNames& names);

// A material grid as the exchange's materials target: a read fills it in the language in use, a
// write takes what it holds at that moment.
class MaterialGridTarget final : public MaterialsTarget {
public:
    explicit MaterialGridTarget(StringGrid& grid) : grid_(grid) {}
    void showMaterials(const Materials& materials) override;
    Result<Materials> materialsToWrite(const MaterialNames& names) override;

private:
    StringGrid& grid_;
};

} // namespace quilex
