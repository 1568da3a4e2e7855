#include "rename/journal.h"
#include "rename/journalreplay.h"
#include "rename/renamerun.h"
#include "tempfolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <new>
#include <random>

#include <csignal>
#include <sys/mman.h>
#include <sys/ptrace.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quorbit {
namespace {

using testing::TempFolder;

constexpr int kFileCount = 10'000;

// Counts the moves the run has tried, in memory the parent shares.
class CountingProgress : public RunProgress {
public:
    explicit CountingProgress(std::atomic<int>* movesTried)
        : m_movesTried(movesTried)
    {
    }
    // Called once after each move, and once more when the folder is done.
    void setProgressPosition(int) override { m_movesTried->fetch_add(1, std::memory_order_relaxed); }

private:
    std::atomic<int>* m_movesTried;
};

// One kind of run over the folder's files, with the name each file gets.
struct Kind {
    const char* what;
    RenameOption option;
    const char* symbols;
    const char* number;
    bool byTags; // the new names come from the tag source
    std::map<std::string, std::string> renamed; // every file by name, with its new name
};

// The i-th file's name, 1 <= i <= kFileCount: "00001.mp3" and on.
std::string fileName(int i, const char* prefix = "")
{
    char name[32];
    std::snprintf(name, sizeof name, "%s%05d.mp3", prefix, i);
    return name;
}

std::vector<Kind> kinds()
{
    Kind addToLeft{"Add to left", RenameOption::AddToLeft, "x_", "1", false, {}};
    // Each file takes the next one's name: one chain through the whole folder.
    Kind chain{"a chain of counters", RenameOption::Counter, "", "2", false, {}};
    // Names from tags that swap a pair and turn the next three around, in
    // every five files: each cycle passes through a name aside.
    Kind cycles{"swaps and cycles of three", RenameOption::AddToLeft, "", "1", true, {}};
    constexpr int next[5] = {1, 0, 3, 4, 2};
    for (int i = 1; i <= kFileCount; ++i) {
        addToLeft.renamed[fileName(i)] = fileName(i, "x_");
        chain.renamed[fileName(i)] = fileName(i + 1);
        const int block = (i - 1) / 5 * 5;
        cycles.renamed[fileName(i)] = fileName(block + next[(i - 1) % 5] + 1);
    }
    return {std::move(addToLeft), std::move(chain), std::move(cycles)};
}

// Every file of the folder with its content, which is the name it was made with.
std::map<std::string, std::string> contents(const TempFolder& folder)
{
    std::map<std::string, std::string> found;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
        const std::string name = entry.path().filename().string();
        found[name] = folder.contentOf(name);
    }
    return found;
}

// The first name where `found` differs from `expected`, told for the failure message.
std::string firstDifference(const std::map<std::string, std::string>& found,
                            const std::map<std::string, std::string>& expected)
{
    for (const auto& [name, content] : expected) {
        const auto entry = found.find(name);
        if (entry == found.end()) {
            return name + " is missing (was " + content + ")";
        }
        if (entry->second != content) {
            return name + " holds " + entry->second + " instead of " + content;
        }
    }
    for (const auto& [name, content] : found) {
        if (!expected.contains(name)) {
            return name + " is left over (was " + content + ")";
        }
    }
    return {};
}

// A counter in memory that a forked child shares with its parent.
class SharedCounter {
public:
    SharedCounter()
    {
        void* memory
            = ::mmap(nullptr, sizeof(std::atomic<int>), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
        m_counter = memory == MAP_FAILED ? nullptr : new (memory) std::atomic<int>(0);
    }
    ~SharedCounter()
    {
        if (m_counter) {
            ::munmap(m_counter, sizeof(std::atomic<int>));
        }
    }
    SharedCounter(const SharedCounter&) = delete;
    SharedCounter& operator=(const SharedCounter&) = delete;

    std::atomic<int>* get() const { return m_counter; }

private:
    std::atomic<int>* m_counter = nullptr;
};

// A run killed at any moment is put back by its journal, or finished, and
// loses no file: the kill comes after a random number of moves, plus a
// random few microseconds, so it lands inside moves and notes too.
TEST(JournalCrash, ARunKilledAtRandomIsUndoneOrFinishedWhole)
{
    const char* seedText = std::getenv("QUORBIT_CRASH_SEED");
    const std::uint32_t seed = seedText ? static_cast<std::uint32_t>(std::strtoul(seedText, nullptr, 10)) : 20240611;
    std::printf("seed %u (set QUORBIT_CRASH_SEED to try another)\n", seed);
    std::mt19937 random(seed);
    const SharedCounter counter;
    std::atomic<int>* movesTried = counter.get();
    ASSERT_TRUE(movesTried);

    // Every round starts from the same files: undone, or finished and then undone.
    const TempFolder folder;
    std::map<std::string, std::string> before;
    for (int i = 1; i <= kFileCount; ++i) {
        testing::writeFile(folder / fileName(i), fileName(i));
        before[fileName(i)] = fileName(i);
    }
    const std::vector<Kind> runs = kinds();
    const std::pair<int, bool> rounds[] = {{0, true},  {0, false}, {1, true}, {1, false}, {2, true},
                                           {2, false}, {2, true},  {0, true}, {1, true},  {2, false}};
    int killed = 0;
    for (std::size_t number = 0; number < std::size(rounds); ++number) {
        const Kind& kind = runs[static_cast<std::size_t>(rounds[number].first)];
        const bool undo = rounds[number].second;
        // A cycle adds its move aside to the moves of its files.
        const int moveCount = kind.byTags ? kFileCount + kFileCount / 5 * 2 : kFileCount;
        const int killAfter = std::uniform_int_distribution<int>(1, moveCount)(random);
        const int delayMicroseconds = std::uniform_int_distribution<int>(0, 50)(random);
        SCOPED_TRACE(::testing::Message() << "seed " << seed << ", round " << number << ": " << kind.what << ", "
                                          << (undo ? "undone" : "finished") << ", killed after " << killAfter
                                          << " moves and " << delayMicroseconds << " us");
        std::map<std::string, std::string> after;
        for (const auto& [name, newName] : kind.renamed) {
            after[newName] = name;
        }
        const TempFolder journals;
        RunSettings settings;
        settings.folder = folder.path();
        settings.option = kind.option;
        settings.symbolsText = kind.symbols;
        settings.numberText = kind.number;
        settings.journalFolder = journals.path();
        TagNameSource tags;
        if (kind.byTags) {
            tags = [&kind](const files::Folder&, const std::string& name) {
                return std::optional<std::string>(kind.renamed.at(name));
            };
        }

        movesTried->store(0);
        const pid_t child = ::fork();
        if (child == 0) {
            CountingProgress progress(movesTried);
            RenameRun run;
            const RunResult result = run.run(settings, progress, tags);
            ::_exit(result.outcome == RunResult::Outcome::Done ? 0 : 1);
        }
        ASSERT_GT(child, 0);
        int status = 0;
        pid_t reaped = 0;
        while (reaped == 0 && movesTried->load(std::memory_order_relaxed) < killAfter) {
            reaped = ::waitpid(child, &status, WNOHANG);
        }
        if (reaped == 0) {
            const auto start = std::chrono::steady_clock::now();
            while (std::chrono::steady_clock::now() - start < std::chrono::microseconds(delayMicroseconds)) {}
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
        }
        ASSERT_TRUE(WIFEXITED(status) ? WEXITSTATUS(status) == 0 : WTERMSIG(status) == SIGKILL);

        const std::vector<std::string> paths = journalFiles(journals.path());
        ASSERT_EQ(paths.size(), 1u);
        const JournalRead read = readJournal(paths.back());
        ASSERT_TRUE(read.journal) << "refused: " << static_cast<int>(read.fault);
        // The kill can come after the end mark, on the child's way out. The
        // progress is reset once after the last move, before that mark.
        const bool allMade = movesTried->load() > moveCount;
        EXPECT_TRUE(read.journal->ended ? allMade : !WIFEXITED(status));
        killed += !read.journal->ended;
        EXPECT_EQ(read.journal->moveCount(), static_cast<std::size_t>(moveCount));

        RunProgress progress;
        const ReplayResult replayed = undo ? undoJournal(*read.journal, progress)
                                           : finishJournal(*read.journal, HeldJournal(paths.back()), progress);
        EXPECT_TRUE(replayed.completed);
        EXPECT_TRUE(replayed.skipped.empty())
            << replayed.skipped.size() << " skipped, the first " << replayed.skipped.front().path;
        // A lost, doubled or swapped file, or one left aside, shows here.
        ASSERT_EQ(firstDifference(contents(folder), undo ? before : after), "");
        if (!undo) {
            undoJournal(*read.journal, progress);
            ASSERT_EQ(firstDifference(contents(folder), before), "") << "undone after it was finished";
        }
    }
    std::printf("%d of %zu runs killed before they ended\n", killed, std::size(rounds));
}

// The calls that change what is on the disk: the journal's writes and syncs, the moves.
bool changesDisk(unsigned long long call)
{
    constexpr unsigned long long calls[]
        = {SYS_write,     SYS_pwrite64, SYS_writev,    SYS_fsync,  SYS_fdatasync, SYS_sync_file_range,
           SYS_ftruncate, SYS_renameat, SYS_renameat2, SYS_linkat, SYS_unlinkat,  SYS_mkdirat};
    return std::find(std::begin(calls), std::end(calls), call) != std::end(calls);
}

struct TracedRun {
    bool traced = true; // false where this system lets no process trace another
    int calls = 0; // the calls that change the disk, up to the kill
    bool killed = false;
};

// Runs `work` in a child process and kills it on its way into its `killAt`-th
// call that changes the disk, so that call is not made: every kill point is
// reached exactly, with no race.
TracedRun runKilledAt(int killAt, const std::function<void()>& work)
{
    const pid_t child = ::fork();
    if (child == 0) {
        if (::ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) == 0) {
            ::raise(SIGSTOP);
            work();
        }
        ::_exit(0);
    }
    TracedRun run;
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFSTOPPED(status)) {
        run.traced = false;
        return run;
    }
    ::ptrace(PTRACE_SETOPTIONS, child, nullptr, PTRACE_O_TRACESYSGOOD | PTRACE_O_EXITKILL);
    int signal = 0; // passed on to the child, but for the first stop
    while (true) {
        ::ptrace(PTRACE_SYSCALL, child, nullptr, signal);
        ::waitpid(child, &status, 0);
        if (WIFEXITED(status) || WIFSIGNALED(status)) {
            return run;
        }
        signal = WSTOPSIG(status) == (SIGTRAP | 0x80) ? 0 : WSTOPSIG(status);
        __ptrace_syscall_info info{};
        if (signal == 0 && ::ptrace(PTRACE_GET_SYSCALL_INFO, child, sizeof info, &info) > 0
            && info.op == PTRACE_SYSCALL_INFO_ENTRY && changesDisk(info.entry.nr) && ++run.calls == killAt) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
            run.killed = true;
            return run;
        }
    }
}

// Every entry below `root` by relative path, with a file's content ("/" for a folder).
std::map<std::string, std::string> tree(const std::string& root)
{
    std::map<std::string, std::string> entries;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        const std::string relative = std::filesystem::relative(entry.path(), root).string();
        entries[relative] = entry.is_directory() ? "/" : testing::readFile(entry.path());
    }
    return entries;
}

// A sub-folder run killed at each of its writes, syncs and moves, and a finish
// of it killed at each of its own, is finished into exactly what the run makes
// uninterrupted, or undone into exactly what was there before. Random names of
// files and folders at every depth make each folder's names hang on every
// folder planned before it, so a finish must draw where the run stopped.
TEST(JournalCrash, ASubFolderRunKilledAtEveryWriteIsFinishedOrUndoneExactly)
{
    const TempFolder parent;
    const std::string root = parent / "root";
    const std::string journals = parent / "journals";
    const auto makeTree = [&] {
        std::filesystem::remove_all(root);
        std::filesystem::remove_all(journals);
        for (const char* name : {"a.txt", "b.txt", "keep.dat", "one/x.txt", "one/y.txt", "one/two/p.txt",
                                 "one/two/q.txt", "one/two/three/m.txt", "one/empty/", "zed/k.txt"}) {
            const std::filesystem::path path = root + "/" + name;
            std::filesystem::create_directories(name[std::strlen(name) - 1] == '/' ? path : path.parent_path());
            if (!path.filename().empty()) {
                testing::writeFile(path, name);
            }
        }
    };
    RunSettings settings;
    settings.folder = root;
    settings.option = RenameOption::RandomSymbols;
    settings.numberText = "3";
    settings.applyTo = ApplyTo::Both;
    settings.subfolders = true;
    settings.mask = "*.txt";
    settings.journalFolder = journals;
    const auto rename = [&] {
        RunProgress noWindow;
        RenameRun().run(settings, noWindow);
    };
    const auto finish = [&] {
        RunProgress noWindow;
        const std::string journal = journalFiles(journals).back();
        finishJournal(*readJournal(journal).journal, HeldJournal(journal), noWindow);
    };

    makeTree();
    const auto before = tree(root);
    const TracedRun whole = runKilledAt(INT_MAX, rename);
    if (!whole.traced) {
        GTEST_SKIP() << "this system lets no process trace another";
    }
    const auto after = tree(root);
    ASSERT_NE(after, before);
    EXPECT_EQ(readJournal(journalFiles(journals).back()).journal->steps.size(), 6u)
        << "a step for every folder, \"one/empty\" with nothing to rename too";

    struct Round {
        int runKilledAt;
        bool undo;
        int finishKilledAt; // 0: the finish runs whole
    };
    std::vector<Round> rounds;
    for (int call = 1; call <= whole.calls; ++call) {
        rounds.push_back({call, false, 0});
        rounds.push_back({call, true, 0});
    }
    // Killed while the plan of its second folder is written, the run leaves
    // nearly everything to the finish, and a step cut short at its journal's end.
    const int early = 8;
    makeTree();
    runKilledAt(early, rename);
    const TracedRun wholeFinish = runKilledAt(INT_MAX, finish);
    for (int call = 1; call <= wholeFinish.calls; ++call) {
        rounds.push_back({early, false, call});
    }

    for (const Round& round : rounds) {
        SCOPED_TRACE(::testing::Message()
                     << "run killed at call " << round.runKilledAt << ", " << (round.undo ? "undone" : "finished")
                     << ", finish killed at call " << round.finishKilledAt);
        makeTree();
        if (!runKilledAt(round.runKilledAt, rename).killed) {
            // Built with the sanitizers, a run may make a few calls fewer than
            // the one measured; not killed, it must have done the whole job.
            ASSERT_EQ(tree(root), after);
            continue;
        }
        const std::vector<std::string> paths = journalFiles(journals);
        ASSERT_EQ(paths.size(), 1u);
        JournalRead read = readJournal(paths.back());
        if (!read.journal) {
            // Killed before its header was whole: the run had not begun.
            ASSERT_EQ(tree(root), before);
            continue;
        }
        RunProgress progress;
        if (round.undo) {
            EXPECT_TRUE(undoJournal(*read.journal, progress).skipped.empty());
            ASSERT_EQ(tree(root), before);
            continue;
        }
        if (round.finishKilledAt != 0) {
            if (!runKilledAt(round.finishKilledAt, finish).killed) {
                ASSERT_EQ(tree(root), after); // as for the run above
                continue;
            }
            read = readJournal(paths.back());
            ASSERT_TRUE(read.journal);
        }
        const ReplayResult finished = finishJournal(*read.journal, HeldJournal(paths.back()), progress);
        EXPECT_TRUE(finished.completed);
        EXPECT_TRUE(finished.skipped.empty()) << "the first skipped: " << finished.skipped.front().path;
        ASSERT_EQ(tree(root), after);
        // The finish's own steps are in the journal: the undo puts back the whole run.
        read = readJournal(paths.back());
        ASSERT_TRUE(read.journal);
        EXPECT_TRUE(undoJournal(*read.journal, progress).skipped.empty());
        ASSERT_EQ(tree(root), before);
    }
}

} // namespace
} // namespace quorbit
