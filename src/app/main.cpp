#include "app/main_window.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quilex-A"));
    quilex::TForm1 window;
    window.show();
    return app.exec();
}
