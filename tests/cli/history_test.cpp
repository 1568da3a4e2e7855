// quorbit-cli and the window keep one history: a run made by either is undone
// by the other, the window's side taken through the engine's run history as
// its Undo Rename does, and an unfinished run is finished, undone or left as
// the start-up offer does.

#include "platform/locations.h"
#include "rename/journal.h"
#include "rename/journalreplay.h"
#include "rename/renamerun.h"
#include "rename/runhistory.h"
#include "tempfolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

extern char** environ;

namespace quorbit {
namespace {

using testing::TempFolder;
using Names = std::set<std::string>;

struct Ran {
    int status = -1;
    std::string out;
};

// A state folder of its own for the test: the CLI started from here and the
// engine in here both find their journals in it.
class SharedHistory : public ::testing::Test {
protected:
    void SetUp() override { setenv("XDG_STATE_HOME", m_state.path().c_str(), 1); }

    // Runs quorbit-cli with `arguments`, its output caught in a file.
    Ran cli(std::vector<std::string> arguments) const
    {
        const std::string out = m_state / "out";
        std::vector<char*> argv{const_cast<char*>(QUORBIT_CLI)};
        for (std::string& argument : arguments) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        pid_t child = 0;
        int status = -1;
        if (posix_spawn(&child, QUORBIT_CLI, &actions, nullptr, argv.data(), environ) == 0) {
            waitpid(child, &status, 0);
        }
        posix_spawn_file_actions_destroy(&actions);
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, testing::readFile(out)};
    }

    TempFolder m_state;
    TempFolder m_files;
};

// What a run killed after its first move leaves: the plan of both moves on
// the disk, the first made and noted, and no end mark.
void leaveUnfinishedRun(const TempFolder& files)
{
    const files::Folder folder(files.path());
    JournalWriter writer(journalFolder(), JournalKind::Rename, files.path());
    JournalStep step{files.path(), folder.identity().inode, {}, {}, {}};
    for (const std::string name : {"a.txt", "b.txt"}) {
        struct stat status = {};
        ASSERT_EQ(stat((files / name).c_str(), &status), 0);
        step.moves.push_back({status.st_ino, folder.stampOf(name).birth, files / name, files / ("x_" + name)});
    }
    ASSERT_TRUE(writer.writeStep(step));
    ASSERT_EQ(files::moveEntry(folder, "a.txt", folder, "x_a.txt"), files::MoveResult::Moved);
    writer.noteMove(true);
}

TEST_F(SharedHistory, TheWindowsUndoPutsBackARunOfTheCli)
{
    m_files.create({"a.txt", "b.txt"});
    ASSERT_EQ(cli({"rename", m_files.path(), "--op", "add-left", "--text", "x_", "--apply"}).status, 0);
    ASSERT_EQ(m_files.list(), (Names{"x_a.txt", "x_b.txt"}));

    const RunHistory history(journalFolder());
    RunProgress progress;
    const HistoryResult undone = history.undoNewest(progress);
    ASSERT_TRUE(undone);
    EXPECT_EQ(undone.replay.moved, 2u);
    EXPECT_EQ(m_files.list(), (Names{"a.txt", "b.txt"}));
    EXPECT_TRUE(history.undoable().empty());
}

TEST_F(SharedHistory, TheCliUndoPutsBackARunOfTheWindow)
{
    m_files.create({"a.txt", "b.txt"});
    RunSettings settings;
    settings.folder = m_files.path();
    settings.symbolsText = "x_";
    settings.journalFolder = journalFolder();
    RunProgress progress;
    RenameRun().run(settings, progress);
    ASSERT_EQ(m_files.list(), (Names{"x_a.txt", "x_b.txt"}));

    const Ran undone = cli({"undo"});
    EXPECT_EQ(undone.status, 0);
    EXPECT_EQ(undone.out, "2 put back, 0 not put back\n");
    EXPECT_EQ(m_files.list(), (Names{"a.txt", "b.txt"}));
    EXPECT_TRUE(RunHistory(journalFolder()).undoable().empty());
}

TEST_F(SharedHistory, AnUnfinishedRunIsFinishedUndoneOrLeft)
{
    const struct {
        const char* choice;
        Names after;
        bool undoable; // an undo can take it afterwards
    } cases[] = {
        {"--finish", {"x_a.txt", "x_b.txt"}, true},
        {"--undo", {"a.txt", "b.txt"}, false},
        {"--leave", {"x_a.txt", "b.txt"}, true},
    };
    for (const auto& recovery : cases) {
        SCOPED_TRACE(recovery.choice);
        const TempFolder state;
        setenv("XDG_STATE_HOME", state.path().c_str(), 1);
        const TempFolder files;
        files.create({"a.txt", "b.txt"});
        leaveUnfinishedRun(files);

        const Ran offered = cli({"recover"});
        EXPECT_EQ(offered.status, 0);
        EXPECT_NE(offered.out.find("rename  " + files.path() + "  1 of 2 moves"), std::string::npos) << offered.out;
        EXPECT_EQ(cli({"recover", recovery.choice}).status, 0);
        EXPECT_EQ(files.list(), recovery.after);
        const RunHistory history(journalFolder());
        EXPECT_TRUE(history.unfinished().empty());
        EXPECT_EQ(history.undoable().size(), recovery.undoable ? 1u : 0u);
    }
}

TEST_F(SharedHistory, ADamagedJournalIsSetAsideAndRefused)
{
    m_files.create({"a.txt"});
    const std::string journal = journalFolder() + "/00000000000000000001.journal";
    ASSERT_TRUE(files::createPrivateFolder(journalFolder()));
    testing::writeFile(journal, "not a journal\n");

    EXPECT_EQ(cli({"recover", "--undo"}).status, 3);
    EXPECT_EQ(m_files.list(), (Names{"a.txt"}));
    EXPECT_EQ(m_state.list("quorbit"), (Names{"00000000000000000001.journal.refused"}));
}

} // namespace
} // namespace quorbit
