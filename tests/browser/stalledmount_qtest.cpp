// The window while a drive stops answering: quorbit_testfs stalled (SIGUSR1)
// and woken (SIGUSR2). The window's thread keeps turning, says "not
// answering" after a second, and shows everything once the drive answers.

#include "app/mainwindow.h"
#include "app/tagpanel.h"
#include "browser/shellcombobox.h"
#include "browser/shelllistview.h"
#include "browser/shelltreeview.h"
#include "support/testfsmount.h"
#include "tags/mp3sample.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

using namespace quorbit;

namespace {

// A turn of the event loop takes a few milliseconds; a wait for the drive, until it answers.
constexpr qint64 longestTurnMs = 150;
const QString notAnswering = QStringLiteral("(not answering)");

std::string bytes(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

// An MP3 file whose ID3v2 tag holds `title`.
std::string taggedMp3(const std::string& title)
{
    return testing::id3v2Tag(4, testing::id3v2Frame("TIT2", "\x03" + title, true)) + testing::mpegAudio();
}

// quorbit_testfs mounted in `folder`, over files made without asking it.
struct Drive {
    explicit Drive(const QString& folder)
        : mountPoint(QDir(folder).mkdir(QStringLiteral("drive")) ? bytes(folder) + "/drive" : std::string())
        , mount(QUORBIT_TESTFS, backing.path(), mountPoint)
    {
    }
    std::string path(const std::string& relative = {}) const
    {
        return relative.empty() ? mountPoint : mountPoint + "/" + relative;
    }

    testing::TempFolder backing;
    std::string mountPoint;
    testing::TestFsMount mount;
};

// The longest the event loop went without a turn: a timer asks for one every 10 ms.
class LoopWatch : public QObject {
public:
    LoopWatch()
    {
        connect(&m_timer, &QTimer::timeout, this, [this] { longestMs(); });
        m_since.start();
        m_timer.start(10);
    }
    qint64 longestMs() { return m_longest = std::max(m_longest, m_since.restart()); }

private:
    QTimer m_timer;
    QElapsedTimer m_since;
    qint64 m_longest = 0;
};

bool treeShows(const QAbstractItemModel& model, const QString& text, const QModelIndex& parent = {})
{
    for (int row = 0; row < model.rowCount(parent); ++row) {
        const QModelIndex index = model.index(row, 0, parent);
        if (index.data().toString().contains(text) || treeShows(model, text, index)) {
            return true;
        }
    }
    return false;
}

QStringList listed(const TStShellListView& list)
{
    QStringList names;
    for (const listing::ShellItem& item : list.GetShellItems()) {
        names << QString::fromStdString(item.name);
    }
    return names;
}

bool listSaysNotAnswering(const TStShellListView& list)
{
    const auto* label = list.findChild<QLabel*>(QStringLiteral("LabelNotAnswering"));
    return label && label->isVisible() && label->text() == QLatin1String("not answering");
}

int threadCount()
{
    return static_cast<int>(
        QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
}

} // namespace

class StalledMountTest : public QObject {
    Q_OBJECT

private:
    // Beside the test, not in /tmp: the tree lists every folder on the way to
    // the drive, and other tests stall drives of their own in /tmp.
    std::unique_ptr<QTemporaryDir> m_scratch;

    std::unique_ptr<TForm1> openWindow(const std::string& lastFolder) const
    {
        const std::string settings = bytes(m_scratch->filePath(QStringLiteral("quorbit.ini")));
        testing::writeFile(settings, "[Options]\nLast Folder=" + lastFolder + "\n");
        auto window = std::make_unique<TForm1>(
            WindowPlaces{{settings, settings}, QUORBIT_LANGUAGE_FOLDER, bytes(m_scratch->filePath("journals"))});
        window->setMessageSink([](const QString& text) { QFAIL(qPrintable(text)); });
        window->show();
        return window;
    }

    template <class Control>
    static Control* control(const TForm1& window, const char* name)
    {
        return window.findChild<Control*>(QString::fromLatin1(name));
    }

private slots:
    void initTestCase()
    {
        if (geteuid() != 0 || !QFile::exists(QStringLiteral("/dev/fuse"))
            || !QFile::exists(QStringLiteral(QUORBIT_TESTFS))) {
            QSKIP("mounting quorbit_testfs needs root, /dev/fuse and the built quorbit_testfs");
        }
        qputenv("HOME", QFile::encodeName(QCoreApplication::applicationDirPath()));
    }

    void init()
    {
        m_scratch = std::make_unique<QTemporaryDir>(QCoreApplication::applicationDirPath() + "/stalled-XXXXXX");
        QVERIFY(m_scratch->isValid());
    }

    void startUpWaitsForNoDrive()
    {
        std::unique_ptr<TForm1> window; // goes after the drive, which answers as it goes
        Drive drive(m_scratch->path());
        QVERIFY(drive.mount.mounted());
        drive.backing.create({"shown/a.txt", "shown/sub/"});
        drive.mount.stall();
        QElapsedTimer made;
        made.start();
        window = openWindow(drive.path("shown"));
        QVERIFY2(made.elapsed() < 10'000, "the window waited for the drive");
        LoopWatch loop;
        // Offered from the kernel's table, its drive never asked anything.
        auto* pathBox = control<TStShellComboBox>(*window, "StShellComboBox1");
        QVERIFY(pathBox->findData(QByteArray::fromStdString(drive.path())) >= 0);
        const auto* tree = control<TStShellTreeView>(*window, "StShellTreeView1");
        QTRY_VERIFY(treeShows(*tree->model(), notAnswering));
        QVERIFY(window->currentFolder().empty());
        QVERIFY2(loop.longestMs() < longestTurnMs, qPrintable(QString::number(loop.longestMs())));
        // Closed meanwhile, the window opens in the same folder next time.
        QVERIFY(window->close());
        QVERIFY(testing::readFile(bytes(m_scratch->filePath(QStringLiteral("quorbit.ini"))))
                    .find("Last Folder=" + drive.path("shown") + "\n")
                != std::string::npos);

        drive.mount.answer();
        QTRY_COMPARE(window->currentFolder(), drive.path("shown"));
        QTRY_COMPARE(listed(*control<TStShellListView>(*window, "StShellListView1")), (QStringList{"a.txt", "sub"}));
        QVERIFY(!treeShows(*tree->model(), notAnswering));
        QVERIFY(window->startupError().isEmpty());
    }

    void theTreeAndTheListGoOnWhileADriveDoesNotAnswer()
    {
        std::unique_ptr<TForm1> window;
        Drive drive(m_scratch->path());
        QVERIFY(drive.mount.mounted());
        drive.backing.create({"shown/a.txt", "shown/sub/inner/deep.txt"});
        window = openWindow(drive.path("shown"));
        auto* tree = control<TStShellTreeView>(*window, "StShellTreeView1");
        auto* list = control<TStShellListView>(*window, "StShellListView1");
        QTRY_COMPARE(listed(*list), (QStringList{"a.txt", "sub"}));
        tree->expand(tree->currentIndex());
        QTRY_COMPARE(tree->model()->rowCount(tree->currentIndex()), 1);

        drive.mount.stall();
        LoopWatch loop;
        const int threadsBefore = threadCount();
        // F5 again and again: one listing of the folder waits, however often it is asked for.
        for (int press = 0; press < 20; ++press) {
            QTest::keyClick(tree, Qt::Key_F5);
            QTest::keyClick(list->reportView(), Qt::Key_F5);
        }
        QVERIFY(window->selectFolder(drive.path("shown/sub/inner")));
        QTRY_VERIFY(treeShows(*tree->model(), notAnswering));
        QTRY_VERIFY(listSaysNotAnswering(*list));
        QCOMPARE(window->currentFolder(), drive.path("shown"));
        QVERIFY2(threadCount() - threadsBefore < 10, qPrintable(QString::number(threadCount() - threadsBefore)));
        QVERIFY2(loop.longestMs() < longestTurnMs, qPrintable(QString::number(loop.longestMs())));

        drive.mount.answer();
        QTRY_COMPARE(window->currentFolder(), drive.path("shown/sub/inner"));
        QTRY_COMPARE(listed(*list), QStringList{"deep.txt"});
        QTRY_VERIFY(!treeShows(*tree->model(), notAnswering));
        QVERIFY(!listSaysNotAnswering(*list));
    }

    void aTagReadThatWaitsForItsDriveIsDroppedOnceOutdated()
    {
        Drive drive(m_scratch->path());
        QVERIFY(drive.mount.mounted());
        testing::writeFile(drive.backing / "song.mp3", taggedMp3("On the drive"));
        testing::writeFile(drive.backing / "local.mp3", taggedMp3("Local"));
        TagPanel panel;
        const auto* title = panel.findChild<QLineEdit*>(QStringLiteral("EditTitle2"));
        QSignalSpy shown(&panel, &TagPanel::tagsShown);
        drive.mount.stall();
        LoopWatch loop;
        panel.selectFile(drive.path(), "song.mp3");
        QVERIFY(panel.isReading());
        panel.selectFile(drive.backing.path(), "local.mp3");
        QVERIFY(shown.wait());
        QCOMPARE(title->text(), QStringLiteral("Local"));
        QVERIFY2(loop.longestMs() < longestTurnMs, qPrintable(QString::number(loop.longestMs())));

        drive.mount.answer();
        QTest::qWait(300); // the read of the drive's file comes in meanwhile
        QCOMPARE(shown.count(), 1);
        QCOMPARE(title->text(), QStringLiteral("Local"));
    }
};

QTEST_MAIN(StalledMountTest)
#include "stalledmount_qtest.moc"
