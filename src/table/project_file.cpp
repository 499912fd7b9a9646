#include "table/project_file.h"

#include "table/windows1251.h"
#include "link/byte_order.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <variant>

namespace quilex {

namespace {

QString pick(int languageIndex, const QString& russian, const QString& english)
{
    return languageIndex == 1 ? english : russian;
}

const std::uint8_t* bytesOf(QByteArrayView bytes, qsizetype offset)
{
    return reinterpret_cast<const std::uint8_t*>(bytes.data()) + offset;
}

// Most archive cells are short, and many are a single character (" ", a digit); those share
// one string per byte value instead of allocating each.
const std::array<QString, 256>& singleByteTexts()
{
    static const std::array<QString, 256> texts = [] {
        std::array<QString, 256> t;
        for (int b = 0; b < 256; ++b) {
            const char byte = static_cast<char>(b);
            t[static_cast<size_t>(b)] = windows1251::decode(QByteArrayView(&byte, 1));
        }
        return t;
    }();
    return texts;
}

QString decodeCell(QByteArrayView text)
{
    // The writer never stores a zero byte; one that is there ends the text.
    if (const void* zero = std::memchr(text.data(), 0, static_cast<size_t>(text.size())))
        text = text.first(static_cast<const char*>(zero) - text.data());
    if (text.isEmpty())
        return QString();
    if (text.size() == 1)
        return singleByteTexts()[static_cast<unsigned char>(text[0])];
    return windows1251::decode(text);
}

// An archive column repeats its texts (materials, speeds, series, dates), so a cell whose bytes
// were already read in its column shares that text instead of allocating its own; a QString
// copy only counts a reference. A column whose texts hardly repeat, such as the record numbers,
// stops looking after its first cells.
class ColumnTexts {
public:
    void startColumn()
    {
        seen_.clear();
        looked_ = 0;
        found_ = 0;
        sharing_ = true;
    }

    QString text(QByteArrayView bytes)
    {
        if (!sharing_ || bytes.size() <= 1)
            return decodeCell(bytes);
        ++looked_;
        if (const auto found = seen_.constFind(bytes); found != seen_.constEnd()) {
            ++found_;
            return found.value();
        }
        QString text = decodeCell(bytes);
        if (seen_.size() < MaxShared)
            seen_.insert(bytes, text);
        if (looked_ == Probe && found_ < Probe / 4)
            sharing_ = false;
        return text;
    }

private:
    static constexpr qsizetype MaxShared = 4096;
    static constexpr int Probe = 1024;
    QHash<QByteArrayView, QString> seen_; // views into the file's bytes, which outlive the parse
    int looked_ = 0;
    int found_ = 0;
    bool sharing_ = true;
};

QString cellName(int languageIndex, qint64 column, qint64 row)
{
    return pick(languageIndex, QStringLiteral("ячейка (%1, %2)"), QStringLiteral("cell (%1, %2)"))
        .arg(column)
        .arg(row);
}

QString fileTooLarge(qint64 size, int languageIndex)
{
    return pick(languageIndex, QStringLiteral("файл длиной %1 байт слишком велик"),
                QStringLiteral("the file is too large (%1 bytes)"))
        .arg(size);
}

QString noConverter(int languageIndex)
{
    return pick(languageIndex, QStringLiteral("в этой сборке Qt нет кодировки Windows-1251"),
                QStringLiteral("this Qt build has no Windows-1251 conversion"));
}

QString readFailure(const QString& path, const QString& problem, int languageIndex)
{
    return pick(languageIndex, QStringLiteral("Проект «%1» не открыт: %2. Таблица не изменена."),
                QStringLiteral("The project \"%1\" was not opened: %2. The table is unchanged."))
        .arg(QDir::toNativeSeparators(path), problem);
}

QString writeFailure(const QString& path, const QString& problem, int languageIndex)
{
    return pick(languageIndex,
                QStringLiteral("Проект «%1» не сохранён: %2. Прежний файл с этим именем не изменён."),
                QStringLiteral("The project \"%1\" was not saved: %2. Any earlier file of that name "
                               "is left as it was."))
        .arg(QDir::toNativeSeparators(path), problem);
}

QString tooLarge(const QString& path, int languageIndex)
{
    return writeFailure(path,
                        pick(languageIndex, QStringLiteral("таблица слишком велика для файла проекта"),
                             QStringLiteral("the table is too large for a project file")),
                        languageIndex);
}

} // namespace

QByteArray encodeProject(const StringGrid& grid, const TableLimits& limits)
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
    bytes += encodeLimits(limits); // nothing at all when there are none
    return bytes;
}

std::variant<ProjectCells, QString> locateCells(QByteArrayView bytes, int languageIndex)
{
    const qsizetype size = bytes.size();
    if (size < ProjectHeaderSize) {
        return pick(languageIndex, QStringLiteral("файл длиной %1 байт короче 8-байтного заголовка"),
                    QStringLiteral("the file is %1 bytes long, shorter than its 8-byte header"))
            .arg(size);
    }
    if (size > MaxProjectFileSize)
        return fileTooLarge(size, languageIndex);
    const std::int32_t cols = readI32le(bytesOf(bytes, 0));
    const std::int32_t rows = readI32le(bytesOf(bytes, 4));
    if (cols < 0 || rows < 0) {
        return pick(languageIndex, QStringLiteral("отрицательное число столбцов или строк (%1 × %2)"),
                    QStringLiteral("negative column or row count (%1 x %2)"))
            .arg(cols)
            .arg(rows);
    }
    // Every cell takes at least its 4-byte length, which bounds the counts by the file's size
    // before anything is allocated for them. A count of 0 stores no cells, yet the table still
    // gets one row or column for it, and the other count in full: the table is bounded the same
    // way, or 8 bytes would ask for a table of two thousand million columns. An empty table of
    // a sensible size (3 columns and 0 rows is 8 bytes long) is what such a file means, and opens.
    constexpr qint64 EmptyTableCells = 65536;
    const qint64 cellCount = qint64{cols} * rows;
    const qint64 tableCells = qint64{std::max(cols, 1)} * std::max(rows, 1);
    const qint64 room = std::max<qint64>((size - ProjectHeaderSize) / ProjectLengthSize, 1);
    if (tableCells > room && !(cellCount == 0 && tableCells <= EmptyTableCells)) {
        return pick(languageIndex,
                    QStringLiteral("%1 столбцов × %2 строк не помещаются в файл длиной %3 байт"),
                    QStringLiteral("%1 columns x %2 rows cannot fit in a file of %3 bytes"))
            .arg(cols)
            .arg(rows)
            .arg(size);
    }

    ProjectCells located;
    located.colCount = cols;
    located.rowCount = rows;
    located.spans.resize(static_cast<size_t>(cellCount));
    qsizetype pos = ProjectHeaderSize;
    for (qint64 index = 0; index < cellCount; ++index) {
        const qint64 c = index / (rows > 0 ? rows : 1);
        const qint64 r = index % (rows > 0 ? rows : 1);
        if (size - pos < ProjectLengthSize) {
            return pick(languageIndex, QStringLiteral("файл обрывается на ячейке (%1, %2)"),
                        QStringLiteral("the file ends early, at cell (%1, %2)"))
                .arg(c)
                .arg(r);
        }
        const std::int32_t length = readI32le(bytesOf(bytes, pos));
        pos += ProjectLengthSize;
        if (length < 0) {
            return pick(languageIndex, QStringLiteral("%1 имеет отрицательную длину %2"),
                        QStringLiteral("%1 has a negative length %2"))
                .arg(cellName(languageIndex, c, r))
                .arg(length);
        }
        if (length > size - pos) {
            return pick(languageIndex,
                        QStringLiteral("текст ячейки (%1, %2) длиной %3 байт выходит за конец файла"),
                        QStringLiteral("the text of cell (%1, %2), %3 bytes long, runs past the end of the file"))
                .arg(c)
                .arg(r)
                .arg(length);
        }
        located.spans[static_cast<size_t>(index)] = {static_cast<std::uint32_t>(pos), static_cast<std::uint32_t>(length)};
        pos += length;
    }
    // Bytes after the last cell are not for the cells to judge; the table itself is whole.
    located.endOfCells = pos;
    return located;
}

std::optional<QString> parseProject(QByteArrayView bytes, ProjectContents& contents, int languageIndex)
{
    auto located = locateCells(bytes, languageIndex);
    if (auto* problem = std::get_if<QString>(&located))
        return std::move(*problem);
    const ProjectCells& found = std::get<ProjectCells>(located);
    std::vector<QString> cells(found.spans.size());
    ColumnTexts texts;
    for (size_t index = 0; index < cells.size(); ++index) {
        if (index % static_cast<size_t>(found.rowCount) == 0)
            texts.startColumn();
        const CellSpan span = found.spans[index];
        cells[index] = texts.text(bytes.sliced(span.offset, span.length));
    }
    TableLimits limits;
    const QByteArrayView after = bytes.sliced(found.endOfCells);
    if (startsLimits(after)) {
        auto decoded = decodeLimits(after, languageIndex);
        if (auto* problem = std::get_if<QString>(&decoded))
            return std::move(*problem);
        limits = std::get<TableLimits>(decoded);
    }
    contents.colCount = found.colCount;
    contents.rowCount = found.rowCount;
    contents.cells = std::move(cells);
    contents.limits = limits;
    return std::nullopt;
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

std::optional<QString> writeProjectFile(const StringGrid& grid, const QString& path, int languageIndex,
                                        const TableLimits& limits)
{
    if (!windows1251::available())
        return writeFailure(path, noConverter(languageIndex), languageIndex);
    // Never write a file that reading would refuse.
    const qint64 cellCount = qint64{grid.colCount()} * grid.rowCount();
    if (cellCount > (MaxProjectFileSize - ProjectHeaderSize) / ProjectLengthSize)
        return tooLarge(path, languageIndex);
    return writeProjectBytes(encodeProject(grid, limits), path, languageIndex);
}

std::optional<QString> writeProjectBytes(const QByteArray& bytes, const QString& path, int languageIndex)
{
    if (bytes.size() > MaxProjectFileSize)
        return tooLarge(path, languageIndex);

    // A device, pipe or socket of that name would be replaced by a plain file: refuse it.
    if (const QFileInfo target(path); target.exists() && !target.isFile() && !target.isDir()) {
        return writeFailure(path,
                            pick(languageIndex, QStringLiteral("это не обычный файл"),
                                 QStringLiteral("it is not a regular file")),
                            languageIndex);
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return writeFailure(path,
                            pick(languageIndex, QStringLiteral("файл не создаётся (%1)"),
                                 QStringLiteral("the file cannot be created (%1)"))
                                .arg(file.errorString()),
                            languageIndex);
    }
    if (file.write(bytes) != bytes.size() || !file.commit()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return writeFailure(path,
                            pick(languageIndex, QStringLiteral("ошибка записи (%1)"),
                                 QStringLiteral("writing failed (%1)"))
                                .arg(reason),
                            languageIndex);
    }
    return std::nullopt;
}

std::optional<QString> readProjectFile(const QString& path, StringGrid& grid, int languageIndex, TableLimits* limits)
{
    if (!windows1251::available())
        return readFailure(path, noConverter(languageIndex), languageIndex);
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) {
        return readFailure(path,
                           pick(languageIndex, QStringLiteral("это не обычный файл"),
                                QStringLiteral("it is not a regular file")),
                           languageIndex);
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return readFailure(path,
                           pick(languageIndex, QStringLiteral("файл не открывается (%1)"),
                                QStringLiteral("the file cannot be opened (%1)"))
                               .arg(file.errorString()),
                           languageIndex);
    }
    if (file.size() > MaxProjectFileSize)
        return readFailure(path, fileTooLarge(file.size(), languageIndex), languageIndex);
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        return readFailure(path,
                           pick(languageIndex, QStringLiteral("ошибка чтения (%1)"),
                                QStringLiteral("reading failed (%1)"))
                               .arg(file.errorString()),
                           languageIndex);
    }
    file.close();

    ProjectContents contents;
    if (auto problem = parseProject(bytes, contents, languageIndex))
        return readFailure(path, *problem, languageIndex);
    if (limits)
        *limits = contents.limits;
    applyProject(std::move(contents), grid);
    return std::nullopt;
}

std::optional<QString> saveProject(const StringGrid& grid, const QString& path, int languageIndex,
                                   const TableLimits& limits, TableWriter write)
{
    if (grid.isEmptyTable())
        return pick(languageIndex, QStringLiteral("Архив не считан!"), QStringLiteral("Archive not read!"));
    return write(grid, path, languageIndex, limits);
}

} // namespace quilex
