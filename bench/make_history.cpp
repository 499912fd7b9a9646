// bench_make_history LOCATIONS VISITS HISTORY.qlh ALL.qlx DOWNLOAD.qlx: a survey history of
// LOCATIONS locations measured on each of VISITS visits half a year apart, made through the
// store as the command line makes it (one add per visit); ALL.qlx holds the same readings as
// one archive table, DOWNLOAD.qlx a download of 2048 readings of the next visit.
//
// Locations are 200 series of up to 100 numbers. Each wall thins at its own pace with the
// scatter of a real gauge, so that some values grow and get their flags, as in the field.

#include "bench_table.h"

#include "history/sqlite_history.h"
#include "table/archive_columns.h"
#include "table/project_file.h"

#include <QCoreApplication>
#include <QLocale>
#include <QTime>

#include <cstdio>
#include <cstdlib>
#include <random>

namespace {

using namespace quilex;

constexpr int Download = 2048;

struct Visit {
    QDate day;
    std::vector<IncomingReading> readings;
};

IncomingReading readingAt(int location, int visit, QDate day, std::mt19937& random)
{
    IncomingReading r;
    r.location = {location / 100, 1 + location % 100};
    r.date = day;
    r.secondsOfDay = 8 * 3600 + (location % 2000) * 15;
    // 10.00 mm, thinning 0.02 to 0.30 mm a year, read within +-0.05 mm.
    const double rate = 2.0 + double((location * 7919) % 29);
    const int scatter = int(random() % 11) - 5;
    r.thickness = 1000 - int(rate * visit / 2.0) + scatter;
    r.soundSpeed = 5920;
    r.material = QStringLiteral("сталь 1");
    return r;
}

void putRow(StringGrid& grid, int row, const IncomingReading& r, const QLocale& locale)
{
    grid.setCell(0, row, QString::number(row));
    grid.setCell(1, row, r.material);
    grid.setCell(2, row, QString::number(*r.soundSpeed));
    grid.setCell(3, row, locale.toString(r.thickness / 100.0, 'f', 2));
    grid.setCell(4, row, QString::number(r.location.number));
    grid.setCell(5, row, QString::number(r.location.series));
    grid.setCell(6, row, locale.toString(r.date, QLocale::ShortFormat));
    grid.setCell(7, row, QTime(0, 0).addSecs(*r.secondsOfDay).toString(QStringLiteral("hh:mm:ss")));
}

bool writeReadings(const QString& path, const std::vector<const IncomingReading*>& readings)
{
    StringGrid grid(ArchiveColumnCount, int(readings.size()) + 1, 1, 1);
    writeArchiveHeader(grid, 0);
    const QLocale locale = QLocale::system();
    {
        StringGrid::UpdateBatch batch(grid);
        for (std::size_t i = 0; i < readings.size(); ++i)
            putRow(grid, int(i) + 1, *readings[i], locale);
    }
    if (const auto failed = writeProjectFile(grid, path, 0); !failed) {
        std::fprintf(stderr, "%s\n", qPrintable(failed.error()));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 6) {
        std::fprintf(stderr, "usage: bench_make_history LOCATIONS VISITS HISTORY.qlh ALL.qlx DOWNLOAD.qlx\n");
        return 1;
    }
    const int locations = std::atoi(argv[1]);
    const int visits = std::atoi(argv[2]);
    const QString historyPath = QString::fromLocal8Bit(argv[3]);
    std::mt19937 random(20240301);
    const QDate first(2000, 1, 10);

    if (auto made = createHistory(historyPath, {QStringLiteral("Bench unit"), InspectionCode::Api570, 2}); !made) {
        std::fprintf(stderr, "%s\n", qPrintable(made.error()));
        return 1;
    }
    auto store = openHistory(historyPath);
    if (!store) {
        std::fprintf(stderr, "%s\n", qPrintable(store.error()));
        return 1;
    }
    (void)(*store)->updateDefaults([](GroupValues& v) {
        v.nominal = 1000;
        v.required = 600;
        v.gridColumns = 10;
    });
    std::vector<IncomingReading> all;
    all.reserve(std::size_t(locations) * std::size_t(visits));
    bench::Stopwatch making;
    for (int visit = 0; visit < visits; ++visit) {
        IncomingReadings one;
        const QDate day = first.addMonths(6 * visit);
        for (int location = 0; location < locations; ++location)
            one.readings.push_back(readingAt(location, visit, day, random));
        SurveyDetails details;
        details.label = QStringLiteral("visit %1").arg(visit + 1);
        const auto added = (*store)->add(one, details, AddMode::Write);
        if (!added || added->added != locations) {
            std::fprintf(stderr, "visit %d: %s\n", visit, added ? "not all added" : qPrintable(added.error()));
            return 1;
        }
        all.insert(all.end(), one.readings.begin(), one.readings.end());
    }
    std::fprintf(stderr, "made %zu readings in %.1f s\n", all.size(), making.seconds());
    store->reset();

    std::vector<const IncomingReading*> rows;
    for (const IncomingReading& r : all)
        rows.push_back(&r);
    if (!writeReadings(QString::fromLocal8Bit(argv[4]), rows))
        return 1;
    std::vector<IncomingReading> next;
    for (int location = 0; location < std::min(locations, Download); ++location)
        next.push_back(readingAt(location * (locations / std::min(locations, Download)), visits,
                                 first.addMonths(6 * visits), random));
    rows.clear();
    for (const IncomingReading& r : next)
        rows.push_back(&r);
    return writeReadings(QString::fromLocal8Bit(argv[5]), rows) ? 0 : 2;
}
