#include "rename/runhistory.h"

#include "rename/renamerun.h"
#include "rename/sortcommand.h"
#include "tempfolder.h"

#include <filesystem>
#include <fstream>
#include <optional>
#include <set>

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace quorbit {
namespace {

// How the newest run's journal was left; the run renamed "a" to "A" and "b" to "B".
enum class Made {
    Ended,
    RenamedSince, // ended, and B was renamed to "other" since
    AllRenamedSince, // ended, and A and B were renamed to "x" and "y" since
    Stopped, // killed after a to A, its one step whole
    LastStepCut, // killed while its second step, b to B, was written
    FirstStepCut, // killed while its first step was written
    BadChecksum, // ended
    Garbage, // stopped, with garbage after its step
};

// Writes the journal of the run in `folder`, left as `made` says.
std::string writeJournal(const testing::TempFolder& journals, const testing::TempFolder& folder, Made made)
{
    folder.create({"a", "b"});
    std::vector<JournalStep> steps(made == Made::LastStepCut ? 2 : 1);
    for (const std::string name : {"a", "b"}) {
        struct stat status = {};
        EXPECT_EQ(::stat((folder / name).c_str(), &status), 0);
        steps[name == "a" ? 0 : steps.size() - 1].moves.push_back(
            {status.st_ino, 0, folder / name, folder / (name == "a" ? "A" : "B")});
    }
    std::optional<JournalWriter> writer(std::in_place, journals.path(), JournalKind::Rename, folder.path());
    const std::string path = writer->path();
    const auto write = [&](const JournalStep& step, bool cut) {
        const auto before = std::filesystem::file_size(path);
        writer->writeStep(step);
        if (cut) {
            writer.reset();
            std::filesystem::resize_file(path, (before + std::filesystem::file_size(path)) / 2);
        }
    };
    write(steps.front(), made == Made::FirstStepCut);
    if (made != Made::FirstStepCut) {
        std::filesystem::rename(folder / "a", folder / "A");
    }
    if (made == Made::LastStepCut) {
        write(steps.back(), true);
    }
    if (made == Made::Stopped || made == Made::Garbage || made == Made::FirstStepCut || made == Made::LastStepCut) {
        writer.reset();
        std::ofstream(path, std::ios::app) << (made == Made::Garbage ? "garbage\n" : "");
        return path;
    }
    const char* bNow = made == Made::RenamedSince ? "other" : made == Made::AllRenamedSince ? "y" : "B";
    std::filesystem::rename(folder / "b", folder / bNow);
    writer->end(true);
    writer.reset();
    if (made == Made::AllRenamedSince) {
        std::filesystem::rename(folder / "A", folder / "x");
    } else if (made == Made::BadChecksum) {
        std::string bytes = testing::readFile(path);
        char& digit = bytes[bytes.rfind("\nend ") + 5];
        digit = digit == '1' ? '2' : '1';
        testing::writeFile(path, bytes);
    }
    return path;
}

// What the history offers of the newest run, what the user's choice leaves of
// it, and which run an undo takes next, beside an older run that ended.
TEST(RunHistory, OffersEachJournalAndKeepsWhatIsStillOfUse)
{
    using Outcome = HistoryResult::Outcome;
    struct Case {
        const char* what;
        Made made;
        RecoveryChoice choice; // not asked of a journal not offered
        const char* offered; // "undo", "unfinished", "refused" or ""
        Outcome outcome; // of the undo or the recovery
        std::set<std::string> filesAfter;
        const char* undoneNext;
    };
    const Case cases[] = {
        {"ended, undone", Made::Ended, RecoveryChoice::Undo, "undo", Outcome::Done, {"a", "b"}, "older"},
        {"ended, finished", Made::Ended, RecoveryChoice::Finish, "undo", Outcome::NothingToDo, {"A", "B"}, "newest"},
        {"ended, left", Made::Ended, RecoveryChoice::Leave, "undo", Outcome::NothingToDo, {"A", "B"}, "newest"},
        {"undone but one renamed since",
         Made::RenamedSince,
         RecoveryChoice::Undo,
         "undo",
         Outcome::Done,
         {"a", "other"},
         "newest"},
        {"undone, none put back: kept to try again",
         Made::AllRenamedSince,
         RecoveryChoice::Undo,
         "undo",
         Outcome::Done,
         {"x", "y"},
         "newest"},
        {"stopped, undone", Made::Stopped, RecoveryChoice::Undo, "unfinished", Outcome::Done, {"a", "b"}, "older"},
        {"stopped, finished", Made::Stopped, RecoveryChoice::Finish, "unfinished", Outcome::Done, {"A", "B"}, "newest"},
        {"stopped, left", Made::Stopped, RecoveryChoice::Leave, "unfinished", Outcome::Done, {"A", "b"}, "newest"},
        {"last step cut, undone",
         Made::LastStepCut,
         RecoveryChoice::Undo,
         "unfinished",
         Outcome::Done,
         {"a", "b"},
         "older"},
        {"last step cut, finished",
         Made::LastStepCut,
         RecoveryChoice::Finish,
         "unfinished",
         Outcome::Done,
         {"A", "b"},
         "newest"},
        {"last step cut, left",
         Made::LastStepCut,
         RecoveryChoice::Leave,
         "unfinished",
         Outcome::Done,
         {"A", "b"},
         "newest"},
        {"first step cut: nothing done",
         Made::FirstStepCut,
         RecoveryChoice::Undo,
         "",
         Outcome::NothingToDo,
         {"a", "b"},
         "older"},
        {"ended, bad checksum",
         Made::BadChecksum,
         RecoveryChoice::Undo,
         "refused",
         Outcome::Refused,
         {"A", "B"},
         "older"},
        {"stopped, garbage", Made::Garbage, RecoveryChoice::Undo, "refused", Outcome::Refused, {"A", "b"}, "older"},
    };
    for (const Case& row : cases) {
        const testing::TempFolder folder;
        const testing::TempFolder journals;
        const testing::TempFolder olderFolder;
        const std::string olderPath = writeJournal(journals, olderFolder, Made::Ended);
        const std::string newestPath = writeJournal(journals, folder, row.made);
        const auto name = [&](const std::string& path) -> std::string {
            return path == olderPath ? "older" : path == newestPath ? "newest" : path;
        };

        const RunHistory history(journals.path());
        std::string place;
        if (const std::vector<RecordedRun> undoable = history.undoable();
            !undoable.empty() && undoable.front().path == newestPath) {
            place = undoable.front().journal ? "undo" : "refused";
        }
        for (const RecordedRun& run : history.unfinished()) {
            EXPECT_EQ(name(run.path), "newest") << row.what;
            place = run.journal ? "unfinished" : "refused";
        }
        ASSERT_EQ(place, row.offered) << row.what;
        if (!place.empty()) {
            RunProgress progress;
            // Undo Rename takes an ended run; the start-up offer, an unfinished one.
            const HistoryResult result = row.choice == RecoveryChoice::Undo && journalEnded(newestPath)
                ? history.undoNewest(progress)
                : history.recover(newestPath, row.choice, progress);
            EXPECT_EQ(result.outcome, row.outcome) << row.what;
            EXPECT_EQ(name(result.path), "newest") << row.what;
            EXPECT_TRUE(result.recorded) << row.what;
        }

        EXPECT_EQ(folder.list(), row.filesAfter) << row.what;
        EXPECT_TRUE(history.unfinished().empty()) << row.what;
        const std::vector<RecordedRun> next = history.undoable();
        ASSERT_TRUE(!next.empty() && next.front().journal) << row.what;
        EXPECT_EQ(name(next.front().path), row.undoneNext) << row.what;
        // Only the run an undo takes next stays, and a refused journal set aside.
        EXPECT_TRUE(history.keep(1)) << row.what;
        std::set<std::string> kept{row.undoneNext};
        if (place == "refused") {
            kept.insert(newestPath + ".refused");
        }
        std::set<std::string> left;
        for (const std::string& file : journals.list()) {
            left.insert(name(journals / file));
        }
        EXPECT_EQ(left, kept) << row.what;
    }
}

// An undo takes the newest run or none: never the one before it on a guess,
// while another program holds the newest or it did not finish.
TEST(RunHistory, AnUndoTakesNoRunPastTheNewest)
{
    using Outcome = HistoryResult::Outcome;
    const struct {
        const char* what;
        Made made;
        bool heldElsewhere; // another program holds its journal, as an undo or a running run does
        Outcome outcome;
        std::set<std::string> newestFiles;
    } cases[] = {
        {"being undone by another program", Made::Ended, true, Outcome::Busy, {"A", "B"}},
        {"still running", Made::Stopped, true, Outcome::Busy, {"A", "b"}},
        {"stopped: for recover --undo", Made::Stopped, false, Outcome::Unfinished, {"A", "b"}},
    };
    for (const auto& row : cases) {
        const testing::TempFolder journals;
        const testing::TempFolder olderFolder;
        const testing::TempFolder newestFolder;
        writeJournal(journals, olderFolder, Made::Ended);
        const std::string newestPath = writeJournal(journals, newestFolder, row.made);
        std::optional<HeldJournal> elsewhere;
        if (row.heldElsewhere) {
            ASSERT_EQ(elsewhere.emplace(newestPath).status(), HeldJournal::Status::Held);
        }

        const RunHistory history(journals.path());
        RunProgress progress;
        const HistoryResult result = history.undoNewest(progress);
        EXPECT_EQ(result.outcome, row.outcome) << row.what;
        EXPECT_EQ(result.path, newestPath) << row.what;
        if (row.heldElsewhere) {
            EXPECT_EQ(history.recover(newestPath, RecoveryChoice::Undo, progress).outcome, Outcome::Busy) << row.what;
        }
        EXPECT_EQ(newestFolder.list(), row.newestFiles) << row.what;
        EXPECT_EQ(olderFolder.list(), (std::set<std::string>{"A", "B"})) << row.what << ": the older run was undone";
    }
}

// Another program deletes the folder's files once the run has listed them,
// while it works out the new names: every move it planned fails.
class DeletesWhatWasListed : public RunProgress {
public:
    explicit DeletesWhatWasListed(const testing::TempFolder& folder)
        : m_folder(folder)
    {
    }
    bool stopRequested() override
    {
        for (const std::string& name : m_folder.list()) {
            std::filesystem::remove(m_folder / name);
        }
        return false;
    }

private:
    const testing::TempFolder& m_folder;
};

// A run or Sort whose every move failed changed nothing: it leaves no journal
// for an undo to spend itself on, nor to push a real run out of those kept.
TEST(RunHistory, ACommandThatMovedNothingLeavesNoJournal)
{
    const testing::TempFolder journals;
    {
        const testing::TempFolder folder;
        folder.create({"a", "b"});
        RunSettings settings;
        settings.folder = folder.path();
        settings.symbolsText = "x_";
        settings.journalFolder = journals.path();
        DeletesWhatWasListed deleting(folder);
        const RunResult run = RenameRun().run(settings, deleting);
        EXPECT_EQ(run.renamed, 0);
        EXPECT_EQ(run.notRenamed.size(), 2u) << "both moves were planned, and failed";
    }
    {
        const testing::TempFolder folder;
        folder.create({"sub/a.txt", "txt/a.txt"});
        SortSettings settings{folder.path(), ApplyTo::Files, true, "*.*", {}, journals.path()};
        RunProgress noWindow;
        const SortResult sort = sortIntoExtensionFolders(settings, noWindow);
        EXPECT_EQ(sort.moved, 0);
        ASSERT_EQ(sort.notSorted.size(), 1u) << "the move was planned, and found its name taken";
        EXPECT_EQ(sort.notSorted.front().reason, SortSkip::NameTaken);
    }
    EXPECT_EQ(journals.list(), std::set<std::string>{});
}

} // namespace
} // namespace quorbit
