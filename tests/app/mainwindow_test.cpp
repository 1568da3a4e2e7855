#include "app/mainwindow.h"

#include <QtTest>

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void opensAndCloses()
    {
        quorbit::MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.objectName(), QStringLiteral("Form1"));
        QCOMPARE(window.windowTitle(), QStringLiteral(" Quorbit 1.5"));
        QVERIFY(window.close());
    }
};

QTEST_MAIN(MainWindowTest)
#include "mainwindow_test.moc"
