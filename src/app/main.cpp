#include "app/mainwindow.h"
#include "platform/locations.h"

#include <QApplication>
#include <QScreen>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    quorbit::setUpApplication();
    quorbit::TForm1 window(quorbit::WindowPlaces::forExecutable(quorbit::files::executablePath()));
    window.move(window.screen()->availableGeometry().center() - window.rect().center());
    window.show();
    window.showStartupError();
    window.offerRecovery();
    return application.exec();
}
