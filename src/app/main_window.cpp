#include "main_window.h"

namespace quilex {

TForm1::TForm1(QWidget* parent) : QMainWindow(parent)
{
    setWindowTitle(QStringLiteral("Толщиномер ультразвуковой Quilex-A"));
    resize(640, 400);
}

} // namespace quilex
