// The material table as a reply leaves it (its own bytes at the front, the earlier table
// behind them): the names and the grid rows it gives, and the write that sends it back. The
// grid's cells are either the decoded ones or texts from the input.

#include "fuzz_check.h"

#include "exchange/materials.h"
#include "table/material_grid.h"
#include "link/crc16.h"

#include <algorithm>
#include <cstring>

using namespace quilex;

namespace {

QString latin1(const std::uint8_t* data, std::size_t size)
{
    return QString::fromLatin1(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

// A write as the exchange makes it: the grid read back, and only when it is whole, put into
// the table.
MaterialGridReading prepareMaterialWrite(MaterialTable& table, const std::vector<MaterialGridCells>& grid,
                                         std::uint8_t language, const MaterialNames& names)
{
    MaterialGridReading reading = readMaterialGrid(grid, language, names);
    if (reading.ok())
        applyMaterials(table, reading.materials);
    return reading;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    MaterialTable table{};
    std::memcpy(table.data(), data, std::min(size, table.size()));

    const MaterialNames names = decodeMaterialNames(table);
    for (std::size_t k = 0; k < MaterialCount; ++k) {
        FUZZ_CHECK(names[2 * k].size() <= qsizetype(NameMaxChars));
        FUZZ_CHECK(names[2 * k + 1].size() <= qsizetype(NameMaxChars));
        FUZZ_CHECK(names[2 * k] == decodeNameField(materialNameRu(table, k)));
    }
    for (std::size_t k : recordsWithBadMarker(table))
        FUZZ_CHECK(k < MaterialCount && materialMarker(table, k) != 0xAAAA);
    // Name fields of any length, at any place in the input.
    for (std::size_t at = 0; at < size; at += 7)
        (void)decodeNameField(std::span(data + at, std::min<std::size_t>(size - at, NameFieldLength + 2)));

    for (std::uint8_t language = 0; language < 2; ++language) {
        const std::vector<QStringList> rows = materialGridRows(decodeMaterials(table), language);
        FUZZ_CHECK(rows.size() == MaterialCount);
        std::vector<MaterialGridCells> grid;
        for (const QStringList& row : rows) {
            FUZZ_CHECK(row.size() == 3);
            grid.push_back({row[1], row[2]});
        }
        // The grid as the read left it always goes back to the gauge, and a second write of
        // what the first one sent changes nothing.
        MaterialTable sent = table;
        FUZZ_CHECK(prepareMaterialWrite(sent, grid, language, names).ok());
        for (std::size_t k = 0; k < MaterialCount; ++k) {
            FUZZ_CHECK(materialSoundSpeed(sent, k) == materialSoundSpeed(table, k));
            FUZZ_CHECK(materialPrefix(sent, k) == materialPrefix(table, k));
            FUZZ_CHECK(materialMarker(sent, k) == materialMarker(table, k));
        }
        const MaterialNames sentNames = decodeMaterialNames(sent);
        std::vector<MaterialGridCells> regrid;
        for (const QStringList& row : materialGridRows(decodeMaterials(sent), language))
            regrid.push_back({row[1], row[2]});
        MaterialTable again = sent;
        FUZZ_CHECK(prepareMaterialWrite(again, regrid, language, sentNames).ok());
        FUZZ_CHECK(again == sent);
    }

    // Cells typed by hand: the input after the table, split at zero bytes.
    if (size > table.size()) {
        std::vector<MaterialGridCells> typed;
        const std::uint8_t* p = data + table.size();
        const std::uint8_t* end = data + size;
        while (p < end && typed.size() < MaterialCount + 2) {
            const std::uint8_t* stop = std::find(p, end, std::uint8_t{0});
            const std::size_t half = static_cast<std::size_t>(stop - p) / 2;
            typed.push_back({latin1(p, half), latin1(p + half, static_cast<std::size_t>(stop - p) - half)});
            p = stop == end ? end : stop + 1;
        }
        MaterialTable sent = table;
        const MaterialGridReading result = prepareMaterialWrite(sent, typed, size & 1, names);
        if (!result.ok()) {
            FUZZ_CHECK(result.badRow >= 1 && result.badRow <= int(MaterialCount));
            FUZZ_CHECK(sent == table);
            FUZZ_CHECK(!result.message(0).isEmpty() && !result.message(1).isEmpty());
        } else {
            FUZZ_CHECK(typed.size() >= MaterialCount);
            for (std::size_t k = 0; k < MaterialCount; ++k) {
                std::int32_t speed = 0;
                FUZZ_CHECK(parseSoundSpeed(typed[k].speed, speed));
                FUZZ_CHECK(materialSoundSpeed(sent, k) == speed);
                FUZZ_CHECK(materialCrc(sent, k) == Crc16(materialRecord(sent, k).data(), MaterialCrcOffset));
            }
        }
    }
    return 0;
}
