// The window's start-up and a rename of 100,000 files through it, each
// against a floor measured in the same round: a window of the same kinds of
// widgets, none of them at work, started the same way, and a bare renameat2
// loop over as many files. Set against an empty QMainWindow, the floor and two
// more, the empty window with one line of text in its status bar and with a
// menu bar of four titles as well, show what those widgets, any text and any
// menu cost. Then
// what the window holds per entry showing a folder of 100,000 files with their
// new names, each round in a process of its own. Then the Sort button on a
// folder of 100,000 files of a few extensions, against the same renameat2
// floor, with the longest block of the event loop meanwhile. Then the time from
// typing into an option until the New name column shows the new names of a
// folder of 100,000 files. Last, the time from selecting an MP3 file in a
// folder of 10,000 until the tag panel shows its tags. Throughout, the longest
// block of the event loop, also while the window lists the folder, sorts it by
// every column, follows another program renaming every file, and undoes a run.
// The folders are made once: the window's undo, and a bare loop for the floor,
// give the files their names back after each round. Then, on a drive of
// quorbit_testfs that takes 2 ms a call, the longest block while the window
// lists a folder, expands the tree, and waits three seconds for the drive to
// answer again.
//
//   window_bench [file count] [parent folder]
//   window_bench --startup          (the start-up alone)
//   window_bench --stalled-mount    (the drive that stops answering alone)

#include "app/mainwindow.h"
#include "app/radiogroup.h"
#include "benchsupport.h"
#include "browser/shelllistview.h"
#include "browser/shelltreeview.h"
#include "outsidechanges.h"
#include "platform/background.h"
#include "support/testfsmount.h"
#include "tagfiles.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QSplitter>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <malloc.h>
#include <memory>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace quorbit::bench;

constexpr const char* probeArgument = "--probe";
constexpr int startupRounds = 15;
// Of the rename, the Sort, the memory and the preview; fewer on a million
// files, where a round takes minutes.
int roundCount = 3;
// A minute for 100,000 files, and as much more per file beyond.
std::chrono::milliseconds timeLimit{60'000};

// The longest block of the event loop in all the work through the window.
double longestBlockOfAll = 0;
void noteBlock(double milliseconds)
{
    longestBlockOfAll = std::max(longestBlockOfAll, milliseconds);
}

double milliseconds(Clock::duration duration)
{
    return std::chrono::duration<double, std::milli>(duration).count();
}

// The offscreen platform warns of every window that sets size limits; nothing else is dropped.
QtMessageHandler defaultHandler = nullptr;

void dropOffscreenNoise(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (text != QLatin1String("This plugin does not support propagateSizeHints()")) {
        defaultHandler(type, context, text);
    }
}

// ---- start-up ------------------------------------------------------------

// Tells the parent, through stdout, the moment the first paint pass of the
// window has ended, and quits.
class FirstPaint : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (!m_seen && event->type() == QEvent::Paint && watched->isWidgetType()) {
            m_seen = true;
            // Queued, so it runs once the whole pass is painted and flushed.
            QMetaObject::invokeMethod(
                this,
                [] {
                    std::printf("%lld\n", static_cast<long long>(Clock::now().time_since_epoch().count()));
                    std::fflush(stdout);
                    QCoreApplication::exit(0);
                },
                Qt::QueuedConnection);
        }
        return false;
    }

private:
    bool m_seen = false;
};

// The kinds of widgets Quorbit's window shows, none of them at work: a folder
// tree of a few rows beside a file table of five columns, and options that scroll.
QWidget* sameKindsOfWidgets(QWidget* parent)
{
    auto* central = new QWidget(parent);
    auto* row = new QHBoxLayout(central);
    auto* splitter = new QSplitter(Qt::Horizontal, central);
    auto* folders = new QStandardItemModel(splitter);
    for (const QString& name : {QStringLiteral("/"), QStringLiteral("home"), QStringLiteral("tmp"),
                                QStringLiteral("usr"), QStringLiteral("var")}) {
        folders->appendRow(new QStandardItem(name));
    }
    auto* tree = new QTreeView(splitter);
    tree->setModel(folders);
    auto* files = new QStandardItemModel(0, 5, splitter);
    files->setHorizontalHeaderLabels({QStringLiteral("Name"), QStringLiteral("Size"), QStringLiteral("Type"),
                                      QStringLiteral("Modified"), QStringLiteral("Attributes")});
    auto* table = new QTableView(splitter);
    table->setModel(files);
    splitter->setSizes({265, 374});
    row->addWidget(splitter, 1);
    auto* options = new QWidget;
    auto* column = new QVBoxLayout(options);
    for (int radio = 1; radio <= 17; ++radio) {
        column->addWidget(new QRadioButton(QStringLiteral("Operation %1").arg(radio), options));
    }
    for (int edit = 0; edit < 6; ++edit) {
        column->addWidget(new QLineEdit(options));
    }
    auto* scroller = new QScrollArea(central);
    scroller->setWidgetResizable(true);
    scroller->setWidget(options);
    row->addWidget(scroller);
    return central;
}

// A child process: starts as the program does, with the Quorbit window or one
// of the floors of the same size, and reports its first paint. The floors are
// "floor", an empty window; "text", one line in its status bar; "menu", a menu
// bar of four menus as well; "widgets", sameKindsOfWidgets as well.
int probe(int argc, char* argv[])
{
    const bool quorbitWindow = std::strcmp(argv[2], "window") == 0;
    QApplication application(argc, argv);
    FirstPaint firstPaint;
    application.installEventFilter(&firstPaint);
    std::unique_ptr<QMainWindow> window;
    if (quorbitWindow) {
        window = std::make_unique<quorbit::TForm1>(quorbit::WindowPlaces{{argv[3], argv[3]}, argv[4], {}});
    } else {
        window = std::make_unique<QMainWindow>();
        window->resize(970, 684);
        const bool withWidgets = std::strcmp(argv[2], "widgets") == 0;
        const bool withMenu = withWidgets || std::strcmp(argv[2], "menu") == 0;
        if (withMenu || std::strcmp(argv[2], "text") == 0) {
            window->statusBar()->showMessage(QStringLiteral("No folder is selected."));
        }
        if (withMenu) {
            for (const QString& title : {QStringLiteral("&File"), QStringLiteral("&Options"),
                                         QStringLiteral("&Language"), QStringLiteral("&Help")}) {
                window->menuBar()->addMenu(title);
            }
        }
        if (withWidgets) {
            window->setCentralWidget(sameKindsOfWidgets(window.get()));
        }
    }
    window->move(window->screen()->availableGeometry().center() - window->rect().center());
    window->show();
    if (quorbitWindow) {
        static_cast<quorbit::TForm1*>(window.get())->showStartupError();
    }
    return application.exec();
}

std::string selfPath()
{
    char path[4096];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) {
        fail("readlink /proc/self/exe");
    }
    return std::string(path, static_cast<std::size_t>(length));
}

// Milliseconds from fork to the end of the child's first paint.
double startupMilliseconds(const std::string& self, const char* kind, const std::string& settingsFile)
{
    // Every start is a first start.
    unlink(settingsFile.c_str());
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0) {
        fail("pipe2");
    }
    const Clock::time_point start = Clock::now();
    const pid_t child = fork();
    if (child < 0) {
        fail("fork");
    }
    if (child == 0) {
        dup2(pipeEnds[1], STDOUT_FILENO);
        execl(self.c_str(), self.c_str(), probeArgument, kind, settingsFile.c_str(), QUORBIT_LANGUAGE_FOLDER,
              static_cast<char*>(nullptr));
        _exit(127);
    }
    close(pipeEnds[1]);
    std::string output;
    char buffer[64];
    for (ssize_t got; (got = read(pipeEnds[0], buffer, sizeof buffer)) > 0;) {
        output.append(buffer, static_cast<std::size_t>(got));
    }
    close(pipeEnds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || output.empty()) {
        std::fprintf(stderr, "the %s start-up probe failed (status %d)\n", kind, status);
        std::exit(1);
    }
    const Clock::time_point painted{Clock::duration(std::strtoll(output.c_str(), nullptr, 10))};
    return milliseconds(painted - start);
}

void benchmarkStartup(const std::string& scratch)
{
    const std::string self = selfPath();
    const std::string settingsFile = scratch + "/quorbit.ini";
    // One of each first, so both find the libraries in the page cache.
    startupMilliseconds(self, "floor", settingsFile);
    startupMilliseconds(self, "window", settingsFile);
    std::vector<double> floors;
    std::vector<double> texts;
    std::vector<double> menus;
    std::vector<double> widgets;
    std::vector<double> windows;
    for (int round = 0; round < startupRounds; ++round) {
        floors.push_back(startupMilliseconds(self, "floor", settingsFile));
        texts.push_back(startupMilliseconds(self, "text", settingsFile));
        menus.push_back(startupMilliseconds(self, "menu", settingsFile));
        widgets.push_back(startupMilliseconds(self, "widgets", settingsFile));
        windows.push_back(startupMilliseconds(self, "window", settingsFile));
    }
    unlink(settingsFile.c_str());
    std::printf("start-up to first paint, offscreen (median of %d processes each)\n", startupRounds);
    std::printf("startup floor (empty QMainWindow): %.1f ms\n", median(floors));
    std::printf("startup floor with one line of text: %.1f ms\n", median(texts));
    std::printf("startup floor with text and a menu bar: %.1f ms\n", median(menus));
    std::printf("startup floor with the same kinds of widgets: %.1f ms\n", median(widgets));
    std::printf("startup Quorbit window: %.1f ms\n", median(windows));
    // Each floor's start over the empty window's of that round: what its text, menus and widgets cost.
    reportFigure("ratio text window/empty window", roundRatios(texts, floors));
    reportFigure("ratio menu window/empty window", roundRatios(menus, floors));
    reportFigure("ratio same widgets/empty window", roundRatios(widgets, floors));
    // The window's own work: its start over that of the same widgets doing nothing.
    reportFigure("ratio start-up/same widgets", roundRatios(windows, widgets), Goal::atMost(1.2));
}

// ---- rename through the window -------------------------------------------

int countRenamed(const std::string& folder)
{
    int renamed = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        renamed += entry.path().filename().string().starts_with("xphoto_");
    }
    return renamed;
}

template <class Control>
Control* control(const QObject& window, const char* name)
{
    auto* found = window.findChild<Control*>(QString::fromLatin1(name));
    if (!found) {
        std::fprintf(stderr, "the window has no %s\n", name);
        std::exit(1);
    }
    return found;
}

// The turns of the event loop from construction to stop(): how many, and the
// longest gap between two of them or an end.
class LoopTurns {
public:
    LoopTurns()
    {
        QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
        // Only the longest gap is kept: a record of every turn grew while it
        // was measured, and its page faults counted as blocks of the window.
        const auto stamp = [this] {
            const Clock::time_point now = Clock::now();
            m_longestGap = std::max(m_longestGap, milliseconds(now - m_last));
            m_last = now;
            ++m_count;
        };
        m_awake = QObject::connect(dispatcher, &QAbstractEventDispatcher::awake, stamp);
        m_aboutToBlock = QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, stamp);
    }
    LoopTurns(const LoopTurns&) = delete;
    LoopTurns& operator=(const LoopTurns&) = delete;

    // Ends the record; the milliseconds it took.
    double stop()
    {
        QObject::disconnect(m_awake);
        QObject::disconnect(m_aboutToBlock);
        const Clock::time_point now = Clock::now();
        m_longestGap = std::max(m_longestGap, milliseconds(now - m_last));
        return milliseconds(now - m_start);
    }
    double longestGap() const { return m_longestGap; }
    qsizetype count() const { return m_count; }

private:
    Clock::time_point m_start = Clock::now();
    Clock::time_point m_last = m_start;
    double m_longestGap = 0;
    qsizetype m_count = 0;
    QMetaObject::Connection m_awake;
    QMetaObject::Connection m_aboutToBlock;
};

// Lets the list load the folder: all its rows there and no change for a while.
void waitForListing(const quorbit::TStShellListView& list, int count)
{
    const quorbit::ShellListModel& model = list.model();
    const Clock::time_point deadline = Clock::now() + std::chrono::minutes(5);
    Clock::time_point stableSince = Clock::now();
    int rows = -1;
    while (Clock::now() < deadline) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        const int now = model.isListing() ? -1 : model.rowCount();
        if (now != rows) {
            rows = now;
            stableSince = Clock::now();
        } else if (rows == count && Clock::now() - stableSince > std::chrono::milliseconds(500)) {
            return;
        }
    }
    std::fprintf(stderr, "the list showed %d of %d files after 5 minutes\n", rows, count);
    std::exit(1);
}

// The window on `folder`, shown, with its file list holding the `count`
// entries; its messages go to `messages`, and its runs keep their journals
// in `journalFolder` (none when empty).
std::unique_ptr<quorbit::TForm1> windowOn(const std::string& folder, int count, const std::string& settingsFile,
                                          const std::string& journalFolder, QStringList& messages)
{
    auto window = std::make_unique<quorbit::TForm1>(
        quorbit::WindowPlaces{{settingsFile, settingsFile}, QUORBIT_LANGUAGE_FOLDER, journalFolder});
    window->setMessageSink([&messages](const QString& text) { messages << text; });
    window->show();
    LoopTurns turns;
    if (!window->selectFolder(folder)) {
        std::fprintf(stderr, "the window does not offer %s\n", folder.c_str());
        std::exit(1);
    }
    waitForListing(*control<quorbit::TStShellListView>(*window, "StShellListView1"), count);
    const double listed = turns.stop();
    noteBlock(turns.longestGap());
    std::printf("list %d entries in a new window: %.0f ms, longest block %.1f ms\n", count, listed, turns.longestGap());
    return window;
}

struct WindowRound {
    double milliseconds = 0;
    double longestGap = 0; // the command's and its undo's
    double undoMilliseconds = 0;
    qsizetype loopTurns = 0;
    int renamed = 0;
    bool stopped = false;
    QString status;
    QStringList messages;
};

// File ▸ Undo Rename, which gives back the names the window's last command
// took; ends the bench unless `left()` then finds nothing left to undo.
template <class Left>
void undoThroughWindow(const quorbit::TForm1& window, WindowRound& round, const Left& left, const char* what)
{
    LoopTurns turns;
    control<QAction>(window, "MUndo")->trigger();
    round.undoMilliseconds = turns.stop();
    round.longestGap = std::max(round.longestGap, turns.longestGap());
    if (const int leftOver = left(); leftOver != 0) {
        std::fprintf(stderr, "the undo left %d files %s\n", leftOver, what);
        std::exit(1);
    }
}

WindowRound renameThroughWindow(const std::string& folder, const std::string& settingsFile, int count)
{
    WindowRound round;
    // The run keeps its journal, as the program's always does.
    const auto window = windowOn(folder, count, settingsFile, folder + ".journals", round.messages);
    control<quorbit::RadioGroup>(*window, "RadioGroupOptions")->setItemIndex(0); // Add to left
    control<QLineEdit>(*window, "EditSymbols")->setText(QStringLiteral("x"));
    auto* rename = control<QPushButton>(*window, "ButtonRename");

    // A run far past any goal is stopped as the user would stop it: by closing the window.
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, window.get(), [&] {
        round.stopped = true;
        window->close();
    });

    // Every turn of the event loop the run gives the window.
    LoopTurns turns;
    limit.start(timeLimit);
    rename->click();
    round.milliseconds = turns.stop();
    limit.stop();
    round.longestGap = turns.longestGap();
    round.loopTurns = turns.count();
    round.renamed = countRenamed(folder);
    round.status = window->statusBar()->currentMessage();
    if (!round.stopped && round.renamed != count) {
        std::fprintf(stderr, "only %d of %d files renamed in %s\n", round.renamed, count, folder.c_str());
        std::exit(1);
    }
    const auto leftRenamed = [&] { return countRenamed(folder); };
    if (!round.stopped) {
        undoThroughWindow(*window, round, leftRenamed, "renamed");
        window->close();
        return round;
    }
    // The closing window leaves what its run did in the history, and a new
    // one undoes it, as the user would: the files serve the benchmarks that follow.
    QStringList reopenedMessages;
    const auto reopened = windowOn(folder, count, settingsFile, folder + ".journals", reopenedMessages);
    undoThroughWindow(*reopened, round, leftRenamed, "renamed");
    reopened->close();
    return round;
}

// What the rounds of one command through the window gave, round by round.
struct Rounds {
    std::vector<double> floors; // milliseconds
    std::vector<double> windows;
    std::vector<double> undos;
    std::vector<double> longestGaps;
    WindowRound last;
};

// Times `throughWindow` on `windowFolder`, which it leaves as it found it,
// against the bare renameat2 loop on the `count` files of `floorFolder`,
// round after round. The disk is synced before each, so none pays for
// another's writes.
template <class Through>
Rounds timeRounds(int count, const std::string& floorFolder, const std::string& windowFolder, Through throughWindow)
{
    Rounds rounds;
    for (int round = 0; round < roundCount && !rounds.last.stopped; ++round) {
        sync();
        rounds.floors.push_back(renameFloorSeconds(floorFolder, count) * 1000);
        renameEachSeconds(floorFolder, count, addedName, benchFileName);
        sync();
        rounds.last = throughWindow(windowFolder);
        if (!rounds.last.messages.isEmpty()) {
            std::fprintf(stderr, "the window reported: %s\n", qPrintable(rounds.last.messages.join(QLatin1Char('\n'))));
            std::exit(1);
        }
        rounds.windows.push_back(rounds.last.milliseconds);
        rounds.undos.push_back(rounds.last.undoMilliseconds);
        rounds.longestGaps.push_back(rounds.last.longestGap);
        noteBlock(rounds.last.longestGap);
        std::filesystem::remove_all(windowFolder + ".journals");
    }
    return rounds;
}

void benchmarkRename(int count, const std::string& floorFolder, const std::string& folder,
                     const std::string& settingsFile)
{
    const Rounds rounds = timeRounds(count, floorFolder, folder, [&](const std::string& windowFolder) {
        return renameThroughWindow(windowFolder, settingsFile, count);
    });
    unlink(settingsFile.c_str());
    const WindowRound& last = rounds.last;
    if (last.stopped) {
        // Not finished: its time, and so the ratio, is known only from below.
        std::printf("rename %d files through the window: stopped at the %lld s limit after %d files\n", count,
                    static_cast<long long>(timeLimit.count() / 1000), last.renamed);
    } else {
        std::printf("rename %d files through the window (%lld event-loop turns; status bar: \"%s\")\n", count,
                    static_cast<long long>(last.loopTurns), qPrintable(last.status));
    }
    std::printf("rename floor (bare renameat2 loop): %.0f ms\n", median(rounds.floors));
    std::printf("rename through the window (Add to left): %s%.0f ms\n", last.stopped ? "> " : "",
                median(rounds.windows));
    std::printf("undo through the window: %.0f ms\n", median(rounds.undos));
    // Each round's rename, and its undo, over that round's floor.
    reportFigure("ratio rename/floor", roundRatios(rounds.windows, rounds.floors), Goal::atMost(1.5));
    reportFigure("ratio undo/floor", roundRatios(rounds.undos, rounds.floors));
    reportFigure("longest block rename ms", rounds.longestGaps, Goal::atMost(100));
}

// ---- what the window holds per entry ---------------------------------------

struct WindowMemory {
    // Each less the same before, over the entries.
    double residentPerEntry = 0; // the resident set once the New name column is filled
    double peakResidentPerEntry = 0; // the resident set at its highest meanwhile
};

// Turns the event loop until `done()` holds; ends the bench when it does not within timeLimit.
template <class Done>
void turnUntil(const Done& done, const char* what)
{
    const Clock::time_point deadline = Clock::now() + timeLimit;
    while (!done()) {
        if (Clock::now() > deadline) {
            std::fprintf(stderr, "%s: not within %lld s\n", what, static_cast<long long>(timeLimit.count() / 1000));
            std::exit(1);
        }
        QCoreApplication::processEvents();
    }
}

// Whether the New name column of `model` has every one of the `count` files
// createFiles made, the first with `prefix` added.
bool previewShows(const quorbit::ShellListModel& model, int count, const std::string& prefix)
{
    const std::optional<quorbit::EntryPreview> found = model.preview().find(benchFileName(0));
    return model.preview().size() == static_cast<std::size_t>(count) && found
        && found->newName == prefix + benchFileName(0);
}

// A new window on `emptyFolder` turns to `folder` and fills the New name
// column of its `count` files; the memory is read once it has settled.
WindowMemory showInNewWindow(int& argc, char* argv[], const std::string& emptyFolder, const std::string& folder,
                             int count, const std::string& settingsFile)
{
    QApplication application(argc, argv);
    quorbit::platform::freeSmallBlocksAtOnce();
    unlink(settingsFile.c_str());
    quorbit::TForm1 window(quorbit::WindowPlaces{{settingsFile, settingsFile}, QUORBIT_LANGUAGE_FOLDER, {}});
    window.show();
    const auto& list = *control<quorbit::TStShellListView>(window, "StShellListView1");
    if (!window.selectFolder(emptyFolder)) {
        std::fprintf(stderr, "the window does not offer %s\n", emptyFolder.c_str());
        std::exit(1);
    }
    waitForListing(list, 0);
    malloc_trim(0);
    const double residentBefore = residentBytes();
    resetPeakResident();
    window.selectFolder(folder);
    turnUntil([&] { return previewShows(list.model(), count, ""); }, "the New name column");
    ResidentSettling settled;
    turnUntil([&] { return settled(); }, "the memory to settle");
    return {(residentBytes() - residentBefore) / count, (peakResidentMiB() * 1024 * 1024 - residentBefore) / count};
}

// Each round in a process of its own, so that no pages kept from another make
// the figure small; forked while this process has no threads.
void benchmarkMemory(int& argc, char* argv[], const std::string& folder, int count, const std::string& scratch)
{
    const std::string emptyFolder = scratch + "/empty";
    mkdir(emptyFolder.c_str(), 0755);
    std::vector<double> settled;
    std::vector<double> peaks;
    for (int round = 0; round < roundCount; ++round) {
        const WindowMemory memory = inFreshProcess(
            [&] { return showInNewWindow(argc, argv, emptyFolder, folder, count, scratch + "/memory.ini"); });
        settled.push_back(memory.residentPerEntry);
        peaks.push_back(memory.peakResidentPerEntry);
    }
    std::printf("a new window turns to %d entries and shows their new names:\n", count);
    reportFigure("window rss bytes per entry", settled);
    reportFigure("window peak rss bytes per entry", peaks);
}

// ---- Sort through the window ------------------------------------------------

constexpr const char* sortExtensions[] = {"jpg", "png", "txt", "mp3"};

// Creates `count` empty files in `folder`, their extensions taking turns.
void createMixedFiles(const std::string& folder, int count)
{
    for (int i = 0; i < count; ++i) {
        char name[40];
        std::snprintf(name, sizeof name, "photo_%06d.%s", i, sortExtensions[i % std::size(sortExtensions)]);
        const int fd = open((folder + "/" + name).c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
        if (fd < 0) {
            fail("open");
        }
        close(fd);
    }
}

int countSorted(const std::string& folder)
{
    int sorted = 0;
    for (const char* extension : sortExtensions) {
        std::error_code error;
        for (std::filesystem::directory_iterator entry(folder + "/" + extension, error), end; !error && entry != end;
             entry.increment(error)) {
            ++sorted;
        }
    }
    return sorted;
}

WindowRound sortThroughWindow(const std::string& folder, const std::string& settingsFile, int count)
{
    WindowRound round;
    // The Sort keeps its journal, as the program's always does.
    const auto window = windowOn(folder, count, settingsFile, folder + ".journals", round.messages);
    LoopTurns turns;
    control<QPushButton>(*window, "ButtonSort")->click();
    round.milliseconds = turns.stop();
    round.longestGap = turns.longestGap();
    round.loopTurns = turns.count();
    round.renamed = countSorted(folder); // moved into their folders
    round.status = window->statusBar()->currentMessage();
    if (round.renamed != count) {
        std::fprintf(stderr, "only %d of %d files sorted in %s (status bar: \"%s\")\n", round.renamed, count,
                     folder.c_str(), qPrintable(round.status));
        std::exit(1);
    }
    // Its undo brings them out again and removes the folders.
    const auto leftSorted = [&] { return countSorted(folder); };
    undoThroughWindow(*window, round, leftSorted, "sorted");
    window->close();
    return round;
}

void benchmarkSort(int count, const std::string& floorFolder, const std::string& folder,
                   const std::string& settingsFile)
{
    const Rounds rounds = timeRounds(count, floorFolder, folder, [&](const std::string& windowFolder) {
        return sortThroughWindow(windowFolder, settingsFile, count);
    });
    unlink(settingsFile.c_str());
    std::printf("sort %d files of %zu extensions through the window (%lld event-loop turns; status bar: \"%s\")\n",
                count, std::size(sortExtensions), static_cast<long long>(rounds.last.loopTurns),
                qPrintable(rounds.last.status));
    std::printf("sort floor (bare renameat2 loop): %.0f ms\n", median(rounds.floors));
    std::printf("sort through the window: %.0f ms\n", median(rounds.windows));
    // Each round's Sort over that round's floor.
    reportFigure("ratio sort/floor", roundRatios(rounds.windows, rounds.floors));
    reportFigure("longest block sort ms", rounds.longestGaps, Goal::atMost(100));
}

// ---- the New name column ----------------------------------------------------

// Notes the first paint of a widget once armed.
class PaintWatch : public QObject {
public:
    explicit PaintWatch(QWidget* widget) { widget->installEventFilter(this); }
    void arm() { m_armed = true; }
    bool painted() const { return m_painted; }
    bool eventFilter(QObject*, QEvent* event) override
    {
        m_painted = m_painted || (m_armed && event->type() == QEvent::Paint);
        return false;
    }

private:
    bool m_armed = false;
    bool m_painted = false;
};

void benchmarkPreview(int count, const std::string& folder, const std::string& settingsFile)
{
    QStringList messages;
    const auto window = windowOn(folder, count, settingsFile, {}, messages);
    auto* list = control<quorbit::TStShellListView>(*window, "StShellListView1");
    const quorbit::ShellListModel& model = list->model();
    auto* symbols = control<QLineEdit>(*window, "EditSymbols");
    turnUntil([&] { return previewShows(model, count, ""); }, "the first preview");
    // The column in sight, as the user would scroll it, so its change is painted.
    list->reportView()->scrollTo(model.index(0, quorbit::NewNameColumn));
    std::vector<double> times;
    std::vector<double> longestGaps;
    for (int round = 0; round < roundCount; ++round) {
        PaintWatch watch(list->reportView()->viewport());
        const QMetaObject::Connection arming
            = QObject::connect(&model, &QAbstractItemModel::dataChanged, window.get(), [&](const QModelIndex& topLeft) {
                  if (topLeft.column() == quorbit::NewNameColumn && previewShows(model, count, "x")) {
                      watch.arm();
                  }
              });
        LoopTurns turns;
        symbols->insert(QStringLiteral("x"));
        turnUntil([&] { return watch.painted(); }, "the preview of the typed symbol");
        times.push_back(turns.stop());
        longestGaps.push_back(turns.longestGap());
        noteBlock(turns.longestGap());
        QObject::disconnect(arming);
        int shown = 0;
        for (int row = 0; row < model.rowCount(); ++row) {
            shown += model.index(row, quorbit::NewNameColumn).data().toString().startsWith(QLatin1Char('x'));
        }
        if (shown != count) {
            std::fprintf(stderr, "the New name column showed %d of %d new names\n", shown, count);
            std::exit(1);
        }
        // Back to the names as they are, untimed, for the next round.
        symbols->clear();
        turnUntil([&] { return previewShows(model, count, ""); }, "the preview of no symbol");
    }
    window->close();
    std::printf("preview of %d entries, from typing until the New name column is filled:\n", count);
    reportFigure("preview ms", times, Goal::atMost(1000));
    reportFigure("longest block preview ms", longestGaps, Goal::atMost(100));
}

// ---- sorting the list and following outside changes ----------------------

// Ends with every file of `folder` renamed by another program.
void benchmarkBrowsing(int count, const std::string& folder, const std::string& settingsFile)
{
    QStringList messages;
    const auto window = windowOn(folder, count, settingsFile, {}, messages);
    auto* list = control<quorbit::TStShellListView>(*window, "StShellListView1");
    const quorbit::ShellListModel& model = list->model();
    QHeaderView* header = list->reportView()->header();
    const char* const columns[] = {"Name", "Size", "Type", "Modified", "Attributes"};
    // Every column, then its reversal, then back to Name, clicked as the user clicks.
    for (const int column : {1, 1, 2, 2, 3, 3, 4, 4, 0, 0, 0}) {
        const bool reversal = column == model.clickedColumn();
        LoopTurns turns;
        emit header->sectionClicked(column);
        turnUntil([&] { return !model.isSorting(); }, "the sort");
        list->reportView()->viewport()->repaint();
        const double milliseconds = turns.stop();
        noteBlock(turns.longestGap());
        std::printf("%s by %s: %.0f ms until the rows show, longest block %.1f ms\n", reversal ? "reverse" : "sort",
                    columns[column], milliseconds, turns.longestGap());
    }

    const pid_t child = renameAllElsewhere(folder, count);
    // Counted from here: the fork copies this process's page tables, which
    // stalls the window's thread as no other program's renames would.
    LoopTurns turns;
    int status = 0;
    turnUntil([&] { return waitpid(child, &status, WNOHANG) == child; }, "the renaming process");
    // Until the list shows every name renamed, and no listing follows for two seconds.
    Clock::time_point quietSince = Clock::now();
    bool wasListing = true;
    turnUntil(
        [&] {
            if (model.isListing() || wasListing) {
                quietSince = Clock::now();
            }
            wasListing = model.isListing();
            return !model.allItems().empty() && model.allItems().front().name.starts_with("renamed_")
                && Clock::now() - quietSince > std::chrono::seconds(2);
        },
        "the list to show the renamed files");
    turns.stop();
    noteBlock(turns.longestGap());
    std::printf("another program renames all %d files: longest block %.1f ms\n", count, turns.longestGap());
    window->close();
}

// ---- selecting a file for the tag panel ------------------------------------

void benchmarkTagSelection(const std::string& parent, const std::string& settingsFile)
{
    constexpr int fileCount = 10'000;
    constexpr int selections = 25;
    const std::string folder = makeFolder(parent, "select");
    createTaggedFiles(folder, fileCount);
    QStringList messages;
    const auto window = windowOn(folder, fileCount, settingsFile, {}, messages);
    auto* list = control<quorbit::TStShellListView>(*window, "StShellListView1");
    const auto* shownTitle = control<QLineEdit>(*window, "EditTitle2");
    std::vector<double> times;
    for (int i = 0; i < selections; ++i) {
        const int row = (i * 397) % fileCount;
        const QString expected = QString::fromStdString(title(row));
        const Clock::time_point start = Clock::now();
        list->selectRow(row);
        while (shownTitle->text() != expected) {
            QCoreApplication::processEvents();
            if (Clock::now() - start > std::chrono::seconds(5)) {
                std::fprintf(stderr, "the tag panel did not show %s\n", qPrintable(expected));
                std::exit(1);
            }
        }
        QCoreApplication::processEvents(); // the panel painted with the new texts
        times.push_back(milliseconds(Clock::now() - start));
    }
    window->close();
    std::filesystem::remove_all(folder);
    std::printf("select an MP3 file in a folder of %d, until the tag panel shows its tags:\n", fileCount);
    reportFigure("tag panel ms", times, Goal::atMost(20));
}

// ---- a drive that stops answering ---------------------------------------------

void benchmarkStalledMount(const std::string& parent, const std::string& settingsFile)
{
    constexpr int fileCount = 300;
    constexpr int folderCount = 20;
    constexpr auto stall = std::chrono::seconds(3);
    const std::string backing = makeFolder(parent, "drive-backing");
    const std::string mountPoint = makeFolder(parent, "drive");
    const std::string shownBehind = backing + "/shown";
    mkdir(shownBehind.c_str(), 0755);
    createFiles(shownBehind, fileCount);
    for (int i = 0; i < folderCount; ++i) {
        const std::string folder = shownBehind + "/folder" + std::to_string(i);
        mkdir(folder.c_str(), 0755);
        mkdir((folder + "/a").c_str(), 0755);
        mkdir((folder + "/a/inner").c_str(), 0755);
        mkdir((folder + "/b").c_str(), 0755);
    }
    const bool mountable = std::strlen(QUORBIT_TESTFS) > 0 && geteuid() == 0 && access("/dev/fuse", R_OK | W_OK) == 0;
    std::optional<quorbit::testing::TestFsMount> drive;
    if (mountable) {
        drive.emplace(QUORBIT_TESTFS, backing, mountPoint, 2);
    }
    if (!drive || !drive->mounted()) {
        drive.reset();
        std::printf("stalled mount: skipped, quorbit_testfs could not be mounted\n");
        std::filesystem::remove_all(backing);
        std::filesystem::remove_all(mountPoint);
        return;
    }
    const std::string shown = mountPoint + "/shown";
    std::printf("a drive of quorbit_testfs, 2 ms a call:\n");
    QStringList messages;
    auto window = windowOn(shown, fileCount + folderCount, settingsFile, {}, messages);
    auto* tree = control<quorbit::TStShellTreeView>(*window, "StShellTreeView1");
    const quorbit::ShellTreeModel& model = tree->shellModel();
    const QModelIndex shownNode = model.find(shown);

    LoopTurns expanding;
    tree->expand(shownNode);
    turnUntil([&] { return model.rowCount(shownNode) == folderCount; }, "the tree to list the folder");
    for (int row = 0; row < folderCount; ++row) {
        tree->expand(model.index(row, 0, shownNode));
    }
    turnUntil(
        [&] {
            for (int row = 0; row < folderCount; ++row) {
                if (model.rowCount(model.index(row, 0, shownNode)) != 2) {
                    return false;
                }
            }
            return true;
        },
        "the tree to list the sub-folders");
    std::printf("expand %d folders in the tree: %.0f ms, longest block %.1f ms\n", folderCount + 1, expanding.stop(),
                expanding.longestGap());

    // Stalled, the drive is asked again by the tree, the list and a folder
    // chosen below one not listed yet; all of it is in once it answers.
    auto* list = control<quorbit::TStShellListView>(*window, "StShellListView1");
    const std::string chosen = shown + "/folder7/a/inner"; // below a folder the tree has not listed
    drive->stall();
    LoopTurns stalled;
    QKeyEvent refresh(QEvent::KeyPress, Qt::Key_F5, Qt::NoModifier);
    QCoreApplication::sendEvent(tree, &refresh);
    list->Refresh();
    window->selectFolder(chosen);
    const Clock::time_point answerAt = Clock::now() + stall;
    turnUntil([&] { return Clock::now() > answerAt; }, "the stall");
    drive->answer();
    turnUntil([&] { return window->currentFolder() == chosen && !list->model().isListing(); }, "the drive's answer");
    stalled.stop();
    reportFigure("longest block on a stalled mount ms", {stalled.longestGap()}, Goal::atMost(100));

    window->close();
    window.reset();
    drive.reset();
    std::filesystem::remove_all(backing);
    std::filesystem::remove_all(mountPoint);
}

} // namespace

int main(int argc, char* argv[])
{
    defaultHandler = qInstallMessageHandler(dropOffscreenNoise);
    if (argc == 5 && std::strcmp(argv[1], probeArgument) == 0) {
        return probe(argc, argv);
    }
    const bool startupOnly = argc > 1 && std::strcmp(argv[1], "--startup") == 0;
    const bool stalledMountOnly = argc > 1 && std::strcmp(argv[1], "--stalled-mount") == 0;
    const int count = argc > 1 && !startupOnly && !stalledMountOnly ? std::atoi(argv[1]) : 100'000;
    roundCount = count > 200'000 ? 1 : 3;
    timeLimit = std::max(timeLimit, std::chrono::milliseconds(count * 600LL / 1000));
    const std::string parent = parentFolder(argc, argv);
    // No user's settings or configuration take part: an empty home, offscreen.
    const std::string scratch = makeFolder(parent, "home");
    const std::string config = scratch + "/.config";
    const std::string runtime = scratch + "/runtime";
    mkdir(config.c_str(), 0700);
    mkdir(runtime.c_str(), 0700);
    setenv("HOME", scratch.c_str(), 1);
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);

    // The children are started, and the memory measured, before this process has any threads.
    if (!stalledMountOnly) {
        benchmarkStartup(scratch);
    }
    if (startupOnly) {
        std::filesystem::remove_all(scratch);
        return 0;
    }
    // Made once; every round gives the files their names back.
    std::string floorFolder;
    std::string folder;
    std::string sortFolder;
    if (!stalledMountOnly) {
        floorFolder = makeFolder(parent, "floor");
        folder = makeFolder(parent, "window");
        sortFolder = makeFolder(parent, "sort");
        createFiles(floorFolder, count);
        createFiles(folder, count);
        createMixedFiles(sortFolder, count);
        benchmarkMemory(argc, argv, folder, count, scratch);
    }
    QApplication application(argc, argv);
    // As the program's start does.
    quorbit::platform::freeSmallBlocksAtOnce();
    const std::string settingsFile = scratch + "/quorbit.ini";
    if (!stalledMountOnly) {
        benchmarkRename(count, floorFolder, folder, settingsFile);
        benchmarkSort(count, floorFolder, sortFolder, settingsFile);
        std::filesystem::remove_all(floorFolder);
        std::filesystem::remove_all(sortFolder);
        benchmarkPreview(count, folder, settingsFile);
        benchmarkBrowsing(count, folder, settingsFile);
        std::filesystem::remove_all(folder);
        benchmarkTagSelection(parent, settingsFile);
        std::printf("longest block ms at %d: %.0f\n", count, longestBlockOfAll);
    }
    benchmarkStalledMount(parent, settingsFile);
    std::filesystem::remove_all(scratch);
    return 0;
}
