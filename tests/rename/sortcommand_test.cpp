#include "rename/sortcommand.h"

#include "platform/localetext.h"
#include "tempfolder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace quorbit {
namespace {

using testing::TempFolder;
using Tree = std::set<std::string>;

// The files and links below `folder`: "path<content", the content being the
// path the file was created at, and "path@".
Tree treeOf(const TempFolder& folder)
{
    Tree tree;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder.path())) {
        const std::string path = entry.path().lexically_relative(folder.path()).string();
        if (entry.is_symlink() || !entry.is_directory()) {
            tree.insert(entry.is_symlink() ? path + "@" : path + "<" + folder.contentOf(path));
        }
    }
    return tree;
}

// Sorts as the window does: without sub-folders, the list shows every entry of the folder.
SortResult sort(const TempFolder& folder, ApplyTo applyTo, bool subfolders)
{
    SortSettings settings{folder.path(), applyTo, subfolders, "*.*", {}, {}};
    for (const std::string& name : folder.list()) {
        settings.listedNames.push_back(name);
    }
    RunProgress noWindow;
    return sortIntoExtensionFolders(settings, {"Renamed", "files", "folders"}, "Sorted", "not sorted", noWindow);
}

TEST(SortCommand, MovesEntriesIntoFoldersNamedAfterTheirExtensions)
{
    text::setLocale("en_US");
    const struct {
        std::string message;
        ApplyTo applyTo;
        bool subfolders;
        std::initializer_list<std::string> before;
        Tree after;
    } cases[] = {
        {" Sorted 4 files",
         ApplyTo::Files,
         false,
         {"a.txt", "b.TXT", "c.jpg", "noext", ".profile", "d.txt/in"},
         {"txt/a.txt<a.txt", "TXT/b.TXT<b.TXT", "jpg/c.jpg<c.jpg", "noext<noext", "profile/.profile<.profile",
          "d.txt/in<d.txt/in"}},
        {" Sorted 1 files",
         ApplyTo::Folders,
         false,
         {"photos.2012/in", "a.txt"},
         {"2012/photos.2012/in<photos.2012/in", "a.txt<a.txt"}},
        {" Sorted 4 files / 2 folders",
         ApplyTo::Files,
         true,
         {"top.txt", "sub/deep/x.txt", "sub/deep/y.jpg", "sub/noext", "sub/.hidden/h.txt"},
         {"txt/top.txt<top.txt", "txt/x.txt<sub/deep/x.txt", "jpg/y.jpg<sub/deep/y.jpg", "noext<sub/noext",
          "sub/.hidden/h.txt<sub/.hidden/h.txt"}},
        {" Sorted 2 files / 3 folders",
         ApplyTo::Folders,
         true,
         {"photos.2012/x.txt", "sub/old.2011/in"},
         {"2011/old.2011/in<sub/old.2011/in", "2012/photos.2012/x.txt<photos.2012/x.txt"}},
        {" Sorted 1 files / 2 folders, 1 not sorted",
         ApplyTo::Files,
         true,
         {"one/a.txt", "two/a.txt"},
         {"txt/a.txt<one/a.txt", "two/a.txt<two/a.txt"}},
    };
    for (const auto& test : cases) {
        const TempFolder folder;
        folder.create(test.before);
        EXPECT_EQ(sort(folder, test.applyTo, test.subfolders).message, test.message);
        EXPECT_EQ(treeOf(folder), test.after) << test.message;
        sort(folder, test.applyTo, test.subfolders);
        EXPECT_EQ(treeOf(folder), test.after) << "a second sort changes nothing";
    }
}

TEST(SortCommand, NeitherFollowsLinksNorReplacesWhatIsInTheWay)
{
    TempFolder outside;
    outside.create({"keep.txt"});
    const TempFolder folder;
    folder.create({"a.txt", "sub/b.txt", "c.jpg", "jpg"});
    std::filesystem::create_directory_symlink(outside.path(), folder / "txt");
    const Tree before = treeOf(folder);
    const SortResult result = sort(folder, ApplyTo::Files, true);
    EXPECT_EQ(treeOf(folder), before);
    EXPECT_EQ(result.notSorted.size(), 3u);
    for (const SortResult::NotSorted& entry : result.notSorted) {
        EXPECT_EQ(entry.reason, SortSkip::ExtensionNameTaken) << entry.path;
    }
    EXPECT_EQ(treeOf(outside), Tree{"keep.txt<keep.txt"});
}

struct SkipCase {
    const char* label;
    std::vector<std::string> before;
    std::vector<std::string> gone; // listed, but not on the disk
    bool readOnly = false; // the folder is made read-only
    bool missing = false; // the sorted folder is not there
    int moved = 0;
    std::vector<std::pair<std::string, SortSkip>> notSorted; // by the last part of the path
};

class SortSkips : public ::testing::TestWithParam<SkipCase> {};

TEST_P(SortSkips, NameWhatStayedAndWhy)
{
    const SkipCase& test = GetParam();
    const TempFolder folder;
    for (const std::string& name : test.before) {
        folder.create({name});
    }
    SortSettings settings{test.missing ? folder / "missing" : folder.path(), ApplyTo::Files, false, "*.*", {}, {}};
    for (const std::string& name : test.missing ? Tree{} : folder.list()) {
        settings.listedNames.push_back(name);
    }
    settings.listedNames.insert(settings.listedNames.end(), test.gone.begin(), test.gone.end());
    if (test.readOnly) {
        chmod(folder.path().c_str(), 0555);
        if (access(folder.path().c_str(), W_OK) == 0) {
            GTEST_SKIP() << "this user writes to read-only folders (root)";
        }
    }
    RunProgress noWindow;
    const SortResult result = sortIntoExtensionFolders(settings, {}, "Sorted", "not sorted", noWindow);
    EXPECT_EQ(result.moved, test.moved);
    std::vector<std::pair<std::string, SortSkip>> notSorted;
    for (const SortResult::NotSorted& entry : result.notSorted) {
        notSorted.emplace_back(files::fileNameOf(entry.path), entry.reason);
    }
    EXPECT_EQ(notSorted, test.notSorted);
}

INSTANTIATE_TEST_SUITE_P(
    SortCommand, SortSkips,
    ::testing::Values(
        SkipCase{"ReadOnlyFolder", {"a.txt", "noext"}, {}, true, false, 0, {{"a.txt", SortSkip::FolderReadOnly}}},
        SkipCase{"ReadOnlyWithTarget", {"a.txt", "txt/"}, {}, true, false, 0, {{"a.txt", SortSkip::FolderReadOnly}}},
        SkipCase{
            "FileHoldsFolderName", {"a.txt", "txt"}, {}, false, false, 0, {{"a.txt", SortSkip::ExtensionNameTaken}}},
        SkipCase{"Vanished", {"a.txt"}, {"b.jpg"}, false, false, 1, {{"b.jpg", SortSkip::Vanished}}},
        SkipCase{"MissingFolder", {}, {"a.txt"}, false, true, 0, {{"missing", SortSkip::FolderUnreadable}}},
        SkipCase{"NameTaken", {"a.txt", "txt/a.txt"}, {}, false, false, 0, {{"a.txt", SortSkip::NameTaken}}}),
    [](const ::testing::TestParamInfo<SkipCase>& info) { return std::string(info.param.label); });

TEST(SortCommand, ShowsProgressForManyEntriesAndHidesItAtTheEnd)
{
    struct Recording : RunProgress {
        void showProgress() override { ++shown, visible = true; }
        void hideProgress() override { visible = false; }
        void processPendingEvents() override { ++turns; }
        int shown = 0;
        bool visible = false;
        int turns = 0;
    } progress;
    const TempFolder folder;
    SortSettings settings{folder.path(), ApplyTo::Files, true, "*.*", {}, {}};
    for (int i = 0; i < 101; ++i) {
        folder.create({std::to_string(i) + ".txt"});
    }
    EXPECT_EQ(sortIntoExtensionFolders(settings, {}, "Sorted", "not sorted", progress).moved, 101);
    EXPECT_EQ(progress.shown, 1);
    EXPECT_FALSE(progress.visible);
    EXPECT_GE(progress.turns, 101) << "the window gets a turn between entries";
}

TEST(SortCommand, NoFolderDoesNothing)
{
    const TempFolder folder;
    folder.create({"a.txt"});
    const std::filesystem::path workingFolder = std::filesystem::current_path();
    std::filesystem::current_path(folder.path());
    RunProgress noWindow;
    const SortResult result = sortIntoExtensionFolders({"", ApplyTo::Both, true, "*.*", {"a.txt"}, {}}, {}, "Sorted",
                                                       "not sorted", noWindow);
    std::filesystem::current_path(workingFolder);
    EXPECT_EQ(result.outcome, SortResult::Outcome::NoFolder);
    EXPECT_EQ(result.message, "No folder is selected.");
    EXPECT_EQ(folder.list(), Tree{"a.txt"});
}

} // namespace
} // namespace quorbit
