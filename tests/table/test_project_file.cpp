#include "table/project_file.h"
#include "table/project_sort.h"
#include "table/windows1251.h"
#include "link/crc16.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <vector>

using namespace quilex;

namespace {

// The table of two columns and two rows and its 34 bytes, written out by hand.
const unsigned char ExampleBytes[34] = {
    0x02, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00,                   // ColCount, RowCount
    0x01, 0x00, 0x00, 0x00, 0xB9,                                     // (0, 0) "№"
    0x01, 0x00, 0x00, 0x00, 0x31,                                     // (0, 1) "1"
    0x08, 0x00, 0x00, 0x00, 0xCC, 0xE0, 0xF2, 0xE5, 0xF0, 0xE8, 0xE0, 0xEB, // (1, 0) "Материал"
    0x00, 0x00, 0x00, 0x00,                                           // (1, 1) empty
};

QByteArray example()
{
    return QByteArray(reinterpret_cast<const char*>(ExampleBytes), sizeof ExampleBytes);
}

QByteArray le32(qint32 v)
{
    QByteArray b(4, '\0');
    for (int i = 0; i < 4; ++i)
        b[i] = static_cast<char>((static_cast<quint32>(v) >> (8 * i)) & 0xFF);
    return b;
}

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

QByteArray readBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

std::vector<QStringList> snapshot(const StringGrid& grid)
{
    std::vector<QStringList> rows;
    for (int r = 0; r < grid.rowCount(); ++r)
        rows.push_back(grid.row(r));
    return rows;
}

StringGrid filledTable()
{
    StringGrid grid;
    for (int c = 0; c < 8; ++c)
        for (int r = 0; r < 9; ++r)
            grid.setCell(c, r, QStringLiteral("%1/%2").arg(c).arg(r));
    return grid;
}

} // namespace

TEST(ProjectFile, TheTwoByTwoExampleByteForByte)
{
    StringGrid grid(2, 2);
    grid.setCell(0, 0, QStringLiteral("№"));
    grid.setCell(0, 1, QStringLiteral("1"));
    grid.setCell(1, 0, QStringLiteral("Материал"));
    EXPECT_EQ(encodeProject(grid), example());

    QTemporaryDir dir;
    const QString path = dir.filePath("Arhive.qlx");
    ASSERT_TRUE(writeProjectFile(grid, path, 0).ok());
    EXPECT_EQ(readBytes(path), example());

    writeBytes(path, example());
    StringGrid read;
    read.setCell(1, 1, QStringLiteral("old")); // every cell in the file is written, empty ones too
    ASSERT_TRUE(readProjectFile(path, read, 0).ok());
    EXPECT_EQ(read.colCount(), 2);
    EXPECT_EQ(read.rowCount(), 2);
    EXPECT_EQ(read.row(0), (QStringList{"№", "Материал"}));
    EXPECT_EQ(read.row(1), (QStringList{"1", ""}));
    EXPECT_EQ(read.fixedRows(), 1);
    EXPECT_EQ(read.fixedCols(), 1);
}

TEST(ProjectFile, TextsWithoutAWindows1251FormAndZeroBytes)
{
    StringGrid grid(1, 2);
    grid.setCell(0, 0, QStringLiteral("€ё中") + QString::fromUcs4(U"\U0001F600") + QChar(0) + QStringLiteral("x"));
    grid.setCell(0, 1, QStringLiteral("Сreate")); // Cyrillic Es
    EXPECT_EQ(encodeProject(grid), le32(1) + le32(2) + le32(6) + "\x88\xB8??" "?x" + le32(6) + "\xD1reate");

    // A zero byte ends the text; the bytes after it still belong to the cell.
    const QByteArray bytes = le32(1) + le32(2) + le32(3) + QByteArray("a\0b", 3) + le32(2) + "\xC0\xFF";
    const auto contents = parseProject(bytes, 0);
    ASSERT_TRUE(contents.ok());
    EXPECT_EQ(contents->cells[0], QStringLiteral("a"));
    EXPECT_EQ(contents->cells[1], QStringLiteral("Ая"));
}

TEST(ProjectFile, ABrokenFileIsRefusedAndTheTableStaysAsItWas)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("broken.qlx");
    struct Case {
        QByteArray bytes;
        QString english; // a piece of the English problem text
    };
    const std::vector<Case> cases = {
        // Counts that no table of the file's size could have: not a project file, or a damaged one.
        {QByteArray("\x02\x00\x00", 3), "not a project file, or it is damaged"},
        {le32(-1) + le32(2), "not a project file, or it is damaged"},
        {le32(2) + le32(-2), "not a project file, or it is damaged"},
        {le32(2) + le32(2) + le32(0) + le32(0) + le32(0), "not a project file, or it is damaged"},
        {le32(0x10000) + le32(0x10000) + le32(0), "not a project file, or it is damaged"},
        // A count of 0 holds no cells but would still give the table the other count in full.
        {le32(0x7FFFFFFF) + le32(0), "not a project file, or it is damaged"},
        {le32(0) + le32(0x7FFFFFFF), "not a project file, or it is damaged"},
        {le32(70000) + le32(0), "not a project file, or it is damaged"},
        // Text where a project was expected: "Date" and "Mate" as counts.
        {QByteArray("Date\tMaterial\n1\tSteel\n"), "not a project file, or it is damaged"},
        {le32(1) + le32(2) + le32(-5) + le32(0), "negative length"},
        {le32(1) + le32(2) + le32(3) + "abc" + QByteArray(3, '\0'), "ends early, at cell (0, 1)"},
        {le32(1) + le32(2) + le32(0) + le32(9) + "abcd", "runs past the end"},
    };
    for (const Case& test : cases) {
        writeBytes(path, test.bytes);
        StringGrid grid = filledTable();
        const auto before = snapshot(grid);
        const auto english = readProjectFile(path, grid, 1);
        const auto russian = readProjectFile(path, grid, 0);
        ASSERT_TRUE(!english && !russian) << qPrintable(test.english);
        EXPECT_TRUE(english.error().contains(test.english)) << qPrintable(english.error());
        EXPECT_TRUE(english.error().contains(QDir::toNativeSeparators(path)));
        EXPECT_TRUE(russian.error().contains(QStringLiteral("не открыт"))) << qPrintable(russian.error());
        EXPECT_EQ(grid.colCount(), 8);
        EXPECT_EQ(grid.rowCount(), 9);
        EXPECT_EQ(snapshot(grid), before);
    }

    StringGrid grid = filledTable();
    const auto missing = readProjectFile(dir.filePath("missing.qlx"), grid, 1);
    ASSERT_FALSE(missing.ok());
    EXPECT_TRUE(missing.error().contains(QStringLiteral("cannot be opened")));
    EXPECT_FALSE(readProjectFile(dir.path(), grid, 1).ok()); // a folder
    EXPECT_EQ(snapshot(grid), snapshot(filledTable()));
}

// 3 columns and 0 rows is the file an empty table of three columns makes: 8 bytes that open
// as a table of three columns and one row.
TEST(ProjectFile, AnEmptyTableOfAFewColumnsOpens)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("empty.qlx");
    writeBytes(path, le32(3) + le32(0));
    StringGrid grid = filledTable();
    EXPECT_TRUE(readProjectFile(path, grid, 1).ok());
    EXPECT_EQ(grid.colCount(), 3);
    EXPECT_EQ(grid.rowCount(), 1);
}

TEST(ProjectFile, CountsFromTheFileFollowTheTableRules)
{
    // One row: the header row becomes an ordinary row. Cells outside the file's counts stay.
    StringGrid grid = filledTable();
    auto contents = parseProject(le32(2) + le32(1) + le32(1) + "A" + le32(1) + "B", 0);
    ASSERT_TRUE(contents.ok());
    applyProject(std::move(*contents), grid);
    EXPECT_EQ(grid.rowCount(), 1);
    EXPECT_EQ(grid.fixedRows(), 0);
    EXPECT_EQ(grid.row(0), (QStringList{"A", "B"}));
    EXPECT_EQ(grid.cell(5, 5), QStringLiteral("5/5"));

    // No columns at all: the counts become 1 and nothing is read. The file still has room for
    // the four cells of the table it makes.
    auto noColumns = parseProject(le32(0) + le32(4) + "trailing bytes..", 0);
    ASSERT_TRUE(noColumns.ok());
    applyProject(std::move(*noColumns), grid);
    EXPECT_EQ(grid.colCount(), 1);
    EXPECT_EQ(grid.rowCount(), 4);
}

TEST(ProjectFile, ApplyingTouchesOnlyTheCellsTheContentsHold)
{
    // Counts far beyond the cells: applying costs the cells, not the counts.
    StringGrid grid = filledTable();
    ProjectContents contents;
    contents.colCount = 0x7FFFFFFF;
    contents.rowCount = 0;
    QElapsedTimer timer;
    timer.start();
    applyProject(std::move(contents), grid);
    EXPECT_LT(timer.elapsed(), 500);
    EXPECT_EQ(grid.colCount(), 0x7FFFFFFF);
    EXPECT_EQ(grid.rowCount(), 1);
    EXPECT_EQ(grid.cell(5, 5), QStringLiteral("5/5"));
}

TEST(ProjectFile, SaveRefusesAnEmptyTableAndReportsAFailedWrite)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Arhive.qlx");
    StringGrid empty;
    EXPECT_EQ(saveProject(empty, path, 0).error(), QStringLiteral("Архив не считан!"));
    EXPECT_EQ(saveProject(empty, path, 1).error(), QStringLiteral("Archive not read!"));
    EXPECT_FALSE(QFile::exists(path));

    StringGrid table = filledTable();
    table.setCell(3, 4, QStringLiteral(" ")); // stored with n = 1
    table.setCell(3, 5, QString());           // stored with n = 0
    ASSERT_TRUE(saveProject(table, path, 0).ok());
    StringGrid back(2, 2);
    ASSERT_TRUE(readProjectFile(path, back, 0).ok());
    EXPECT_EQ(snapshot(back), snapshot(table));

    const QString nowhere = dir.filePath("no such folder/Arhive.qlx");
    const auto failed = writeProjectFile(table, nowhere, 1);
    ASSERT_FALSE(failed.ok());
    EXPECT_TRUE(failed.error().contains(QDir::toNativeSeparators(nowhere)));
}

TEST(ProjectFile, HundredThousandRowsWriteAndReadQuickly)
{
    const int rows = 100000;
    StringGrid grid(8, rows + 1);
    for (int r = 0; r <= rows; ++r)
        grid.setRow(r, {QString::number(r), "Сталь", "5920", QStringLiteral("%1,00").arg(r % 300), "", "1",
                        "01.02.2013", "10:00:00"});
    QTemporaryDir dir;
    const QString path = dir.filePath("big.qlx");
    QElapsedTimer timer;
    timer.start();
    ASSERT_TRUE(writeProjectFile(grid, path, 0).ok());
    const qint64 writeMs = timer.restart();
    StringGrid back;
    ASSERT_TRUE(readProjectFile(path, back, 0).ok());
    const qint64 readMs = timer.elapsed();
    std::printf("100000 rows: write %lld ms, read %lld ms\n", static_cast<long long>(writeMs),
                static_cast<long long>(readMs));
    ASSERT_EQ(back.rowCount(), rows + 1);
    for (int r = 0; r <= rows; r += 997)
        ASSERT_EQ(back.row(r), grid.row(r));
    // Generous: the tests also run under the sanitizers on a shared machine.
    EXPECT_LT(writeMs + readMs, 5000);
}

// Opening reads the cells straight into the grid's rows, sharing the texts that repeat in a
// column. It gives the very grid that parsing and applying give, onto a grid that already holds
// a table (cells outside the file's counts stay), with one change told. The tables have long
// texts and short, texts at the file's very end, zero bytes, columns that repeat and columns
// that do not, over more rows than the sharing's first look.
TEST(ProjectFile, ReadingStraightIntoTheGridGivesWhatParsingAndApplyingGives)
{
    QRandomGenerator random(23);
    const auto text = [&random](int kind) {
        switch (kind) {
        case 0:
            return QString::number(random.bounded(5000)); // repeats now and then
        case 1: {
            QString t(int(random.bounded(24)), Qt::Uninitialized);
            for (QChar& c : t)
                c = QChar(u"ab жЖ\u00ad0"[random.bounded(7)]);
            return t;
        }
        case 2:
            return QStringLiteral("материал %1").arg(random.bounded(40)); // long and repeating
        default:
            return QString::number(random.generate()); // never repeats
        }
    };
    for (const auto& [rows, cols] : {std::pair{0, 3}, {1, 1}, {5, 2}, {3000, 4}, {2500, 9}}) {
        StringGrid written(cols, rows);
        for (int c = 0; c < cols; ++c)
            for (int r = 0; r < rows; ++r)
                written.setCell(c, r, text(c % 4));
        QByteArray bytes = encodeProject(written);
        TableLimits fileLimits;
        if (rows > 100) {
            const qsizetype at = bytes.indexOf("ab");
            ASSERT_GE(at, 0);
            bytes[at + 1] = '\0'; // a zero byte ends a text
            fileLimits.table.minimum = 150;
            fileLimits.series[3].nominal = 900;
            bytes += encodeLimits(fileLimits);
        }
        SCOPED_TRACE(testing::Message() << rows << " x " << cols);

        auto contents = parseProject(bytes, 1);
        ASSERT_TRUE(contents.ok());
        EXPECT_EQ(contents->extras.limits, fileLimits);
        StringGrid expected = filledTable();
        applyProject(std::move(*contents), expected);

        StringGrid grid = filledTable();
        std::vector<GridChange::Kind> told;
        grid.setChangeHandler([&told](const GridChange& change) { told.push_back(change.kind); });
        const auto read = readProjectBytes(bytes, grid, 1);
        ASSERT_TRUE(read.ok());
        EXPECT_EQ(read->limits, fileLimits);
        EXPECT_EQ(told.size(), 1u);
        EXPECT_EQ(grid.colCount(), expected.colCount());
        EXPECT_EQ(grid.rowCount(), expected.rowCount());
        for (int r = 0; r < std::max(rows, 9); ++r)
            for (int c = 0; c < std::max(cols, 8); ++c)
                ASSERT_EQ(grid.cell(c, r), expected.cell(c, r)) << c << ", " << r;
    }
    // Refused bytes leave the grid alone.
    StringGrid grid = filledTable();
    EXPECT_FALSE(readProjectBytes(le32(1) + le32(2) + le32(3) + "ab", grid, 1).ok());
    EXPECT_EQ(snapshot(grid), snapshot(filledTable()));
}

// Cells that look like numbers, texts that repeat and texts with a zero byte in them are read
// as their bytes say, whatever way each is made: "007" stays "007" and 65536 stays 65536. A text
// that repeats is shared by its cells, yet changing one cell changes no other, and a table keeps
// its texts when another table is read and thrown away.
TEST(ProjectFile, NumbersRepeatsAndZeroBytesReadAsWritten)
{
    const auto cell = [](const QByteArray& text) { return le32(qint32(text.size())) + text; };
    const QList<QByteArray> numbers{"0", "007", "65535", "65536", "-1", "+5", "12 ", "00", "99999", "1e3"};
    const QByteArray longWithZero = QByteArray(35, 'x') + QByteArray("\0yz", 3) + QByteArray(2, 'w');
    const QList<QByteArray> zeros{QByteArray("a\0b", 3), QByteArray(1, '\0'), longWithZero, "\xC0"};
    constexpr int Rows = 1200; // more than the first look of a column that shares its texts
    QByteArray bytes = le32(3) + le32(Rows);
    for (int r = 0; r < Rows; ++r)
        bytes += cell(numbers[r % numbers.size()]);
    for (int r = 0; r < Rows; ++r)
        bytes += cell(r % 2 ? "\xF1\xF2\xE0\xEB\xFC 1" : zeros[(r / 2) % zeros.size()]);
    for (int r = 0; r < Rows; ++r)
        bytes += cell(QByteArray::number(r % 3 ? 1000 + r : 70000 + r));

    const QStringList numberTexts{"0", "007", "65535", "65536", "-1", "+5", "12 ", "00", "99999", "1e3"};
    const QStringList zeroTexts{"a", "", QString(35, u'x'), "А"};
    StringGrid grid(1, 1, 0, 0);
    ASSERT_TRUE(readProjectBytes(bytes, grid, 1).ok());
    const auto expectTable = [&](const StringGrid& table) {
        for (int r = 0; r < Rows; ++r) {
            ASSERT_EQ(table.cell(0, r), numberTexts[r % numberTexts.size()]) << r;
            ASSERT_EQ(table.cell(1, r), r % 2 ? QStringLiteral("сталь 1") : zeroTexts[(r / 2) % zeroTexts.size()]) << r;
            ASSERT_EQ(table.cell(2, r), QString::number(r % 3 ? 1000 + r : 70000 + r)) << r;
        }
    };
    expectTable(grid);

    StringGrid other(1, 1, 0, 0);
    ASSERT_TRUE(readProjectBytes(bytes, other, 1).ok());
    other.setCell(1, 1, QStringLiteral("чугун"));
    QString copy = other.cell(1, 3);
    copy[0] = u'С';
    EXPECT_EQ(other.cell(1, 1), QStringLiteral("чугун"));
    EXPECT_EQ(other.cell(1, 3), QStringLiteral("сталь 1"));
    other = StringGrid(1, 1, 0, 0);
    expectTable(grid);
}

// The codec's answer for every byte: only the zero byte, and a byte without a character of its
// own, would not come back as itself; the check the sort asks of every text agrees.
TEST(ProjectFile, EveryByteComesBackUnlessZeroOrWithoutACharacter)
{
    bool onlyZero = true;
    for (int b = 0; b < 256; ++b) {
        const QByteArray byte(1, char(b));
        const bool back = b != 0 && windows1251::encode(windows1251::decode(byte)) == byte;
        EXPECT_EQ(windows1251::keepsBytes(byte), back) << b;
        EXPECT_EQ(windows1251::keepsBytes(QByteArray("long text ") + byte + " in the middle"), back) << b;
        onlyZero = onlyZero && (back || b == 0);
    }
    EXPECT_EQ(windows1251::keepsAllButZero(), onlyZero);
}

// A project written in pieces replaces the file only when every piece is written: one that
// gives up, or one past the size a project may have, leaves the earlier file as it was.
TEST(ProjectFile, APieceWriterThatGivesUpLeavesTheFileAsItWas)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Arhive.qlx");
    writeBytes(path, example());
    const auto giveUp = [](const ProjectSink& sink) -> Result<void> {
        sink(QByteArray(1000, 'x'));
        return fail(QStringLiteral("the reason"));
    };
    const auto failed = writeProjectPieces(giveUp, path, 1);
    ASSERT_FALSE(failed.ok());
    EXPECT_TRUE(failed.error().contains(QStringLiteral("the reason"))) << qPrintable(failed.error());
    EXPECT_EQ(readBytes(path), example());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"Arhive.qlx"});

    const auto tooMuch = [](const ProjectSink& sink) -> Result<void> {
        const QByteArray piece(1 << 20, 'x');
        for (qint64 written = 0; written <= MaxProjectFileSize; written += piece.size())
            if (!sink(piece))
                return fail(QString());
        return done();
    };
    EXPECT_FALSE(writeProjectPieces(tooMuch, path, 1).ok());
    EXPECT_EQ(readBytes(path), example());

    const auto twoPieces = [](const ProjectSink& sink) -> Result<void> {
        if (!sink(example().first(10)) || !sink(example().sliced(10)))
            return fail(QString());
        return done();
    };
    ASSERT_TRUE(writeProjectPieces(twoPieces, dir.filePath("two.qlx"), 1).ok());
    EXPECT_EQ(readBytes(dir.filePath("two.qlx")), example());
}

// The report's title block after the cells, before the limits, written out by hand: UTF-8 texts
// with their lengths, all eight of them in order, the CRC over the record. It reads back with
// the limits after it; a reader of the cells alone stops before it; a project keeps it through a
// sort from its bytes. A title whose checksum is wrong opens the cells and the limits and says
// what is wrong; one whose length does not fit loses the limits after it too, never the cells.
TEST(ProjectTitle, TheRecordAsWrittenOutByHandReadBackAndDamaged)
{
    ReportTitle title;
    title.object = QStringLiteral("Резервуар №5");
    title.operatorName = QStringLiteral("Петров");
    title.couplant = QStringLiteral("gel");
    QByteArray payload = le32(8);
    for (const QByteArray& text : {QByteArray("\xD0\xA0\xD0\xB5\xD0\xB7\xD0\xB5\xD1\x80\xD0\xB2\xD1\x83\xD0\xB0\xD1\x80 "
                                              "\xE2\x84\x96" "5"),
                                   QByteArray(), QByteArray("\xD0\x9F\xD0\xB5\xD1\x82\xD1\x80\xD0\xBE\xD0\xB2"),
                                   QByteArray(), QByteArray(), QByteArray(), QByteArray(), QByteArray("gel")})
        payload += le32(qint32(text.size())) + text;
    QByteArray record = QByteArray("QXLT") + QByteArray("\x01\x00", 2) + le32(qint32(payload.size())) + payload;
    const std::uint16_t crc = Crc16(reinterpret_cast<const std::uint8_t*>(record.constData()), std::size_t(record.size()));
    record += char(crc & 0xFF);
    record += char(crc >> 8);
    EXPECT_EQ(encodeTitle(title), record);
    EXPECT_TRUE(encodeTitle({}).isEmpty());

    const StringGrid grid = filledTable();
    TableLimits limits;
    limits.table = {1250, 800};
    const QByteArray cells = encodeProject(grid);
    const QByteArray bytes = encodeProject(grid, limits, title);
    ASSERT_EQ(bytes, cells + record + encodeLimits(limits));

    auto read = parseProject(bytes, 1);
    ASSERT_TRUE(read.ok());
    EXPECT_EQ(read->extras.title, title);
    EXPECT_EQ(read->extras.limits, limits);
    const auto located = locateCells(bytes, 1);
    ASSERT_TRUE(located.ok());
    EXPECT_EQ(located->endOfCells, cells.size());
    const auto sorted = sortedProjectBytes(bytes, 1, 1, 1, QLocale::c());
    ASSERT_TRUE(sorted);
    EXPECT_TRUE(sorted->endsWith(record + encodeLimits(limits)));

    QTemporaryDir dir;
    const QString path = dir.filePath("damaged.qlx");
    QByteArray wrongSum = bytes;
    wrongSum[cells.size() + record.size() - 1] = char(wrongSum[cells.size() + record.size() - 1] ^ 1);
    writeBytes(path, wrongSum);
    StringGrid opened;
    auto damaged = readProjectFile(path, opened, 1);
    ASSERT_TRUE(damaged.ok());
    EXPECT_TRUE(damaged->title.empty());
    EXPECT_EQ(damaged->limits, limits);
    EXPECT_TRUE(damaged->warning.contains(QStringLiteral("title block"))) << damaged->warning.toStdString();
    EXPECT_TRUE(damaged->warning.contains(QStringLiteral("checksum"))) << damaged->warning.toStdString();
    EXPECT_EQ(snapshot(opened), snapshot(grid));

    QByteArray tooLong = bytes;
    tooLong.replace(cells.size() + 6, 4, le32(100000));
    writeBytes(path, tooLong);
    damaged = readProjectFile(path, opened, 0);
    ASSERT_TRUE(damaged.ok());
    EXPECT_TRUE(damaged->title.empty() && damaged->limits.empty());
    EXPECT_TRUE(damaged->warning.contains(QStringLiteral("Шапка протокола"))) << damaged->warning.toStdString();
    EXPECT_EQ(snapshot(opened), snapshot(grid));
}
