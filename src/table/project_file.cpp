#include "table/project_file.h"

#include "table/lasting_texts.h"
#include "table/main_window_texts.h"
#include "table/table_texts.h"
#include "table/windows1251.h"
#include "link/byte_order.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QtEndian>

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <variant>

namespace quilex {

namespace texts = table_texts;

namespace {

const std::uint8_t* bytesOf(QByteArrayView bytes, qsizetype offset)
{
    return reinterpret_cast<const std::uint8_t*>(bytes.data()) + offset;
}

// Most archive cells are short, and many are a single character (" ", a digit); those are kept
// for good, one per byte value.
const std::array<QString, 256>& singleByteTexts()
{
    static const std::array<QString, 256> texts = [] {
        std::array<QString, 256> t;
        for (int b = 1; b < 256; ++b) {
            const char byte = static_cast<char>(b);
            t[static_cast<size_t>(b)] = lasting_texts::keep(windows1251::decode(QByteArrayView(&byte, 1)));
        }
        return t;
    }();
    return texts;
}

// The value of a cell that is a whole number up to lasting_texts::MaxNumber written as such
// ("0", "2048", not "007"), or -1.
int smallNumber(QByteArrayView text)
{
    if (text.isEmpty() || text.size() > 5 || (text[0] == '0' && text.size() > 1))
        return -1;
    unsigned value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return -1;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    return value <= lasting_texts::MaxNumber ? static_cast<int>(value) : -1;
}

QString decodeCell(QByteArrayView text)
{
    if (const int value = smallNumber(text); value >= 0)
        return lasting_texts::number(static_cast<unsigned>(value));
    // The writer never stores a zero byte; one that is there ends the text.
    constexpr qsizetype Short = 32;
    if (text.size() <= Short) {
        char16_t chars[Short];
        const qsizetype size = windows1251::decodeUntilZero(text, chars);
        if (size <= 1)
            return size == 0 ? QString() : singleByteTexts()[static_cast<unsigned char>(text[0])];
        return QString(reinterpret_cast<const QChar*>(chars), size);
    }
    if (const void* zero = std::memchr(text.data(), 0, static_cast<size_t>(text.size())))
        return decodeCell(text.first(static_cast<const char*>(zero) - text.data()));
    return windows1251::decode(text);
}

// An archive column repeats its texts (materials, speeds, series, dates), so a cell whose bytes
// were already read in its column shares that text instead of allocating its own. A text that
// comes again is kept for good (lasting_texts), and its copies then count no reference. The
// texts are found again by their bytes in a small table of their own, where most cells, being
// at most eight bytes long, are compared as one word. A column whose texts hardly repeat, such
// as the record numbers, stops looking after its first cells: for the thousands of different
// thicknesses or times among 100,000 rows, finding a text in a table that no longer fits the
// processor's cache costs more than making it anew.
class ColumnTexts {
public:
    // bytes: the whole of the file's bytes, which outlive the reading.
    explicit ColumnTexts(QByteArrayView bytes) : bytes_(bytes) {}

    void startColumn()
    {
        ++generation_;
        texts_.clear();
        looked_ = 0;
        found_ = 0;
        sharing_ = true;
    }

    QString text(QByteArrayView bytes)
    {
        if (!sharing_ || bytes.size() <= 1 || smallNumber(bytes) >= 0)
            return decodeCell(bytes);
        if (++looked_ == Probe && found_ < Probe / 4) {
            sharing_ = false;
            return decodeCell(bytes);
        }
        const Key key = keyOf(bytes);
        if (!slots_.empty()) {
            for (size_t i = slotOf(key.hash);; i = (i + 1) & (slots_.size() - 1)) {
                const Slot& slot = slots_[i];
                if (slot.generation != generation_)
                    break;
                if (slot.head == key.head && slot.length == bytes.size()
                    && (bytes.size() <= 8 || (bytes.size() <= 16 && wordAt(slot.offset + slot.length - 8) == key.tail)
                        || std::memcmp(bytes_.data() + slot.offset + 8, bytes.data() + 8, size_t(bytes.size() - 8)) == 0)) {
                    ++found_;
                    Remembered& remembered = texts_[static_cast<size_t>(slot.text)];
                    if (!remembered.lasting) {
                        remembered.text = lasting_texts::keep(remembered.text);
                        remembered.lasting = true;
                    }
                    return remembered.text;
                }
            }
        }
        QString text = decodeCell(bytes);
        if (texts_.size() < MaxShared)
            remember(bytes, key, text);
        return text;
    }

private:
    struct Key {
        std::uint64_t head; // the first eight bytes, zeros after a shorter text
        std::uint64_t tail; // the last eight bytes of a longer text
        std::uint64_t hash;
    };
    struct Slot {
        std::uint64_t head = 0;
        std::uint32_t offset = 0; // of the bytes in the file, which is far smaller than 4 GB
        std::uint32_t length = 0;
        std::uint32_t generation = 0; // the column it belongs to; other slots are free
        std::int32_t text = 0;        // in texts_
    };

    struct Remembered {
        QString text;
        bool lasting; // kept for good: only texts met twice, not every record number
    };

    static constexpr size_t MaxShared = 4096;
    static constexpr int Probe = 1024;

    Key keyOf(QByteArrayView bytes) const
    {
        std::uint64_t head = 0;
        if (bytes_.data() + bytes_.size() - bytes.data() >= 8) {
            // One load, the bytes after the text cleared.
            std::memcpy(&head, bytes.data(), 8);
            head = qFromLittleEndian(head);
            if (bytes.size() < 8)
                head &= ~(~std::uint64_t{0} << (8 * bytes.size()));
        } else {
            for (qsizetype i = std::min<qsizetype>(bytes.size(), 8); i-- > 0;)
                head = (head << 8) | static_cast<unsigned char>(bytes[i]);
        }
        constexpr std::uint64_t Mix = 0x9E3779B97F4A7C15u;
        std::uint64_t hash = (head ^ static_cast<std::uint64_t>(bytes.size())) * Mix;
        std::uint64_t tail = 0;
        if (bytes.size() > 8) {
            // Up to sixteen bytes are the first eight and the last eight, which may overlap.
            const qsizetype offset = bytes.data() - bytes_.data();
            for (qsizetype at = 8; at + 8 < bytes.size(); at += 8)
                hash = (hash ^ wordAt(offset + at)) * Mix;
            tail = wordAt(offset + bytes.size() - 8);
            hash = (hash ^ tail) * Mix;
        }
        return {head, tail, hash};
    }

    // The eight bytes at offset in the file, which has them: only texts longer than eight ask.
    std::uint64_t wordAt(qsizetype offset) const
    {
        std::uint64_t word;
        std::memcpy(&word, bytes_.data() + offset, 8);
        return word;
    }

    size_t slotOf(std::uint64_t hash) const { return static_cast<size_t>(hash >> 40) & (slots_.size() - 1); }

    void place(const Slot& slot, std::uint64_t hash)
    {
        size_t i = slotOf(hash);
        while (slots_[i].generation == generation_)
            i = (i + 1) & (slots_.size() - 1);
        slots_[i] = slot;
        slots_[i].generation = generation_;
    }

    void remember(QByteArrayView bytes, const Key& key, const QString& text)
    {
        // At most three quarters full, so that a search meets a free slot soon.
        if (4 * (texts_.size() + 1) > 3 * slots_.size())
            grow();
        place({key.head, static_cast<std::uint32_t>(bytes.data() - bytes_.data()),
               static_cast<std::uint32_t>(bytes.size()), generation_, static_cast<std::int32_t>(texts_.size())},
              key.hash);
        texts_.push_back({text, false});
    }

    void grow()
    {
        std::vector<Slot> old = std::move(slots_);
        slots_.assign(std::max<size_t>(1024, 2 * old.size()), Slot{});
        const std::uint32_t current = generation_++;
        for (const Slot& slot : old)
            if (slot.generation == current)
                place(slot, keyOf(bytes_.sliced(slot.offset, slot.length)).hash);
    }

    QByteArrayView bytes_;
    std::vector<Slot> slots_; // a power of two of them, or none yet
    std::vector<Remembered> texts_;
    std::uint32_t generation_ = 0;
    int looked_ = 0;
    int found_ = 0;
    bool sharing_ = true;
};

QString text(const TextPair& pair, int languageIndex)
{
    return Text(pair, std::uint8_t(languageIndex));
}

Failure readFailure(const QString& path, const QString& problem, int languageIndex)
{
    return fail(text(texts::ProjectNotOpened, languageIndex).arg(QDir::toNativeSeparators(path), problem));
}

Failure writeFailure(const QString& path, const QString& problem, int languageIndex)
{
    return fail(text(texts::ProjectNotSaved, languageIndex).arg(QDir::toNativeSeparators(path), problem));
}

Failure tooLarge(const QString& path, int languageIndex)
{
    return writeFailure(path, text(texts::TableTooLarge, languageIndex), languageIndex);
}

} // namespace

QByteArray encodeProject(const StringGrid& grid, const TableLimits& limits, const ReportTitle& title)
{
    const int cols = grid.colCount();
    const int rows = grid.rowCount();
    // The file runs column by column, but the grid keeps its cells row by row: walking it by
    // rows into one buffer per column and joining them keeps the walk in cache order.
    std::vector<std::vector<char>> columns(static_cast<size_t>(cols));
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < cols; ++c) {
            std::vector<char>& out = columns[static_cast<size_t>(c)];
            const QString& text = grid.cell(c, r);
            const size_t at = out.size();
            // One UTF-16 unit never takes more than one byte.
            out.resize(at + ProjectLengthSize + static_cast<size_t>(text.size()));
            const qsizetype length = windows1251::encodeInto(text, out.data() + at + ProjectLengthSize);
            writeI32le(reinterpret_cast<std::uint8_t*>(out.data() + at), static_cast<std::int32_t>(length));
            out.resize(at + ProjectLengthSize + static_cast<size_t>(length));
        }
    }
    qsizetype total = ProjectHeaderSize;
    for (const auto& column : columns)
        total += static_cast<qsizetype>(column.size());
    QByteArray bytes(total, Qt::Uninitialized);
    auto* p = reinterpret_cast<std::uint8_t*>(bytes.data());
    writeI32le(p, cols);
    writeI32le(p + 4, rows);
    p += ProjectHeaderSize;
    for (auto& column : columns) {
        if (!column.empty())
            std::memcpy(p, column.data(), column.size());
        p += column.size();
        std::vector<char>().swap(column);
    }
    // Nothing at all when there are none; the limits end the file.
    bytes += encodeTitle(title);
    bytes += encodeLimits(limits);
    return bytes;
}

Result<ProjectColumns> locateColumns(QByteArrayView bytes, int languageIndex)
{
    const qsizetype size = bytes.size();
    // Counts that cannot be a table's, or no room for them, say that this is no project file
    // (or what is left of one): the numbers themselves would tell the user nothing.
    if (size < ProjectHeaderSize)
        return fail(text(texts::NotAProjectFile, languageIndex));
    if (size > MaxProjectFileSize)
        return fail(text(texts::FileTooLarge, languageIndex).arg(size));
    const std::int32_t cols = readI32le(bytesOf(bytes, 0));
    const std::int32_t rows = readI32le(bytesOf(bytes, 4));
    if (cols < 0 || rows < 0)
        return fail(text(texts::NotAProjectFile, languageIndex));
    // Every cell takes at least its 4-byte length, which bounds the counts by the file's size
    // before anything is allocated for them. A count of 0 stores no cells, yet the table still
    // gets one row or column for it, and the other count in full: the table is bounded the same
    // way, or 8 bytes would ask for a table of two thousand million columns. An empty table of
    // a sensible size (3 columns and 0 rows is 8 bytes long) is what such a file means, and opens.
    constexpr qint64 EmptyTableCells = 65536;
    const qint64 cellCount = qint64{cols} * rows;
    const qint64 tableCells = qint64{std::max(cols, 1)} * std::max(rows, 1);
    const qint64 room = std::max<qint64>((size - ProjectHeaderSize) / ProjectLengthSize, 1);
    if (tableCells > room && !(cellCount == 0 && tableCells <= EmptyTableCells))
        return fail(text(texts::NotAProjectFile, languageIndex));

    ProjectColumns located;
    located.colCount = cols;
    located.rowCount = rows;
    located.starts.resize(static_cast<size_t>(cols) + 1);
    const std::uint8_t* data = bytesOf(bytes, 0);
    qsizetype pos = ProjectHeaderSize;
    for (std::int32_t c = 0; c < cols; ++c) {
        located.starts[static_cast<size_t>(c)] = pos;
        for (std::int32_t r = 0; r < rows; ++r) {
            if (size - pos < ProjectLengthSize)
                return fail(text(texts::FileEndsAtCell, languageIndex).arg(c).arg(r));
            const std::int32_t length = readI32le(data + pos);
            pos += ProjectLengthSize;
            if (length < 0)
                return fail(text(texts::CellNegativeLength, languageIndex).arg(c).arg(r).arg(length));
            if (length > size - pos)
                return fail(text(texts::CellRunsPastEnd, languageIndex).arg(c).arg(r).arg(length));
            pos += length;
        }
    }
    // Bytes after the last cell are not for the cells to judge; the table itself is whole.
    located.starts[static_cast<size_t>(cols)] = pos;
    located.endOfCells = pos;
    return located;
}

Result<ProjectCells> locateCells(QByteArrayView bytes, int languageIndex)
{
    const auto columns = locateColumns(bytes, languageIndex);
    if (!columns)
        return columns.failure();
    const ProjectColumns& found = *columns;
    ProjectCells located;
    located.colCount = found.colCount;
    located.rowCount = found.rowCount;
    located.endOfCells = found.endOfCells;
    located.spans.reserve(static_cast<size_t>(qint64{found.colCount} * found.rowCount));
    for (std::int32_t c = 0; c < found.colCount; ++c) {
        ColumnCells cells(bytes, found.starts[static_cast<size_t>(c)], found.starts[static_cast<size_t>(c) + 1]);
        QByteArrayView text;
        while (cells.next(text))
            located.spans.push_back({static_cast<std::uint32_t>(text.data() - bytes.data()),
                                     static_cast<std::uint32_t>(text.size())});
    }
    return located;
}

namespace {

// The title block and the limits after a file's cells: none when there are none, and none with
// a warning for the user when their record is damaged. The cells are whole either way and open.
ProjectExtras extrasAfter(QByteArrayView bytes, const ProjectColumns& found, int languageIndex)
{
    ProjectExtras extras;
    QByteArrayView after = bytes.sliced(found.endOfCells);
    if (startsTitle(after)) {
        auto title = decodeTitle(after, languageIndex);
        if (title)
            extras.title = std::move(title->title);
        else
            extras.titleDamage = title.error();
        // The limits follow a title whose length is whole, even when its texts are not.
        const qsizetype size = titleRecordSize(after);
        if (size == 0)
            return extras;
        after = after.sliced(size);
    }
    if (!startsLimits(after))
        return extras;
    auto limits = decodeLimits(after, languageIndex);
    if (limits)
        extras.limits = std::move(*limits);
    else
        extras.damage = limits.error();
    return extras;
}

} // namespace

std::vector<QString> columnTexts(QByteArrayView bytes, const ProjectColumns& columns, int column)
{
    std::vector<QString> texts;
    texts.reserve(static_cast<size_t>(columns.rowCount));
    ColumnTexts shared(bytes);
    shared.startColumn();
    ColumnCells cells(bytes, columns.starts[static_cast<size_t>(column)], columns.starts[static_cast<size_t>(column) + 1]);
    QByteArrayView text;
    while (cells.next(text))
        texts.push_back(shared.text(text));
    return texts;
}

Result<ProjectContents> parseProject(QByteArrayView bytes, int languageIndex)
{
    const auto located = locateColumns(bytes, languageIndex);
    if (!located)
        return located.failure();
    const ProjectColumns& found = *located;
    ProjectContents contents;
    contents.extras = extrasAfter(bytes, found, languageIndex);
    contents.cells.reserve(static_cast<size_t>(qint64{found.colCount} * found.rowCount));
    ColumnTexts texts(bytes);
    for (std::int32_t c = 0; c < found.colCount; ++c) {
        texts.startColumn();
        ColumnCells column(bytes, found.starts[static_cast<size_t>(c)], found.starts[static_cast<size_t>(c) + 1]);
        QByteArrayView text;
        while (column.next(text))
            contents.cells.push_back(texts.text(text));
    }
    contents.colCount = found.colCount;
    contents.rowCount = found.rowCount;
    return contents;
}

void applyProject(ProjectContents&& contents, StringGrid& grid)
{
    StringGrid::UpdateBatch batch(grid);
    grid.setColCount(contents.colCount);
    grid.setRowCount(contents.rowCount);
    // Only the file's own cells are written: walking the counts instead would take as long as
    // the counts are large, even when the file holds no cell at all.
    const qint64 rows = contents.rowCount;
    for (size_t index = 0; index < contents.cells.size(); ++index)
        grid.setCell(static_cast<int>(static_cast<qint64>(index) / rows),
                     static_cast<int>(static_cast<qint64>(index) % rows), std::move(contents.cells[index]));
    contents.cells.clear();
}

Result<ProjectExtras> readProjectBytes(QByteArrayView bytes, StringGrid& grid, int languageIndex)
{
    const auto located = locateColumns(bytes, languageIndex);
    if (!located)
        return located.failure();
    const ProjectColumns& found = *located;
    ProjectExtras extras = extrasAfter(bytes, found, languageIndex);

    StringGrid::UpdateBatch batch(grid);
    grid.setColCount(found.colCount);
    grid.setRowCount(found.rowCount);
    // The grid is filled row by row, in the order of its memory, each column read from where it
    // lies in the file. The first columns share their repeated texts (an archive has eight);
    // further columns of an unusually wide table are read cell by cell.
    constexpr std::int32_t SharingColumns = 64;
    std::vector<ColumnCells> cells;
    std::vector<ColumnTexts> texts;
    cells.reserve(static_cast<size_t>(found.colCount));
    texts.reserve(static_cast<size_t>(std::min(found.colCount, SharingColumns)));
    for (std::int32_t c = 0; c < found.colCount; ++c) {
        cells.emplace_back(bytes, found.starts[static_cast<size_t>(c)], found.starts[static_cast<size_t>(c) + 1]);
        if (c < SharingColumns) {
            texts.emplace_back(bytes);
            texts.back().startColumn();
        }
    }
    grid.setCells(found.colCount, found.rowCount, [&](int c, int) {
        QByteArrayView text;
        if (!cells[static_cast<size_t>(c)].next(text))
            return QString();
        return c < SharingColumns ? texts[static_cast<size_t>(c)].text(text) : decodeCell(text);
    });
    return extras;
}

Result<void> writeProjectFile(const StringGrid& grid, const QString& path, int languageIndex, const TableLimits& limits,
                              const ReportTitle& title)
{
    if (!windows1251::available())
        return writeFailure(path, text(texts::NoWindows1251, languageIndex), languageIndex);
    // Never write a file that reading would refuse.
    const qint64 cellCount = qint64{grid.colCount()} * grid.rowCount();
    if (cellCount > (MaxProjectFileSize - ProjectHeaderSize) / ProjectLengthSize)
        return tooLarge(path, languageIndex);
    return writeProjectBytes(encodeProject(grid, limits, title), path, languageIndex);
}

Result<void> writeProjectWithExtras(const StringGrid& grid, const QString& path, int languageIndex,
                                    const ProjectExtras& kept)
{
    return writeProjectFile(grid, path, languageIndex, kept.limits, kept.title);
}

Result<void> writeProjectBytes(const QByteArray& bytes, const QString& path, int languageIndex)
{
    if (bytes.size() > MaxProjectFileSize)
        return tooLarge(path, languageIndex);
    return writeProjectPieces(
        [&bytes](const ProjectSink& sink) -> Result<void> {
            sink(bytes);
            return done();
        },
        path, languageIndex);
}

Result<void> writeProjectPieces(const ProjectFill& fill, const QString& path, int languageIndex)
{
    // A device, pipe or socket of that name would be replaced by a plain file: refuse it.
    if (const QFileInfo target(path); target.exists() && !target.isFile() && !target.isDir()) {
        return writeFailure(path, text(texts::NotARegularFile, languageIndex), languageIndex);
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return writeFailure(path, text(texts::CannotCreateFile, languageIndex).arg(file.errorString()), languageIndex);
    }
    qint64 written = 0;
    bool tooLong = false;
    bool failed = false;
    const ProjectSink sink = [&](QByteArrayView piece) {
        if (tooLong || failed)
            return false;
        // Never write a file that reading would refuse.
        if (piece.size() > MaxProjectFileSize - written) {
            tooLong = true;
            return false;
        }
        written += piece.size();
        failed = !piece.isEmpty() && file.write(piece.data(), piece.size()) != piece.size();
        return !failed;
    };
    const Result<void> filled = fill(sink);
    if (tooLong) {
        file.cancelWriting();
        return tooLarge(path, languageIndex);
    }
    if (!filled && !failed) {
        file.cancelWriting();
        return writeFailure(path, filled.error(), languageIndex);
    }
    if (failed || !file.commit()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return writeFailure(path, text(texts::WritingFailed, languageIndex).arg(reason), languageIndex);
    }
    return done();
}

Result<QByteArray> readWholeFile(const QString& path, int languageIndex)
{
    const QFileInfo info(path);
    if (info.exists() && !info.isFile())
        return fail(text(texts::NotARegularFile, languageIndex));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(text(texts::CannotOpenFile, languageIndex).arg(file.errorString()));
    if (file.size() > MaxProjectFileSize)
        return fail(text(texts::FileTooLarge, languageIndex).arg(file.size()));
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return fail(text(texts::ReadingFailed, languageIndex).arg(file.errorString()));
    return bytes;
}

Result<ProjectExtras> readProjectFile(const QString& path, StringGrid& grid, int languageIndex)
{
    if (!windows1251::available())
        return readFailure(path, text(texts::NoWindows1251, languageIndex), languageIndex);
    const Result<QByteArray> bytes = readWholeFile(path, languageIndex);
    if (!bytes)
        return readFailure(path, bytes.error(), languageIndex);
    Result<ProjectExtras> read = readProjectBytes(*bytes, grid, languageIndex);
    if (!read)
        return readFailure(path, read.error(), languageIndex);
    const QString name = QDir::toNativeSeparators(path);
    QStringList warnings;
    if (!read->titleDamage.isEmpty())
        warnings << text(texts::TitleNotRead, languageIndex).arg(name, read->titleDamage);
    if (!read->damage.isEmpty())
        warnings << text(texts::LimitsNotRead, languageIndex).arg(name, read->damage);
    read->warning = warnings.join(QLatin1Char('\n'));
    return read;
}

Result<void> saveProject(const StringGrid& grid, const QString& path, int languageIndex, const ProjectExtras& kept,
                         TableWriter write)
{
    if (grid.isEmptyTable())
        return fail(Text(mainWindowText(MainText::ArchiveNotRead), std::uint8_t(languageIndex)));
    return write(grid, path, languageIndex, kept);
}

} // namespace quilex
