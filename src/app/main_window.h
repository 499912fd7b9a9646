#pragma once
#include <QMainWindow>

namespace quilex {

// The program's main window. For now it only carries its title.
class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    explicit TForm1(QWidget* parent = nullptr);
};

} // namespace quilex
