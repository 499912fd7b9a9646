#pragma once
// Google Benchmark's console table, and after it one FIGURE line per benchmark (mean wall time
// of one iteration in seconds) against the bound registered for it.

#include "bench_table.h"

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

namespace quilex::bench {

class FigureReporter final : public benchmark::ConsoleReporter {
public:
    // Plain text: the FIGURE lines that follow must start their lines.
    FigureReporter() : ConsoleReporter(OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred)
                continue;
            seconds_[run.run_name.function_name] =
                run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
        }
    }

    // The mean of the named benchmark, or a negative value when it did not run.
    double seconds(const std::string& name) const
    {
        const auto found = seconds_.find(name);
        return found == seconds_.end() ? -1.0 : found->second;
    }

private:
    std::map<std::string, double> seconds_;
};

// Runs every registered benchmark with the reporter; false when the arguments were bad.
inline bool runBenchmarks(int& argc, char** argv, FigureReporter& reporter)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return false;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return true;
}

} // namespace quilex::bench
