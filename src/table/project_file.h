#pragma once
// Project files (".qlx"): the whole archive table, header row included, as length-prefixed
// Windows-1251 texts. Layout, all integers little-endian 32-bit signed:
//
//   ColCount C, RowCount R, then C x R cells column by column (all rows of column 0 first),
//   each cell its length n and n bytes of text, no terminator.
//
// The cells carry no marker, version or checksum, so the reader checks every count and length
// against the file's size before it touches the table. After the last cell a project may hold
// the inspector's thickness limits (thickness_limits.h), which has its own version, length and
// checksum; a reader that knows only the cells never looks there. Other bytes after the cells
// are not ours and are left alone.

#include "base/result.h"
#include "table/report_title.h"
#include "table/string_grid.h"
#include "table/thickness_limits.h"
#include "link/byte_order.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>
#include <functional>
#include <vector>

namespace quilex {

// What a project keeps beside its cells: the limits and the report's title block. Read from a
// file, a record that is damaged gives none, and damage (titleDamage) says what is wrong with
// it: the cells are whole and open all the same, the file is kept as it is, and the user is
// told (warning, when the whole file was read). Writers use the limits and the title alone.
struct ProjectExtras {
    TableLimits limits; // none when the file holds none
    ReportTitle title;  // empty when the file holds none
    QString damage;
    QString titleDamage;
    QString warning; // the message for the user, naming the file
};

// A project as read from its bytes, before it replaces a table.
struct ProjectContents {
    std::int32_t colCount = 0;
    std::int32_t rowCount = 0;
    std::vector<QString> cells; // column by column, as in the file: cells[c * rowCount + r]
    ProjectExtras extras;
};

// The bytes of the grid's ColCount x RowCount cells, and after them the limits when there are
// any. A character with no Windows-1251 form is stored as "?".
QByteArray encodeProject(const StringGrid& grid, const TableLimits& limits = {}, const ReportTitle& title = {});

// The ending of a project file's name.
inline constexpr char ProjectFileEnding[] = ".qlx";

// Larger files are refused rather than read into memory; a full archive takes about 100 KB.
inline constexpr qint64 MaxProjectFileSize = qint64{1} << 30;

// The file's two counts before the cells, and the length before each cell's text, in bytes.
inline constexpr qsizetype ProjectHeaderSize = 8;
inline constexpr qsizetype ProjectLengthSize = 4;

// Where each cell's text lies in a file's bytes, column by column as in the file.
struct CellSpan {
    std::uint32_t offset = 0; // the files are far smaller than 4 GB: see MaxProjectFileSize
    std::uint32_t length = 0;
};
struct ProjectCells {
    std::int32_t colCount = 0;
    std::int32_t rowCount = 0;
    std::vector<CellSpan> spans; // spans[c * rowCount + r]
    qsizetype endOfCells = ProjectHeaderSize; // where the bytes after the last cell begin
};

// Checks every count and length of a whole file's bytes against its size and finds its cells;
// on a problem, fails with what is wrong (Russian for languageIndex 0, English for 1): counts
// that no table of that size could have say that it is no project file or a damaged one. More
// than MaxProjectFileSize bytes are refused.
Result<ProjectCells> locateCells(QByteArrayView bytes, int languageIndex);

// The same checks, keeping only where each column's cells begin: a large table needs no span
// per cell when its columns are read from start to end.
struct ProjectColumns {
    std::int32_t colCount = 0;
    std::int32_t rowCount = 0;
    // The cells of column c lie from starts[c] to starts[c + 1]; colCount + 1 entries, the last
    // one endOfCells.
    std::vector<qsizetype> starts;
    qsizetype endOfCells = ProjectHeaderSize;
};
Result<ProjectColumns> locateColumns(QByteArrayView bytes, int languageIndex);

// Reads one column's cells in turn. Each length is checked again against the column's end, so
// bytes that changed since they were located (a file's mapping) can give wrong texts but are
// never read past; next() then says false.
class ColumnCells {
public:
    ColumnCells(QByteArrayView bytes, qsizetype from, qsizetype to) : bytes_(bytes), at_(from), end_(to) {}
    bool next(QByteArrayView& text)
    {
        if (end_ - at_ < ProjectLengthSize)
            return false;
        const std::int32_t length = readI32le(reinterpret_cast<const std::uint8_t*>(bytes_.data()) + at_);
        if (length < 0 || length > end_ - at_ - ProjectLengthSize)
            return false;
        text = QByteArrayView(bytes_.data() + at_ + ProjectLengthSize, length);
        at_ += ProjectLengthSize + length;
        return true;
    }
    // Where the next cell's length is; at the column's end when every cell was read.
    qsizetype position() const { return at_; }
    bool atEnd() const { return at_ == end_; }

private:
    QByteArrayView bytes_;
    qsizetype at_;
    qsizetype end_;
};

// The texts of one located column, all its rows, as reading the file makes them: a text that
// repeats in the column is one string shared. Fewer than RowCount only when the bytes changed
// since they were located.
std::vector<QString> columnTexts(QByteArrayView bytes, const ProjectColumns& columns, int column);

// Checks and decodes a whole file's bytes, the limits after the cells included. On a problem
// with the cells, fails with what is wrong (Russian for languageIndex 0, English for 1); damaged
// limits leave the cells whole and say so in contents.extras.damage. A zero byte in a text ends it.
Result<ProjectContents> parseProject(QByteArrayView bytes, int languageIndex);

// Sets ColCount, then RowCount (so a count of 1 drops a fixed row or column, and a count below
// 1 becomes 1), then every cell of the file. Cells outside the file's counts keep their texts.
void applyProject(ProjectContents&& contents, StringGrid& grid);

// parseProject and applyProject in one, the texts going straight into the grid's rows: what
// opening a file does. On a problem with the cells the grid stays as it was.
Result<ProjectExtras> readProjectBytes(QByteArrayView bytes, StringGrid& grid, int languageIndex);

// A file's whole bytes; fails with what is wrong (not a regular file, cannot be opened or read,
// larger than MaxProjectFileSize).
Result<QByteArray> readWholeFile(const QString& path, int languageIndex);

// Writes the grid to path through a temporary file that replaces the target only when complete,
// so a failed write leaves any earlier file as it was. Fails with the message to show.
Result<void> writeProjectFile(const StringGrid& grid, const QString& path, int languageIndex,
                              const TableLimits& limits = {}, const ReportTitle& title = {});
// The same for a project's bytes as encodeProject makes them.
Result<void> writeProjectBytes(const QByteArray& bytes, const QString& path, int languageIndex);
// The same for a project made in pieces, so that a large one needs no buffer of its whole size:
// fill hands them to the sink in order. The sink says false when the bytes could not be written,
// and fill then stops; fill fails with a problem of its own (any text, shown as the reason) to
// give up. Either way nothing replaces the file.
using ProjectSink = std::function<bool(QByteArrayView piece)>;
using ProjectFill = std::function<Result<void>(const ProjectSink& sink)>;
Result<void> writeProjectPieces(const ProjectFill& fill, const QString& path, int languageIndex);

// Replaces the grid with the file's table. A file that cannot be read or does not hold a whole,
// consistent table is refused with a message naming the file and the problem, and the grid
// stays as it was. The file's limits come back with the cells; damaged ones are none, and the
// warning for the user names the file and what is wrong with them.
Result<ProjectExtras> readProjectFile(const QString& path, StringGrid& grid, int languageIndex);

// The save command after its dialog: an empty table (cell (0, 1) empty) is refused with
// "Архив не считан!" / "Archive not read!" and nothing is written; otherwise write, which is
// writeProjectFile unless the dialog chose another type.
using TableWriter = Result<void> (*)(const StringGrid& grid, const QString& path, int languageIndex,
                                     const ProjectExtras& kept);
// A project file as a TableWriter: the cells, the title block and the limits.
Result<void> writeProjectWithExtras(const StringGrid& grid, const QString& path, int languageIndex,
                                    const ProjectExtras& kept);
Result<void> saveProject(const StringGrid& grid, const QString& path, int languageIndex, const ProjectExtras& kept = {},
                         TableWriter write = writeProjectWithExtras);

} // namespace quilex
