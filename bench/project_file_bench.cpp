// Writing and reading a project file of 100,000 archive rows, against writing and reading the
// same number of bytes with no encoding at all (what the disk and the page cache cost).

#include "bench_table.h"
#include "figure_reporter.h"

#include "table/project_file.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

namespace {

using quilex::StringGrid;

constexpr int Rows = 100000;
constexpr double WriteBound = 0.2;
constexpr double ReadBound = 0.025;

const StringGrid& table()
{
    static const StringGrid grid = quilex::bench::archiveTable(Rows);
    return grid;
}

QString projectPath()
{
    static QTemporaryDir dir;
    return dir.filePath(QStringLiteral("bench.qlx"));
}

QString rawPath()
{
    static QTemporaryDir dir;
    return dir.filePath(QStringLiteral("raw.bin"));
}

void BM_Write(benchmark::State& state)
{
    for (auto _ : state) {
        if (const auto failed = quilex::writeProjectFile(table(), projectPath(), 1); !failed)
            state.SkipWithError(qPrintable(failed.error()));
    }
}

void BM_Read(benchmark::State& state)
{
    (void)quilex::writeProjectFile(table(), projectPath(), 1);
    for (auto _ : state) {
        StringGrid grid;
        if (const auto failed = quilex::readProjectFile(projectPath(), grid, 1); !failed)
            state.SkipWithError(qPrintable(failed.error()));
        benchmark::DoNotOptimize(grid.cell(0, 1));
    }
}

// Not a figure, for the reading of the one above: the same reads into one table, after a read
// that is not timed, as the window opens one project after another. The table's memory is then
// the process's already; the first reads above take most of their time in first touches of
// fresh memory.
void BM_ReadIntoOneTable(benchmark::State& state)
{
    StringGrid grid;
    (void)quilex::readProjectFile(projectPath(), grid, 1);
    for (auto _ : state) {
        if (const auto failed = quilex::readProjectFile(projectPath(), grid, 1); !failed)
            state.SkipWithError(qPrintable(failed.error()));
        benchmark::DoNotOptimize(grid.cell(0, 1));
    }
}

void BM_RawWrite(benchmark::State& state)
{
    const QByteArray bytes(quilex::encodeProject(table()).size(), 'x');
    for (auto _ : state) {
        QFile file(rawPath());
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
            state.SkipWithError("raw write failed");
    }
}

void BM_RawRead(benchmark::State& state)
{
    for (auto _ : state) {
        QFile file(rawPath());
        if (!file.open(QIODevice::ReadOnly))
            state.SkipWithError("raw read failed");
        const QByteArray bytes = file.readAll();
        benchmark::DoNotOptimize(bytes.data());
    }
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    (void)table();

    // The file read back must be the table written.
    (void)quilex::writeProjectFile(table(), projectPath(), 1);
    StringGrid back;
    const bool readOk = quilex::readProjectFile(projectPath(), back, 1).ok() && back.rowCount() == Rows + 1 &&
                        back.cell(1, Rows) == table().cell(1, Rows) && back.cell(7, 1) == table().cell(7, 1);
    std::printf("CHECK project-round-trip %s\n", readOk ? "ok" : "FAILED");

    struct Entry {
        const char* name;
        void (*fn)(benchmark::State&);
    };
    for (const Entry& e : {Entry{"project_write", BM_Write}, Entry{"project_read", BM_Read},
                           Entry{"project_read_into_one_table", BM_ReadIntoOneTable}, Entry{"raw_write", BM_RawWrite},
                           Entry{"raw_read", BM_RawRead}})
        benchmark::RegisterBenchmark(e.name, e.fn)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

    quilex::bench::FigureReporter reporter;
    if (!quilex::bench::runBenchmarks(argc, argv, reporter))
        return 1;
    using quilex::bench::printFigure;
    using quilex::bench::printReference;
    printFigure("project_write", reporter.seconds("project_write"), WriteBound);
    printReference("project_write", reporter.seconds("raw_write"), "same_bytes_unencoded");
    printFigure("project_read", reporter.seconds("project_read"), ReadBound);
    printReference("project_read", reporter.seconds("raw_read"), "same_bytes_unencoded");
    return readOk ? 0 : 2;
}
