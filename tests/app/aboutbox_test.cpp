#include "app/aboutbox.h"
#include "app/winxp.h"
#include "settings/language.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

using quorbit::TAboutBox;
using quorbit::TWinXP;

namespace {

void sendMouse(QWidget* widget, QEvent::Type type, Qt::MouseButton button = Qt::NoButton)
{
    const QPointF at(2, 2);
    QMouseEvent event(type, at, widget->mapToGlobal(at), button, button, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

QColor textColour(const QLabel* label)
{
    return label->palette().color(QPalette::WindowText);
}

} // namespace

class AboutBoxTest : public QObject {
    Q_OBJECT

private slots:
    void defaults()
    {
        TAboutBox box;
        QCOMPARE(box.objectName(), QStringLiteral("AboutBox"));
        QCOMPARE(box.windowTitle(), QStringLiteral("About Program"));
        QVERIFY(box.isModal());
        QVERIFY(box.findChild<QFrame*>(QStringLiteral("Panel1")));
        QCOMPARE(box.findChild<QWidget*>(QStringLiteral("ProgramIcon"))->size(), QSize(32, 32));

        struct Case {
            const char* name;
            QString text;
            QColor colour;
            bool bold;
        };
        const Case cases[] = {
            {"LabelTitle", QStringLiteral("Quorbit 1.5"), QColor(0x00, 0x00, 0x80), true},
            {"LabelAbout", QStringLiteral("Rename files and folders"), QColor(0x80, 0x00, 0x00), false},
            {"LabelAuthor", QStringLiteral("The Quorbit team"), QColor(0x00, 0x00, 0x80), true},
            {"LabelEmail", QStringLiteral("quorbit@example.org"), QColor(0x00, 0x80, 0x80), true},
            {"LabelSite", QStringLiteral("https://quorbit.example.org/"), QColor(0x00, 0x00, 0xFF), false},
        };
        for (const Case& c : cases) {
            const auto* label = box.findChild<QLabel*>(QLatin1String(c.name));
            QVERIFY2(label, c.name);
            QCOMPARE(label->text(), c.text);
            QCOMPARE(textColour(label), c.colour);
            QCOMPARE(label->font().bold(), c.bold);
        }
        const auto* site = box.findChild<QLabel*>(QStringLiteral("LabelSite"));
        QVERIFY(site->font().underline());
        QCOMPARE(site->cursor().shape(), Qt::PointingHandCursor);
        QVERIFY(box.findChild<QLabel*>(QStringLiteral("LabelEmail"))->wordWrap());

        for (const QWidget* widget : box.findChildren<QWidget*>())
            QVERIFY2(!widget->accessibleName().isEmpty(), qPrintable(widget->objectName()));
    }

    void fixedSizeAndCentredOverParent()
    {
        QWidget parent;
        parent.setGeometry(100, 80, 900, 700);
        parent.show();
        TAboutBox box(&parent);
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));

        QCOMPARE(box.minimumSize(), box.maximumSize());
        QCOMPARE(box.size(), box.minimumSize());
        QVERIFY(!box.isSizeGripEnabled());
        QVERIFY(!(box.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        QVERIFY(qAbs(box.geometry().center().x() - parent.geometry().center().x()) <= 2);
        QVERIFY(qAbs(box.geometry().center().y() - parent.geometry().center().y()) <= 2);

        // A longer translation widens the dialog rather than clipping the text.
        const QSize before = box.size();
        box.setText("LabelAbout", QStringLiteral("Переименование файлов и папок, а также всех вложенных папок"));
        QTRY_VERIFY(box.width() > before.width());
        const auto* about = box.findChild<QLabel*>(QStringLiteral("LabelAbout"));
        QVERIFY(about->width() >= about->sizeHint().width());
        QCOMPARE(box.minimumSize(), box.maximumSize());
    }

    void enterPressesOkAndAccepts()
    {
        TAboutBox box;
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        const auto* ok = box.findChild<QPushButton*>(QStringLiteral("OKButton"));
        QCOMPARE(ok->text(), QStringLiteral("OK"));
        QVERIFY(ok->isDefault());
        QTest::keyClick(&box, Qt::Key_Return);
        QCOMPARE(box.result(), int(QDialog::Accepted));
        QVERIFY(!box.isVisible());
    }

    void linkStaysRedUntilThePointerIsOverThePanel()
    {
        TAboutBox box;
        auto* site = box.findChild<QLabel*>(QStringLiteral("LabelSite"));
        auto* panel = box.findChild<QFrame*>(QStringLiteral("Panel1"));
        const QColor red(0xFF, 0x00, 0x00);
        const QColor blue(0x00, 0x00, 0xFF);

        sendMouse(site, QEvent::MouseMove);
        QCOMPARE(textColour(site), red);
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(site, &leave);
        QCOMPARE(textColour(site), red); // leaving the dialog keeps it red
        sendMouse(box.findChild<QLabel*>(QStringLiteral("LabelAbout")), QEvent::MouseMove);
        QCOMPARE(textColour(site), red); // another label is not the panel's own surface
        sendMouse(panel, QEvent::MouseMove);
        QCOMPARE(textColour(site), blue);
    }

    void onlyWebAddressesOpen_data()
    {
        QTest::addColumn<QString>("link");
        QTest::addColumn<QUrl>("opened");
        QTest::newRow("https") << QStringLiteral("https://example.org/x")
                               << QUrl(QStringLiteral("https://example.org/x"));
        QTest::newRow("http") << QStringLiteral("http://example.org") << QUrl(QStringLiteral("http://example.org"));
        QTest::newRow("local file") << QStringLiteral("file:///etc/passwd") << QUrl();
        QTest::newRow("program") << QStringLiteral("/usr/bin/xterm") << QUrl();
        QTest::newRow("script") << QStringLiteral("javascript:x") << QUrl();
        QTest::newRow("empty") << QString() << QUrl();
        QTest::newRow("no host") << QStringLiteral("https:///etc/passwd") << QUrl();
    }

    void onlyWebAddressesOpen()
    {
        QFETCH(QString, link);
        QFETCH(QUrl, opened);
        TAboutBox box;
        QList<QUrl> urls;
        box.setUrlOpener([&urls](const QUrl& url) { urls.append(url); });
        box.setText("LabelSite", link);
        auto* site = box.findChild<QLabel*>(QStringLiteral("LabelSite"));
        for (Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton})
            sendMouse(site, QEvent::MouseButtonPress, button);
        const QList<QUrl> expected = opened.isEmpty() ? QList<QUrl>() : QList<QUrl>(3, opened);
        QCOMPARE(urls, expected);
    }

    void languageKeysReachTheirControls()
    {
        TAboutBox box;
        const struct {
            std::string_view key;
            QString text;
        } cases[] = {
            {"AboutBox->Caption", QStringLiteral("О программе")},
            {"AboutBox->LabelAbout->Caption", QStringLiteral("Переименование файлов и папок")},
            {"AboutBox->LabelAuthor->Caption", QStringLiteral("Команда Quorbit")},
            {"AboutBox->LabelSite->Caption", QStringLiteral("https://quorbit.example.ru/")},
        };
        for (const auto& c : cases) {
            const auto target = quorbit::settings::languageTarget(c.key);
            QVERIFY(target.inAboutBox);
            box.setText(target.control, c.text);
            const QString shown = target.control.empty()
                ? box.windowTitle()
                : box.findChild<QLabel*>(QString::fromLatin1(target.control.data(), target.control.size()))->text();
            QCOMPARE(shown, c.text);
        }
        box.setText("OKButton", QStringLiteral("Хорошо"));
        QCOMPARE(box.findChild<QPushButton*>(QStringLiteral("OKButton"))->text(), QStringLiteral("OK"));
    }

    void winXPOnlyOncePerForm()
    {
        QObject plain;
        QCOMPARE(TWinXP::create(&plain).error, QStringLiteral("Control parent must be a form!"));
        QWidget form;
        QWidget* inner = new QWidget(&form);
        QCOMPARE(TWinXP::create(inner).error, QStringLiteral("Control parent must be a form!"));
        QCOMPARE(TWinXP::create(nullptr).error, QStringLiteral("Control parent must be a form!"));
        QVERIFY(inner->findChildren<TWinXP*>().isEmpty());

        const TWinXP::Created first = TWinXP::create(&form);
        QVERIFY(first);
        QCOMPARE(first.component->parent(), &form);
        const TWinXP::Created second = TWinXP::create(&form);
        QVERIFY(!second);
        QCOMPARE(second.error, QStringLiteral("Only one instance of TWinXP allowed on form"));
        QCOMPARE(form.findChildren<TWinXP*>().size(), 1);
    }
};

QTEST_MAIN(AboutBoxTest)
#include "aboutbox_test.moc"
