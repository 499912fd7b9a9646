// bench_make_table ROWS PROJECT.qlx [TEXT.tsv]: writes the benchmarks' archive table of ROWS
// data rows as a project file and, when asked, its data rows as tab-separated text.

#include "bench_table.h"

#include "table/project_file.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_make_table ROWS PROJECT.qlx [TEXT.tsv]\n");
        return 1;
    }
    const int rows = std::atoi(argv[1]);
    const quilex::StringGrid grid = quilex::bench::archiveTable(rows);
    if (const auto failed = quilex::writeProjectFile(grid, QString::fromLocal8Bit(argv[2]), 1); !failed) {
        std::fprintf(stderr, "%s\n", qPrintable(failed.error()));
        return 1;
    }
    if (argc > 3 && !quilex::bench::writeTabSeparated(grid, QString::fromLocal8Bit(argv[3]))) {
        std::fprintf(stderr, "cannot write %s\n", argv[3]);
        return 1;
    }
    return 0;
}
