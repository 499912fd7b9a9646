#include "table/project_sort.h"

#include "table/archive_columns.h"
#include "table/project_file.h"
#include "table/windows1251.h"
#include "link/byte_order.h"

#include <algorithm>
#include <cstring>
#include <vector>
#include <variant>

namespace quilex {

std::optional<QByteArray> sortedProjectBytes(QByteArrayView bytes, int column, SortDirection before,
                                             int languageIndex, const QLocale& locale)
{
    if (!windows1251::available())
        return std::nullopt;
    auto located = locateCells(bytes, languageIndex);
    const auto* cells = std::get_if<ProjectCells>(&located);
    // A count of 0 gives the table a row or column the file does not hold: left to the long way.
    if (!cells || cells->colCount < 1 || cells->rowCount < 1 || column < 0 || column >= cells->colCount)
        return std::nullopt;
    const int cols = cells->colCount;
    const int rows = cells->rowCount;
    const auto text = [&](int c, int r) {
        const CellSpan span = cells->spans[static_cast<size_t>(c) * static_cast<size_t>(rows) + static_cast<size_t>(r)];
        return bytes.sliced(span.offset, span.length);
    };
    for (const CellSpan& span : cells->spans)
        if (!windows1251::keepsBytes(bytes.sliced(span.offset, span.length)))
            return std::nullopt;

    // The click looks at the clicked column, and at cell (0, 1), which tells an empty table. A
    // table of one row has no fixed row to click on; any other keeps the one it starts with.
    std::vector<QString> keys(static_cast<size_t>(rows));
    for (int r = 0; r < rows; ++r)
        keys[static_cast<size_t>(r)] = windows1251::decode(text(column, r));
    // Dates take the time beside them as the tie-break.
    std::vector<QString> times;
    if (columnKey(column) == ColumnKey::Date && cols > archive_column::Time) {
        times.resize(static_cast<size_t>(rows));
        for (int r = 0; r < rows; ++r)
            times[static_cast<size_t>(r)] = windows1251::decode(text(archive_column::Time, r));
    }
    const int fixed = rows > 1 ? 1 : 0;
    const bool emptyTable = rows < 2 || text(0, 1).isEmpty();
    std::vector<int> order;
    if (fixed > 0 && !emptyTable) {
        auto sorted = sortedRows(keys, fixed, column, toggledSortDirection(before), languageIndex, locale, times);
        auto* rowsInOrder = std::get_if<std::vector<int>>(&sorted);
        if (!rowsInOrder)
            return std::nullopt;
        order = std::move(*rowsInOrder);
    }

    // Column by column, each data row's cells taken from the row the sort puts there; a sort
    // that moves rows leaves no data cell empty but stores a single space. Every cell but such a
    // space is copied with the length before it, which the file already holds in our form.
    const bool moves = !order.empty();
    qsizetype total = ProjectHeaderSize;
    for (int c = 0; c < cols; ++c)
        for (int r = 0; r < rows; ++r)
            total += ProjectLengthSize + std::max<qsizetype>(text(c, r).size(), moves && r >= fixed ? 1 : 0);
    // Short cells go over in one fixed-size copy that may run past them into the slack.
    constexpr qsizetype Slack = 16;
    QByteArray out(total + Slack, Qt::Uninitialized);
    auto* p = reinterpret_cast<std::uint8_t*>(out.data());
    writeI32le(p, cols);
    writeI32le(p + 4, rows);
    p += ProjectHeaderSize;
    const auto* in = reinterpret_cast<const std::uint8_t*>(bytes.data());
    for (int c = 0; c < cols; ++c) {
        for (int r = 0; r < rows; ++r) {
            const bool moved = moves && r >= fixed;
            const CellSpan span = cells->spans[static_cast<size_t>(c) * static_cast<size_t>(rows)
                                               + static_cast<size_t>(moved ? order[static_cast<size_t>(r - fixed)] : r)];
            if (moved && span.length == 0) {
                writeI32le(p, 1);
                p[ProjectLengthSize] = ' ';
                p += ProjectLengthSize + 1;
                continue;
            }
            const qsizetype size = ProjectLengthSize + span.length;
            const qsizetype from = qsizetype{span.offset} - ProjectLengthSize;
            if (size <= Slack && from + Slack <= bytes.size())
                std::memcpy(p, in + from, Slack);
            else
                std::memcpy(p, in + from, static_cast<size_t>(size));
            p += size;
        }
    }
    out.truncate(total);
    // The limits after the cells go with the table, as reading and writing it would keep them:
    // whole, or not at all when they are damaged (the long way then says so).
    const QByteArrayView after = bytes.sliced(cells->endOfCells);
    if (startsLimits(after)) {
        auto limits = decodeLimits(after, languageIndex);
        if (std::holds_alternative<QString>(limits))
            return std::nullopt;
        out += encodeLimits(std::get<TableLimits>(limits));
    }
    return out;
}

} // namespace quilex
