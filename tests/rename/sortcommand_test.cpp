#include "rename/sortcommand.h"

#include "platform/localetext.h"
#include "tempfolder.h"

#include <gtest/gtest.h>

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
    return sortIntoExtensionFolders(settings, {"Renamed", "files", "folders"}, "Sorted");
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
        {" Sorted 5 files",
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
        // noext is counted in sub and again in the current folder.
        {" Sorted 6 files / 2 folders",
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
        {" Sorted 2 files / 2 folders",
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
    sort(folder, ApplyTo::Files, true);
    EXPECT_EQ(treeOf(folder), before);
    EXPECT_EQ(treeOf(outside), Tree{"keep.txt<keep.txt"});
}

TEST(SortCommand, NoFolderDoesNothing)
{
    const TempFolder folder;
    folder.create({"a.txt"});
    const std::filesystem::path workingFolder = std::filesystem::current_path();
    std::filesystem::current_path(folder.path());
    const SortResult result = sortIntoExtensionFolders({"", ApplyTo::Both, true, "*.*", {"a.txt"}, {}}, {}, "Sorted");
    std::filesystem::current_path(workingFolder);
    EXPECT_EQ(result.outcome, SortResult::Outcome::NoFolder);
    EXPECT_EQ(result.message, "No folder is selected.");
    EXPECT_EQ(folder.list(), Tree{"a.txt"});
}

} // namespace
} // namespace quorbit
