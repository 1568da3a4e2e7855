#include "app/aboutbox.h"
#include "app/englishtexts.h"
#include "app/mainwindow.h"
#include "app/mnemonics.h"
#include "app/numberedit.h"
#include "app/radiogroup.h"
#include "app/statuswording.h"
#include "browser/bytepaths.h"
#include "browser/filtercombobox.h"
#include "browser/shellcombobox.h"
#include "browser/shelllistview.h"
#include "browser/shelltreeview.h"
#include "platform/files.h"
#include "platform/trash.h"
#include "rename/journal.h"
#include "settings/inifile.h"
#include "settings/language.h"
#include "tags/mp3sample.h"
#include "tags/mp3tags.h"

#include <QAccessible>
#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTreeView>
#include <QtTest>

#include <filesystem>
#include <fstream>
#include <memory>

#include <sys/stat.h>

using namespace quorbit;

// Takes the URLs the program asks the desktop to open.
class UrlCatcher : public QObject {
    Q_OBJECT

public:
    QUrl url;

public slots:
    void open(const QUrl& opened) { url = opened; }
};

class MainWindowTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_scratch;
    QTemporaryDir m_journals;
    QStringList m_messages;

    // A path as the file system names it.
    static std::string bytes(const QString& path) { return QFile::encodeName(path).toStdString(); }

    QString settingsPath() const { return m_scratch.filePath(QStringLiteral("quorbit.ini")); }

    void writeSettings(const QByteArray& text) const
    {
        QFile file(settingsPath());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
    }

    std::unique_ptr<TForm1> openWindow(const QString& settingsFile = {})
    {
        const std::string file = (settingsFile.isEmpty() ? settingsPath() : settingsFile).toStdString();
        auto window = std::make_unique<TForm1>(WindowPlaces{
            {file, file}, QUORBIT_LANGUAGE_FOLDER, m_journals.filePath(QStringLiteral("journals")).toStdString()});
        window->setMessageSink([this](const QString& text) { m_messages << text; });
        return window;
    }

    template <class Control>
    static Control* control(const TForm1& window, const char* name)
    {
        auto* found = window.findChild<Control*>(QString::fromLatin1(name));
        if (!found) {
            qFatal("no control %s", name);
        }
        return found;
    }

    // Selects `folder` and waits for the listings on its way: whether it became the window's folder.
    static bool selectAndWait(TForm1& window, const std::string& folder)
    {
        return window.selectFolder(folder) && QTest::qWaitFor([&] { return window.currentFolder() == folder; });
    }

    static QStringList titleFields(const TForm1& window)
    {
        QStringList texts;
        const auto* list = control<QListWidget>(window, "CLBTitle");
        for (int row = 0; row < list->count(); ++row) {
            texts << list->item(row)->text();
        }
        return texts;
    }

private slots:
    void initTestCase()
    {
        // A first start opens the home folder; these windows never work in the user's.
        qputenv("HOME", QFile::encodeName(m_scratch.filePath(QStringLiteral("no-home"))));
    }

    void init()
    {
        QFile::remove(settingsPath());
        QDir(m_journals.filePath(QStringLiteral("journals"))).removeRecursively();
        m_messages.clear();
    }

    void firstStartShowsTheDefaults()
    {
        // A first start opens in the home folder, so the test lends it one of its own.
        QTemporaryDir home;
        const bool hadHome = qEnvironmentVariableIsSet("HOME");
        const QByteArray realHome = qgetenv("HOME");
        qputenv("HOME", QFile::encodeName(home.path()));
        const auto restoreHome = qScopeGuard([&] {
            if (!hadHome) {
                qunsetenv("HOME");
            } else {
                qputenv("HOME", realHome);
            }
        });
        const auto window = openWindow();
        QCOMPARE(window->windowTitle(), QStringLiteral(" Quorbit 1.5"));
        QCOMPARE(control<RadioGroup>(*window, "RadioGroupApply")->itemIndex(), 0);
        QCOMPARE(control<RadioGroup>(*window, "RadioGroupRename")->itemIndex(), 0);
        QCOMPARE(control<RadioGroup>(*window, "RadioGroupOptions")->itemIndex(), 0);
        QVERIFY(!control<QCheckBox>(*window, "CheckBoxSubDirs")->isChecked());
        QVERIFY(!control<QCheckBox>(*window, "CheckBoxID3")->isChecked());
        QVERIFY(control<QAction>(*window, "MLangEnglish")->isChecked());
        QVERIFY(!control<QAction>(*window, "MLangRussian")->isChecked());
        QCOMPARE(titleFields(*window), (QStringList{"%Artist%", "%Title%", "%Album%", "%Year%", "%Track%"}));
        QCOMPARE(control<QLabel>(*window, "LabelSymbols")->text(), QStringLiteral("Add symbols:"));
        QTRY_COMPARE(window->currentFolder(), bytes(home.path()));
        QCOMPARE(control<TStShellListView>(*window, "StShellListView1")->model().folder(), bytes(home.path()));
        QCOMPARE(control<TStShellComboBox>(*window, "StShellComboBox1")->selectedPath(), bytes(home.path()));
        QVERIFY(window->startupError().isEmpty());
    }

    void storedChoicesAreRestored()
    {
        writeSettings("[Options]\nLanguage=Russian\nLast Folder=\"" + m_scratch.path().toUtf8()
                      + "\"\nApply To=5\nRename=0x1\nSubfolders=1\nRename Option=-7\nID3 Fields 0=%Year%\n");
        const auto window = openWindow();
        QCOMPARE(control<RadioGroup>(*window, "RadioGroupApply")->itemIndex(), 2);
        QCOMPARE(control<RadioGroup>(*window, "RadioGroupRename")->itemIndex(), 1);
        QCOMPARE(control<RadioGroup>(*window, "RadioGroupOptions")->itemIndex(), -1);
        QVERIFY(control<QCheckBox>(*window, "CheckBoxSubDirs")->isChecked());
        QTRY_COMPARE(window->currentFolder(), bytes(m_scratch.path()));
        QVERIFY(control<QAction>(*window, "MLangRussian")->isChecked());
        QCOMPARE(withoutMnemonic(control<QPushButton>(*window, "ButtonRename")->text()),
                 QStringLiteral("Переименовать"));
        // Stored words are kept as stored, in the language's placeholders or not.
        QCOMPARE(titleFields(*window).first(), QStringLiteral("%Year%"));
        QCOMPARE(titleFields(*window)[1], QStringLiteral("%Title%"));
    }

    void aFolderThatIsGoneIsReportedOnce()
    {
        writeSettings("[Options]\nLast Folder=/no/such/folder\nRename Option=3\n");
        const auto window = openWindow();
        QTRY_COMPARE(window->startupError(), QStringLiteral("Invalid folder"));
        QCOMPARE(control<RadioGroup>(*window, "RadioGroupOptions")->itemIndex(), 3);
        // The labels follow the stored operation in the language applied.
        QCOMPARE(control<QLabel>(*window, "LabelSymbols")->text(), QStringLiteral("Delete symbols:"));
        window->showStartupError();
        QTRY_COMPARE(m_messages, QStringList{QStringLiteral("Invalid folder")});
    }

    void optionsPanelFollowsEveryOperation()
    {
        const auto window = openWindow();
        window->show();
        auto* options = control<RadioGroup>(*window, "RadioGroupOptions");
        for (int option = 0; option < renameOptionCount; ++option) {
            options->setItemIndex(option);
            const OptionsPanelLayout expected = optionsPanelFor(static_cast<RenameOption>(option));
            const QString what = options->itemText(option);
            QCOMPARE(control<QLineEdit>(*window, "EditSymbols")->isVisible(), expected.symbolsEditShown);
            QCOMPARE(control<NumberEdit>(*window, "EditNumber")->isVisible(), expected.numberShown);
            QCOMPARE(control<QLineEdit>(*window, "EditReplace")->isVisible(), expected.replaceShown);
            QCOMPARE(control<QLabel>(*window, "LabelSymbols")->isVisible(), !expected.symbolsLabelKey.empty());
            if (!expected.symbolsLabelKey.empty()) {
                QVERIFY2(!control<QLabel>(*window, "LabelSymbols")->text().isEmpty(), qPrintable(what));
            }
        }
    }

    void panelsFollowTheWindowAndTheShowTagsBox()
    {
        const auto window = openWindow();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QCoreApplication::processEvents(); // let the first layout settle
        auto* tags = control<QWidget>(*window, "PanelTags");
        auto* left = control<QWidget>(*window, "PanelLeft");
        auto* middle = control<QWidget>(*window, "PanelMiddle");
        const int leftWidth = left->width();
        const int middleWidth = middle->width();
        const int rightWidth = control<QWidget>(*window, "PanelRight")->width();
        const int windowWidth = window->width();
        window->resize(windowWidth + 200, window->height());
        QTRY_VERIFY(window->width() > windowWidth);
        // Extra width goes to the tree and, most of it, to the list (the screen may allow less than asked).
        QTRY_COMPARE(left->width() + middle->width(), leftWidth + middleWidth + window->width() - windowWidth);
        QVERIFY(middle->width() - middleWidth > left->width() - leftWidth);
        QVERIFY(left->width() > leftWidth);
        QCOMPARE(control<QWidget>(*window, "PanelRight")->width(), rightWidth);
        QCOMPARE(control<QWidget>(*window, "FilterComboBoxRename")->width(),
                 control<QWidget>(*window, "PanelFilter")->width());
        QVERIFY(tags->isVisible());
        control<QCheckBox>(*window, "CheckBoxShowTags")->click();
        QVERIFY(!tags->isVisible());
        QVERIFY(!control<QWidget>(*window, "PanelBottom")->isVisible());
    }

    // Screen readers and desktop automation find every control by its caption.
    void everyControlHasAnAccessibleName()
    {
        const auto window = openWindow();
        window->show();
        int named = 0;
        for (QWidget* widget : window->findChildren<QWidget*>()) {
            const QObject* parent = widget->parent();
            // Skipped: what the keyboard cannot reach, and the edit inside a box that is named itself.
            if (widget->focusPolicy() == Qt::NoFocus || !widget->isVisibleTo(window.get())
                || parent->inherits("QAbstractSpinBox") || parent->inherits("QComboBox")) {
                continue;
            }
            QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
            QVERIFY2(accessible && !accessible->text(QAccessible::Name).trimmed().isEmpty(),
                     qPrintable(widget->objectName() + QLatin1Char(' ') + widget->metaObject()->className()));
            ++named;
        }
        QVERIFY(named > 40);
    }

    void numberBoxTakesFiveCharactersAndStepsWithinItsRange()
    {
        NumberEdit number;
        number.setText(QStringLiteral("12345"));
        QCOMPARE(number.text(), QStringLiteral("12345")); // the run checks typed text, not the box
        number.stepBy(1);
        QCOMPARE(number.text(), QStringLiteral("999"));
        number.setText(QStringLiteral("x2"));
        number.stepBy(-5);
        QCOMPARE(number.text(), QStringLiteral("994")); // from where the arrows stood
        number.stepBy(-2000);
        QCOMPARE(number.text(), QStringLiteral("1"));
        number.setLeast(0); // Counter's first number
        number.stepBy(-1);
        QCOMPARE(number.text(), QStringLiteral("0"));
        QTest::keyClicks(&number, QStringLiteral("-7"));
        QCOMPARE(number.text(), QStringLiteral("07")); // no operation takes a number below 0
    }

    void aNumberTheOperationDoesNotTakeIsRefused()
    {
        QTemporaryDir folder;
        QFile(folder.filePath(QStringLiteral("a.txt"))).open(QIODevice::WriteOnly);
        const auto window = openWindow();
        QVERIFY(selectAndWait(*window, bytes(folder.path())));
        control<RadioGroup>(*window, "RadioGroupOptions")->setItemIndex(8); // Reduce to
        control<NumberEdit>(*window, "EditNumber")->setText(QStringLiteral("0"));
        control<QPushButton>(*window, "ButtonRename")->click();
        QCOMPARE(m_messages, QStringList{QStringLiteral("Symbols must be 1 or more")});
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList{QStringLiteral("a.txt")});
    }

    void languageMenuSwitchesCaptionsAndTitleFields()
    {
        const auto window = openWindow();
        control<QAction>(*window, "MLangRussian")->trigger();
        QCOMPARE(control<QMenu>(*window, "MFile")->title(), QStringLiteral("&Файл"));
        QCOMPARE(titleFields(*window).first(), QStringLiteral("%Артист%"));
        // The template follows, or its words would stay literally in every name.
        QCOMPARE(control<QPlainTextEdit>(*window, "MemoTitle")->toPlainText(), QStringLiteral("%Артист% - %Название%"));
        QCOMPARE(window->aboutBox().windowTitle(), QStringLiteral("О программе"));
        control<QAction>(*window, "MLangEnglish")->trigger();
        QCOMPARE(control<QMenu>(*window, "MFile")->title(), QStringLiteral("&File"));
        QCOMPARE(titleFields(*window), (QStringList{"%Artist%", "%Title%", "%Album%", "%Year%", "%Track%"}));
        QCOMPARE(window->aboutBox().windowTitle(), QStringLiteral("About Program"));
        QVERIFY(control<QAction>(*window, "MLangEnglish")->isChecked());
    }

    void renameWorksOnTheChosenFolderAndCloseSavesTheChoices()
    {
        QTemporaryDir folder;
        for (const char* name : {"b.txt", "a.txt"}) {
            QFile(folder.filePath(QString::fromLatin1(name))).open(QIODevice::WriteOnly);
        }
        const auto window = openWindow();
        control<QPushButton>(*window, "ButtonRename")->click();
        QCOMPARE(window->statusBar()->currentMessage(), QStringLiteral("No folder is selected."));

        QVERIFY(selectAndWait(*window, bytes(folder.path())));
        control<QLineEdit>(*window, "EditSymbols")->setText(QStringLiteral("x_"));
        control<QPushButton>(*window, "ButtonRename")->click();
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files), (QStringList{"x_a.txt", "x_b.txt"}));
        QCOMPARE(window->statusBar()->currentMessage(), QStringLiteral("Renamed 2 files"));

        control<RadioGroup>(*window, "RadioGroupOptions")->setItemIndex(15);
        QVERIFY(!control<QLineEdit>(*window, "EditPhotoTemplate")->isEnabled());
        control<QCheckBox>(*window, "CheckBoxPhotoDate")->click();
        control<QLineEdit>(*window, "EditPhotoTemplate")->setText(QStringLiteral("%Camera% %Date%"));
        control<QAction>(*window, "MLangRussian")->trigger();
        QVERIFY(window->close());
        QFile saved(settingsPath());
        QVERIFY(saved.open(QIODevice::ReadOnly));
        const QByteArray text = saved.readAll();
        QVERIFY(text.contains("Language=Russian\n"));
        QVERIFY(text.contains("Last Folder=" + folder.path().toUtf8() + "\n"));
        QVERIFY(text.contains("Rename Option=15\n"));
        QVERIFY(text.contains("Rename Photos=1\nPhoto Template=%Camera% %Date%\n"));
        QVERIFY(text.contains("ID3 Fields 0=%Артист%\n"));
        QVERIFY(m_messages.isEmpty());
    }

    void theBrowserKeepsToOneFolderWhereverItIsChosen()
    {
        QTemporaryDir folder;
        QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("sub")));
        for (const char* name : {"b.txt", "a.html", "sub/c.txt", "sub/d.htm"}) {
            QFile(folder.filePath(QString::fromLatin1(name))).open(QIODevice::WriteOnly);
        }
        const auto window = openWindow();
        window->show();
        auto* list = control<TStShellListView>(*window, "StShellListView1");
        auto* pathBox = control<TStShellComboBox>(*window, "StShellComboBox1");
        const auto shownNames = [list] {
            QStringList names;
            for (const listing::ShellItem& item : list->GetShellItems()) {
                names << QString::fromStdString(item.name);
            }
            return names;
        };
        QVERIFY(selectAndWait(*window, bytes(folder.path())));
        QTRY_COMPARE(shownNames(), (QStringList{"a.html", "b.txt", "sub"}));
        QCOMPARE(pathBox->selectedPath(), bytes(folder.path()));

        // A file type stays chosen in the folder opened from the list with Enter.
        auto* filter = control<TFilterComboBox>(*window, "FilterComboBoxRename");
        filter->setCurrentIndex(2);
        emit filter->activated(2);
        QCOMPARE(shownNames(), (QStringList{"a.html", "sub"}));
        list->selectRow(1);
        QTest::keyClick(list->reportView(), Qt::Key_Return);
        const QString sub = folder.filePath(QStringLiteral("sub"));
        QTRY_COMPARE(window->currentFolder(), bytes(sub));
        QCOMPARE(pathBox->selectedPath(), bytes(sub));
        QTRY_COMPARE(shownNames(), QStringList{"d.htm"});

        QTest::keyClick(list->reportView(), Qt::Key_Backspace);
        QCOMPARE(window->currentFolder(), bytes(folder.path()));
        const int parentEntry = pathBox->findData(QFile::encodeName(QFileInfo(folder.path()).absolutePath()));
        QVERIFY(parentEntry >= 0);
        pathBox->setCurrentIndex(parentEntry);
        emit pathBox->activated(parentEntry);
        QCOMPARE(window->currentFolder(), bytes(QFileInfo(folder.path()).absolutePath()));
    }

    // Writes an MP3 file with both tags, or with ID3v2 alone.
    static void writeTaggedFile(const std::string& bytes, const std::string& artist, const std::string& title,
                                bool withId3v1 = true)
    {
        {
            std::ofstream file(bytes, std::ios::binary);
            file << testing::mpegAudio();
            QVERIFY(file.good());
        }
        TID3v2 id3v2;
        id3v2.FSetArtist(artist);
        id3v2.FSetTitle(title);
        id3v2.FSetTrack(3);
        QVERIFY(id3v2.SaveToFile(bytes));
        if (withId3v1) {
            TID3v1 id3v1;
            id3v1.FSetArtist(artist);
            id3v1.FSetTitle(title);
            id3v1.FSetGenreID(17);
            QVERIFY(id3v1.SaveToFile(bytes));
        }
    }

    void aClickOnTheStatusBarListsWhatWasNotRenamed()
    {
        QTemporaryDir folder;
        for (const char* name : {"a1.txt", "a2.txt"}) {
            QFile(folder.filePath(QString::fromLatin1(name))).open(QIODevice::WriteOnly);
        }
        const auto window = openWindow();
        QVERIFY(selectAndWait(*window, bytes(folder.path())));
        control<RadioGroup>(*window, "RadioGroupOptions")->setItemIndex(8); // Reduce to
        control<NumberEdit>(*window, "EditNumber")->setText(QStringLiteral("1"));
        control<QPushButton>(*window, "ButtonRename")->click();
        QCOMPARE(window->statusBar()->currentMessage(), QStringLiteral("Renamed 1 file, 1 not renamed"));
        QTest::mouseClick(window->statusBar(), Qt::LeftButton);
        QCOMPARE(m_messages,
                 QStringList{folder.filePath(QStringLiteral("a2.txt"))
                             + QStringLiteral(" → a.txt: an entry before it takes the same name")});
    }

    void undoPutsBackTheLastRunsOneByOne()
    {
        QTemporaryDir folder;
        for (const char* name : {"a.txt", "b.txt", "c.jpg"}) {
            QFile(folder.filePath(QString::fromLatin1(name))).open(QIODevice::WriteOnly);
        }
        const auto window = openWindow();
        QVERIFY(selectAndWait(*window, bytes(folder.path())));
        control<RadioGroup>(*window, "RadioGroupOptions")->setItemIndex(0); // Add to left
        control<QLineEdit>(*window, "EditSymbols")->setText(QStringLiteral("x_"));
        control<QPushButton>(*window, "ButtonRename")->click();
        const QStringList renamed{"x_a.txt", "x_b.txt", "x_c.jpg"};
        QCOMPARE(QDir(folder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), renamed);
        const auto* list = control<TStShellListView>(*window, "StShellListView1");
        QTRY_VERIFY(!list->GetShellItems().empty() && list->GetShellItems().front().name == "x_a.txt");
        control<QPushButton>(*window, "ButtonSort")->click();
        QCOMPARE(QDir(folder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), (QStringList{"jpg", "txt"}));

        auto* undo = control<QAction>(*window, "MUndo");
        QCOMPARE(undo->shortcut(), QKeySequence(QKeySequence::Undo));
        {
            // Another program undoing the Sort holds its journal: neither run is touched here.
            const HeldJournal elsewhere(
                journalFiles(m_journals.filePath(QStringLiteral("journals")).toStdString()).back());
            undo->trigger();
            QCOMPARE(window->statusBar()->currentMessage(),
                     QStringLiteral("this run is being undone by another program"));
            QCOMPARE(QDir(folder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                     (QStringList{"jpg", "txt"}));
        }
        undo->trigger();
        QCOMPARE(QDir(folder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 renamed); // the Sort is undone and the folders it made are gone
        QVERIFY(QFile::rename(folder.filePath(QStringLiteral("x_b.txt")), folder.filePath(QStringLiteral("other"))));
        undo->trigger();
        QCOMPARE(QDir(folder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 (QStringList{"a.txt", "c.jpg", "other"}));
        QCOMPARE(window->statusBar()->currentMessage(), QStringLiteral("Restored 2 files, 1 not restored"));
        QCOMPARE(
            m_messages,
            QStringList{folder.filePath(QStringLiteral("x_b.txt")) + QStringLiteral(": renamed again since the run")});
        // The run stays to be undone until the entry it skipped is back too.
        QVERIFY(QFile::rename(folder.filePath(QStringLiteral("other")), folder.filePath(QStringLiteral("x_b.txt"))));
        undo->trigger();
        QCOMPARE(QDir(folder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 (QStringList{"a.txt", "b.txt", "c.jpg"}));
        QCOMPARE(window->statusBar()->currentMessage(), QStringLiteral("Restored 1 file"));
        undo->trigger();
        QCOMPARE(window->statusBar()->currentMessage(), QStringLiteral("There is no run to undo."));
    }

    void anUnfinishedRunIsOfferedAtStartUp()
    {
        QTemporaryDir folder;
        for (const char* name : {"a", "b"}) {
            QFile(folder.filePath(QString::fromLatin1(name))).open(QIODevice::WriteOnly);
        }
        const std::string journals = m_journals.filePath(QStringLiteral("journals")).toStdString();
        std::vector<files::DirEntry> entries;
        files::Folder(folder.path().toStdString()).list(entries);
        JournalStep step;
        for (const files::DirEntry& entry : entries) {
            const std::string path = folder.filePath(QString::fromStdString(entry.name)).toStdString();
            step.moves.push_back({entry.inode, 0, path, path + ".new"});
        }
        JournalWriter(journals, JournalKind::Rename, folder.path().toStdString()).writeStep(step);
        QVERIFY(QFile::rename(folder.filePath(QStringLiteral("a")), folder.filePath(QStringLiteral("a.new"))));
        // A crash while its first plan was written leaves a journal of nothing done, not offered.
        QString cutPath;
        {
            JournalWriter cut(journals, JournalKind::Rename, folder.path().toStdString());
            cut.writeStep(step);
            cutPath = QString::fromStdString(cut.path());
        }
        QFile cutFile(cutPath);
        QVERIFY(cutFile.resize(cutFile.size() - 10));
        QString damagedPath;
        {
            JournalWriter damaged(journals, JournalKind::Rename, folder.path().toStdString());
            damaged.writeStep(step);
            damagedPath = QString::fromStdString(damaged.path());
        }
        QFile damagedFile(damagedPath);
        QVERIFY(damagedFile.open(QIODevice::Append));
        damagedFile.write("garbage\n");
        damagedFile.close();

        const auto window = openWindow();
        QStringList questions;
        window->setRecoveryChooser([&questions](const QString& question) {
            questions << question;
            return TForm1::Recovery::Undo;
        });
        window->offerRecovery();
        QCOMPARE(questions.size(), 1);
        QVERIFY(questions.first().startsWith(QStringLiteral("A run in ") + folder.path()
                                             + QStringLiteral(" did not finish: 1 of its 2 moves were made.")));
        QCOMPARE(QDir(folder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), (QStringList{"a", "b"}));
        QCOMPARE(m_messages,
                 QStringList{QStringLiteral("The journal %1 cannot be read. No file was touched.").arg(damagedPath)});
        window->offerRecovery();
        QCOMPARE(questions.size(), 1); // nothing is offered twice
        QCOMPARE(m_messages.size(), 1);
    }

    void sortGathersTheListedFilesIntoExtensionFolders()
    {
        QTemporaryDir folder;
        for (const char* name : {"a.txt", "b.TXT", "c.jpg", "noext"}) {
            QFile(folder.filePath(QString::fromLatin1(name))).open(QIODevice::WriteOnly);
        }
        const auto window = openWindow();
        auto* sort = control<QPushButton>(*window, "ButtonSort");
        sort->click();
        QCOMPARE(window->statusBar()->currentMessage(), QStringLiteral("No folder is selected."));
        QVERIFY(selectAndWait(*window, bytes(folder.path())));
        auto* list = control<TStShellListView>(*window, "StShellListView1");
        QTRY_COMPARE(list->model().rowCount(), 4);
        sort->click();
        QCOMPARE(window->statusBar()->currentMessage(), QStringLiteral("Sorted 3 files"));
        QStringList names = QDir(folder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        names.sort();
        QCOMPARE(names, (QStringList{"TXT", "jpg", "noext", "txt"}));
        QVERIFY(QFile::exists(folder.filePath(QStringLiteral("TXT/b.TXT"))));
        QTRY_COMPARE(list->model().rowCount(), 4); // the list shows the folders

        // A Sort that moves nothing says so, and lists what it left and why.
        for (const char* name : {"d.png", "png"}) {
            QFile(folder.filePath(QString::fromLatin1(name))).open(QIODevice::WriteOnly);
        }
        QTRY_COMPARE(list->model().rowCount(), 6);
        sort->click();
        QCOMPARE(window->statusBar()->currentMessage(), QStringLiteral("Sorted 0 files, 1 not sorted"));
        QTest::mouseClick(window->statusBar(), Qt::LeftButton);
        QCOMPARE(m_messages,
                 QStringList{folder.filePath(QStringLiteral("d.png"))
                             + QStringLiteral(": a file holds the extension folder's name")});

        // With sub-folders it counts the folders it went through too.
        control<QCheckBox>(*window, "CheckBoxSubDirs")->setChecked(true);
        sort->click();
        QCOMPARE(window->statusBar()->currentMessage(), QStringLiteral("Sorted 0 files / 3 folders, 1 not sorted"));
    }

    // An entry's name is bytes, whatever they are; every action takes it as the disk gave it.
    void namesAreBytesFromTheDiskToEveryAction_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::newRow("windows-1251") << QByteArray("\xcf\xe5\xf1\xed\xff");
        QTest::newRow("Latin-1") << QByteArray("caf\xe9");
        QTest::newRow("newline") << QByteArray("a\nb");
        QTest::newRow("255 bytes") << QByteArray(251, 'n'); // with ".mp3"
        QTest::newRow("leading dash") << QByteArray("-x");
        QTest::newRow("backslash") << QByteArray("a\\b");
    }

    void namesAreBytesFromTheDiskToEveryAction()
    {
        QFETCH(QByteArray, name);
        QTemporaryDir scratch;
        qputenv("XDG_DATA_HOME", QFile::encodeName(scratch.filePath(QStringLiteral("data"))));
        const std::string root = bytes(scratch.path());
        const std::string folder = root + "/" + name.toStdString();
        const std::string file = name.toStdString() + ".mp3";
        QCOMPARE(::mkdir(folder.c_str(), 0700), 0);
        writeTaggedFile(folder + "/" + file, "Artist", "Title");
        auto window = openWindow();
        window->show();
        auto* list = control<TStShellListView>(*window, "StShellListView1");
        const auto fileOfRow = [&](int row) { return list->model().itemOfRow(row).name; };

        QVERIFY(selectAndWait(*window, folder));
        QTRY_COMPARE(list->model().rowCount(), 1);
        QCOMPARE(fileOfRow(0), file);
        list->selectRow(0);
        QTRY_COMPARE(control<QLineEdit>(*window, "EditTitle2")->text(), QStringLiteral("Title"));
        list->copySelectedPath();
        QCOMPARE(localPathBytes(QGuiApplication::clipboard()->mimeData()->urls().value(0)), folder + "/" + file);
        const std::unique_ptr<QMimeData> dragged(list->model().mimeData({list->model().index(0, 0)}));
        QCOMPARE(localPathBytes(dragged->urls().value(0)), folder + "/" + file);
        UrlCatcher opened;
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &opened, "open");
        QTest::keyClick(list->reportView(), Qt::Key_Return);
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        QCOMPARE(localPathBytes(opened.url), folder + "/" + file);

        // A run and an in-place rename find the entry by its bytes.
        control<RadioGroup>(*window, "RadioGroupOptions")->setItemIndex(3); // Delete from left
        control<NumberEdit>(*window, "EditNumber")->setText(QStringLiteral("1"));
        control<QPushButton>(*window, "ButtonRename")->click();
        QCOMPARE(window->statusBar()->currentMessage(), QStringLiteral("Renamed 1 file"));
        QTRY_COMPARE(fileOfRow(0), file.substr(1));
        QVERIFY(list->model().setData(list->model().index(0, 0), QStringLiteral("renamed.mp3"), Qt::EditRole));
        QVERIFY(files::isExistingFile(folder + "/renamed.mp3"));
        control<QPushButton>(*window, "ButtonSort")->click();
        QVERIFY(files::isExistingFile(folder + "/mp3/renamed.mp3"));

        // The folder the window was in is the folder it opens in next time; a
        // line break cannot stand in a line of the settings file.
        window->close();
        window = openWindow();
        if (!name.contains('\n')) {
            QTRY_COMPARE(window->currentFolder(), folder);
        }
        QVERIFY(selectAndWait(*window, root));
        list = control<TStShellListView>(*window, "StShellListView1");
        QTRY_COMPARE(list->model().rowCount(), 1);
        list->selectRow(0);
        list->trashSelected();
        QTRY_VERIFY(!files::isExistingDirectory(folder));
        const std::string trashInfo = bytes(scratch.filePath(QStringLiteral("data/Trash/info")));
        std::vector<files::DirEntry> records;
        QVERIFY(files::Folder(trashInfo).list(records));
        QCOMPARE(records.size(), std::size_t(1));
        std::ifstream record(trashInfo + "/" + records.front().name);
        const std::string text((std::istreambuf_iterator<char>(record)), std::istreambuf_iterator<char>());
        QVERIFY(text.find("\nPath=" + files::percentEncodedPath(folder) + "\n") != std::string::npos);
        QVERIFY(m_messages.isEmpty());
        qunsetenv("XDG_DATA_HOME");
        // QTemporaryDir removes only what its text names can reach.
        std::filesystem::remove_all(bytes(scratch.path()));
    }

    void theRunWorksWhereTheShownFolderWentAndNeverInASibling()
    {
        QTemporaryDir scratch;
        QVERIFY(QDir(scratch.path()).mkpath(QStringLiteral("a")));
        QVERIFY(QDir(scratch.path()).mkpath(QStringLiteral("b")));
        for (const char* name : {"a/one.txt", "b/two.txt", "c.txt"}) {
            QFile(scratch.filePath(QString::fromLatin1(name))).open(QIODevice::WriteOnly);
        }
        const auto window = openWindow();
        window->show();
        auto* list = control<TStShellListView>(*window, "StShellListView1");
        QVERIFY(selectAndWait(*window, bytes(scratch.filePath(QStringLiteral("a")))));
        QTRY_COMPARE(list->model().rowCount(), 1);

        // Another program renames the shown folder: it stays the one the window works in.
        QVERIFY(QDir(scratch.path()).rename(QStringLiteral("a"), QStringLiteral("a2")));
        QTRY_COMPARE(window->currentFolder(), bytes(scratch.filePath(QStringLiteral("a2"))));
        QCOMPARE(list->model().rowCount(), 1);
        control<QLineEdit>(*window, "EditSymbols")->setText(QStringLiteral("x"));
        control<QPushButton>(*window, "ButtonRename")->click();
        QVERIFY(QFile::exists(scratch.filePath(QStringLiteral("a2/xone.txt"))));
        QVERIFY(QFile::exists(scratch.filePath(QStringLiteral("b/two.txt"))));

        // Deleted, it gives way to the folder above it, with a word in the status bar.
        QVERIFY(QDir(scratch.filePath(QStringLiteral("a2"))).removeRecursively());
        QTRY_COMPARE(window->currentFolder(), bytes(scratch.path()));
        QVERIFY(window->statusBar()->currentMessage().contains(QLatin1String("is gone")));
        control<QPushButton>(*window, "ButtonRename")->click();
        QVERIFY(QFile::exists(scratch.filePath(QStringLiteral("xc.txt"))));
        QVERIFY(QFile::exists(scratch.filePath(QStringLiteral("b/two.txt"))));
    }

    // The window takes no second command while one is under way, however the
    // click reaches it.
    void commandsWaitWhileOneIsUnderWay()
    {
        constexpr int count = 3000;
        QTemporaryDir folder;
        for (int i = 0; i < count; ++i) {
            QFile(folder.filePath(QStringLiteral("f%1").arg(i, 4, 10, QLatin1Char('0')))).open(QIODevice::WriteOnly);
        }
        writeTaggedFile(bytes(folder.filePath(QStringLiteral("a.mp3"))), "Artist", "Title");
        const auto window = openWindow();
        window->show();
        auto* list = control<TStShellListView>(*window, "StShellListView1");
        QVERIFY(selectAndWait(*window, bytes(folder.path())));
        QTRY_COMPARE(list->model().rowCount(), count + 1);
        list->selectRow(0);
        control<QLineEdit>(*window, "EditTitle2")->setText(QStringLiteral("Edited"));
        control<QLineEdit>(*window, "EditSymbols")->setText(QStringLiteral("x"));
        auto* rename = control<QPushButton>(*window, "ButtonRename");
        auto* save = control<QPushButton>(*window, "ButtonSaveTags");
        const auto renamed = [&] { return QDir(folder.path()).entryList({QStringLiteral("x*")}, QDir::Files).size(); };
        QStringList disabled;
        QTimer midRun;
        connect(&midRun, &QTimer::timeout, window.get(), [&] {
            if (renamed() == 0) {
                return;
            }
            midRun.stop();
            for (const char* name : {"ButtonRename", "ButtonSort", "ButtonSaveTags"}) {
                if (!control<QPushButton>(*window, name)->isEnabled()) {
                    disabled << QLatin1String(name);
                }
            }
            for (const char* name : {"MUndo", "MLangEnglish", "MLangRussian"}) {
                if (!control<QAction>(*window, name)->isEnabled()) {
                    disabled << QLatin1String(name);
                }
            }
            emit rename->clicked();
            emit save->clicked();
        });
        midRun.start(0);
        rename->click();
        QCOMPARE(
            disabled,
            (QStringList{"ButtonRename", "ButtonSort", "ButtonSaveTags", "MUndo", "MLangEnglish", "MLangRussian"}));
        QCOMPARE(renamed(), count + 1);
        QCOMPARE(window->statusBar()->currentMessage(), QStringLiteral("Renamed 3,001 files"));
        QVERIFY(QFile::exists(folder.filePath(QStringLiteral("xa.mp3")))); // renamed once, not twice
        TID3v1 id3v1;
        TID3v2 id3v2;
        ReadTagsFromFile(bytes(folder.filePath(QStringLiteral("xa.mp3"))), id3v1, id3v2);
        QCOMPARE(id3v2.Title(), "Title"); // the save clicked mid-run did nothing
        QVERIFY(rename->isEnabled());
        QVERIFY(save->isEnabled());
    }

    void titleFieldsMoveWithTheirCheckMarks()
    {
        const auto window = openWindow();
        auto* list = control<QListWidget>(*window, "CLBTitle");
        auto* memo = control<QPlainTextEdit>(*window, "MemoTitle");
        auto* up = control<QPushButton>(*window, "ButtonUp");
        auto* down = control<QPushButton>(*window, "ButtonDown");
        control<QCheckBox>(*window, "CheckBoxID3")->click();
        up->click(); // nothing selected: nothing moves
        QCOMPARE(memo->toPlainText(), QStringLiteral("%Artist% - %Title%"));
        list->setCurrentRow(1);
        up->click();
        up->click(); // already first
        QCOMPARE(titleFields(*window).mid(0, 2), (QStringList{"%Title%", "%Artist%"}));
        QCOMPARE(list->currentRow(), 0);
        QCOMPARE(memo->toPlainText(), QStringLiteral("%Title% - %Artist%"));
        list->setCurrentRow(4);
        list->item(4)->setCheckState(Qt::Checked);
        up->click();
        QCOMPARE(list->item(3)->checkState(), Qt::Checked);
        QCOMPARE(list->item(3)->text(), QStringLiteral("%Track%"));
        down->click();
        down->click(); // already last
        QCOMPARE(list->currentRow(), 4);
        control<QComboBox>(*window, "CBSeparator")->setEditText(QStringLiteral("~"));
        QCOMPARE(memo->toPlainText(), QStringLiteral("%Title% ~ %Artist% ~ %Track%"));
    }

    void renameFromTagsNamesEveryTaggedFile()
    {
        QTemporaryDir folder;
        QStringList expected;
        for (int i = 0; i < 50; ++i) {
            const std::string title = "Song " + std::to_string(i);
            writeTaggedFile(bytes(folder.filePath(QStringLiteral("track%1.MP3").arg(i))), "Band", title, i != 7);
            expected << QStringLiteral("Band - Song %1.mp3").arg(i);
        }
        const auto window = openWindow();
        QVERIFY(selectAndWait(*window, bytes(folder.path())));
        auto* fromTags = control<QCheckBox>(*window, "CheckBoxID3");
        QVERIFY(!control<QWidget>(*window, "MemoTitle")->isEnabled());
        fromTags->click();
        QVERIFY(control<QWidget>(*window, "MemoTitle")->isEnabled());
        QCOMPARE(control<QPlainTextEdit>(*window, "MemoTitle")->toPlainText(), QStringLiteral("%Artist% - %Title%"));
        control<QPushButton>(*window, "ButtonRename")->click();
        expected.sort();
        QStringList names = QDir(folder.path()).entryList(QDir::Files);
        names.sort();
        QCOMPARE(names, expected); // the file with an ID3v2 tag alone is named from it too
    }

    void tagPanelShowsCopiesAndSavesTheSelectedFile()
    {
        QTemporaryDir folder;
        writeTaggedFile(bytes(folder.filePath(QStringLiteral("a.mp3"))), "Artist",
                        "A title that is longer than thirty chars");
        QFile(folder.filePath(QStringLiteral("b.txt"))).open(QIODevice::WriteOnly);
        const auto window = openWindow();
        auto* list = control<TStShellListView>(*window, "StShellListView1");
        QVERIFY(selectAndWait(*window, bytes(folder.path())));
        QTRY_COMPARE(list->model().rowCount(), 2);
        const auto edit = [&](const char* name) { return control<QLineEdit>(*window, name); };
        auto* save = control<QPushButton>(*window, "ButtonSaveTags");
        list->selectRow(0);
        QTRY_COMPARE(edit("EditTitle2")->text(), QStringLiteral("A title that is longer than thirty chars"));
        QCOMPARE(edit("EditGenre1")->text(), QStringLiteral("Rock"));
        QCOMPARE(edit("EditTrack2")->text(), QStringLiteral("3"));
        QVERIFY(save->isEnabled());

        control<QPushButton>(*window, "Button1")->click(); // ID3v2 -> ID3v1
        QCOMPARE(edit("EditTitle1")->text(), edit("EditTitle2")->text());
        edit("EditTrack1")->setText(QStringLiteral("abc"));
        const QByteArray before = [&] {
            QFile file(folder.filePath(QStringLiteral("a.mp3")));
            file.open(QIODevice::ReadOnly);
            return file.readAll();
        }();
        save->click();
        QCOMPARE(m_messages, QStringList{QStringLiteral("'abc' is not a valid integer value")});
        QFile unchanged(folder.filePath(QStringLiteral("a.mp3")));
        QVERIFY(unchanged.open(QIODevice::ReadOnly));
        QCOMPARE(unchanged.readAll(), before);

        edit("EditTrack1")->setText(QStringLiteral("5"));
        edit("EditGenre1")->setText(QStringLiteral("Jazz")); // the genre kept is the file's own
        save->click();
        TID3v1 id3v1;
        TID3v2 id3v2;
        ReadTagsFromFile(QFile::encodeName(folder.filePath(QStringLiteral("a.mp3"))).toStdString(), id3v1, id3v2);
        QCOMPARE(QString::fromStdString(id3v1.Title()), QStringLiteral("A title that is longer than th"));
        QCOMPARE(int(id3v1.Track()), 5);
        QCOMPARE(QString::fromStdString(id3v1.Genre()), QStringLiteral("Rock"));
        QCOMPARE(QString::fromStdString(id3v2.Title()), QStringLiteral("A title that is longer than thirty chars"));
        QCOMPARE(edit("EditGenre1")->text(), QStringLiteral("Rock")); // the edits show what the file holds now

        // Typed edits outlive the re-listings that keep the file selected.
        edit("EditComment2")->setText(QStringLiteral("not saved yet"));
        QSignalSpy filled(&list->model(), &ShellListModel::listFilled);
        auto* showTags = control<QCheckBox>(*window, "CheckBoxShowTags");
        showTags->click();
        showTags->click();
        QFile(folder.filePath(QStringLiteral("c.txt"))).open(QIODevice::WriteOnly);
        QTRY_COMPARE(list->model().rowCount(), 3);
        QTRY_VERIFY(filled.count() >= 2);
        QCOMPARE(list->selectedRow(), 0);
        QCOMPARE(edit("EditComment2")->text(), QStringLiteral("not saved yet"));

        list->selectRow(1); // b.txt
        QVERIFY(!save->isEnabled());
        QCOMPARE(edit("EditArtist1")->text(), QStringLiteral("Artist"));
    }

    void aSettingsFileThatCannotBeWrittenIsReportedAndTheWindowStillCloses()
    {
        const QString unwritable = m_scratch.filePath(QStringLiteral("missing/folder/quorbit.ini"));
        QFile::remove(m_scratch.filePath(QStringLiteral("missing")));
        QFile blocker(m_scratch.filePath(QStringLiteral("missing")));
        QVERIFY(blocker.open(QIODevice::WriteOnly)); // a file where the folder would have to be
        blocker.close();
        const auto window = openWindow(unwritable);
        QVERIFY(window->close());
        QCOMPARE(m_messages, QStringList{QStringLiteral("Unable to write to ") + unwritable});
    }

    void aCloseDuringARunStopsItAfterTheEntryInHand()
    {
        // Enough that the run on its own thread is still under way when the
        // window's thread, sharing a busy machine, gets its turn to close.
        constexpr int count = 20000;
        QTemporaryDir folder;
        for (int i = 0; i < count; ++i) {
            QFile(folder.filePath(QStringLiteral("f%1").arg(i, 4, 10, QLatin1Char('0')))).open(QIODevice::WriteOnly);
        }
        const auto window = openWindow();
        window->show();
        QVERIFY(selectAndWait(*window, bytes(folder.path())));
        control<QLineEdit>(*window, "EditSymbols")->setText(QStringLiteral("x"));
        const auto renamed = [&] { return QDir(folder.path()).entryList({QStringLiteral("x*")}, QDir::Files).size(); };
        // The user closes the window once the renames are under way.
        QTimer closer;
        connect(&closer, &QTimer::timeout, window.get(), [&] {
            if (renamed() > 0) {
                closer.stop();
                window->close();
            }
        });
        closer.start(0);
        control<QPushButton>(*window, "ButtonRename")->click();
        QVERIFY(renamed() > 0);
        QVERIFY(renamed() < count);
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files).size(), count);
        QTRY_VERIFY(!window->isVisible());
        QVERIFY(QFile::exists(settingsPath())); // the close went on and saved the settings
        QVERIFY(!control<QWidget>(*window, "PanelBottom")->isVisible());
    }

    void theNewNameColumnShowsWhatRenameWillDo()
    {
        QTemporaryDir folder;
        for (const char* name : {"1.txt", "2.txt", "x.txt", "a1.txt", "a2.txt"}) {
            QFile(folder.filePath(QString::fromLatin1(name))).open(QIODevice::WriteOnly);
        }
        // A folder: the run renames files only, so it stays and keeps its name.
        QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("5.txt")));
        const auto window = openWindow();
        window->show();
        const ShellListModel& model = control<TStShellListView>(*window, "StShellListView1")->model();
        QCOMPARE(model.headerData(NewNameColumn, Qt::Horizontal, Qt::DisplayRole).toString(),
                 QStringLiteral("New name"));
        // Every row as "name > new name: mark", the mark being the cell's tool tip.
        const auto column = [&model] {
            QStringList rows;
            for (int row = 0; row < model.rowCount(); ++row) {
                const QModelIndex cell = model.index(row, NewNameColumn);
                rows << model.index(row, 0).data().toString() + QStringLiteral(" > ") + cell.data().toString()
                        + QStringLiteral(": ") + cell.data(Qt::ToolTipRole).toString();
            }
            return rows;
        };
        QVERIFY(selectAndWait(*window, bytes(folder.path())));
        control<RadioGroup>(*window, "RadioGroupOptions")->setItemIndex(8); // Reduce to
        control<NumberEdit>(*window, "EditNumber")->setText(QStringLiteral("1"));
        QTRY_COMPARE(column(),
                     (QStringList{
                         "1.txt > 1.txt: unchanged",
                         "2.txt > 2.txt: unchanged",
                         "5.txt > : ",
                         "a1.txt > a.txt: will be renamed",
                         "a2.txt > a.txt: will not be renamed: an entry before it takes the same name",
                         "x.txt > x.txt: unchanged",
                     }));
        const auto cell = [&model](int row, int role) { return model.index(row, NewNameColumn).data(role); };
        QVERIFY(cell(2, Qt::DecorationRole).isNull());
        QCOMPARE(cell(3, Qt::DecorationRole).userType(), QMetaType::QIcon);
        QVERIFY(cell(3, Qt::ForegroundRole).isNull()); // the normal text colour
        QVERIFY(cell(4, Qt::ForegroundRole).value<QColor>() != cell(0, Qt::ForegroundRole).value<QColor>());
        QVERIFY(window->statusBar()->currentMessage().isEmpty()); // no counts without sub-folders

        // A chain (2.txt leaves the name 1.txt takes) and a name the folder keeps.
        control<RadioGroup>(*window, "RadioGroupOptions")->setItemIndex(15); // Counter
        control<NumberEdit>(*window, "EditNumber")->setText(QStringLiteral("2"));
        control<QCheckBox>(*window, "CheckBoxSubDirs")->click();
        QTRY_COMPARE(column(),
                     (QStringList{
                         "1.txt > 2.txt: will be renamed",
                         "2.txt > 3.txt: will be renamed",
                         "5.txt > : ",
                         "a1.txt > 4.txt: will be renamed",
                         "a2.txt > 5.txt: will not be renamed: the name belongs to an entry that stays",
                         "x.txt > 6.txt: will be renamed",
                     }));
        QTRY_COMPARE(window->statusBar()->currentMessage(),
                     QStringLiteral("Would rename 4 files / 1 folder, 1 not renamed"));
        QStringList previewed;
        for (std::size_t index = 0; index < model.preview().size(); ++index) {
            const ListPreview::Entry entry = model.preview().entry(index);
            const std::string_view shownName
                = entry.preview.mark == PreviewMark::WillRename ? entry.preview.newName : entry.name;
            previewed << QString::fromUtf8(shownName.data(), static_cast<qsizetype>(shownName.size()));
        }
        previewed.sort();

        control<QPushButton>(*window, "ButtonRename")->click();
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files, QDir::Name), previewed);
        const QString runMessage = window->statusBar()->currentMessage();
        QCOMPARE(runMessage, QStringLiteral("Renamed 4 files / 1 folder, 1 not renamed"));
        // The column follows the renamed folder; the run's own message stays.
        QTRY_COMPARE(column(),
                     (QStringList{
                         "2.txt > 2.txt: unchanged",
                         "3.txt > 3.txt: unchanged",
                         "4.txt > 4.txt: unchanged",
                         "5.txt > : ",
                         "6.txt > 5.txt: will not be renamed: the name belongs to an entry that stays",
                         "a2.txt > 6.txt: will not be renamed: the name belongs to an entry that stays",
                     }));
        QCOMPARE(window->statusBar()->currentMessage(), runMessage);
        control<QAction>(*window, "MLangRussian")->trigger();
        QCOMPARE(model.headerData(NewNameColumn, Qt::Horizontal, Qt::DisplayRole).toString(),
                 QStringLiteral("Новое имя"));
    }

    // A regular expression with groups: the labels say what the edits hold, the column shows the
    // new names, a pattern that does not compile renames nothing, and Rename makes what was shown.
    void aRegularExpressionMovesTheDateToTheFront()
    {
        QTemporaryDir folder;
        for (const char* name : {"Beach_2026-07-14.jpg", "notes.txt"}) {
            QFile(folder.filePath(QString::fromLatin1(name))).open(QIODevice::WriteOnly);
        }
        const auto window = openWindow();
        window->show();
        QVERIFY(selectAndWait(*window, bytes(folder.path())));
        const ShellListModel& model = control<TStShellListView>(*window, "StShellListView1")->model();
        const auto column = [&model] {
            QStringList rows;
            for (int row = 0; row < model.rowCount(); ++row) {
                const QModelIndex cell = model.index(row, NewNameColumn);
                rows << cell.data().toString() + QStringLiteral(": ") + cell.data(Qt::ToolTipRole).toString();
            }
            return rows;
        };
        control<RadioGroup>(*window, "RadioGroupOptions")->setItemIndex(16);
        QCOMPARE(control<QLabel>(*window, "LabelSymbols")->text(), QStringLiteral("Pattern:"));
        QCOMPARE(control<QLabel>(*window, "LabelReplace")->text(), QStringLiteral("Replace by:"));
        control<QLineEdit>(*window, "EditSymbols")->setText(QStringLiteral("^(\\w+)_([\\d-]+"));
        control<QLineEdit>(*window, "EditReplace")->setText(QStringLiteral("$2 $1"));
        QTRY_VERIFY(column().value(0).startsWith(
            QStringLiteral(": will not be renamed: the pattern is not valid (U_REGEX_MISMATCHED_PAREN")));
        control<QPushButton>(*window, "ButtonRename")->click();
        QCOMPARE(m_messages.size(), 1);
        QVERIFY(m_messages.takeFirst().startsWith(QStringLiteral("The pattern is not valid (")));
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files), (QStringList{"Beach_2026-07-14.jpg", "notes.txt"}));

        control<QLineEdit>(*window, "EditSymbols")->setText(QStringLiteral("^(\\w+)_([\\d-]+)$"));
        QTRY_COMPARE(column(), (QStringList{"2026-07-14 Beach.jpg: will be renamed", "notes.txt: unchanged"}));
        control<QPushButton>(*window, "ButtonRename")->click();
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files), (QStringList{"2026-07-14 Beach.jpg", "notes.txt"}));
        QCOMPARE(window->statusBar()->currentMessage(), QStringLiteral("Renamed 1 file"));
        QVERIFY(m_messages.isEmpty());
    }

    // The window fits a 1024x600 screen, and opens where it closed unless that place is off every screen.
    void theWindowFitsSmallScreensAndComesBackWhereItWas()
    {
        {
            const auto window = openWindow();
            window->show();
            QVERIFY(QTest::qWaitForWindowExposed(window.get()));
            const QSize smallest = window->minimumSizeHint(); // once the style has measured every control
            QVERIFY2(smallest.width() <= 1024 && smallest.height() <= 600,
                     qPrintable(QStringLiteral("%1x%2").arg(smallest.width()).arg(smallest.height())));
            window->resize(smallest);
            QTRY_COMPARE(window->size(), smallest);
            // Squeezed, the panes still end above the status bar.
            auto* upper = control<QWidget>(*window, "SplitterTags");
            QVERIFY(upper->mapTo(window.get(), QPoint(0, upper->height())).y() <= window->statusBar()->y());
            QVERIFY(window->statusBar()->geometry().bottom() < window->height());
            // The options scroll; the buttons that start the commands stay whole in sight.
            for (const char* name : {"ButtonRename", "ButtonSort"}) {
                auto* button = control<QPushButton>(*window, name);
                QCOMPARE(button->visibleRegion().boundingRect(), button->rect());
            }
            window->resize(900, 560);
            window->move(40, 30);
            QTRY_COMPARE(window->size(), QSize(900, 560));
            QCoreApplication::processEvents(); // let the panes take the new size
            auto* panes = control<QSplitter>(*window, "Splitter2");
            panes->setSizes({150, panes->width() - panes->handleWidth() - 150});
            QTRY_COMPARE(panes->sizes().value(0), 150);
            window->close();
        }
        QVERIFY(QFile(settingsPath()).open(QIODevice::ReadOnly));
        {
            const auto window = openWindow();
            window->show();
            QVERIFY(QTest::qWaitForWindowExposed(window.get()));
            QCOMPARE(window->size(), QSize(900, 560));
            QCOMPARE(window->frameGeometry().topLeft(), QPoint(40, 30));
            QCOMPARE(control<QSplitter>(*window, "Splitter2")->sizes().value(0), 150);
            window->close();
        }
        writeSettings("[Window]\nLeft=5000\nTop=-4000\nWidth=700\nHeight=500\n");
        const auto window = openWindow();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        const QRect available = window->screen()->availableGeometry();
        QVERIFY2(available.contains(window->frameGeometry()),
                 qPrintable(QStringLiteral("%1,%2 %3x%4")
                                .arg(window->frameGeometry().x())
                                .arg(window->frameGeometry().y())
                                .arg(window->frameGeometry().width())
                                .arg(window->frameGeometry().height())));
        // Centred by its frame on the screen's free area.
        QVERIFY(std::abs(window->frameGeometry().center().x() - available.center().x()) <= 1);
        QVERIFY(std::abs(window->frameGeometry().center().y() - available.center().y()) <= 1);
    }

    // Alt and a letter open the menus, F2 and Delete act on the selected entry,
    // Ctrl+R renames, and each operation's tool tip shows what it would do.
    void theKeyboardReachesEveryCommand()
    {
        QTemporaryDir scratch;
        qputenv("XDG_DATA_HOME", QFile::encodeName(scratch.filePath(QStringLiteral("data"))));
        const std::string root = bytes(scratch.path()) + "/files";
        QCOMPARE(::mkdir(root.c_str(), 0700), 0);
        for (const char* name : {"/A.txt", "/B.txt"}) {
            std::ofstream(root + name) << "x";
        }
        const auto window = openWindow();
        window->show();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));

        auto* fileMenu = control<QMenu>(*window, "MFile");
        QCOMPARE(fileMenu->title(), QStringLiteral("&File"));
        QCOMPARE(control<QAction>(*window, "MExit")->text(), QStringLiteral("&Exit"));
        QTest::keyClick(window.get(), Qt::Key_F, Qt::AltModifier);
        QTRY_VERIFY(fileMenu->isVisible());
        QTest::keyClick(fileMenu, Qt::Key_Escape);
        QTRY_VERIFY(!fileMenu->isVisible());
        window->activateWindow(); // the offscreen platform leaves the closed menu active
        QVERIFY(QTest::qWaitForWindowActive(window.get()));

        auto* list = control<TStShellListView>(*window, "StShellListView1");
        QVERIFY(selectAndWait(*window, root));
        QTRY_COMPARE(list->model().rowCount(), 2);
        const auto rowOf = [&](const std::string& name) {
            for (int row = 0; row < list->model().rowCount(); ++row) {
                if (list->model().itemOfRow(row).name == name) {
                    return row;
                }
            }
            return -1;
        };
        list->selectRow(rowOf("A.txt"));
        list->reportView()->setFocus();
        QTest::keyClick(list->reportView(), Qt::Key_F2);
        QTRY_VERIFY(QApplication::focusWidget()
                    && QApplication::focusWidget()->parentWidget() == list->reportView()->viewport());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QTRY_VERIFY(QApplication::focusWidget() == list->reportView());

        QTest::keyClick(list->reportView(), Qt::Key_Delete);
        QTRY_VERIFY(!files::isExistingFile(root + "/A.txt"));
        QVERIFY(files::isExistingFile(bytes(scratch.filePath(QStringLiteral("data/Trash/files/A.txt")))));
        QTRY_COMPARE(list->model().rowCount(), 1);

        auto* options = control<RadioGroup>(*window, "RadioGroupOptions");
        options->setItemIndex(static_cast<int>(RenameOption::Counter));
        control<QLineEdit>(*window, "EditReplace")->setText(QStringLiteral("photo"));
        control<NumberEdit>(*window, "EditNumber")->setText(QStringLiteral("7"));
        QCOMPARE(options->itemToolTip(static_cast<int>(RenameOption::Counter)),
                 QStringLiteral("IMG_0412.jpg → photo7.jpg"));
        QCOMPARE(options->itemToolTip(static_cast<int>(RenameOption::LowerCase)),
                 QStringLiteral("IMG_0412.jpg → img_0412.jpg"));
        QCOMPARE(options->itemText(static_cast<int>(RenameOption::Counter)), QStringLiteral("Counter"));

        options->setItemIndex(static_cast<int>(RenameOption::LowerCase));
        QTest::keyClick(window.get(), Qt::Key_R, Qt::ControlModifier);
        QTRY_VERIFY(files::isExistingFile(root + "/b.txt"));
        QCOMPARE(window->statusBar()->currentMessage(), QStringLiteral("Renamed 1 file"));
        qunsetenv("XDG_DATA_HOME");
    }

    // The Latin words of `text` that are no name kept in every language:
    // the tag formats, the program's name, masks, file names, addresses and
    // the photo template's fields.
    static QStringList englishWords(QString text)
    {
        static const QRegularExpression kept(QStringLiteral(
            R"(%\w+%|https?://\S+|\*\.\w+|[\w.-]*\w\.[A-Za-z0-9]+\b|\bID3(v[12])?\b|\b[Mm][Pp]3\b|\bQuorbit\b|\S+@\S+)"));
        static const QRegularExpression latinWord(QStringLiteral("[A-Za-z]{2,}"));
        text.remove(QLatin1Char('&')).replace(kept, QStringLiteral(" "));
        QStringList found;
        for (auto match = latinWord.globalMatch(text); match.hasNext();) {
            found << match.next().captured();
        }
        return found;
    }

    void statusLinesCountInTheLanguageShown_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("renamed");
        QTest::addColumn<QString>("sorted");
        QTest::addColumn<QString>("restored");
        QTest::newRow("English") << "English"
                                 << "Renamed 1 file / 21 folders, 2 not renamed"
                                 << "Sorted 5 files"
                                 << "Restored 1 file, 3 not restored";
        QTest::newRow("Russian") << "Russian"
                                 << "Переименован 1 файл / 21 папка, 2 не переименованы"
                                 << "Отсортировано 5 файлов"
                                 << "Восстановлен 1 файл, 3 не восстановлены";
        // A language file without plural patterns keeps the sentences built from its words.
        QTest::newRow("no patterns") << ""
                                     << "Renamed 1 files / 21 folders, 2 not renamed"
                                     << "Sorted 5 files"
                                     << "Restored 1 files, 3 not restored";
    }

    void statusLinesCountInTheLanguageShown()
    {
        QFETCH(QString, language);
        settings::InterfaceTexts texts = englishTexts();
        if (language.isEmpty()) {
            texts[settings::languageKeyIndex("StringLocale")] = "";
            for (const char* key : {"StringRenamedCount", "StringFoldersCount", "StringNotRenamedCount",
                                    "StringSortedCount", "StringRestoredCount", "StringNotRestoredCount"}) {
                texts[settings::languageKeyIndex(key)] = "";
            }
        } else {
            (void)settings::ApplyLanguage(QUORBIT_LANGUAGE_FOLDER, language.toStdString(), texts);
        }
        const StatusWording wording(texts);
        ReplayResult undo;
        undo.moved = 1;
        undo.skipped.resize(3);
        QFETCH(QString, renamed);
        QFETCH(QString, sorted);
        QFETCH(QString, restored);
        QCOMPARE(wording.renamed(1, 21, 2), renamed);
        QCOMPARE(wording.sorted(5, std::nullopt, 0), sorted);
        QCOMPARE(wording.restored(undo), restored);
    }

    void theRussianInterfaceShowsNoEnglish()
    {
        const auto window = openWindow();
        window->show();
        control<QAction>(*window, "MLangRussian")->trigger();
        QCoreApplication::processEvents(); // the tag edits take their names from their laid-out captions
        window->aboutBox(); // made after the switch, and checked below with the window's own children
        QStringList english;
        const auto check = [&english](const QString& where, const QString& text) {
            if (const QStringList words = englishWords(text); !words.isEmpty()) {
                english << where + QStringLiteral(": ") + text;
            }
        };
        const auto shown = [&](QWidget* widget) {
            const QString where = widget->objectName() + QLatin1Char(' ') + widget->metaObject()->className();
            check(where, widget->accessibleName());
            check(where, widget->accessibleDescription());
            check(where, widget->toolTip());
            if (widget->isWindow()) {
                check(where, widget->windowTitle());
            }
            if (auto* label = qobject_cast<QLabel*>(widget)) {
                check(where, label->text());
            } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
                check(where, button->text());
            } else if (auto* box = qobject_cast<QGroupBox*>(widget)) {
                check(where, box->title());
            } else if (auto* menu = qobject_cast<QMenu*>(widget)) {
                check(where, menu->title());
            } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
                check(where, edit->placeholderText());
            } else if (auto* list = qobject_cast<QListWidget*>(widget)) {
                for (int row = 0; row < list->count(); ++row) {
                    check(where, list->item(row)->text());
                }
            }
        };
        for (QWidget* widget : window->findChildren<QWidget*>()) {
            shown(widget);
        }
        shown(window.get());
        for (const QAction* action : window->findChildren<QAction*>()) {
            check(action->objectName(), action->text());
        }
        // The file types' descriptions; their masks stay as they are.
        const auto* filter = control<TFilterComboBox>(*window, "FilterComboBoxRename");
        QCOMPARE(filter->count(), 6);
        for (int row = 0; row < filter->count(); ++row) {
            check(QStringLiteral("file type"), filter->itemText(row));
        }
        const ShellListModel& model = control<TStShellListView>(*window, "StShellListView1")->model();
        for (int column = 0; column <= NewNameColumn; ++column) {
            check(QStringLiteral("column"), model.headerData(column, Qt::Horizontal, Qt::DisplayRole).toString());
        }
        // The menus and errors are worded from these texts each time.
        const auto* tree = control<TStShellTreeView>(*window, "StShellTreeView1");
        for (const BrowserTexts* texts : {&model.texts(), &tree->shellModel().texts()}) {
            for (const QString& text : texts->columns) {
                check(QStringLiteral("column"), text);
            }
            for (const QString& text :
                 {texts->open, texts->rename, texts->copyPath, texts->moveToTrash, texts->largeIcons, texts->smallIcons,
                  texts->list, texts->details, texts->alreadyExists, texts->notMoved, texts->folderNotCopied,
                  texts->notCopied, texts->invalidName, texts->notTrashed, texts->filesName, texts->foldersName}) {
                check(QStringLiteral("browser"), text);
            }
        }
        QVERIFY2(english.isEmpty(), qPrintable(english.join(QLatin1Char('\n'))));
        // And back: the English words return at once.
        control<QAction>(*window, "MLangEnglish")->trigger();
        QCOMPARE(model.headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("Name"));
        QCOMPARE(filter->itemText(0), QStringLiteral("All Files (*.*)"));
        QCOMPARE(tree->accessibleName(), QStringLiteral("Folders"));
    }
};

QTEST_MAIN(MainWindowTest)
#include "mainwindow_test.moc"
