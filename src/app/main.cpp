// quilex: the gauge's companion window.

#include "app/main_window.h"
#include "app/main_window_texts.h"
#include "exchange/exchange_state.h"

#include <QApplication>
#include <QMessageBox>

#include <exception>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromUtf16(quilex::ApplicationTitle));
    QApplication::setApplicationDisplayName(QString::fromUtf16(quilex::ApplicationTitle));
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
        QMessageBox::critical(nullptr, QString::fromUtf16(quilex::ApplicationTitle), QString());
    }
    return 1;
}
