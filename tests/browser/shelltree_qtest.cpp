#include "browser/bytepaths.h"
#include "browser/shelltreeview.h"
#include "platform/files.h"
#include "tempfolder.h"

#include <QAbstractItemModelTester>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QSignalSpy>
#include <QtTest>

#include <cstdio>
#include <filesystem>
#include <memory>

#include <sys/stat.h>

using namespace quorbit;

namespace {

QByteArray bytes(const std::string& path)
{
    return QByteArray::fromStdString(path);
}

// Argument `argument` of every signal `spy` caught.
QByteArrayList paths(const QSignalSpy& spy, int argument = 0)
{
    QByteArrayList found;
    for (const QList<QVariant>& arguments : spy) {
        found << bytes(arguments.at(argument).value<std::string>());
    }
    return found;
}

// SelectFolder, waiting for the listings on the way: whether the folder was selected.
bool selectFolder(TStShellTreeView& view, const std::string& path)
{
    QSignalSpy selected(&view, &TStShellTreeView::folderSelected);
    QSignalSpy notShown(&view, &TStShellTreeView::folderNotShown);
    const TStShellTreeView::Selection selection = view.SelectFolder(path);
    if (selection == TStShellTreeView::Selection::Pending) {
        return QTest::qWaitFor([&] { return !selected.isEmpty() || !notShown.isEmpty(); }) && notShown.isEmpty();
    }
    return selection == TStShellTreeView::Selection::Selected;
}

// The tree, its model under test from before the first listing.
struct Tree {
    explicit Tree(const std::string& root)
        : view(nullptr, root)
        , tester(&view.shellModel(), QAbstractItemModelTester::FailureReportingMode::QtTest)
    {
    }
    TStShellTreeView view;
    QAbstractItemModelTester tester;
};

} // namespace

class ShellTreeTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<testing::TempFolder> m_root;

    std::string path(const QByteArray& relative) const { return *m_root / relative.toStdString(); }

private slots:
    void init() { m_root = std::make_unique<testing::TempFolder>(); }

    void selectFolderTakesFoldersTheTreeShows_data()
    {
        QTest::addColumn<QByteArray>("relative");
        QTest::addColumn<bool>("selected");
        QTest::newRow("folder") << QByteArray("sub/inner") << true;
        QTest::newRow("trailing slash") << QByteArray("sub/inner/") << true;
        QTest::newRow("missing") << QByteArray("sub/none") << false;
        QTest::newRow("file") << QByteArray("sub/file.txt") << false;
        QTest::newRow("hidden folder") << QByteArray("sub/.hidden") << false;
        QTest::newRow("below a hidden folder") << QByteArray("sub/.hidden/seen") << false;
    }

    void selectFolderTakesFoldersTheTreeShows()
    {
        QFETCH(QByteArray, relative);
        QFETCH(bool, selected);
        m_root->create({"sub/inner/", "sub/.hidden/seen/", "sub/file.txt", "start/"});
        Tree tree(m_root->path());
        QVERIFY(selectFolder(tree.view, path("start")));
        QSignalSpy reported(&tree.view, &TStShellTreeView::folderSelected);
        QCOMPARE(selectFolder(tree.view, path(relative)), selected);
        const QByteArray expected = bytes(path(selected ? "sub/inner" : "start"));
        QCOMPARE(bytes(tree.view.selectedFolder()), expected);
        QCOMPARE(paths(reported), selected ? QByteArrayList{expected} : QByteArrayList{});
    }

    void byteNamesStayWhole_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::newRow("windows-1251") << QByteArray("\xcf\xe0\xef\xea\xe0");
        QTest::newRow("latin-1") << QByteArray("caf\xe9");
        QTest::newRow("newline") << QByteArray("a\nb");
        QTest::newRow("255 bytes") << QByteArray(255, 'n');
        QTest::newRow("leading dash") << QByteArray("-x");
        QTest::newRow("backslash") << QByteArray("a\\b");
    }

    void byteNamesStayWhole()
    {
        QFETCH(QByteArray, name);
        QCOMPARE(::mkdir(path(name).c_str(), 0700), 0);
        m_root->create({"taken/"});
        Tree tree(m_root->path());
        QVERIFY(selectFolder(tree.view, path(name)));
        QCOMPARE(bytes(tree.view.selectedFolder()), bytes(path(name)));
        const QModelIndex found = tree.view.shellModel().find(path(name));
        QCOMPARE(found, tree.view.currentIndex());
        const std::unique_ptr<QMimeData> dragged(tree.view.shellModel().mimeData({found}));
        tree.view.copyPath(found);
        for (const QMimeData* data :
             std::initializer_list<const QMimeData*>{dragged.get(), QGuiApplication::clipboard()->mimeData()}) {
            QCOMPARE(bytes(localPathBytes(QUrl::fromEncoded(data->urls().value(0).toEncoded()))), bytes(path(name)));
        }
        QCOMPARE(QGuiApplication::clipboard()->text(), displayText(path(name)));

        // Renamed in place, the folder is named by its bytes, not by the text shown.
        QSignalSpy failed(&tree.view.shellModel(), &ShellTreeModel::failed);
        QSignalSpy moved(&tree.view, &TStShellTreeView::selectedFolderMoved);
        QVERIFY(!tree.view.model()->setData(found, QStringLiteral("taken"), Qt::EditRole));
        QCOMPARE(failed.count(), 1);
        QVERIFY(tree.view.model()->setData(found, QStringLiteral("renamed"), Qt::EditRole));
        QCOMPARE(paths(moved), QByteArrayList{bytes(path("renamed"))});
        QVERIFY(files::isExistingDirectory(path("renamed")));
    }

    void relistKeepsNodesAndTheirOrder()
    {
        m_root->create({"sub/inner/deep/", "sub/leaf/", "other/"});
        Tree tree(m_root->path());
        QVERIFY(selectFolder(tree.view, path("sub/inner/deep")));
        QCOMPARE(std::rename(path("sub/leaf").c_str(), path("sub/renamed").c_str()), 0);
        m_root->create({"sub/added/child/"});
        const QPersistentModelIndex sub = tree.view.shellModel().find(path("sub"));
        tree.view.shellModel().relist(sub);
        // Other folders, relisted once their watches begin, may report first.
        QTRY_COMPARE(tree.view.model()->rowCount(sub), 3);
        QCOMPARE(tree.view.model()->index(0, 0, sub).data().toString(), QStringLiteral("added"));
        QCOMPARE(tree.view.model()->index(2, 0, sub).data().toString(), QStringLiteral("renamed"));
        QCOMPARE(bytes(tree.view.selectedFolder()), bytes(path("sub/inner/deep")));
    }

    void renamedOutsideStaysSelected_data()
    {
        QTest::addColumn<QByteArray>("from");
        QTest::addColumn<QByteArray>("to");
        QTest::addColumn<QByteArray>("selectedAfter");
        QTest::newRow("the selected folder") << QByteArray("a/inner") << QByteArray("a/moved") << QByteArray("a/moved");
        QTest::newRow("an ancestor") << QByteArray("a") << QByteArray("z") << QByteArray("z/inner");
    }

    void renamedOutsideStaysSelected()
    {
        QFETCH(QByteArray, from);
        QFETCH(QByteArray, to);
        QFETCH(QByteArray, selectedAfter);
        m_root->create({"a/inner/leaf/", "a/other/", "b/"});
        Tree tree(m_root->path());
        QVERIFY(selectFolder(tree.view, path("a/inner")));
        tree.view.expand(tree.view.currentIndex());
        QTRY_COMPARE(tree.view.model()->rowCount(tree.view.currentIndex()), 1);
        QSignalSpy selected(&tree.view, &TStShellTreeView::folderSelected);
        QSignalSpy moved(&tree.view, &TStShellTreeView::selectedFolderMoved);
        QCOMPARE(std::rename(path(from).c_str(), path(to).c_str()), 0);
        QTRY_COMPARE(bytes(tree.view.selectedFolder()), bytes(path(selectedAfter)));
        QCOMPARE(paths(moved), QByteArrayList{bytes(path(selectedAfter))});
        QCOMPARE(selected.count(), 0);
        // The same node: still open, with what was listed below it.
        QVERIFY(tree.view.isExpanded(tree.view.currentIndex()));
        QCOMPARE(tree.view.model()->rowCount(tree.view.currentIndex()), 1);
    }

    void deletedSelectionFallsBackToTheNearestAncestor()
    {
        m_root->create({"a/b/", "a/sibling/", "c/"});
        Tree tree(m_root->path());
        QVERIFY(selectFolder(tree.view, path("a/b")));
        QSignalSpy selected(&tree.view, &TStShellTreeView::folderSelected);
        QSignalSpy gone(&tree.view, &TStShellTreeView::selectedFolderGone);
        std::filesystem::remove_all(path("a"));
        QTRY_COMPARE(bytes(tree.view.selectedFolder()), bytes(m_root->path()));
        QCOMPARE(paths(selected), QByteArrayList{bytes(m_root->path())});
        QCOMPARE(paths(gone), QByteArrayList{bytes(path("a/b"))});
        QCOMPARE(paths(gone, 1), QByteArrayList{bytes(m_root->path())});
    }
};

QTEST_MAIN(ShellTreeTest)
#include "shelltree_qtest.moc"
