// A project file's bytes: the reader either refuses them with a message or gives a table whose
// cell count matches its counts, the same whether it goes through the parsed contents or
// straight into a grid; a table it accepts, written back out with its thickness limits, reads
// again into the same bytes and the same limits.

#include "fuzz_check.h"

#include "table/project_file.h"
#include "table/string_grid.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

using namespace quilex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    auto parsed = parseProject(bytes, static_cast<int>(size & 1));
    // Opening reads straight into a grid: the same refusal, or the same table and limits.
    StringGrid direct;
    const auto read = readProjectBytes(bytes, direct, static_cast<int>(size & 1));
    FUZZ_CHECK(read.ok() == parsed.ok());
    if (!parsed) {
        FUZZ_CHECK(!parsed.error().isEmpty() && read.error() == parsed.error());
        return 0;
    }
    ProjectContents& contents = *parsed;
    const TableLimits directLimits = read->limits;
    // Limits whose record is damaged are none, and say what is wrong with them.
    FUZZ_CHECK(contents.extras.damage.isEmpty() || contents.extras.limits.empty());
    FUZZ_CHECK(read->damage == contents.extras.damage);
    FUZZ_CHECK(contents.colCount >= 0 && contents.rowCount >= 0);
    FUZZ_CHECK(contents.cells.size() == static_cast<std::size_t>(qint64{contents.colCount} * contents.rowCount));
    const bool storesCells = !contents.cells.empty();
    const TableLimits limits = contents.extras.limits;

    StringGrid grid;
    applyProject(std::move(contents), grid);
    // The table a file makes is no larger than the file could describe, so a few bytes never
    // ask the window for millions of rows or columns; an empty table of a sensible size is the
    // one exception.
    const qint64 tableCells = qint64{grid.colCount()} * grid.rowCount();
    FUZZ_CHECK(tableCells <= std::max<qint64>(1, qint64(size) / 4) || (!storesCells && tableCells <= 65536));
    if (tableCells > 20000)
        return 0;
    FUZZ_CHECK(direct.colCount() == grid.colCount() && direct.rowCount() == grid.rowCount() && directLimits == limits);
    for (int r = 0; r < grid.rowCount(); ++r)
        for (int c = 0; c < grid.colCount(); ++c)
            FUZZ_CHECK(direct.cell(c, r) == grid.cell(c, r));
    const QByteArray first = encodeProject(grid, limits);
    auto again = parseProject(first, 1);
    FUZZ_CHECK(again.ok());
    FUZZ_CHECK(again->colCount == grid.colCount() && again->rowCount == grid.rowCount());
    FUZZ_CHECK(again->extras.limits == limits && again->extras.damage.isEmpty());
    StringGrid regrid;
    applyProject(std::move(*again), regrid);
    FUZZ_CHECK(encodeProject(regrid, limits) == first);
    return 0;
}
