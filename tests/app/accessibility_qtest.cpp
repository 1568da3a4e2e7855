#include "app/mainwindow.h"
#include "app/numberedit.h"
#include "app/radiogroup.h"
#include "browser/shelllistview.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QTemporaryDir>
#include <QTreeView>
#include <QtTest>

#include <memory>

using namespace quorbit;

// The window as a screen reader meets it: through QAccessible alone.
class AccessibilityTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_scratch;

    std::unique_ptr<TForm1> openWindow()
    {
        const std::string file = m_scratch.filePath(QStringLiteral("quorbit.ini")).toStdString();
        auto window = std::make_unique<TForm1>(WindowPlaces{
            {file, file}, QUORBIT_LANGUAGE_FOLDER, m_scratch.filePath(QStringLiteral("journals")).toStdString()});
        window->setMessageSink([](const QString&) {});
        return window;
    }

    template <class Control>
    static Control* control(const QWidget& window, const char* name)
    {
        auto* found = window.findChild<Control*>(QString::fromLatin1(name));
        if (!found) {
            qFatal("no control %s", name);
        }
        return found;
    }

    static QString accessibleName(QObject* object)
    {
        return QAccessible::queryAccessibleInterface(object)->text(QAccessible::Name);
    }

private slots:
    void anOperationCheckedByItsActionIsTheOneRenameUses()
    {
        QTemporaryDir folder;
        for (const char* name : {"a.txt", "b.txt"}) {
            QFile(folder.filePath(QString::fromLatin1(name))).open(QIODevice::WriteOnly);
        }
        QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("n2.txt"))); // a folder stays, keeping its name
        const auto window = openWindow();
        window->show();
        const std::string path = QFile::encodeName(folder.path()).toStdString();
        QVERIFY(window->selectFolder(path));
        QTRY_COMPARE(window->currentFolder(), path); // once the folders on the way are listed
        auto* options = control<RadioGroup>(*window, "RadioGroupOptions");
        QSignalSpy changes(options, &RadioGroup::itemClicked);

        QAccessibleInterface* counter
            = QAccessible::queryAccessibleInterface(control<QRadioButton>(*window, "RadioGroupOptionsItem15"));
        QAccessibleActionInterface* actions = counter->actionInterface();
        QVERIFY(actions && actions->actionNames().contains(QAccessibleActionInterface::toggleAction()));
        actions->doAction(QAccessibleActionInterface::toggleAction());
        QCOMPARE(options->itemIndex(), 15);
        QCOMPARE(changes.count(), 1);
        QCOMPARE(control<QLabel>(*window, "LabelSymbols")->text(), QStringLiteral("Start value:"));
        QCOMPARE(control<QLabel>(*window, "LabelReplace")->text(), QStringLiteral("Text before the number:"));
        options->setItemIndex(15); // already selected: no change to tell
        QCOMPARE(changes.count(), 1);

        control<NumberEdit>(*window, "EditNumber")->setText(QStringLiteral("1"));
        control<QLineEdit>(*window, "EditReplace")->setText(QStringLiteral("n"));
        // The New name cells speak the verdict the icon shows.
        QTreeView* view = control<TStShellListView>(*window, "StShellListView1")->reportView();
        QAccessibleTableInterface* table = QAccessible::queryAccessibleInterface(view)->tableInterface();
        QVERIFY(table);
        const auto cellText = [table](int row, QAccessible::Text text) {
            QAccessibleInterface* cell = table->cellAt(row, NewNameColumn);
            return cell ? cell->text(text) : QString();
        };
        QTRY_COMPARE(view->model()->rowCount(), 3); // a.txt, b.txt, the folder n2.txt
        QTRY_COMPARE(cellText(0, QAccessible::Name), QStringLiteral("n1.txt, will be renamed"));
        QCOMPARE(cellText(1, QAccessible::Name),
                 QStringLiteral("n2.txt, will not be renamed: the name belongs to an entry that stays"));
        QCOMPARE(cellText(1, QAccessible::Description),
                 QStringLiteral("will not be renamed: the name belongs to an entry that stays"));

        control<QPushButton>(*window, "ButtonRename")->click();
        QCOMPARE(QDir(folder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name),
                 (QStringList{"b.txt", "n1.txt", "n2.txt"}));
    }

    void theTagEditsHaveNamesOfTheirOwnInEveryLanguage()
    {
        const auto window = openWindow();
        window->show();
        const QList<QLineEdit*> edits = control<QWidget>(*window, "PanelTags")->findChildren<QLineEdit*>();
        QCOMPARE(edits.size(), 14);
        QSet<QString> names;
        for (QLineEdit* edit : edits) {
            names.insert(accessibleName(edit));
        }
        QCOMPARE(names.size(), edits.size());
        QCOMPARE(accessibleName(control<QLineEdit>(*window, "EditTitle1")), QStringLiteral("ID3v1 Tags: Title"));

        control<QAction>(*window, "MLangRussian")->trigger();
        QTRY_COMPARE(accessibleName(control<QLineEdit>(*window, "EditTitle2")), QStringLiteral("Теги ID3v2: Название"));
    }
};

QTEST_MAIN(AccessibilityTest)
#include "accessibility_qtest.moc"
