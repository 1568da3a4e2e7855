#include "browser/entrydrop.h"
#include "browser/shelllistview.h"

#include <QAbstractItemModelTester>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTreeView>
#include <QtTest>

using namespace quorbit;

class ShellViewsTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_scratch;

    QString path(const QString& relative) const { return m_scratch.filePath(relative); }

    // Creates files (with their name as content) and folders (names ending in "/").
    void create(const QStringList& names) const
    {
        for (const QString& name : names) {
            if (name.endsWith(QLatin1Char('/'))) {
                QVERIFY(QDir().mkpath(path(name)));
            } else {
                QFile file(path(name));
                QVERIFY(file.open(QIODevice::WriteOnly));
                file.write(name.toUtf8());
            }
        }
    }

    static QByteArray contentOf(const QString& file)
    {
        QFile opened(file);
        return opened.open(QIODevice::ReadOnly) ? opened.readAll() : QByteArray("<missing>");
    }

    static std::string bytes(const QString& path) { return QFile::encodeName(path).toStdString(); }

    static QStringList rows(const ShellListModel& model)
    {
        QStringList names;
        for (int row = 0; row < model.rowCount(); ++row) {
            names << model.index(row, 0).data().toString();
        }
        return names;
    }

    static QStringList entries(const ShellListModel& model)
    {
        QStringList names;
        for (const listing::ShellItem& item : model.GetShellItems()) {
            names << QString::fromStdString(item.name);
        }
        return names;
    }

    // Shows `folder` and waits for its listing.
    static void show(TStShellListView& list, const QString& folder)
    {
        QSignalSpy filled(&list.model(), &ShellListModel::listFilled);
        list.FillList(QFile::encodeName(folder).toStdString());
        QVERIFY(filled.wait(5000));
        QTRY_VERIFY(!list.model().isListing());
    }

private slots:
    void init()
    {
        QVERIFY(m_scratch.isValid());
        QDir(m_scratch.path()).removeRecursively();
        QVERIFY(QDir().mkpath(m_scratch.path()));
    }

    void modelsKeepTheirContracts()
    {
        create({"b.txt", "a.html", "sub/", "sub/inner/", "sub/inner/deep/", "sub/leaf/", "other/"});
        TStShellListView list;
        QAbstractItemModelTester listTester(&list.model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        show(list, m_scratch.path());
        list.model().ColClick(listing::SizeColumn);
        list.model().ColClick(listing::SizeColumn);
        list.SetFiltered(true);
        list.SetFileFilter(QStringLiteral("*.txt"));
        QCOMPARE(entries(list.model()), QStringList({"other", "sub", "b.txt"}));

        // The New name column changes in place: no row moves, whatever the order.
        ListPreview preview;
        preview.add("b.txt", "c.txt", PreviewMark::WillRename, false);
        list.model().setPreview(std::move(preview));
        list.model().setPreviewTexts({QStringLiteral("New name"), {}, {}, {}, {}, {}, {}, {}, {}, {}, {}});
        const int bRow = list.model().rowOfEntry(2);
        QCOMPARE(list.model().index(bRow, NewNameColumn).data().toString(), QStringLiteral("c.txt"));
        QCOMPARE(list.model().headerData(NewNameColumn, Qt::Horizontal, Qt::DisplayRole).toString(),
                 QStringLiteral("New name"));

        // The shown folder renamed elsewhere keeps its rows while it is listed under its new name.
        show(list, path(QStringLiteral("sub")));
        QVERIFY(QDir(m_scratch.path()).rename(QStringLiteral("sub"), QStringLiteral("sub2")));
        QSignalSpy filled(&list.model(), &ShellListModel::listFilled);
        list.folderMoved(bytes(path(QStringLiteral("sub2"))));
        QCOMPARE(entries(list.model()), QStringList({"inner", "leaf"}));
        QVERIFY(filled.wait(5000));
        QCOMPARE(entries(list.model()), QStringList({"inner", "leaf"}));
    }

    void onlyTheFirstListingOfAFolderIsOfANewFolder()
    {
        create({"a.txt"});
        TStShellListView list;
        QSignalSpy filled(&list.model(), &ShellListModel::listFilled);
        show(list, m_scratch.path());
        list.Refresh();
        QTRY_VERIFY(filled.count() >= 2);
        QCOMPARE(filled.first().first().toBool(), true);
        QCOMPARE(filled.last().first().toBool(), false);
    }

    void hiddenEntriesAreNeverListed()
    {
        create({".hidden.txt", ".hidden/", "shown.txt", "shown/", "shown/.inner/"});
        TStShellListView list;
        show(list, m_scratch.path());
        QCOMPARE(entries(list.model()), QStringList({"shown", "shown.txt"}));
    }

    void fileTypeFilterStaysInForceAcrossFolders()
    {
        create({"index.html", "INDEX.HTM", "a.htm", "page.html.bak", "readme.txt", "old.html/", "second/",
                "second/b.htm", "second/c.txt"});
        TStShellListView list;
        show(list, m_scratch.path());
        list.SetFiltered(true);
        list.SetFileFilter(QStringLiteral("*.html;*.htm"));
        QCOMPARE(entries(list.model()), QStringList({"a.htm", "INDEX.HTM", "index.html", "old.html", "second"}));
        show(list, path(QStringLiteral("second")));
        QCOMPARE(entries(list.model()), QStringList({"b.htm"}));
        list.SetFiltered(false);
        show(list, m_scratch.path());
        QCOMPARE(
            entries(list.model()),
            QStringList({"a.htm", "INDEX.HTM", "index.html", "old.html", "page.html.bak", "readme.txt", "second"}));
    }

    void headerClickReversesOnlyTheRows()
    {
        create({"a.txt", "bb.txt", "ccc.txt", "folder/"});
        TStShellListView list;
        ShellListModel& model = list.model();
        show(list, m_scratch.path());
        const QStringList nameOrder = {"a.txt", "bb.txt", "ccc.txt", "folder"};
        QCOMPARE(entries(model), nameOrder);
        list.selectRow(1);
        model.ColClick(listing::NameColumn);
        QCOMPARE(entries(model), nameOrder);
        QCOMPARE(rows(model), QStringList({"folder", "ccc.txt", "bb.txt", "a.txt"}));
        QCOMPARE(list.selectedRow(), 2); // the selection stays with its entry
        model.ColClick(listing::NameColumn);
        QCOMPARE(rows(model), nameOrder);

        model.ColClick(listing::SizeColumn);
        QCOMPARE(entries(model), QStringList({"folder", "a.txt", "bb.txt", "ccc.txt"}));
        model.ColClick(listing::SizeColumn);
        show(list, path(QStringLiteral("folder")));
        show(list, m_scratch.path());
        QCOMPARE(model.clickedColumn(), int(listing::NameColumn));
        QCOMPARE(rows(model),
                 QStringList({"folder", "ccc.txt", "bb.txt",
                              "a.txt"})); // a new folder sorts by name again, the direction stays
    }

    // Large lists sort off the window's thread; here every list counts as large.
    void sortsOffTheWindowThreadKeepTheSelectionAndTheLastClick()
    {
        create({"a.txt", "bb.mp3", "ccc.txt", "folder/"});
        TStShellListView list;
        ShellListModel& model = list.model();
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.setSortInPlaceLimit(0);
        show(list, m_scratch.path());
        list.selectRow(0);
        QSignalSpy sorted(&model, &ShellListModel::rowsSorted);
        model.ColClick(listing::SizeColumn);
        QVERIFY(model.isSorting());
        QCOMPARE(entries(model), QStringList({"a.txt", "bb.mp3", "ccc.txt", "folder"})); // until the sort is in
        QVERIFY(sorted.wait(5000));
        QCOMPARE(entries(model), QStringList({"folder", "a.txt", "bb.mp3", "ccc.txt"}));
        QCOMPARE(list.selectedRow(), 1);

        // Clicks while a sort runs: the rows end in the order of the last, which is the header's.
        model.ColClick(listing::TypeColumn);
        model.ColClick(listing::NameColumn);
        model.ColClick(listing::NameColumn);
        QTRY_VERIFY(!model.isSorting());
        QCOMPARE(model.clickedColumn(), int(listing::NameColumn));
        QCOMPARE(rows(model), QStringList({"folder", "ccc.txt", "bb.mp3", "a.txt"}));
        QCOMPARE(list.selectedRow(), 3);

        // A change on disk during a sort: the rows end listed anew and sorted.
        model.ColClick(listing::SizeColumn);
        create({"dddd.txt"});
        list.RefreshList(true);
        QTRY_VERIFY(!model.isSorting() && !model.isListing());
        QCOMPARE(entries(model), QStringList({"folder", "a.txt", "bb.mp3", "ccc.txt", "dddd.txt"}));
    }

    void listFollowsChangesOnDiskAndKeepsTheSelection()
    {
        create({"b.txt", "d.txt"});
        TStShellListView list;
        show(list, m_scratch.path());
        list.selectRow(1);
        QSignalSpy selected(&list, &TStShellListView::selectItem);
        create({"a.txt", "c.txt"});
        QTRY_COMPARE(entries(list.model()), QStringList({"a.txt", "b.txt", "c.txt", "d.txt"}));
        QCOMPARE(list.selectedRow(), 3); // found again by its caption
        QVERIFY(!selected.isEmpty());
        QCOMPARE(selected.last().first().value<std::string>(), "d.txt");
        QVERIFY(QFile::remove(path(QStringLiteral("d.txt"))));
        QTRY_COMPARE(entries(list.model()), QStringList({"a.txt", "b.txt", "c.txt"}));
        QCOMPARE(list.selectedRow(), 2); // gone: the same row, or the last one

        // The entry itself, not the first whose name contains its name.
        list.selectRow(1);
        create({"0b.txt"});
        QTRY_COMPARE(entries(list.model()), QStringList({"0b.txt", "a.txt", "b.txt", "c.txt"}));
        QCOMPARE(list.selectedRow(), 2);
        QCOMPARE(selected.last().first().value<std::string>(), "b.txt");

        // A burst of changes gives a few listings, the last of them after the burst.
        QSignalSpy filled(&list.model(), &ShellListModel::listFilled);
        QStringList burst;
        for (int i = 0; i < 3000; ++i) {
            burst << QStringLiteral("burst%1.txt").arg(i);
        }
        create(burst);
        QTRY_COMPARE(list.model().rowCount(), 3004);
        QTest::qWait(300); // nothing more is coming
        QVERIFY2(filled.count() <= 8, qPrintable(QString::number(filled.count())));
    }

    void renamesAndDropsNeverReplace()
    {
        create({"a.txt", "b.txt", "one/", "two/", "two/a.txt", "three/"});
        TStShellListView list;
        show(list, m_scratch.path());
        QSignalSpy failed(&list.model(), &ShellListModel::failed);
        const QModelIndex aRow = list.model().index(0, 0);
        QCOMPARE(aRow.data().toString(), QStringLiteral("a.txt"));
        QVERIFY(!list.model().setData(aRow, QStringLiteral("b.txt"), Qt::EditRole));
        QVERIFY(!list.model().setData(aRow, QStringLiteral("x/y"), Qt::EditRole));
        QCOMPARE(failed.count(), 2);
        QCOMPARE(contentOf(path(QStringLiteral("a.txt"))), QByteArray("a.txt"));
        QCOMPARE(contentOf(path(QStringLiteral("b.txt"))), QByteArray("b.txt"));
        QVERIFY(list.model().setData(aRow, QStringLiteral("renamed.txt"), Qt::EditRole));
        QCOMPARE(contentOf(path(QStringLiteral("renamed.txt"))), QByteArray("a.txt"));

        // "two" already holds an a.txt: neither a move nor a copy replaces it.
        create({"a.txt"});
        for (const bool copy : {true, false}) {
            const QStringList problems = dropEntries({QUrl::fromLocalFile(path(QStringLiteral("a.txt")))},
                                                     bytes(path(QStringLiteral("two"))), copy, BrowserTexts{});
            QCOMPARE(problems.size(), 1);
            QVERIFY(problems.first().contains(QLatin1String("already exists")));
            QCOMPARE(contentOf(path(QStringLiteral("a.txt"))), QByteArray("a.txt"));
            QCOMPARE(contentOf(path(QStringLiteral("two/a.txt"))), QByteArray("two/a.txt"));
        }
        QVERIFY(dropEntries({QUrl::fromLocalFile(path(QStringLiteral("b.txt")))}, bytes(path(QStringLiteral("two"))),
                            false, BrowserTexts{})
                    .isEmpty());
        QCOMPARE(contentOf(path(QStringLiteral("two/b.txt"))), QByteArray("b.txt"));
        QVERIFY(!QFile::exists(path(QStringLiteral("b.txt"))));
        QCOMPARE(dropEntries({QUrl::fromLocalFile(path(QStringLiteral("two")))}, bytes(path(QStringLiteral("three"))),
                             true, BrowserTexts{})
                     .size(),
                 1);
        QVERIFY(QFileInfo(path(QStringLiteral("two"))).isDir()); // folders are moved, not copied
    }
};

QTEST_MAIN(ShellViewsTest)
#include "shellviews_qtest.moc"
