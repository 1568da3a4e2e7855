// The file list on a folder of 100,000 files: the time until it can show its
// rows against a floor measured in the same round (readdir and lstat of every
// entry), and its memory per entry, each round in a process of its own; then
// the time of a sort by each column; the re-listings while another process
// renames every file; and throughout, the longest block of the event loop.
//
//   listing_bench [file count] [parent folder]

#include "benchsupport.h"
#include "browser/shelllistview.h"
#include "outsidechanges.h"
#include "platform/background.h"

#include <QApplication>
#include <QEventLoop>
#include <QScrollBar>
#include <QTimer>
#include <QTreeView>

#include <dirent.h>
#include <filesystem>
#include <malloc.h>
#include <sys/stat.h>
#include <sys/wait.h>

namespace {

using namespace quorbit::bench;

constexpr int listingRounds = 5;

double milliseconds(Clock::duration duration)
{
    return std::chrono::duration<double, std::milli>(duration).count();
}

// The floor: every entry read and looked at, as any listing must.
double floorMilliseconds(const std::string& folder)
{
    const Clock::time_point start = Clock::now();
    DIR* dir = opendir(folder.c_str());
    if (!dir) {
        fail("opendir");
    }
    while (const dirent* entry = readdir(dir)) {
        struct stat status {};
        fstatat(dirfd(dir), entry->d_name, &status, AT_SYMLINK_NOFOLLOW);
    }
    closedir(dir);
    return milliseconds(Clock::now() - start);
}

// Runs the event loop until `done` holds, for at most a few minutes. The loop
// sleeps between looks, so it takes no processor from the listing.
template <class Condition>
void runUntil(Condition done, const char* what)
{
    const Clock::time_point deadline = Clock::now() + std::chrono::minutes(3);
    QEventLoop loop;
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, [&] {
        if (done()) {
            loop.quit();
        } else if (Clock::now() > deadline) {
            std::fprintf(stderr, "gave up waiting for %s\n", what);
            std::exit(1);
        }
    });
    look.start(2);
    if (!done()) {
        loop.exec();
    }
}

// A timer that should fire every few milliseconds: how late it comes is how
// long the event loop was kept from its turn.
class BlockWatch {
public:
    BlockWatch()
    {
        m_ticker.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_ticker, &QTimer::timeout, [this] {
            const Clock::time_point now = Clock::now();
            m_longest = std::max(m_longest, milliseconds(now - m_lastTick) - tickMs);
            m_lastTick = now;
        });
    }
    // Starts a new record.
    void start()
    {
        m_longest = 0;
        m_lastTick = Clock::now();
        m_ticker.start(tickMs);
    }
    // The longest block since start().
    double stop()
    {
        m_ticker.stop();
        m_longest = std::max(m_longest, milliseconds(Clock::now() - m_lastTick) - tickMs);
        return m_longest;
    }

private:
    static constexpr int tickMs = 2;
    QTimer m_ticker;
    Clock::time_point m_lastTick;
    double m_longest = 0;
};

// The heap in use, large blocks (mapped on their own) included.
double heapInUse()
{
    const struct mallinfo2 heap = mallinfo2();
    return static_cast<double>(heap.uordblks + heap.hblkhd);
}

// What one listing of the folder measured, in a process that did nothing else.
struct ListingRound {
    double floorMs = 0;
    double listMs = 0;
    double longestBlockMs = 0;
    // Each less the same before the listing, over the entries.
    double residentPerEntry = 0; // the resident set once the listing is done
    double peakResidentPerEntry = 0; // the resident set at its highest while listing
    double heapPerEntry = 0; // the heap in use once done, the names' own bytes aside
};

// Lists `folder` in a new list, after the root so that the list's threads and
// caches are there before; the memory is read once it has settled.
ListingRound listOnce(int& argc, char* argv[], const std::string& folder, int count)
{
    QApplication application(argc, argv);
    quorbit::TStShellListView list;
    list.resize(800, 600);
    list.show();
    const quorbit::ShellListModel& model = list.model();
    int listings = 0;
    QObject::connect(&model, &quorbit::ShellListModel::listFilled, [&listings] { ++listings; });
    ListingRound round;
    round.floorMs = floorMilliseconds(folder);
    list.FillList("/");
    runUntil([&] { return !model.isListing() && model.folder() == "/"; }, "the root");
    malloc_trim(0);
    const double residentBefore = residentBytes();
    const double heapBefore = heapInUse();
    resetPeakResident();
    BlockWatch blocks;
    const int listingsBefore = listings;
    const Clock::time_point start = Clock::now();
    blocks.start();
    list.FillList(folder);
    runUntil([&] { return listings > listingsBefore && !model.isListing(); }, "the listing");
    round.listMs = milliseconds(Clock::now() - start);
    round.longestBlockMs = blocks.stop();
    runUntil(ResidentSettling(), "the memory to settle");
    if (model.rowCount() != count) {
        std::fprintf(stderr, "the list shows %d of %d files\n", model.rowCount(), count);
        std::exit(1);
    }
    double nameBytes = 0;
    for (const quorbit::listing::ShellItem& item : model.allItems()) {
        nameBytes += static_cast<double>(item.name.size());
    }
    round.heapPerEntry = (heapInUse() - heapBefore - nameBytes) / count;
    round.residentPerEntry = (residentBytes() - residentBefore) / count;
    round.peakResidentPerEntry = (peakResidentMiB() * 1024 * 1024 - residentBefore) / count;
    return round;
}

// One figure of every round.
template <class Figure>
std::vector<double> each(const std::vector<ListingRound>& rounds, Figure figure)
{
    std::vector<double> figures;
    for (const ListingRound& round : rounds) {
        figures.push_back(figure(round));
    }
    return figures;
}

} // namespace

int main(int argc, char* argv[])
{
    const int count = argc > 1 ? std::atoi(argv[1]) : 100'000;
    const std::string parent = parentFolder(argc, argv);
    // As the program's start does.
    quorbit::platform::freeSmallBlocksAtOnce();
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const std::string folder = makeFolder(parent, "listing");
    createFiles(folder, count);

    // ---- listing, each round in a process of its own, forked before this one has threads ----
    std::vector<ListingRound> rounds;
    for (int round = 0; round < listingRounds; ++round) {
        rounds.push_back(inFreshProcess([&] { return listOnce(argc, argv, folder, count); }));
    }
    std::printf("listing %d files, each round in a new process\n", count);
    std::printf("floor (readdir + lstat): %.1f ms\n", median(each(rounds, [](auto& r) { return r.floorMs; })));
    std::printf("list until its rows show: %.1f ms\n", median(each(rounds, [](auto& r) { return r.listMs; })));
    // Each round's listing over that round's floor.
    reportFigure("ratio list/floor", each(rounds, [](auto& r) { return r.listMs / r.floorMs; }));
    reportFigure("rss bytes per entry", each(rounds, [](auto& r) { return r.residentPerEntry; }));
    reportFigure("peak rss bytes per entry", each(rounds, [](auto& r) { return r.peakResidentPerEntry; }));
    reportFigure("heap bytes per entry, names aside", each(rounds, [](auto& r) { return r.heapPerEntry; }));
    const std::vector<double> listingBlocks = each(rounds, [](auto& r) { return r.longestBlockMs; });
    reportFigure("longest block while listing ms", listingBlocks);

    QApplication application(argc, argv);
    quorbit::TStShellListView list;
    list.resize(800, 600);
    list.show();
    quorbit::ShellListModel& model = list.model();
    int listings = 0;
    QObject::connect(&model, &quorbit::ShellListModel::listFilled, [&listings] { ++listings; });
    list.FillList(folder);
    runUntil([&] { return listings > 0 && !model.isListing(); }, "the listing");
    BlockWatch blocks;

    // ---- scrolling and sorting ----
    QTreeView& view = *list.reportView();
    Clock::time_point start = Clock::now();
    view.verticalScrollBar()->setValue(view.verticalScrollBar()->maximum());
    view.viewport()->repaint();
    std::printf("scroll to the end and paint: %.1f ms\n", milliseconds(Clock::now() - start));
    const char* const columns[] = {"Name", "Size", "Type", "Modified", "Attributes"};
    double longestBlock = *std::max_element(listingBlocks.begin(), listingBlocks.end());
    // Every column, then its reversal, then back to Name.
    for (const int column : {1, 1, 2, 2, 3, 3, 4, 4, 0, 0, 0}) {
        const bool reversal = column == model.clickedColumn();
        start = Clock::now();
        blocks.start();
        model.ColClick(column);
        runUntil([&] { return !model.isSorting(); }, "the sort");
        view.viewport()->repaint();
        const double block = blocks.stop();
        longestBlock = std::max(longestBlock, block);
        std::printf("%s by %s: %.1f ms until the rows show, longest block %.1f ms\n", reversal ? "reverse" : "sort",
                    columns[column], milliseconds(Clock::now() - start), block);
    }

    // ---- a burst of outside changes ----
    const int listingsBefore = listings;
    const pid_t child = renameAllElsewhere(folder, count);
    // Counted from here: the fork copies this process's page tables, which
    // stalls the window's thread as no other program's renames would.
    blocks.start();
    int status = 0;
    runUntil([&] { return waitpid(child, &status, WNOHANG) == child; }, "the renaming process");
    // The list ends on the final state: every name renamed, and then quiet.
    Clock::time_point quietSince = Clock::now();
    int seen = listings;
    runUntil(
        [&] {
            if (listings != seen || model.isListing()) {
                seen = listings;
                quietSince = Clock::now();
            }
            const auto& items = model.allItems();
            return !items.empty() && items.front().name.starts_with("renamed_")
                && Clock::now() - quietSince > std::chrono::seconds(2);
        },
        "the list to show the renamed files");
    std::printf("burst: another process renames all %d files\n", count);
    const double burstBlock = blocks.stop();
    longestBlock = std::max(longestBlock, burstBlock);
    std::printf("re-listings: %d, longest block %.0f ms\n", listings - listingsBefore, burstBlock);
    std::printf("longest block ms at %d: %.0f\n", count, longestBlock);

    std::filesystem::remove_all(folder);
    return 0;
}
