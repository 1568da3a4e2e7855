#include "rename/runhistory.h"

#include "rename/renamerun.h"
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
enum class Choice { Undo, Finish, Leave };

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
    writer->end();
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
    struct Case {
        const char* what;
        Made made;
        Choice choice; // not asked of a journal refused or not offered
        const char* offered; // "undo", "unfinished", "refused" or ""
        std::set<std::string> filesAfter;
        const char* undoneNext;
    };
    const Case cases[] = {
        {"ended, undone", Made::Ended, Choice::Undo, "undo", {"a", "b"}, "older"},
        {"ended, finished", Made::Ended, Choice::Finish, "undo", {"A", "B"}, "newest"},
        {"ended, left", Made::Ended, Choice::Leave, "undo", {"A", "B"}, "newest"},
        {"undone but one renamed since", Made::RenamedSince, Choice::Undo, "undo", {"a", "other"}, "newest"},
        {"undone, none put back: kept to try again", Made::AllRenamedSince, Choice::Undo, "undo", {"x", "y"}, "newest"},
        {"stopped, undone", Made::Stopped, Choice::Undo, "unfinished", {"a", "b"}, "older"},
        {"stopped, finished", Made::Stopped, Choice::Finish, "unfinished", {"A", "B"}, "newest"},
        {"stopped, left", Made::Stopped, Choice::Leave, "unfinished", {"A", "b"}, "newest"},
        {"last step cut, undone", Made::LastStepCut, Choice::Undo, "unfinished", {"a", "b"}, "older"},
        {"last step cut, finished", Made::LastStepCut, Choice::Finish, "unfinished", {"A", "b"}, "newest"},
        {"last step cut, left", Made::LastStepCut, Choice::Leave, "unfinished", {"A", "b"}, "newest"},
        {"first step cut: nothing done", Made::FirstStepCut, Choice::Undo, "", {"a", "b"}, "older"},
        {"ended, bad checksum", Made::BadChecksum, Choice::Undo, "refused", {"A", "B"}, "older"},
        {"stopped, garbage", Made::Garbage, Choice::Undo, "refused", {"A", "b"}, "older"},
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
        std::optional<RecordedRun> offered = history.newestUndoable();
        std::string place = offered && offered->path == newestPath ? "undo" : "";
        for (RecordedRun& run : history.unfinished()) {
            EXPECT_EQ(name(run.path), "newest") << row.what;
            offered = std::move(run);
            place = "unfinished";
        }
        place = !place.empty() && !offered->journal ? "refused" : place;
        ASSERT_EQ(place, row.offered) << row.what;
        RunProgress progress;
        if (place == "refused") {
            EXPECT_TRUE(history.refused(offered->path)) << row.what;
        } else if (!place.empty() && row.choice == Choice::Undo) {
            history.undone(*offered->journal, undoJournal(*offered->journal, progress));
        } else if (!place.empty() && row.choice == Choice::Finish) {
            history.finished(*offered->journal, finishJournal(*offered->journal, progress));
        } else if (!place.empty()) {
            history.left(*offered->journal);
        }

        EXPECT_EQ(folder.list(), row.filesAfter) << row.what;
        EXPECT_TRUE(history.unfinished().empty()) << row.what;
        const std::optional<RecordedRun> next = history.newestUndoable();
        ASSERT_TRUE(next && next->journal) << row.what;
        EXPECT_EQ(name(next->path), row.undoneNext) << row.what;
        // Only the run an undo takes next stays, and a refused journal set aside.
        history.keep(1);
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

} // namespace
} // namespace quorbit
