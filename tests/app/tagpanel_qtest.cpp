#include "app/tagpanel.h"

#include <QtTest>

class Placeholder : public QObject {
    Q_OBJECT
};

QTEST_MAIN(Placeholder)
#include "tagpanel_qtest.moc"
