#pragma once
// The tables the benchmarks work on: an archive table of any size whose texts look like the
// gauge's (record numbers, the factory materials, speeds, thicknesses, dates and times), the
// same on every run.

#include "table/string_grid.h"

#include <QString>

#include <chrono>
#include <cstdio>

namespace quilex::bench {

// Header row plus `rows` data rows in the eight archive columns, Russian headers.
StringGrid archiveTable(int rows, unsigned seed = 20240520);

// The table's data rows as tab-separated lines (no header), UTF-8, for the reference tools.
bool writeTabSeparated(const StringGrid& grid, const QString& path);

// Seconds since a steady start.
class Stopwatch {
public:
    Stopwatch() : start_(std::chrono::steady_clock::now()) {}
    double seconds() const
    {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    }
    void restart() { start_ = std::chrono::steady_clock::now(); }

private:
    std::chrono::steady_clock::time_point start_;
};

// One figure as scripts/bench reads it: "FIGURE name seconds bound_seconds".
inline void printFigure(const char* name, double seconds, double bound)
{
    std::printf("FIGURE %s %.6f %.6f\n", name, seconds, bound);
    std::fflush(stdout);
}
// A reference measured in the same run: "REFERENCE name seconds what".
inline void printReference(const char* name, double seconds, const char* what)
{
    std::printf("REFERENCE %s %.6f %s\n", name, seconds, what);
    std::fflush(stdout);
}

} // namespace quilex::bench
