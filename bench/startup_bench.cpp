// The program's start to its first shown window. This program does what quilex's main does
// (the application object, the exchange state, the main window, show) and waits for the main
// window's first paint; the time counts from the moment the kernel started the process
// (/proc/self/stat), so loading the program and its libraries is included.
//
// With --bare it shows an empty QMainWindow instead: the floor that Qt itself sets on this
// machine, the reference.

#include "bench_table.h"
#include "window_support.h"

#include "windows/main_window.h"
#include "table/main_window_texts.h"

#include <QMainWindow>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include <time.h>
#include <unistd.h>

namespace {

// Seconds since boot at which this process started, from field 22 of /proc/self/stat.
double processStartSeconds()
{
    std::ifstream in("/proc/self/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // The command name may hold spaces; the fields after it start past the last ')'.
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    unsigned long long ticks = 0;
    for (int k = 3; k <= 22 && fields >> field; ++k)
        if (k == 22)
            ticks = std::stoull(field);
    return double(ticks) / double(::sysconf(_SC_CLK_TCK));
}

double secondsSinceBoot()
{
    timespec now{};
    ::clock_gettime(CLOCK_BOOTTIME, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

} // namespace

int main(int argc, char* argv[])
{
    using namespace quilex;
    const bool bare = argc > 1 && std::strcmp(argv[1], "--bare") == 0;
    bench::useOffscreenUnlessSet();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromUtf16(ApplicationTitle));
    QApplication::setApplicationDisplayName(QString::fromUtf16(ApplicationTitle));
    ExchangeState state;
    std::unique_ptr<QMainWindow> window;
    if (bare)
        window = std::make_unique<QMainWindow>();
    else
        window = std::make_unique<TForm1>(state);
    bench::PaintWatch watch(window.get());
    window->show();
    const bool painted = watch.waitForPaintAfter(0);
    const double seconds = secondsSinceBoot() - processStartSeconds();
    std::printf("%s %.6f\n", painted ? "STARTED" : "NOT-PAINTED", seconds);
    return painted ? 0 : 2;
}
