#pragma once
// The command-line program's commands. Each takes its own arguments (after the command
// word) and returns the process's exit status.

#include <QStringList>

namespace quilex::cli {

enum ExitStatus {
    ExitDone = 0,
    ExitUsage = 1,
    ExitNoGauge = 2,
    ExitBadBlock = 3,
    ExitFileError = 4,
};

struct Command {
    const char* name;
    const char* synopsis; // one line for the overview
    const char* help;     // the whole text of "quilex-cli NAME --help"
    int (*run)(const QStringList& args);
};

int runDevices(const QStringList& args);
int runArchive(const QStringList& args);
int runMaterials(const QStringList& args);
int runScreenshot(const QStringList& args);
int runConvert(const QStringList& args);
int runStats(const QStringList& args);
int runChart(const QStringList& args);
int runHistory(const QStringList& args);
int runReport(const QStringList& args);
extern const char* const DevicesHelp;
extern const char* const ArchiveHelp;
extern const char* const MaterialsHelp;
extern const char* const ScreenshotHelp;
extern const char* const ConvertHelp;
extern const char* const StatsHelp;
extern const char* const ChartHelp;
extern const char* const HistoryHelp;
extern const char* const ReportHelp;

} // namespace quilex::cli
