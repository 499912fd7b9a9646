#include "table/project_sort.h"

#include "base/texts.h"
#include "table/archive_columns.h"
#include "table/cell_values.h"
#include "table/windows1251.h"
#include "link/byte_order.h"

#include <QtEndian>

#include <algorithm>
#include <cstring>
#include <memory>
#include <variant>

namespace quilex {

namespace {

constexpr TextPair BytesChanged{u"файл таблицы изменился, пока его читали",
                                u"the table's file changed while it was being read"};

// Where each cell of column c begins (at its length) and, in the last entry, where the column
// ends: cell r's text runs from at[r] + 4 to at[r + 1]. False when the bytes no longer hold the
// column as it was located.
bool cellsOfColumn(QByteArrayView bytes, const ProjectColumns& columns, int c, std::vector<std::uint32_t>& at)
{
    const auto rows = static_cast<size_t>(columns.rowCount);
    at.resize(rows + 1);
    ColumnCells cells(bytes, columns.starts[static_cast<size_t>(c)], columns.starts[static_cast<size_t>(c) + 1]);
    QByteArrayView text;
    for (size_t r = 0; r < rows; ++r) {
        at[r] = static_cast<std::uint32_t>(cells.position());
        if (!cells.next(text))
            return false;
    }
    at[rows] = static_cast<std::uint32_t>(cells.position());
    return cells.atEnd();
}

// Whether a text holds a zero byte, eight bytes at a time. Most cells are shorter than eight
// bytes and are read as one word, with the bytes after the text counted as not zero; that word
// stays inside the file's bytes, which end at bytesEnd.
bool holdsZeroByte(QByteArrayView text, const char* bytesEnd)
{
    constexpr std::uint64_t Low = 0x0101010101010101u;
    constexpr std::uint64_t High = 0x8080808080808080u;
    const char* p = text.data();
    qsizetype n = text.size();
    for (; n >= 8; p += 8, n -= 8) {
        std::uint64_t word;
        std::memcpy(&word, p, 8);
        if ((word - Low) & ~word & High)
            return true;
    }
    if (n == 0)
        return false;
    if (bytesEnd - p >= 8) {
        std::uint64_t word;
        std::memcpy(&word, p, 8);
        word = qFromLittleEndian(word) | (~std::uint64_t{0} << (8 * n));
        return ((word - Low) & ~word & High) != 0;
    }
    return std::memchr(p, 0, static_cast<size_t>(n)) != nullptr;
}

} // namespace

std::optional<ProjectSort> ProjectSort::prepare(QByteArrayView bytes, int column, SortDirection before,
                                                int languageIndex, const QLocale& locale)
{
    if (!windows1251::available())
        return std::nullopt;
    auto located = locateColumns(bytes, languageIndex);
    ProjectColumns* columns = located ? &*located : nullptr;
    // A count of 0 gives the table a row or column the file does not hold: left to the long way.
    if (!columns || columns->colCount < 1 || columns->rowCount < 1 || column < 0 || column >= columns->colCount)
        return std::nullopt;
    const int cols = columns->colCount;
    const int rows = columns->rowCount;

    ProjectSort sort;
    sort.bytes_ = bytes;
    // The click looks at the clicked column, and at cell (0, 1), which tells an empty table. A
    // table of one row has no fixed row to click on; any other keeps the one it starts with.
    sort.fixedRows_ = rows > 1 ? 1 : 0;
    const int fixed = sort.fixedRows_;
    bool sorts = fixed > 0;
    if (sorts) {
        ColumnCells first(bytes, columns->starts[0], columns->starts[1]);
        QByteArrayView text;
        sorts = first.next(text) && first.next(text) && !text.isEmpty();
    }
    const ColumnKey kind = columnKey(column);
    const bool numbers = kind == ColumnKey::Integer || kind == ColumnKey::Hundredths;
    // Dates take the time beside them as the tie-break.
    const int timeColumn = sorts && kind == ColumnKey::Date && cols > archive_column::Time ? archive_column::Time : -1;

    // Every text must come back as the same bytes through a read and a write. A clicked column
    // of numbers is read on the way, straight from the bytes (the locale is asked only about a
    // thickness written in some other form); other columns are read as texts afterwards.
    const bool onlyZeroRefused = windows1251::keepsAllButZero();
    const char* const bytesEnd = bytes.data() + bytes.size();
    const auto kept = [&](QByteArrayView text) {
        return onlyZeroRefused ? !holdsZeroByte(text, bytesEnd) : windows1251::keepsBytes(text);
    };
    std::vector<TMyData> keys;
    std::optional<CellReader> reader;
    for (int c = 0; c < cols; ++c) {
        ColumnCells cells(bytes, columns->starts[static_cast<size_t>(c)], columns->starts[static_cast<size_t>(c) + 1]);
        QByteArrayView text;
        if (sorts && c == column && numbers) {
            keys.reserve(static_cast<size_t>(rows - fixed));
            for (int r = 0; r < rows; ++r) {
                if (!cells.next(text) || !kept(text))
                    return std::nullopt;
                if (r < fixed)
                    continue;
                std::optional<std::int32_t> value;
                if (kind == ColumnKey::Integer) {
                    value = CellReader::wholeNumberOfBytes(text);
                } else if (!(value = CellReader::plainHundredths(text))) {
                    if (!reader)
                        reader.emplace(locale);
                    value = reader->hundredths(windows1251::decode(text));
                }
                if (!value)
                    return std::nullopt; // the long way has the message
                keys.push_back({r, *value});
            }
        } else {
            for (int r = 0; r < rows; ++r)
                if (!cells.next(text) || !kept(text))
                    return std::nullopt;
        }
    }

    if (sorts) {
        const SortDirection direction = toggledSortDirection(before);
        if (numbers) {
            sortKeys(keys, direction);
            sort.order_ = std::move(keys);
        } else {
            // Texts as reading the file makes them, a repeated one shared.
            const std::vector<QString> texts = columnTexts(bytes, *columns, column);
            const std::vector<QString> times =
                timeColumn >= 0 ? columnTexts(bytes, *columns, timeColumn) : std::vector<QString>{};
            if (texts.size() != static_cast<size_t>(rows) || (timeColumn >= 0 && times.size() != texts.size()))
                return std::nullopt;
            const auto sorted = sortedRows(texts, fixed, column, direction, languageIndex, locale, times);
            if (!sorted)
                return std::nullopt;
            sort.order_.reserve(sorted->size());
            for (const int r : *sorted)
                sort.order_.push_back({r, 0});
        }
    }

    // The title block and the limits after the cells go with the table, as reading and writing
    // it would keep them: whole, or not at all when they are damaged (the long way then says so).
    QByteArrayView after = bytes.sliced(columns->endOfCells);
    if (startsTitle(after)) {
        const auto title = decodeTitle(after, languageIndex);
        if (!title)
            return std::nullopt;
        sort.trailer_ = encodeTitle(title->title);
        after = after.sliced(title->size);
    }
    if (startsLimits(after)) {
        const auto limits = decodeLimits(after, languageIndex);
        if (!limits)
            return std::nullopt;
        sort.trailer_ += encodeLimits(*limits);
    }
    sort.columns_ = std::move(*columns);
    return sort;
}

Result<void> ProjectSort::write(const ProjectSink& sink, int languageIndex) const
{
    // Column by column, each data row's cells taken from the row the sort puts there; a sort
    // that moves rows leaves no data cell empty but stores a single space. The pieces are small
    // enough to stay in the processor's cache; a short text goes over in one copy of Slack
    // bytes that may run past it into the piece's spare room.
    constexpr size_t PieceSize = 128 * 1024;
    constexpr size_t Slack = 16;
    const std::unique_ptr<std::uint8_t[]> piece(new std::uint8_t[PieceSize + Slack]);
    size_t used = 0;
    const auto flush = [&] {
        const bool written = used == 0 || sink(QByteArrayView(piece.get(), static_cast<qsizetype>(used)));
        used = 0;
        return written;
    };
    const int cols = columns_.colCount;
    const auto rows = static_cast<size_t>(columns_.rowCount);
    const auto fixed = static_cast<size_t>(fixedRows_);
    const bool moves = !order_.empty();
    writeI32le(piece.get(), cols);
    writeI32le(piece.get() + 4, columns_.rowCount);
    used = ProjectHeaderSize;
    const auto* in = reinterpret_cast<const std::uint8_t*>(bytes_.data());
    const auto inSize = static_cast<size_t>(bytes_.size());
    std::vector<std::uint32_t> at;
    for (int c = 0; c < cols; ++c) {
        if (!cellsOfColumn(bytes_, columns_, c, at))
            return fail(Text(BytesChanged, static_cast<std::uint8_t>(languageIndex)));
        for (size_t r = 0; r < rows; ++r) {
            const bool moved = moves && r >= fixed;
            const size_t from = moved ? static_cast<size_t>(order_[r - fixed].RowIndex) : r;
            const size_t start = at[from] + ProjectLengthSize;
            size_t length = at[from + 1] - start;
            if (used + ProjectLengthSize + std::max<size_t>(length, 1) > PieceSize && !flush())
                return fail(QString()); // the sink said why
            std::uint8_t* out = piece.get() + used;
            if (moved && length == 0) {
                writeI32le(out, 1);
                out[ProjectLengthSize] = ' ';
                used += ProjectLengthSize + 1;
                continue;
            }
            writeI32le(out, static_cast<std::int32_t>(length));
            used += ProjectLengthSize;
            if (length > PieceSize - used) {
                // Longer than a piece: straight from where it lies.
                if (!flush() || !sink(QByteArrayView(in + start, static_cast<qsizetype>(length))))
                    return fail(QString()); // the sink said why
                continue;
            }
            if (length <= Slack && start + Slack <= inSize)
                std::memcpy(out + ProjectLengthSize, in + start, Slack);
            else
                std::memcpy(out + ProjectLengthSize, in + start, length);
            used += length;
        }
    }
    if (!flush() || (!trailer_.isEmpty() && !sink(trailer_)))
        return fail(QString()); // the sink said why
    return done();
}

std::optional<QByteArray> sortedProjectBytes(QByteArrayView bytes, int column, SortDirection before,
                                             int languageIndex, const QLocale& locale)
{
    const auto sort = ProjectSort::prepare(bytes, column, before, languageIndex, locale);
    if (!sort)
        return std::nullopt;
    QByteArray out;
    out.reserve(bytes.size());
    if (!sort->write([&out](QByteArrayView piece) {
            out.append(piece);
            return true;
        }, languageIndex))
        return std::nullopt;
    return out;
}

} // namespace quilex
