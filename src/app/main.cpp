#include "app/mainwindow.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    quorbit::MainWindow window;
    window.show();
    return application.exec();
}
