// Archive download of 2048 records from the simulated gauge's libusb face, started as the
// user starts it: the main window's archive button, its progress dialog and the exchange
// thread, the table filled at the end.
//
// bench_download LATENCY_MS [LIBRARY]: the gauge takes LATENCY_MS longer over every transfer.
// The protocol's fixed pauses are really slept, and added up, so what the program itself
// spends is the wall time less those pauses (and less the gauge's latency, for LATENCY_MS > 0).

#include "bench_table.h"
#include "window_support.h"

#include "windows/main_window.h"
#include "windows/widget_bridge.h"
#include "link/pacing.h"

#include <QCoreApplication>
#include <QDir>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include <dlfcn.h>

namespace {

constexpr int Records = 2048;
constexpr int TransfersPerRecord = 3; // command, length, record

// Sleeps every pause for real and writes down how long it was asked to sleep.
class CountingPacing final : public quilex::Pacing {
public:
    void pause(std::chrono::milliseconds duration) override
    {
        if (duration.count() <= 0)
            return;
        asked_ += duration.count();
        std::this_thread::sleep_for(duration);
    }
    double askedSeconds() const { return double(asked_.load()) / 1000.0; }

private:
    std::atomic<long long> asked_{0};
};

} // namespace

int main(int argc, char* argv[])
{
    using namespace quilex;
    bench::useOffscreenUnlessSet();
    QApplication app(argc, argv);
    const int latency = argc > 1 ? std::atoi(argv[1]) : 0;
    const std::string library =
        argc > 2 ? argv[2]
                 : QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("../lib/libquilex-sim-usb.so"))
                       .toStdString();

    void* sim = ::dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!sim) {
        std::fprintf(stderr, "cannot load %s: %s\n", library.c_str(), ::dlerror());
        return 1;
    }
    auto configure = reinterpret_cast<int (*)(const char*, const char*)>(::dlsym(sim, "quilex_sim_configure"));
    auto transfers = reinterpret_cast<int (*)()>(::dlsym(sim, "quilex_sim_transfer_count"));
    const std::string faults = "records=" + std::to_string(Records) + ",latency=" + std::to_string(latency);
    if (!configure || !transfers || configure(faults.c_str(), "") != 0) {
        std::fprintf(stderr, "the simulated gauge refused \"%s\"\n", faults.c_str());
        return 1;
    }

    CountingPacing pacing;
    ExchangeState state(pacing, "/nonexistent/quilex-devices", library);
    TForm1 window(state);
    window.show();
    QApplication::processEvents();

    bench::Stopwatch watch;
    window.Button1Click(); // returns when the progress dialog closes
    while (window.runner().busy())
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    const double wall = watch.seconds();

    const double pauses = pacing.askedSeconds();
    const int transferCount = transfers();
    const bool complete = window.archiveTable().rowCount() == Records + 1 &&
                          window.archiveTable().cell(0, Records) == QString::number(Records);
    std::printf("download: %.3f s wall, %.3f s of fixed pauses, %d transfers, latency %d ms\n", wall, pauses,
                transferCount, latency);
    std::printf("CHECK download-latency-%d %s\n", latency, complete ? "ok" : "FAILED");
    const double wire = TransfersPerRecord * Records * latency / 1000.0;
    if (latency == 0) {
        bench::printFigure("download_overhead", wall - pauses, 0.25);
        bench::printReference("download_overhead", pauses, "fixed_pauses");
    } else {
        const std::string name = "download_latency_" + std::to_string(latency) + "ms";
        bench::printFigure(name.c_str(), wall, (wire + pauses) * 1.03);
        bench::printReference(name.c_str(), wire + pauses, "3x2048xlatency_plus_fixed_pauses");
        std::printf("download: %.3f s beyond the wire (%d transfers x %d ms + pauses)\n",
                    wall - (transferCount * latency / 1000.0 + pauses), transferCount, latency);
    }
    return complete ? 0 : 2;
}
