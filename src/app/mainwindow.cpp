#include "app/mainwindow.h"

namespace quorbit {

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral(" Quorbit 1.5"));
    resize(970, 684);
}

} // namespace quorbit
