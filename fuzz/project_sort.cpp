// A project file sorted straight from its bytes (the first input byte picks the column, the
// second the direction before the click): either the sort leaves the file to the long way, or
// it gives exactly the bytes that reading the table, clicking its header and writing it give.

#include "fuzz_check.h"

#include "table/grid_sort.h"
#include "table/project_file.h"
#include "table/project_sort.h"

#include <cstddef>
#include <cstdint>

using namespace quilex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    const int column = data[0] % 10;
    const SortDirection before = static_cast<SortDirection>(data[1] % 3) - 1;
    const QByteArrayView bytes(reinterpret_cast<const char*>(data) + 2, static_cast<qsizetype>(size - 2));
    const std::optional<QByteArray> sorted = sortedProjectBytes(bytes, column, before, 1, QLocale::c());
    if (!sorted)
        return 0;

    auto contents = parseProject(bytes, 1);
    FUZZ_CHECK(contents.ok());
    FUZZ_CHECK(column < contents->colCount);
    // The sort takes only whole limits along: damaged ones send a file the long way.
    FUZZ_CHECK(contents->extras.damage.isEmpty());
    if (qint64{contents->colCount} * contents->rowCount > 20000)
        return 0;
    const TableLimits limits = contents->extras.limits;
    StringGrid grid;
    applyProject(std::move(*contents), grid);
    SortDirection direction = before;
    FUZZ_CHECK(headerClick(grid, direction, true, column, 0, 1, QLocale::c()).outcome != HeaderClickOutcome::Failed);
    FUZZ_CHECK(encodeProject(grid, limits) == *sorted);
    return 0;
}
