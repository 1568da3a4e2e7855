#include "browser/filtercombobox.h"
#include "browser/shellcombobox.h"
#include "platform/mounts.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <set>

using namespace quorbit;

namespace {

const QString fileTypes = QStringLiteral(
    "All Files (*.*)|*.*|Text (*.txt)|*.txt|Html (*.html, *.htm)|*.html;*.htm|Images (*.bmp, *.jpg, *.gif, "
    "*.png)|*.bmp;*.jpg;*.gif;*.png|Audio Files (*.wav, *.mp3, *.ogg)|*.wav;*.mp3;*.ogg|Video Files (*.avi, "
    "*.mpg, *.mov, *.flv)|*.avi;*.mpg;*.mov;*.flv");

std::string bytes(const QString& path)
{
    return path.toUtf8().toStdString();
}

// The path drop-down's entries as "text|path|level", with "+" after those added for the shown folder.
QStringList entriesOf(const TStShellComboBox& box)
{
    QStringList entries;
    for (int row = 0; row < box.count(); ++row) {
        entries << QStringLiteral("%1|%2|%3%4")
                       .arg(box.itemText(row),
                            QString::fromUtf8(box.itemData(row, TStShellComboBox::PathRole).toByteArray()))
                       .arg(box.itemData(row, TStShellComboBox::LevelRole).toInt())
                       .arg(box.itemData(row, TStShellComboBox::AddedRole).toBool() ? "+" : "");
    }
    return entries;
}

} // namespace

class ComboBoxesTest : public QObject {
    Q_OBJECT

private:
    // A home folder with a desktop in it, so that the base entries are known.
    QTemporaryDir m_home;

    QString home(const QString& relative = {}) const { return QDir::cleanPath(m_home.filePath(relative)); }

private slots:
    void initTestCase()
    {
        QVERIFY(QDir(m_home.path()).mkpath(QStringLiteral("Desktop/inner")));
        qputenv("HOME", QFile::encodeName(m_home.path()));
        qunsetenv("XDG_CONFIG_HOME");
    }

    void filterEntriesAndMasks()
    {
        TFilterComboBox box;
        QCOMPARE(box.itemText(0) + " " + box.mask(), QStringLiteral("All files (*.*) *.*"));
        box.setFilter(fileTypes);
        const QStringList expected{"All Files (*.*) *.*",
                                   "Text (*.txt) *.txt",
                                   "Html (*.html, *.htm) *.html;*.htm",
                                   "Images (*.bmp, *.jpg, *.gif, *.png) *.bmp;*.jpg;*.gif;*.png",
                                   "Audio Files (*.wav, *.mp3, *.ogg) *.wav;*.mp3;*.ogg",
                                   "Video Files (*.avi, *.mpg, *.mov, *.flv) *.avi;*.mpg;*.mov;*.flv"};
        QStringList shown;
        for (int index = 0; index < box.count(); ++index) {
            box.setCurrentIndex(index);
            shown << box.itemText(index) + " " + box.mask();
        }
        QCOMPARE(shown, expected);
    }

    void filterMaskWithNoEntryChosen()
    {
        // With no entry chosen the last one is taken, quietly; with none at all every file is shown.
        for (const auto& [filter, mask, index] :
             {std::tuple(fileTypes, "*.avi;*.mpg;*.mov;*.flv", 5), std::tuple(QStringLiteral("no bar"), "*.*", -1)}) {
            TFilterComboBox box;
            box.setFilter(filter);
            box.setCurrentIndex(-1);
            QSignalSpy changed(&box, &TFilterComboBox::changed);
            QCOMPARE(box.mask(), QString::fromLatin1(mask));
            QCOMPARE(box.currentIndex(), index);
            QCOMPARE(changed.count(), 0);
        }
    }

    void filterRebuiltUnlessOnlyCaseDiffers()
    {
        for (const auto& [filter, rebuilt] :
             {std::pair(fileTypes.toUpper(), false), std::pair(QString("A|*.a"), true)}) {
            TFilterComboBox box;
            box.setFilter(fileTypes);
            box.setCurrentIndex(2);
            QSignalSpy changed(&box, &TFilterComboBox::changed);
            box.setFilter(filter);
            QCOMPARE(changed.count(), rebuilt ? 1 : 0);
            QCOMPARE(box.filter(), rebuilt ? filter : fileTypes);
            QCOMPARE(box.currentIndex(), rebuilt ? 0 : 2);
        }
    }

    void filterChangedOnlyByTheUser()
    {
        TFilterComboBox box;
        box.setFilter(fileTypes);
        box.show();
        box.setFocus();
        QSignalSpy changed(&box, &TFilterComboBox::changed);
        box.setCurrentIndex(3);
        QTest::keyClick(&box, Qt::Key_Down);
        QCOMPARE(box.mask(), QStringLiteral("*.wav;*.mp3;*.ogg"));
        QCOMPARE(changed.count(), 1);
    }

    void pathBaseEntries()
    {
        const QStringList entries = entriesOf(TStShellComboBox());
        const QString homeEntry = QFileInfo(home()).fileName() + "|" + home() + "|0";
        QCOMPARE(entries.mid(0, 3), QStringList({homeEntry, "Desktop|" + home("Desktop") + "|1", "/|/|0"}));
        // Mount points from the kernel's table, never asked anything: a drive
        // that stopped answering would hold up a look at its folder.
        std::set<std::string> mountPoints;
        for (const files::Mount& mount : files::mountTable()) {
            mountPoints.insert(mount.mountPoint);
        }
        for (const QString& volume : entries.mid(3)) {
            QVERIFY2(volume.endsWith("|1") && mountPoints.count(bytes(volume.section('|', 1, 1))) == 1
                         && !volume.contains(QLatin1String("|/proc")) && !volume.contains(QLatin1String("|/sys")),
                     qPrintable(volume));
        }
    }

    void pathRefreshView_data()
    {
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("base");
        QTest::addColumn<QStringList>("added");
        QTest::newRow("below home") << home("a/b") + "/" << home()
                                    << QStringList{"a|" + home("a") + "|1+", "b|" + home("a/b") + "|2+"};
        QTest::newRow("below the desktop, not home")
            << home("Desktop/inner") << home("Desktop") << QStringList{"inner|" + home("Desktop/inner") + "|2+"};
        // No volume is mounted on a made-up folder, so it can only hang below "/".
        QTest::newRow("below the root") << "/quorbit-none/x"
                                        << "/" << QStringList{"quorbit-none|/quorbit-none|1+", "x|/quorbit-none/x|2+"};
        QTest::newRow("home itself") << home() << home() << QStringList{};
        QTest::newRow("root itself") << "/"
                                     << "/" << QStringList{};
    }

    void pathRefreshView()
    {
        QFETCH(QString, shown);
        QFETCH(QString, base);
        QFETCH(QStringList, added);
        TStShellComboBox box;
        QStringList expected = entriesOf(box);
        const int baseRow = box.findData(base.toUtf8(), TStShellComboBox::PathRole);
        for (int depth = added.size(); depth > 0; --depth) {
            expected.insert(baseRow + 1, added.at(depth - 1));
        }
        QSignalSpy chosen(&box, &TStShellComboBox::folderChosen);
        box.RefreshView(bytes(home("Desktop/inner/earlier")));
        box.RefreshView(bytes(shown));
        QCOMPARE(entriesOf(box), expected);
        QCOMPARE(box.currentIndex(), baseRow + added.size());
        QCOMPARE(chosen.count(), 0);
    }

    void pathPickedByTheUser()
    {
        TStShellComboBox box;
        box.RefreshView(bytes(home("a/b")));
        box.show();
        box.setFocus();
        QSignalSpy chosen(&box, &TStShellComboBox::folderChosen);
        QTest::keyClick(&box, Qt::Key_Up);
        QCOMPARE(chosen.size(), 1);
        QCOMPARE(chosen.at(0).at(0).value<std::string>(), bytes(home("a")));
        // The picked folder is the one shown now, so the one below it is gone.
        QCOMPARE(box.findData(home("a/b").toUtf8(), TStShellComboBox::PathRole), -1);
        QCOMPARE(box.selectedPath(), bytes(home("a")));
    }

    void pathKeptAfterMountChange_data()
    {
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<bool>("chosenVanishes");
        QTest::addColumn<QString>("kept");
        QTest::newRow("named like its parent") << home("a/a") << home("a/a") << false << home("a/a");
        // Home, "x", the desktop's place, which "/" takes when the desktop is gone.
        QTest::newRow("gone: same place") << home("x") << home("Desktop") << true << "/";
    }

    void pathKeptAfterMountChange()
    {
        QFETCH(QString, shown);
        QFETCH(QString, chosen);
        QFETCH(bool, chosenVanishes);
        QFETCH(QString, kept);
        TStShellComboBox box;
        box.RefreshView(bytes(shown));
        box.setCurrentIndex(box.findData(chosen.toUtf8(), TStShellComboBox::PathRole));
        QStringList expected = entriesOf(box);
        if (chosenVanishes) {
            QVERIFY(QDir(chosen).removeRecursively());
            expected.removeAt(box.currentIndex());
        }
        QSignalSpy chosenAgain(&box, &TStShellComboBox::volumesChanged);
        box.rebuildAfterMountChange();
        QDir(m_home.path()).mkpath(QStringLiteral("Desktop/inner"));
        QCOMPARE(entriesOf(box), expected);
        QCOMPARE(chosenAgain.size(), 1);
        QCOMPARE(chosenAgain.at(0).at(0).value<std::string>(), bytes(kept));
    }
};

QTEST_MAIN(ComboBoxesTest)
#include "comboboxes_qtest.moc"
