#include "rename/renamerun.h"

#include "listing/filemask.h"
#include "rename/folderwalk.h"

#include "platform/localetext.h"
#include "tempfolder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorbit {
namespace {

using testing::TempFolder;
using Names = std::set<std::string>;

class RecordingProgress : public RunProgress {
public:
    void showProgress() override { ++shown, visible = true; }
    void setProgressPosition(int position) override { positions.push_back(position); }
    void hideProgress() override { visible = false; }
    bool stopRequested() override
    {
        ++stopQuestions;
        if (duringRun) {
            duringRun();
        }
        return stopQuestions >= stopAfter;
    }

    int shown = 0;
    bool visible = false;
    int stopQuestions = 0;
    std::vector<int> positions;
    std::function<void()> duringRun;
    int stopAfter = 1 << 30;
};

class RenameRunTest : public ::testing::Test {
protected:
    void SetUp() override { text::setLocale("en_US"); }

    RunResult run(RunSettings settings)
    {
        if (settings.folder.empty()) {
            settings.folder = folder.path();
        }
        return renameRun.run(settings, progress);
    }

    // What a status line counts: "renamed / sub-folders, not renamed".
    static std::string tally(const RunResult& result)
    {
        return std::to_string(result.renamed) + " / " + std::to_string(result.folderCount) + ", "
            + std::to_string(result.notRenamed.size());
    }

    static RunSettings with(RenameOption option, std::string symbols = {})
    {
        RunSettings settings;
        settings.folder.clear();
        settings.option = option;
        settings.symbolsText = std::move(symbols);
        return settings;
    }

    TempFolder folder;
    RenameRun renameRun;
    RecordingProgress progress;
};

TEST_F(RenameRunTest, NamesExtensionsOrBoth)
{
    folder.create({"Report.final.doc", "notes", ".profile"});
    RunSettings settings = with(RenameOption::AddToRight, "_x");
    EXPECT_EQ(tally(run(settings)), "3 / 0, 0");
    EXPECT_EQ(folder.list(), (Names{"Report.final_x.doc", "notes_x", "_x.profile"}));

    settings.renamePart = RenamePart::Extensions;
    run(settings);
    EXPECT_EQ(folder.list(), (Names{"Report.final_x.doc_x", "notes_x._x", "_x.profile_x"}));

    settings = with(RenameOption::UpperCase);
    settings.renamePart = RenamePart::Both;
    run(settings);
    EXPECT_EQ(folder.list(), (Names{"REPORT.FINAL_X.DOC_X", "NOTES_X._X", "_X.PROFILE_X"}));
    EXPECT_EQ(folder.contentOf("NOTES_X._X"), "notes") << "the file itself is moved, not copied";
}

TEST_F(RenameRunTest, NameWithoutExtensionGetsNoTrailingDot)
{
    folder.create({"notes", "dotted."});
    run(with(RenameOption::UpperCase));
    EXPECT_EQ(folder.list(), (Names{"NOTES", "DOTTED"}));

    // A name that the operation leaves as it is keeps its trailing dot.
    folder.create({"trail."});
    run(with(RenameOption::UpperCase));
    EXPECT_EQ(folder.list(), (Names{"NOTES", "DOTTED", "TRAIL"}));
    folder.create({"same."});
    run(with(RenameOption::LowerCase));
    EXPECT_TRUE(folder.list().count("same."));
}

TEST_F(RenameRunTest, FirstEntryWinsACollisionAndNothingIsOverwritten)
{
    folder.create({"a1.txt", "a2.txt", "b.txt"});
    RunSettings settings = with(RenameOption::ReduceTo);
    settings.numberText = "1";
    const RunResult result = run(settings);
    EXPECT_EQ(tally(result), "1 / 0, 1") << "counts what was done; b.txt stays as it is";
    ASSERT_EQ(result.notRenamed.size(), 1u);
    EXPECT_EQ(result.notRenamed[0].path, folder / "a2.txt");
    EXPECT_EQ(result.notRenamed[0].newName, "a.txt");
    EXPECT_EQ(result.notRenamed[0].reason, Verdict::SharedTarget);
    EXPECT_EQ(folder.list(), (Names{"a.txt", "a2.txt", "b.txt"}));
    EXPECT_EQ(folder.contentOf("a.txt"), "a1.txt");
    EXPECT_EQ(folder.contentOf("a2.txt"), "a2.txt");
}

TEST_F(RenameRunTest, CounterPadsToTheFolderAndRestartsInEachFolder)
{
    folder.create({"b.jpg", "a.jpg", "c.jpg", "sub/x.jpg", "sub/y.jpg"});
    for (int i = 0; i < 8; ++i) {
        folder.create({"sub/f" + std::to_string(i) + ".jpg"});
    }
    RunSettings settings = with(RenameOption::Counter);
    settings.replaceText = "img_";
    settings.numberText = "1";
    settings.subfolders = true;
    EXPECT_EQ(tally(run(settings)), "13 / 1, 0");
    EXPECT_EQ(folder.list(), (Names{"img_1.jpg", "img_2.jpg", "img_3.jpg", "sub"}));
    EXPECT_EQ(folder.contentOf("img_1.jpg"), "a.jpg") << "entries are numbered in name order";
    EXPECT_EQ(folder.contentOf("img_3.jpg"), "c.jpg");
    const Names sub = folder.list("sub");
    EXPECT_EQ(sub.size(), 10u);
    EXPECT_TRUE(sub.count("img_01.jpg") && sub.count("img_10.jpg"));
    EXPECT_EQ(folder.contentOf("sub/img_01.jpg"), "sub/f0.jpg");
    EXPECT_EQ(folder.contentOf("sub/img_10.jpg"), "sub/y.jpg");
}

// Each new name is the old name of the next entry: the renames are made from
// the far end, so none finds its name still taken.
TEST_F(RenameRunTest, CounterOverNamesItWillGiveRenamesEveryEntry)
{
    folder.create({"1.txt", "2.txt", "x.txt"});
    RunSettings settings = with(RenameOption::Counter);
    settings.numberText = "2";
    run(settings);
    EXPECT_EQ(folder.list(), (Names{"2.txt", "3.txt", "4.txt"}));
    EXPECT_EQ(folder.contentOf("2.txt"), "1.txt");
    EXPECT_EQ(folder.contentOf("4.txt"), "x.txt");
}

TEST_F(RenameRunTest, FilesFoldersOrBothAndTheMask)
{
    folder.create({"a.htm", "a.html", "a.h", "b.HTM", "c.txt", "noext", "old.html/"});
    RunSettings settings = with(RenameOption::AddToLeft, "x");
    settings.mask = "*.html;*.htm";
    run(settings);
    EXPECT_EQ(folder.list(), (Names{"xa.htm", "xa.html", "a.h", "xb.HTM", "c.txt", "noext", "old.html"}))
        << "the list's mask rule: whole names, any case, folders only by Apply to";

    settings.applyTo = ApplyTo::Folders;
    run(settings);
    EXPECT_TRUE(folder.list().count("xold.html"));

    settings.applyTo = ApplyTo::Both;
    settings.mask = "*.txt";
    EXPECT_EQ(tally(run(settings)), "2 / 0, 0");
    EXPECT_TRUE(folder.list().count("xc.txt") && folder.list().count("xxold.html"));

    settings.applyTo = ApplyTo::Files;
    settings.mask = "*.*";
    run(settings);
    EXPECT_TRUE(folder.list().count("xnoext")) << "All Files selects names without a dot too";
}

TEST_F(RenameRunTest, HiddenAndReadOnlyFoldersAreRenamedButNotEntered)
{
    folder.create({".hidden/inner.txt", "locked/inner.txt", "open/inner.txt", "top.txt"});
    chmod((folder / "locked").c_str(), 0555);
    RunSettings settings = with(RenameOption::AddToLeft, "z");
    settings.applyTo = ApplyTo::Both;
    settings.subfolders = true;
    EXPECT_EQ(tally(run(settings)), "5 / 1, 0") << "top.txt, the three folders, and open's inner file";
    EXPECT_EQ(folder.list(), (Names{"z.hidden", "zlocked", "zopen", "ztop.txt"}));
    EXPECT_EQ(folder.list("z.hidden"), (Names{"inner.txt"}));
    EXPECT_EQ(folder.list("zlocked"), (Names{"inner.txt"}));
    EXPECT_EQ(folder.list("zopen"), (Names{"zinner.txt"}));
}

TEST_F(RenameRunTest, SymbolicLinksAreRenamedAsThemselvesAndNeverFollowed)
{
    TempFolder outside;
    outside.create({"keep.txt", "dir/keep.txt"});
    folder.create({"real.txt"});
    symlink((outside / "keep.txt").c_str(), (folder / "file-link").c_str());
    symlink((outside / "dir").c_str(), (folder / "dir-link").c_str());
    RunSettings settings = with(RenameOption::AddToLeft, "n");
    settings.subfolders = true;
    settings.applyTo = ApplyTo::Both;
    EXPECT_EQ(tally(run(settings)), "3 / 0, 0");
    EXPECT_EQ(folder.list(), (Names{"nreal.txt", "nfile-link", "ndir-link"}));
    EXPECT_EQ(outside.list(), (Names{"keep.txt", "dir"}));
    EXPECT_EQ(outside.list("dir"), (Names{"keep.txt"}));

    settings.applyTo = ApplyTo::Files;
    run(settings);
    EXPECT_EQ(folder.list(), (Names{"nnreal.txt", "nnfile-link", "ndir-link"}))
        << "a link to a folder counts as a folder";
}

TEST_F(RenameRunTest, FoldersModeReachesEveryLevel)
{
    folder.create({"a/b/c/d.txt", "a/b2/", "e/"});
    RunSettings settings = with(RenameOption::UpperCase);
    settings.applyTo = ApplyTo::Folders;
    settings.subfolders = true;
    EXPECT_EQ(tally(run(settings)), "5 / 5, 0") << "every folder; d.txt is no folder";
    EXPECT_EQ(folder.list(), (Names{"A", "E"}));
    EXPECT_EQ(folder.list("A"), (Names{"B", "B2"}));
    EXPECT_EQ(folder.list("A/B"), (Names{"C"}));
    EXPECT_EQ(folder.list("A/B/C"), (Names{"d.txt"}));
}

TEST_F(RenameRunTest, FoldersAreVisitedDeepestFirstInNameOrder)
{
    // Each folder holds a file named after it, so a visit can tell where it is.
    folder.create({"@root", "b/@b", "a/@a", "a/z/@z", "a/y/@y", "a/y/deep/@deep", "a10/@a10", "a2/@a2"});
    std::vector<std::string> visited;
    std::vector<std::string> paths;
    const WalkResult walk = walkFolders(folder.path(), [&](const files::Folder& visiting, const std::string& path) {
        paths.push_back(path.substr(folder.path().size()));
        for (std::string& name : collectEntries(visiting, ApplyTo::Files, FileMask("*.*")).selectedNames()) {
            if (name.front() == '@') {
                visited.push_back(std::move(name));
            }
        }
        return true;
    });
    EXPECT_EQ(visited, (std::vector<std::string>{"@deep", "@y", "@z", "@a", "@a2", "@a10", "@b", "@root"}));
    EXPECT_EQ(paths, (std::vector<std::string>{"/a/y/deep", "/a/y", "/a/z", "/a", "/a2", "/a10", "/b", ""}));
    EXPECT_EQ(walk.folderCount, 7);
    EXPECT_TRUE(walk.unreachedFolders.empty());
}

// Another program swaps a sub-folder for a link to a folder outside before
// the run gets to it: the run must not follow the link.
TEST_F(RenameRunTest, AFolderSwappedForALinkMidRunIsNotEntered)
{
    TempFolder outside;
    outside.create({"f1.txt", "f2.txt", "keep/"});
    folder.create({"1/x.txt", "a/f1.txt", "a/f2.txt"});
    bool swapped = false;
    progress.duringRun = [&] { // after the first entry of "1", which comes before "a"
        if (!std::exchange(swapped, true)) {
            std::filesystem::rename(folder / "a", folder / "moved-away");
            std::filesystem::create_directory_symlink(outside.path(), folder / "a");
        }
    };
    RunSettings settings = with(RenameOption::AddToLeft, "x");
    settings.applyTo = ApplyTo::Both;
    settings.subfolders = true;
    const RunResult result = run(settings);
    EXPECT_EQ(outside.list(), (Names{"f1.txt", "f2.txt", "keep"})) << "nothing outside the chosen folder is renamed";
    EXPECT_EQ(result.unreachedFolders, (std::vector<std::string>{folder / "a"}));
    EXPECT_EQ(tally(result), "4 / 1, 0")
        << "1/x.txt, the folder 1, the link and the folder moved away; the swapped folder is not entered";
    EXPECT_EQ(folder.list(), (Names{"x1", "xa", "xmoved-away"})) << "the link itself is renamed as any entry";
    EXPECT_EQ(folder.list("xmoved-away"), (Names{"f1.txt", "f2.txt"})) << "the real folder was not reached either";
}

// Every level of a tree far deeper than any path may be long, and deeper
// than the handles a process may hold, is renamed.
TEST_F(RenameRunTest, ATreeTenThousandFoldersDeepIsRenamedAtEveryLevel)
{
    constexpr int depth = 10000;
    const int top = open(folder.path().c_str(), O_RDONLY | O_DIRECTORY);
    int handle = dup(top);
    for (int level = 0; level < depth; ++level) {
        ASSERT_EQ(mkdirat(handle, "d", 0777), 0);
        const int child = openat(handle, "d", O_RDONLY | O_DIRECTORY);
        close(handle);
        handle = child;
    }
    close(handle);
    RunSettings settings = with(RenameOption::UpperCase);
    settings.applyTo = ApplyTo::Folders;
    settings.subfolders = true;
    const RunResult result = run(settings);
    EXPECT_EQ(tally(result), std::to_string(depth) + " / " + std::to_string(depth) + ", 0");
    EXPECT_TRUE(result.unreachedFolders.empty());
    handle = dup(top);
    int renamed = 0;
    for (int child; (child = openat(handle, "D", O_RDONLY | O_DIRECTORY | O_NOFOLLOW)) >= 0; ++renamed) {
        close(handle);
        handle = child;
    }
    close(handle);
    EXPECT_EQ(renamed, depth);

    // Removed a level at a time from the top, as paths this long are beyond what removing by path can do.
    for (int child; (child = openat(top, "D", O_RDONLY | O_DIRECTORY)) >= 0;) {
        renameat(child, "D", top, "next");
        close(child);
        unlinkat(top, "D", AT_REMOVEDIR);
        renameat(top, "next", top, "D");
    }
    close(top);
}

TEST_F(RenameRunTest, UnsafeNamesAreRefused)
{
    folder.create({"a.txt", "b.txt", "c.txt", "sub/"});
    RunSettings settings = with(RenameOption::AddToLeft, "sub/");
    run(settings);
    EXPECT_EQ(folder.list(), (Names{"a.txt", "b.txt", "c.txt", "sub"})) << "no move into another folder";
    EXPECT_TRUE(folder.list("sub").empty());

    settings = with(RenameOption::ReduceTo);
    settings.numberText = "0";
    settings.renamePart = RenamePart::Both;
    run(settings);
    EXPECT_EQ(folder.list(), (Names{"a.txt", "b.txt", "c.txt", "sub"})) << "an empty name is not used";

    EXPECT_FALSE(safeFileName(std::string("a\0b", 3)));
    EXPECT_FALSE(safeFileName(". ."));
    EXPECT_FALSE(safeFileName(".."));
    EXPECT_EQ(safeFileName("name. . "), "name");
}

TEST_F(RenameRunTest, BadNumberRenamesNothing)
{
    folder.create({"a.txt", "b.txt"});
    RunSettings settings = with(RenameOption::DeleteFromLeft);
    settings.numberText = "x2";
    const RunResult result = run(settings);
    EXPECT_EQ(result.outcome, RunResult::Outcome::InvalidNumber);
    EXPECT_EQ(folder.list(), (Names{"a.txt", "b.txt"}));
    EXPECT_FALSE(progress.visible);

    settings = with(RenameOption::RandomSymbols);
    settings.folder = folder.path();
    settings.numberText = "0";
    EXPECT_EQ(run(settings).outcome, RunResult::Outcome::NumberTooSmall);
    EXPECT_EQ(folder.list(), (Names{"a.txt", "b.txt"})) << "not renamed to a hidden .txt";
    EXPECT_FALSE(RenameRun::preview(settings, {})) << "nor previewed";

    settings = with(RenameOption::AddToLeft, "ok_");
    settings.numberText = "not needed";
    EXPECT_EQ(run(settings).outcome, RunResult::Outcome::Done) << "only operations with a number read it";
}

TEST_F(RenameRunTest, NoFolderDoesNothing)
{
    RunSettings settings = with(RenameOption::AddToLeft, "x");
    settings.folder.clear();
    const RunResult result = renameRun.run(settings, progress);
    EXPECT_EQ(result.outcome, RunResult::Outcome::NoFolder);
    EXPECT_EQ(progress.stopQuestions, 0);
}

TEST_F(RenameRunTest, ProgressStripAboveOneHundredEntries)
{
    for (int i = 0; i < 100; ++i) {
        folder.create({"f" + std::to_string(i)});
    }
    run(with(RenameOption::AddToLeft, "a"));
    EXPECT_EQ(progress.shown, 0);
    EXPECT_EQ(progress.stopQuestions, 200) << "a stop is looked for after every new name and every rename";

    folder.create({"extra"});
    progress = {};
    run(with(RenameOption::AddToLeft, "b"));
    EXPECT_EQ(progress.shown, 1);
    EXPECT_FALSE(progress.visible);
    ASSERT_EQ(progress.positions.size(), 102u);
    EXPECT_EQ(progress.positions[100], 99) << "the bar never reaches its end during the loop";
    EXPECT_EQ(progress.positions.back(), 0);
}

// The window asks a run to stop when the user closes it mid-run: the entry in
// hand is finished, nothing after it is touched, and no folder above is renamed.
TEST_F(RenameRunTest, AStopEndsTheRunAfterTheEntryInHand)
{
    folder.create({"a", "b", "c", "sub/x", "sub/y"});
    progress.stopAfter = 3; // asked twice while the new names are worked out, then after the first rename
    RunSettings settings = with(RenameOption::AddToLeft, "n");
    settings.applyTo = ApplyTo::Both;
    settings.subfolders = true;
    EXPECT_EQ(run(settings).outcome, RunResult::Outcome::Stopped);
    EXPECT_EQ(folder.list("sub"), (Names{"nx", "y"}));
    EXPECT_EQ(folder.list(), (Names{"a", "b", "c", "sub"}));
    EXPECT_FALSE(progress.visible);
}

TEST_F(RenameRunTest, CaseOnlyAndUnicodeNames)
{
    folder.create({"IMG_0001.JPG", "Привет мир.TXT", "straße.txt", "emoji😀.png", "latin1\xe9.txt"});
    RunSettings settings = with(RenameOption::LowerCase);
    settings.renamePart = RenamePart::Both;
    run(settings);
    EXPECT_EQ(folder.list(), (Names{"img_0001.jpg", "привет мир.txt", "straße.txt", "emoji😀.png", "latin1\xe9.txt"}));

    settings = with(RenameOption::UpperCaseFirstAll);
    run(settings);
    EXPECT_EQ(folder.list(), (Names{"Img_0001.jpg", "Привет Мир.txt", "Straße.txt", "Emoji😀.png", "Latin1\xe9.txt"}));
}

TEST_F(RenameRunTest, TagNamesReplaceTheOperationForMp3Files)
{
    folder.create({"track.MP3", "other.mp3", "cover.jpg"});
    RunSettings settings = with(RenameOption::AddToLeft, "x");
    settings.folder = folder.path();
    const TagNameSource tags = [](const files::Folder&, const std::string& name) -> std::optional<std::string> {
        if (name == "track.MP3") {
            return "Artist - Title.mp3";
        }
        if (name == "other.mp3") {
            return "AC/DC - T.N.T.mp3"; // unsafe: the file keeps its name
        }
        return std::nullopt;
    };
    renameRun.run(settings, progress, tags);
    EXPECT_EQ(folder.list(), (Names{"Artist - Title.mp3", "other.mp3", "xcover.jpg"}));
}

TEST_F(RenameRunTest, AFolderThatCannotBeReadCollectsNothing)
{
    RunSettings settings = with(RenameOption::AddToLeft, "x");
    settings.folder = folder / "missing";
    settings.subfolders = true;
    const RunResult result = renameRun.run(settings, progress);
    EXPECT_EQ(result.outcome, RunResult::Outcome::Done);
    EXPECT_EQ(result.renamed + result.folderCount, 0);
}

} // namespace
} // namespace quorbit
