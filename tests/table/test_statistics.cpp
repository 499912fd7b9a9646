// The statistics per series and the thickness limits, against figures worked out by hand for
// small tables and against an independent computation for a large random one; the limits'
// trailer of a project file against bytes written out by hand.

#include "table/archive_columns.h"
#include "table/archive_values.h"
#include "table/project_file.h"
#include "table/statistics.h"
#include "link/crc16.h"

#include <QLocale>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>

using namespace quilex;

namespace {

const QLocale Russian(QLocale::Russian, QLocale::Russia);

// An archive table: record number, thickness and series given, the other cells as a download
// writes them.
StringGrid archive(const std::vector<std::tuple<QString, QString, QString>>& rows)
{
    StringGrid grid(8, int(rows.size()) + 1);
    writeArchiveHeader(grid, 0);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const auto& [record, thickness, series] = rows[i];
        grid.setRow(int(i) + 1, {record, "сталь 1", "5920", thickness, "1", series, "07.05.2013", "09:03:00"});
    }
    return grid;
}

ArchiveStatistics statisticsOf(const StringGrid& grid, const TableLimits& limits = {})
{
    return computeStatistics(ArchiveRowReader(Russian).rows(grid), limits);
}

QByteArray le32(std::int32_t v)
{
    QByteArray b(4, '\0');
    for (int i = 0; i < 4; ++i)
        b[i] = char((std::uint32_t(v) >> (8 * i)) & 0xFF);
    return b;
}

} // namespace

TEST(Statistics, SmallTablesWorkedOutByHand)
{
    // Series 1: 10,00 10.50 (a point, as a project made elsewhere holds it) 9,50 and NAN;
    // series 2: one reading; series 3: three equal readings.
    const StringGrid grid = archive({{"1", "10,00", "1"}, {"2", "10.50", "1"}, {"3", "9,50", "1"},
                                     {"4", "NAN", "1"},   {"5", "4,20", "2"},  {"6", "7,00", "3"},
                                     {"7", "7,00", "3"},  {"8", "7,00", "3"},  {"9", "8,00", "NAN"}});
    const ArchiveStatistics s = statisticsOf(grid);
    ASSERT_EQ(s.series.size(), 3u);

    const SeriesStatistics& one = s.series[0];
    EXPECT_EQ(one.series, 1);
    EXPECT_EQ(one.readings, 3);
    EXPECT_EQ(one.unreadable, 1);
    EXPECT_EQ(one.minimum, 950);
    EXPECT_EQ(one.minimumRecord, "3");
    EXPECT_EQ(one.maximum, 1050);
    EXPECT_EQ(one.maximumRecord, "2");
    EXPECT_DOUBLE_EQ(one.mean, 10.0);
    ASSERT_TRUE(one.deviation);
    EXPECT_DOUBLE_EQ(*one.deviation, 0.5); // (0.25 + 0.25 + 0) / 2 = 0.25
    EXPECT_EQ(one.range(), 100);

    const SeriesStatistics& single = s.series[1];
    EXPECT_EQ(single.readings, 1);
    EXPECT_FALSE(single.deviation); // n - 1 = 0: no deviation
    EXPECT_EQ(single.range(), 0);

    const SeriesStatistics& equal = s.series[2];
    ASSERT_TRUE(equal.deviation);
    EXPECT_DOUBLE_EQ(*equal.deviation, 0.0);
    EXPECT_EQ(equal.minimumRecord, "6"); // the first where it was taken

    // The whole table includes the row with no series.
    EXPECT_EQ(s.all.readings, 8);
    EXPECT_EQ(s.all.unreadable, 1);
    EXPECT_EQ(s.all.minimum, 420);
    EXPECT_EQ(s.all.maximum, 1050);
    EXPECT_DOUBLE_EQ(s.all.mean, (10.0 + 10.5 + 9.5 + 4.2 + 7 * 3 + 8) / 8);

    // As a table: two decimals in the locale's separator, the deviation empty for one reading.
    const StatisticsTable table = statisticsTable(s, 0);
    EXPECT_EQ(table.header.size(), 9);
    EXPECT_EQ(table.rows.size(), 4u);
    EXPECT_EQ(statisticsCellText(table.rows[0][2], 2, Russian), "9,50");
    EXPECT_EQ(statisticsCellText(table.rows[0][7], 7, Russian), "0,50");
    EXPECT_EQ(statisticsCellText(table.rows[1][7], 7, Russian), "");
    EXPECT_EQ(statisticsCellText(table.rows[3][0], 0, Russian), "Все");
    EXPECT_EQ(statisticsTable(s, 1).rows[3][0], StatisticsCell(QStringLiteral("All")));
}

TEST(Statistics, LimitsCountTheThinReadingsAndTheWallLeft)
{
    const StringGrid grid = archive({{"1", "10,00", "1"}, {"2", "7,50", "1"}, {"3", "4,00", "2"}, {"4", "6,00", "2"}});
    TableLimits limits;
    limits.table = {1200, 800};             // nominal 12,00, minimum 8,00
    limits.series[2] = {std::nullopt, 500}; // series 2 is allowed down to 5,00
    const ArchiveStatistics s = statisticsOf(grid, limits);
    ASSERT_TRUE(s.anyLimits);
    EXPECT_EQ(s.series[0].belowMinimum, 1); // 7,50 < 8,00
    EXPECT_EQ(s.series[1].belowMinimum, 1); // 4,00 < 5,00, 6,00 is not
    EXPECT_EQ(s.all.belowMinimum, 2);       // each row against its own minimum
    ASSERT_TRUE(s.series[0].remainingPercent);
    EXPECT_DOUBLE_EQ(*s.series[0].remainingPercent, 62.5); // 7,50 of 12,00
    EXPECT_DOUBLE_EQ(*s.all.remainingPercent, 100.0 * 4 / 12);
    EXPECT_EQ(statisticsTable(s, 0).header.size(), 11);
    EXPECT_TRUE(belowMinimum(ArchiveRowReader(Russian).row(grid, 2), limits));
    EXPECT_FALSE(belowMinimum(ArchiveRowReader(Russian).row(grid, 4), limits));
}

// A large random table against a computation written out plainly in long double.
TEST(Statistics, ALargeRandomTableAgreesWithAPlainComputation)
{
    QRandomGenerator random(20261209);
    const int rows = 20000;
    std::vector<std::tuple<QString, QString, QString>> table;
    std::map<int, std::vector<int>> bySeries;
    for (int r = 0; r < rows; ++r) {
        const int series = random.bounded(40);
        const int hundredths = 100 + random.bounded(3000);
        table.emplace_back(QString::number(r + 1), Russian.toString(hundredths / 100.0, 'f', 2), QString::number(series));
        bySeries[series].push_back(hundredths);
    }
    const ArchiveStatistics s = statisticsOf(archive(table));
    ASSERT_EQ(s.series.size(), bySeries.size());
    std::size_t i = 0;
    for (const auto& [series, values] : bySeries) {
        const SeriesStatistics& got = s.series[i++];
        EXPECT_EQ(got.series, series);
        ASSERT_EQ(got.readings, int(values.size()));
        long double sum = 0;
        for (int v : values)
            sum += v / 100.0L;
        const long double mean = sum / values.size();
        long double squares = 0;
        for (int v : values)
            squares += (v / 100.0L - mean) * (v / 100.0L - mean);
        EXPECT_NEAR(got.mean, double(mean), 1e-9);
        EXPECT_NEAR(*got.deviation, double(std::sqrt(squares / (values.size() - 1))), 1e-9);
        EXPECT_EQ(got.minimum, *std::min_element(values.begin(), values.end()));
        EXPECT_EQ(got.maximum, *std::max_element(values.begin(), values.end()));
    }
    EXPECT_EQ(s.all.readings, rows);
}

// Readings as far from zero as a cell can hold and as close to one another as hundredths go: the
// deviation is still the exact one, and readings all alike deviate by exactly nothing.
TEST(Statistics, TheDeviationIsExactFarFromZero)
{
    std::vector<ArchiveValues> rows;
    const std::int32_t top = std::numeric_limits<std::int32_t>::max();
    for (int i = 0; i < 300000; ++i) {
        ArchiveValues v;
        v.record = QString::number(i + 1);
        v.series = 1 + i % 2;
        // Series 1: top - 2 and top, alternately (deviation 1 hundredth, times n / (n - 1));
        // series 2: top - 1 every time.
        v.thickness = v.series == 1 ? top - 2 * ((i / 2) % 2) : top - 1;
        rows.push_back(v);
    }
    const ArchiveStatistics s = computeStatistics(rows, {});
    ASSERT_EQ(s.series.size(), 2u);
    const double n = 150000;
    EXPECT_DOUBLE_EQ(*s.series[0].deviation, std::sqrt(n / (n - 1)) / 100);
    EXPECT_EQ(*s.series[1].deviation, 0.0);
    EXPECT_DOUBLE_EQ(s.series[0].mean, (top - 1) / 100.0);
    EXPECT_EQ(s.series[0].minimum, top - 2);
    EXPECT_EQ(s.series[0].maximum, top);
    // The whole table: half the readings at top - 1, a quarter a hundredth either side.
    EXPECT_DOUBLE_EQ(*s.all.deviation, std::sqrt(n / (2 * n - 1)) / 100);
}

// The limits after a project's cells, byte for byte as the file describes them.
TEST(ProjectLimits, TheTrailerAsWrittenOutByHand)
{
    TableLimits limits;
    limits.table = {1250, 800};
    limits.series[3] = {std::nullopt, 600};
    QByteArray expected = QByteArray("QXLM") + QByteArray("\x01\x00", 2) + le32(4 + 2 * 12) + le32(2);
    expected += le32(-1) + le32(1250) + le32(800);
    expected += le32(3) + le32(-1) + le32(600);
    const std::uint32_t crc = Crc16(reinterpret_cast<const std::uint8_t*>(expected.constData()), std::size_t(expected.size()));
    expected += char(crc & 0xFF);
    expected += char(crc >> 8);
    EXPECT_EQ(encodeLimits(limits), expected);
    EXPECT_TRUE(encodeLimits({}).isEmpty());
    // A negative series has no entry: limits kept only for one are no limits at all, and the
    // project is byte for byte one without them; beside other limits it is left out.
    TableLimits negativeOnly;
    negativeOnly.series[-5] = {1000, 700};
    EXPECT_TRUE(encodeLimits(negativeOnly).isEmpty());
    limits.series[-5] = {1000, 700};
    EXPECT_EQ(encodeLimits(limits), expected);
    EXPECT_EQ(limitFromText("12,5"), 1250);
    EXPECT_EQ(limitFromText("8.00"), 800);
    EXPECT_FALSE(limitFromText("-1"));
    EXPECT_FALSE(limitFromText("abc"));
}

TEST(ProjectLimits, WrittenReadBackIgnoredByAPlainCellReaderAndLeftBehindWhenDamaged)
{
    QTemporaryDir dir;
    const StringGrid grid = archive({{"1", "10,00", "1"}, {"2", "7,50", "2"}});
    TableLimits limits;
    limits.table = {1200, 800};
    limits.series[2] = {1000, std::nullopt};

    // Without limits the file is what it always was.
    EXPECT_EQ(encodeProject(grid, {}), encodeProject(grid));
    const QByteArray plain = encodeProject(grid);
    const QByteArray withLimits = encodeProject(grid, limits);
    ASSERT_EQ(withLimits.left(plain.size()), plain);
    EXPECT_EQ(withLimits.mid(plain.size()), encodeLimits(limits));

    // Written and read back whole.
    const QString path = dir.filePath("limits.qlx");
    ASSERT_TRUE(writeProjectFile(grid, path, 1, limits).ok());
    StringGrid read;
    const auto readBack = readProjectFile(path, read, 1);
    ASSERT_TRUE(readBack.ok());
    EXPECT_EQ(readBack->limits, limits);
    EXPECT_TRUE(readBack->warning.isEmpty());
    EXPECT_EQ(read.row(2), grid.row(2));

    // A reader that knows only the cells finds the table whole and stops at the last cell.
    auto located = locateCells(withLimits, 1);
    ASSERT_TRUE(located.ok());
    EXPECT_EQ(located->endOfCells, plain.size());

    // Damaged limits leave the cells whole: they open without limits, the user is told what is
    // wrong with them, and the file stays as it was.
    struct Damage {
        const char* what;
        std::function<void(QByteArray&)> spoil;
    };
    const Damage damages[] = {
        {"the checksum is wrong", [](QByteArray& b) { b[b.size() - 5] = char(b[b.size() - 5] ^ 1); }},
        {"unknown version", [&](QByteArray& b) { b[plain.size() + 4] = 2; }},
        {"does not match the end of the file", [](QByteArray& b) { b.chop(1); }},
        {"does not match the end of the file", [](QByteArray& b) { b.append('\0'); }},
        {"the record ends early", [&](QByteArray& b) { b.truncate(plain.size() + 6); }},
    };
    for (const Damage& damage : damages) {
        SCOPED_TRACE(damage.what);
        QByteArray bytes = withLimits;
        damage.spoil(bytes);
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        file.close();
        StringGrid opened = archive({{"9", "1,00", "9"}});
        const auto read = readProjectFile(path, opened, 1);
        ASSERT_TRUE(read.ok()) << read.error().toStdString();
        EXPECT_TRUE(read->limits.empty());
        const QString& warning = read->warning;
        EXPECT_TRUE(warning.contains(QStringLiteral("thickness limits"))) << warning.toStdString();
        EXPECT_TRUE(warning.contains(QLatin1String(damage.what))) << warning.toStdString();
        EXPECT_TRUE(warning.contains(QDir::toNativeSeparators(path))) << warning.toStdString();
        EXPECT_EQ(opened.row(2), grid.row(2));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), bytes);
        file.close();
    }
}
