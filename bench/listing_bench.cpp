// The file list on a folder of 100,000 files: the time until it can show its
// rows and its memory, against a floor measured in the same run (readdir and
// lstat of every entry); the time of a sort by each column; the re-listings
// while another process renames every file; and throughout, the longest
// block of the event loop.
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

constexpr int rounds = 3;

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

std::size_t heapInUse()
{
    return mallinfo2().uordblks;
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
    QApplication application(argc, argv);

    quorbit::TStShellListView list;
    list.resize(800, 600);
    list.show();
    quorbit::ShellListModel& model = list.model();
    int listings = 0;
    QObject::connect(&model, &quorbit::ShellListModel::listFilled, [&listings] { ++listings; });

    // ---- listing ----
    std::vector<double> floors;
    std::vector<double> lists;
    std::size_t bytesPerEntry = 0;
    std::vector<double> residentPerEntry;
    BlockWatch blocks;
    double listingBlock = 0;
    for (int round = 0; round < rounds; ++round) {
        floors.push_back(floorMilliseconds(folder));
        list.FillList("/"); // a small folder between rounds, so each round lists afresh
        runUntil([&] { return !model.isListing() && model.folder() == "/"; }, "the root");
        malloc_trim(0);
        const double residentBefore = residentBytes();
        const std::size_t heapBefore = heapInUse();
        const int listingsBefore = listings;
        const Clock::time_point start = Clock::now();
        blocks.start();
        list.FillList(folder);
        runUntil([&] { return listings > listingsBefore && !model.isListing(); }, "the listing");
        lists.push_back(milliseconds(Clock::now() - start));
        listingBlock = std::max(listingBlock, blocks.stop());
        std::size_t nameBytes = 0;
        for (const quorbit::listing::ShellItem& item : model.allItems()) {
            nameBytes += item.name.size();
        }
        const std::size_t heapAfter = heapInUse();
        residentPerEntry.push_back((residentBytes() - residentBefore) / count);
        bytesPerEntry = heapAfter > heapBefore + nameBytes ? (heapAfter - heapBefore - nameBytes) / count : 0;
    }
    if (model.rowCount() != count) {
        std::fprintf(stderr, "the list shows %d of %d files\n", model.rowCount(), count);
        return 1;
    }
    const double floor = median(floors);
    const double listed = median(lists);
    std::printf("listing %d files (median of %d rounds)\n", count, rounds);
    std::printf("floor (readdir + lstat): %.1f ms\n", floor);
    std::printf("list until its rows show: %.1f ms\n", listed);
    std::printf("ratio list/floor: %.2f\n", listed / floor);
    std::printf("heap bytes per entry, names aside (large blocks missed): %zu\n", bytesPerEntry);
    std::printf("rss bytes per entry at %d: %.0f\n", count, median(residentPerEntry));
    std::printf("longest block while listing: %.0f ms\n", listingBlock);

    // ---- scrolling and sorting ----
    QTreeView& view = *list.reportView();
    Clock::time_point start = Clock::now();
    view.verticalScrollBar()->setValue(view.verticalScrollBar()->maximum());
    view.viewport()->repaint();
    std::printf("scroll to the end and paint: %.1f ms\n", milliseconds(Clock::now() - start));
    const char* const columns[] = {"Name", "Size", "Type", "Modified", "Attributes"};
    double longestBlock = listingBlock;
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
