// quilex-cli-commands: the whole command line, every command of quilex-cli. quilex-cli starts it
// (exec, same arguments) for everything but the sort of one project file into another, which it
// does itself without loading the libraries this program needs (cli_launcher.cpp).

#include "cli/cli_commands.h"

#include <QCoreApplication>
#include <QApplication>
#include <QGuiApplication>

#include <cstdio>
#include <cstring>
#include <iterator>
#include <memory>

namespace quilex::cli {
namespace {

const Command commands[] = {
    {"devices", "list the gauges the program can reach", DevicesHelp, runDevices},
    {"archive", "read the gauge's archive into a table", ArchiveHelp, runArchive},
    {"materials", "read, or write, the gauge's table of materials", MaterialsHelp, runMaterials},
    {"screenshot", "save the picture on the gauge's screen", ScreenshotHelp, runScreenshot},
    {"convert", "read a table, sort it, write it in another form", ConvertHelp, runConvert},
    {"stats", "the statistics of a table per series, with thickness limits", StatsHelp, runStats},
    {"chart", "the chart of a table's readings, or their histogram, as PNG or SVG", ChartHelp, runChart},
    {"report", "the inspection report of a table, as PDF", ReportHelp, runReport},
    {"history", "a survey history of many visits: corrosion rates, remaining life, next inspection", HistoryHelp,
     runHistory},
};

void printOverview(std::FILE* out)
{
    std::fprintf(out,
                 "Usage: quilex-cli COMMAND [OPTIONS]\n"
                 "       quilex-cli COMMAND --help\n"
                 "       quilex-cli --help | --version\n"
                 "\n"
                 "The command line of Quilex-A, the companion program of the Quilex-A\n"
                 "ultrasonic thickness gauge.\n"
                 "\n"
                 "Commands:\n");
    for (const auto& c : commands)
        std::fprintf(out, "  %-12s %s\n", c.name, c.synopsis);
    std::fprintf(out,
                 "\n"
                 "Environment:\n"
                 "  QUILEX_DRIVER_ROOT  folder of the gauge driver's devices (default /run/quilex/devices)\n"
                 "  QUILEX_LIBUSB       libusb 0.1 library to load (default libusb-0.1.so.4); the simulated\n"
                 "                      gauge is lib/quilex/libquilex-sim-usb.so beside the program's bin/\n"
                 "  QUILEX_SIM          the simulated gauge's faults, a comma-separated key=value list\n"
                 "  QUILEX_SIM_IMAGE    the gauge image file the simulated gauge starts from\n"
                 "  QUILEX_TRACE        write every transfer with the gauge to this file, for a bug report\n"
                 "\n"
                 "Exit status:\n"
                 "  0  done\n"
                 "  1  usage: an unknown command or option\n"
                 "  2  the gauge was not reached, sent nothing for --wait seconds (\"The gauge has\n"
                 "     not answered for N s: check the connection\"), or the link failed in the\n"
                 "     middle of a material write (\"... the gauge's material table may be\n"
                 "     incomplete ...\"); a table or picture is then not written at all\n"
                 "  3  a block failed its check (\"CRC16 Error\"); nothing is written\n"
                 "  4  a file could not be read or written, or a cell could not be converted\n"
                 "A record, table or picture that cannot be read whole is read again; a gauge that\n"
                 "was unplugged is looked for again about once a second until --wait runs out.\n"
                 "\n"
                 "The manual: man quilex-cli.\n");
}

} // namespace
} // namespace quilex::cli

int main(int argc, char* argv[])
{
    using namespace quilex::cli;
    // The report's pages need fonts and so a GUI application, the chart a widgets one; neither
    // opens a window, so neither needs a display.
    bool paints = false;
    const bool draws = argc > 1
                       && (std::strcmp(argv[1], "chart") == 0 || std::strcmp(argv[1], "report") == 0
                           || (std::strcmp(argv[1], "history") == 0 && argc > 2
                               && (std::strcmp(argv[2], "trend") == 0 || std::strcmp(argv[2], "report") == 0)));
    if (argc > 1 && (std::strcmp(argv[1], "convert") == 0 || std::strcmp(argv[1], "stats") == 0
                     || std::strcmp(argv[1], "history") == 0))
        for (int i = 2; i < argc; ++i)
            paints = paints || QByteArray(argv[i]).toLower().endsWith(".pdf");
    if ((paints || draws) && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    std::unique_ptr<QCoreApplication> app;
    if (draws)
        app = std::make_unique<QApplication>(argc, argv);
    else if (paints)
        app = std::make_unique<QGuiApplication>(argc, argv);
    else
        app = std::make_unique<QCoreApplication>(argc, argv);
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    if (args.isEmpty()) {
        printOverview(stderr);
        return ExitUsage;
    }
    const QString first = args.takeFirst();
    if (first == QLatin1String("--help") || first == QLatin1String("-h")) {
        printOverview(stdout);
        return ExitDone;
    }
    if (first == QLatin1String("--version")) {
        std::printf("quilex-cli %s\n", QUILEX_VERSION);
        return ExitDone;
    }
    for (const auto& c : commands) {
        if (first != QLatin1String(c.name))
            continue;
        if (args.contains(QLatin1String("--help")) || args.contains(QLatin1String("-h"))) {
            std::fputs(c.help, stdout);
            return ExitDone;
        }
        return c.run(args);
    }
    std::fprintf(stderr, "quilex-cli: unknown command \"%s\"\n\n", qPrintable(first));
    printOverview(stderr);
    return ExitUsage;
}
