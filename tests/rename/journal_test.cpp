#include "rename/journal.h"

#include "rename/journalreplay.h"
#include "rename/renamerun.h"
#include "rename/sortcommand.h"
#include "tempfolder.h"

#include <filesystem>
#include <map>

#include <gtest/gtest.h>

namespace quorbit {
namespace {

// Every entry below `root` by relative path, with a file's content ("/" for a folder).
std::map<std::string, std::string> tree(const testing::TempFolder& root)
{
    std::map<std::string, std::string> entries;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root.path())) {
        const std::string relative = std::filesystem::relative(entry.path(), root.path()).string();
        entries[relative] = entry.is_directory() ? "/" : root.contentOf(relative);
    }
    return entries;
}

Journal newestJournal(const testing::TempFolder& journals)
{
    const std::vector<std::string> paths = journalFiles(journals.path());
    EXPECT_FALSE(paths.empty());
    JournalRead read = readJournal(paths.back());
    EXPECT_TRUE(read.journal);
    return read.journal ? std::move(*read.journal) : Journal{};
}

RunSettings settingsFor(const testing::TempFolder& folder, const testing::TempFolder& journals, RenameOption option,
                        const char* symbols, bool subfolders)
{
    RunSettings settings;
    settings.folder = folder.path();
    settings.option = option;
    settings.applyTo = ApplyTo::Both;
    settings.subfolders = subfolders;
    settings.symbolsText = symbols;
    settings.numberText = "2";
    settings.journalFolder = journals.path();
    return settings;
}

// Where a drive's inode numbers cannot be trusted, a finish knows the folders a
// run planned by their paths, followed through the renames of the steps after
// them: here "b" inside "a", then "a" swapped with "c".
TEST(Journal, KnowsPlannedFoldersByTheirPathsNow)
{
    Journal journal;
    journal.root = "/r";
    journal.steps = {
        {"/r/a/b", 0, {}, {}, {}},
        {"/r/a", 0, {}, {}, {{0, 0, "/r/a/b", "/r/a/B2"}}},
        {"/r/x", 7, {}, {}, {}},
        {"/r",
         0,
         {},
         {},
         {{0, 0, "/r/a", "/r/a.quorbit-swap", files::Folder::EntryStamp::folderSize},
          {0, 0, "/r/c", "/r/a", 12},
          {0, 0, "/r/a.quorbit-swap", "/r/c", files::Folder::EntryStamp::folderSize}}},
    };
    // Written and read back: a move without an inode keeps the size that tells its entry.
    const testing::TempFolder journals;
    JournalWriter writer(journals.path(), JournalKind::Rename, journal.root);
    for (const JournalStep& step : journal.steps) {
        ASSERT_TRUE(writer.writeStep(step));
    }
    journal = newestJournal(journals);
    ASSERT_EQ(journal.steps.size(), 4U);
    EXPECT_EQ(journal.steps[3].moves[1].size, 12U);
    const PlannedFolders planned = plannedFolders(journal);
    EXPECT_EQ(planned.paths, (std::unordered_set<std::string>{"/r/c/B2", "/r/c", "/r"}));
    EXPECT_EQ(planned.inodes, std::unordered_set<std::uint64_t>{7}) << "a folder whose inode can be trusted";
}

// Undo brings back every name the run changed, for chains, cycles, renamed
// folders below the chosen one, and a Sort with the folders it made.
TEST(Journal, UndoPutsBackWhatARunDid)
{
    struct Case {
        const char* what;
        RenameOption option;
        const char* symbols;
        bool subfolders;
    };
    const Case cases[] = {{"a chain", RenameOption::Counter, "", false},
                          {"folders renamed below the chosen one", RenameOption::AddToLeft, "x_", true},
                          {"only the letter case", RenameOption::UpperCase, "", true},
                          {"names cut to collide", RenameOption::ReduceTo, "", false}};
    for (const Case& row : cases) {
        const testing::TempFolder folder;
        const testing::TempFolder journals;
        folder.create({"1.txt", "2.txt", "x.txt", "ab.txt", "ac.txt", "sub/", "sub/1.txt", "sub/deep/", "sub/deep/y"});
        const auto before = tree(folder);
        RunProgress progress;
        RenameRun run;
        const RunResult result
            = run.run(settingsFor(folder, journals, row.option, row.symbols, row.subfolders), progress);
        ASSERT_EQ(result.outcome, RunResult::Outcome::Done) << row.what;
        ASSERT_NE(tree(folder), before) << row.what;
        const Journal journal = newestJournal(journals);
        EXPECT_TRUE(journal.ended);
        const ReplayResult undone = undoJournal(journal, progress);
        EXPECT_EQ(tree(folder), before) << row.what;
        EXPECT_TRUE(undone.skipped.empty()) << row.what;
        EXPECT_EQ(undoJournal(journal, progress).moved, 0u) << "a second undo finds everything in place";
    }

    const testing::TempFolder folder;
    const testing::TempFolder journals;
    folder.create({"a.txt", "b.jpg", "txt/", "txt/old.txt", "sub/", "sub/c.jpg"});
    const auto before = tree(folder);
    SortSettings sort;
    sort.folder = folder.path();
    sort.subfolders = true;
    sort.journalFolder = journals.path();
    RunProgress noWindow;
    sortIntoExtensionFolders(sort, noWindow);
    ASSERT_NE(tree(folder), before);
    RunProgress progress;
    EXPECT_TRUE(undoJournal(newestJournal(journals), progress).skipped.empty());
    EXPECT_EQ(tree(folder), before) << "the made folder \"jpg\" is gone, \"txt\" that was there stays";
}

TEST(Journal, UndoSkipsAndNamesEntriesChangedSince)
{
    const testing::TempFolder folder;
    const testing::TempFolder journals;
    folder.create({"a", "b", "c", "d"});
    RunProgress progress;
    RenameRun run;
    run.run(settingsFor(folder, journals, RenameOption::AddToLeft, "x_", false), progress);
    std::filesystem::rename(folder / "x_a", folder / "again");
    folder.create({"c"}); // before the delete, so it cannot get the inode the deleted file frees
    std::filesystem::remove(folder / "x_b");

    const ReplayResult undone = undoJournal(newestJournal(journals), progress);
    EXPECT_EQ(undone.moved, 1u);
    std::map<std::string, ReplayResult::Reason> skipped;
    for (const ReplayResult::Skipped& entry : undone.skipped) {
        skipped[std::string(files::fileNameOf(entry.path))] = entry.reason;
    }
    EXPECT_EQ(skipped,
              (std::map<std::string, ReplayResult::Reason>{{"x_a", ReplayResult::Reason::RenamedAgain},
                                                           {"x_b", ReplayResult::Reason::Deleted},
                                                           {"x_c", ReplayResult::Reason::NameTaken}}));
    EXPECT_EQ(folder.list(), (std::set<std::string>{"again", "c", "x_c", "d"}));
    EXPECT_EQ(folder.contentOf("c"), "c") << "the new \"c\" is not replaced";
}

// A run stopped after any number of its moves (as a crash stops it) is undone
// or finished from its journal, whichever the user picks.
TEST(Journal, RecoversARunStoppedAfterAnyMove)
{
    const testing::TempFolder folder;
    const testing::TempFolder journals;
    // A cycle of three through a temporary name, a chain and a plain rename.
    const std::vector<std::pair<std::string, std::string>> moves = {
        {"a", "a.quorbit-swap"}, {"c", "a"}, {"b", "c"}, {"a.quorbit-swap", "b"}, {"2", "3"}, {"1", "2"}, {"x", "y"}};
    folder.create({"a", "b", "c", "1", "2", "x"});
    const auto before = tree(folder);
    std::map<std::string, std::uint64_t> location; // the inode each name will have
    std::vector<files::DirEntry> listed;
    files::Folder(folder.path()).list(listed);
    for (const files::DirEntry& entry : listed) {
        location[entry.name] = entry.inode;
    }
    JournalStep step;
    for (const auto& [from, to] : moves) {
        step.moves.push_back({location[from], 0, folder / from, folder / to});
        location[to] = location[from];
    }
    {
        JournalWriter writer(journals.path(), JournalKind::Rename, folder.path());
        ASSERT_TRUE(writer.writeStep(step));
    }
    const std::string journalPath = journalFiles(journals.path()).back();
    std::map<std::string, std::string> after;
    for (std::size_t made = 0; made <= moves.size(); ++made) {
        for (const bool undo : {true, false}) {
            for (std::size_t i = 0; i < made; ++i) {
                std::filesystem::rename(folder / moves[i].first, folder / moves[i].second);
            }
            const JournalRead read = readJournal(journalPath);
            ASSERT_TRUE(read.journal);
            EXPECT_FALSE(read.journal->ended);
            RunProgress progress;
            const ReplayResult replayed = undo ? undoJournal(*read.journal, progress)
                                               : finishJournal(*read.journal, HeldJournal(journalPath), progress);
            EXPECT_TRUE(replayed.skipped.empty()) << made;
            if (undo) {
                EXPECT_EQ(tree(folder), before) << "undo after " << made << " moves";
            } else {
                if (after.empty()) {
                    after = tree(folder);
                }
                EXPECT_EQ(tree(folder), after) << "finish after " << made << " moves";
                undoJournal(*read.journal, progress);
            }
        }
    }
    EXPECT_EQ(
        after,
        (std::map<std::string, std::string>{{"a", "c"}, {"b", "a"}, {"c", "b"}, {"2", "1"}, {"3", "2"}, {"y", "x"}}));
}

TEST(Journal, CutShortOrCorruptJournalIsRefused)
{
    const testing::TempFolder folder;
    const testing::TempFolder journals;
    folder.create({"a", "b"});
    RunProgress progress;
    RenameRun run;
    run.run(settingsFor(folder, journals, RenameOption::AddToLeft, "new\nline ", false), progress);
    const std::string path = journalFiles(journals.path()).back();
    std::ifstream in(path, std::ios::binary);
    const std::string bytes(std::istreambuf_iterator<char>(in), {});
    ASSERT_TRUE(readJournal(path).journal);
    ASSERT_TRUE(bytes.ends_with("\nE\n"));
    const std::size_t headerEnd = bytes.find("step ");
    const std::size_t stepEnd = bytes.find('\n', bytes.find("\nend ") + 1) + 1;

    // Cut inside the header: refused. Inside the last step's plan, its moves
    // were never begun: read without it. Before the plan, without the end
    // mark, or with a progress note cut short (as a crash leaves them): read.
    for (std::size_t length = 0; length < bytes.size(); ++length) {
        testing::writeFile(path, bytes.substr(0, length));
        const JournalRead read = readJournal(path);
        EXPECT_EQ(read.journal.has_value(), length >= headerEnd) << length;
        if (!read.journal) {
            EXPECT_EQ(read.fault, JournalFault::CutShort) << length;
            continue;
        }
        EXPECT_EQ(read.journal->steps.size(), length >= stepEnd ? 1u : 0u) << length;
        EXPECT_EQ(read.journal->lastStepCut, length > headerEnd && length < stepEnd) << length;
    }
    testing::writeFile(path, bytes + "D 1");
    EXPECT_TRUE(readJournal(path).journal) << "a progress note cut short";

    std::string changed = bytes;
    changed[bytes.find("new\nline a")] = 'N';
    testing::writeFile(path, changed);
    EXPECT_EQ(readJournal(path).fault, JournalFault::Corrupt) << "the checksum tells";

    for (const std::string& outside : {std::string("/etc/passwd"), folder / "../x", folder.path() + "//x"}) {
        JournalWriter writer(journals.path(), JournalKind::Rename, folder.path());
        JournalStep step;
        step.moves = {{1, 0, folder / "a", outside}};
        writer.writeStep(step);
        EXPECT_EQ(readJournal(writer.path()).fault, JournalFault::Corrupt) << outside;
    }
    testing::writeFile(path, "Quorbit journal 9\n");
    EXPECT_EQ(readJournal(path).fault, JournalFault::Corrupt);

    // A count says what should follow, not what does: it sizes nothing.
    const std::string header = "Quorbit journal 2\nkind rename\nroot 4:/tmp\nsettings 0:\n";
    testing::writeFile(path, header + "step 0 9000000\nF 1 4:/tmp\nR 0:\n");
    ASSERT_TRUE(readJournal(path).journal);
    EXPECT_TRUE(readJournal(path).journal->lastStepCut);
    testing::writeFile(path, header + "step 0 99000000\n");
    EXPECT_EQ(readJournal(path).fault, JournalFault::Corrupt) << "more moves than a journal holds";

    // Journals of the first version still read.
    testing::writeFile(path,
                       "Quorbit journal 1\nkind rename\nroot 4:/tmp\nstep 0 1\nM 5 6:/tmp/a 6:/tmp/b\n"
                       "end 10452358776100976507\nE\n");
    const JournalRead first = readJournal(path);
    ASSERT_TRUE(first.journal);
    EXPECT_EQ(first.journal->steps.at(0).moves.at(0).to, "/tmp/b");
    EXPECT_TRUE(first.journal->ended);
}

// A command finished from its journal, or a journal marked ended, goes on
// after the last whole record, never after a piece of one.
TEST(Journal, GoesOnAfterTheLastWholeRecord)
{
    const testing::TempFolder journals;
    const auto stepMoving = [](const std::string& name) {
        JournalStep step;
        step.moves = {{1, 0, "/tmp/" + name, "/tmp/" + name + ".new"}};
        return step;
    };
    std::string path;
    {
        JournalWriter writer(journals.path(), JournalKind::Rename, "/tmp", "settings\nof the run");
        ASSERT_TRUE(writer.writeStep(stepMoving("a")));
        ASSERT_TRUE(writer.writeStep(stepMoving("b")));
        path = writer.path();
    }
    std::ifstream in(path, std::ios::binary);
    const std::string bytes(std::istreambuf_iterator<char>(in), {});
    testing::writeFile(path, bytes.substr(0, bytes.size() - 8)); // inside the second step
    JournalRead read = readJournal(path);
    ASSERT_TRUE(read.journal);
    ASSERT_EQ(read.journal->steps.size(), 1u);
    EXPECT_EQ(read.journal->settings, "settings\nof the run");
    {
        const HeldJournal held(path);
        JournalWriter going(*read.journal, held);
        ASSERT_TRUE(going.writeStep(stepMoving("c")));
    }
    std::ifstream again(path, std::ios::binary);
    testing::writeFile(path, std::string(std::istreambuf_iterator<char>(again), {}) + "D 1");
    ASSERT_TRUE(HeldJournal(path).markEnded());
    read = readJournal(path);
    ASSERT_TRUE(read.journal);
    EXPECT_TRUE(read.journal->ended);
    EXPECT_FALSE(read.journal->lastStepCut);
    ASSERT_EQ(read.journal->steps.size(), 2u);
    EXPECT_EQ(read.journal->steps[1].moves[0].from, "/tmp/c");
}

TEST(Journal, KeepsTheNewestEndedJournals)
{
    const testing::TempFolder journals;
    for (int i = 0; i < 14; ++i) {
        JournalWriter writer(journals.path(), JournalKind::Rename, "/tmp");
        JournalStep step;
        step.moves = {{1, 0, "/tmp/a", "/tmp/b"}};
        ASSERT_TRUE(writer.writeStep(step));
        if (i != 1) {
            writer.end(true);
        }
    }
    const std::vector<std::string> all = journalFiles(journals.path());
    ASSERT_EQ(all.size(), 14u);
    pruneJournals(journals.path(), 10);
    std::vector<std::string> expected = {all[1]}; // unfinished: kept until the user decides
    expected.insert(expected.end(), all.end() - 10, all.end());
    EXPECT_EQ(journalFiles(journals.path()), expected);

    JournalWriter(journals.path(), JournalKind::Sort, "/tmp").end(false);
    EXPECT_EQ(journalFiles(journals.path()), expected) << "a command without a move leaves no journal";
}

} // namespace
} // namespace quorbit
