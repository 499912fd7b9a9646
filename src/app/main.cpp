// quilex: the gauge's companion window.

#include "windows/main_window.h"
#include "table/main_window_texts.h"
#include "exchange/exchange_state.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>
#include <cstring>
#include <exception>

namespace {

const char HelpText[] =
    "Usage: quilex [PROJECT-FILE]\n"
    "       quilex --help | --version\n"
    "\n"
    "Quilex-A, the companion program of the Quilex-A ultrasonic thickness gauge: reads the\n"
    "gauge's archive into a table, keeps it in project files (.qlx), exports, copies and\n"
    "prints it, edits the gauge's materials and saves the picture on its screen.\n"
    "\n"
    "Started without arguments it opens its window in Russian with an empty table. With a\n"
    "project file named it opens that file's table first. All the words after \"quilex\"\n"
    "are joined with single spaces into the file name, so a path with spaces works even\n"
    "unquoted. Only --help, -h and --version, exactly so, are options.\n"
    "\n"
    "Environment:\n"
    "  QUILEX_DRIVER_ROOT  folder of the gauge driver's devices (default /run/quilex/devices)\n"
    "  QUILEX_LIBUSB       libusb 0.1 library to load (default libusb-0.1.so.4); the simulated\n"
    "                      gauge is lib/quilex/libquilex-sim-usb.so beside the program's bin/,\n"
    "                      e.g. /usr/lib/quilex/libquilex-sim-usb.so\n"
    "  QUILEX_SIM          the simulated gauge's faults, a comma-separated key=value list\n"
    "  QUILEX_SIM_IMAGE    the gauge image file the simulated gauge starts from\n"
    "                      (default: the built-in demo gauge)\n"
    "  QUILEX_TRACE        write every transfer with the gauge to this file, for a bug report\n"
    "\n"
    "The same work on the command line: quilex-cli --help. The manual: man quilex.\n";

} // namespace

int main(int argc, char* argv[])
{
    // Answered before any window or display exists, so they work on a bare terminal too.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(HelpText, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("quilex %s\n", QUILEX_VERSION);
            return 0;
        }
    }

    QApplication app(argc, argv);
    // The program's name, and the desktop entry that the window system finds the icon and the
    // file types by. No display name is set: the toolkit would append it to every window's
    // caption, and the message boxes' captions are "Ошибка" / "Error" exactly.
    QApplication::setApplicationName(QString::fromUtf16(quilex::ApplicationTitle));
    QGuiApplication::setDesktopFileName(QStringLiteral("example.quilex.QuilexA"));
    try {
        quilex::ExchangeState state;
        quilex::TForm1 window(state);
        QStringList arguments = QApplication::arguments();
        arguments.removeFirst();
        window.openFromCommandLine(arguments);
        window.show();
        return app.exec();
    } catch (const std::exception& error) {
        QMessageBox::critical(nullptr, QString::fromUtf16(quilex::ApplicationTitle), QString::fromUtf8(error.what()));
    } catch (...) {
        QMessageBox::critical(nullptr, QString::fromUtf16(quilex::ApplicationTitle),
                              quilex::Text(quilex::ProgramStoppedText));
    }
    return 1;
}
