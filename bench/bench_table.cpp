#include "bench_table.h"

#include "table/archive_columns.h"

#include <QDate>
#include <QFile>
#include <QLocale>
#include <QTime>

#include <array>
#include <random>

namespace quilex::bench {

namespace {

const std::array<const char16_t*, 13> Materials{
    u"тефлон", u"полистирол", u"оргстекло", u"текстолит", u"чугун", u"сталь 1", u"сталь 2",
    u"сталь 3", u"алюминий", u"материал 10", u"материал 11", u"материал 12", u"материал 13"};
const std::array<int, 13> Speeds{1350, 2350, 2670, 2900, 4600, 5900, 5920, 5960, 6300, 5000, 5000, 5000, 5000};

} // namespace

StringGrid archiveTable(int rows, unsigned seed)
{
    std::mt19937 random(seed);
    StringGrid grid(ArchiveColumnCount, rows + 1, 1, 1);
    writeArchiveHeader(grid, 0);
    const QLocale c = QLocale::c();
    const QDate firstDay(2024, 1, 9);
    StringGrid::UpdateBatch batch(grid);
    for (int r = 1; r <= rows; ++r) {
        const auto m = static_cast<std::size_t>(random() % Materials.size());
        // Thicknesses of 0.50 .. 299.99 mm in hundredths, many of them alike, as on one object.
        const int hundredths = 50 + int(random() % 30000);
        const int series = int(random() % 256);
        const QDate day = firstDay.addDays(r / 400);
        const QTime moment = QTime(8, 0).addSecs(int(random() % 36000));
        grid.setCell(0, r, QString::number(r));
        grid.setCell(1, r, QString::fromUtf16(Materials[m]));
        grid.setCell(2, r, QString::number(Speeds[m]));
        grid.setCell(3, r, c.toString(hundredths / 100.0, 'f', 2));
        grid.setCell(4, r, QString::number(r % 256));
        grid.setCell(5, r, QString::number(series));
        grid.setCell(6, r, c.toString(day, QLocale::ShortFormat));
        grid.setCell(7, r, moment.toString(QStringLiteral("hh:mm:ss")));
    }
    return grid;
}

bool writeTabSeparated(const StringGrid& grid, const QString& path)
{
    QByteArray text;
    for (int r = grid.fixedRows(); r < grid.rowCount(); ++r) {
        for (int col = 0; col < grid.colCount(); ++col) {
            if (col > 0)
                text += '\t';
            text += grid.cell(col, r).toUtf8();
        }
        text += '\n';
    }
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text) == text.size();
}

} // namespace quilex::bench
