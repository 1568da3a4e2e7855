#include "rename/journalreplay.h"

#include "rename/renamerun.h"
#include "tempfolder.h"

#include <filesystem>
#include <functional>
#include <map>
#include <optional>

#include <gtest/gtest.h>

namespace quorbit {
namespace {

using Moves = std::vector<std::pair<std::string, std::string>>;

// The journal of a run in `folder` that planned `moves`, with each entry as
// the file system tells it, and made the first `made` of them. Without
// `inodesTrusted`, as on a FUSE drive that makes its inode numbers up, the
// journal keeps sizes instead of inodes.
Journal ran(const testing::TempFolder& folder, const Moves& moves, std::size_t made, bool inodesTrusted)
{
    const files::Folder handle(folder.path());
    std::map<std::string, files::Folder::EntryStamp> entries;
    for (const std::string& name : folder.list()) {
        entries[name] = handle.stampOf(name);
    }
    Journal journal;
    journal.root = folder.path();
    JournalStep& step = journal.steps.emplace_back();
    for (const auto& [from, to] : moves) {
        const files::Folder::EntryStamp stamp = entries[from];
        entries.erase(from);
        entries[to] = stamp;
        step.moves.push_back({inodesTrusted ? stamp.inode : 0, stamp.birth, folder / from, folder / to, stamp.size});
    }
    for (std::size_t i = 0; i < made; ++i) {
        std::filesystem::rename(step.moves[i].from, step.moves[i].to);
    }
    return journal;
}

std::map<std::string, std::string> contents(const testing::TempFolder& folder)
{
    std::map<std::string, std::string> files;
    for (const std::string& name : folder.list()) {
        files[name] = folder.contentOf(name);
    }
    return files;
}

// The run renamed "a" to "b"; what undo does with "b" after what came since.
TEST(JournalReplay, UndoTellsTheRunsEntriesFromOthers)
{
    using Reason = ReplayResult::Reason;
    struct Case {
        const char* since;
        std::function<void(const testing::TempFolder&, Journal&)> change;
        std::optional<Reason> skipped;
        std::map<std::string, std::string> after;
    };
    const auto replaceB = [](const testing::TempFolder& folder, Journal&) {
        testing::writeFile(folder / "b.new", "saved");
        std::filesystem::rename(folder / "b.new", folder / "b");
    };
    const Case cases[] = {
        {"nothing", [](const auto&, auto&) {}, std::nullopt, {{"a", "a"}}},
        {"renamed again",
         [](const auto& folder, auto&) { std::filesystem::rename(folder / "b", folder / "c"); },
         Reason::RenamedAgain,
         {{"c", "a"}}},
        {"deleted", [](const auto& folder, auto&) { std::filesystem::remove(folder / "b"); }, Reason::Deleted, {}},
        {"saved anew under its name", replaceB, Reason::ChangedSince, {{"b", "saved"}}},
        // The file at "b" has the run's inode but was born at another time.
        {"deleted, its inode reused by a new b",
         [](const auto&, Journal& journal) { ++journal.steps[0].moves[0].birth; },
         Reason::ChangedSince,
         {{"b", "a"}}},
        // A move made as a link and an unlink, where drives refuse RENAME_NOREPLACE, killed between the two.
        {"left under both names",
         [](const auto& folder, auto&) { std::filesystem::create_hard_link(folder / "b", folder / "a"); },
         std::nullopt,
         {{"a", "a"}}},
        {"its old name taken",
         [](const auto& folder, auto&) { testing::writeFile(folder / "a", "new"); },
         Reason::NameTaken,
         {{"a", "new"}, {"b", "a"}}},
    };
    for (const bool inodesTrusted : {true, false}) {
        for (const Case& row : cases) {
            SCOPED_TRACE(std::string(row.since) + (inodesTrusted ? "" : ", inode numbers not trusted"));
            const testing::TempFolder folder;
            folder.create({"a"});
            Journal journal = ran(folder, {{"a", "b"}}, 1, inodesTrusted);
            row.change(folder, journal);
            RunProgress progress;
            const ReplayResult undone = undoJournal(journal, progress);
            EXPECT_EQ(undone.moved, row.skipped ? 0U : 1U);
            ASSERT_EQ(undone.skipped.size(), row.skipped ? 1U : 0U);
            if (row.skipped) {
                EXPECT_EQ(undone.skipped[0].reason, *row.skipped);
                EXPECT_EQ(undone.skipped[0].path, folder / "b");
            }
            EXPECT_EQ(contents(folder), row.after);
        }
    }
}

TEST(JournalReplay, CountsTheMovesMadeFromTheDisk)
{
    struct Case {
        const char* run;
        Moves moves;
        std::size_t made;
    };
    Moves tenMoves;
    for (char name = '0'; name <= '9'; ++name) {
        tenMoves.push_back({std::string(1, name), std::string("x") + name});
    }
    const Moves swap = {{"a", "a.tmp"}, {"b", "a"}, {"a.tmp", "b"}};
    const Case cases[] = {{"ten renames, four made", tenMoves, 4},
                          {"a swap made whole", swap, 3},
                          {"a swap stopped on its temporary name", swap, 1}};
    for (const bool inodesTrusted : {true, false}) {
        for (const Case& row : cases) {
            SCOPED_TRACE(std::string(row.run) + (inodesTrusted ? "" : ", inode numbers not trusted"));
            const testing::TempFolder folder;
            folder.create({"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "a", "b"});
            // Without inode numbers a file is known by its size and birth time, and two
            // files made within one tick of the clock share a birth time.
            testing::writeFile(folder / "b", "bb");
            EXPECT_EQ(movesMadeOnDisk(ran(folder, row.moves, row.made, inodesTrusted)), row.made);
        }
    }
}

} // namespace
} // namespace quorbit
