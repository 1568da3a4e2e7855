#include "platform/files.h"

#include "tempfolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sys/stat.h>

namespace quorbit {
namespace {

using files::MoveResult;
using testing::TempFolder;

const files::DirEntry* findEntry(const std::vector<files::DirEntry>& entries, const std::string& name)
{
    const auto found = std::find_if(entries.begin(), entries.end(), [&](const auto& entry) { return entry.name == name; });
    return found == entries.end() ? nullptr : &*found;
}

TEST(ListFolder, ReportsEveryEntryWithItsFacts)
{
    TempFolder folder;
    folder.create({"plain.txt", ".hidden", "sub/", ".hiddensub/", "locked/", "name\xff"});
    chmod((folder / "locked").c_str(), 0555);
    symlink((folder / "sub").c_str(), (folder / "link").c_str());

    std::vector<files::DirEntry> entries;
    ASSERT_TRUE(files::listFolder(folder.path(), entries));
    EXPECT_EQ(entries.size(), 7u);
    EXPECT_FALSE(findEntry(entries, ".") || findEntry(entries, ".."));

    EXPECT_FALSE(findEntry(entries, "plain.txt")->isDirectory);
    EXPECT_TRUE(findEntry(entries, ".hidden")->isHidden);
    EXPECT_TRUE(findEntry(entries, "sub")->isPlainFolder());
    EXPECT_FALSE(findEntry(entries, ".hiddensub")->isPlainFolder());
    EXPECT_TRUE(findEntry(entries, "locked")->isReadOnly);
    EXPECT_FALSE(findEntry(entries, "locked")->isPlainFolder());
    const files::DirEntry* link = findEntry(entries, "link");
    EXPECT_TRUE(link->isLink);
    EXPECT_FALSE(link->isDirectory) << "a link to a folder is not a folder";
    EXPECT_TRUE(findEntry(entries, "name\xff"));

    EXPECT_TRUE(files::isExistingDirectory(folder / "link")) << "the directory test follows links";
    EXPECT_FALSE(files::isExistingDirectory(folder / "plain.txt"));
    EXPECT_FALSE(files::isExistingDirectory(folder / "missing"));

    EXPECT_FALSE(files::listFolder(folder / "missing", entries));
    EXPECT_TRUE(entries.empty());
}

TEST(MoveEntry, NeverReplacesAnything)
{
    TempFolder folder;
    folder.create({"a.txt", "b.txt", "dir/", "other/"});
    EXPECT_EQ(files::moveEntry(folder / "a.txt", folder / "b.txt"), MoveResult::TargetExists);
    EXPECT_EQ(folder.contentOf("a.txt"), "a.txt");
    EXPECT_EQ(folder.contentOf("b.txt"), "b.txt");
    EXPECT_EQ(files::moveEntry(folder / "dir", folder / "other"), MoveResult::TargetExists);
    EXPECT_EQ(files::moveEntry(folder / "a.txt", folder / "dir"), MoveResult::TargetExists);
    EXPECT_EQ(files::moveEntry(folder / "missing", folder / "c.txt"), MoveResult::Failed);

    EXPECT_EQ(files::moveEntry(folder / "a.txt", folder / "c.txt"), MoveResult::Moved);
    EXPECT_EQ(folder.list(), (std::set<std::string>{"b.txt", "c.txt", "dir", "other"}));
    EXPECT_EQ(files::moveEntry(folder / "dir", folder / "renamed"), MoveResult::Moved);
}

TEST(MoveEntry, FallbackWithoutTheNoReplaceFlagNeverReplacesEither)
{
    TempFolder folder;
    folder.create({"a.txt", "b.txt", "dir/", "other/"});
    EXPECT_EQ(files::moveWithoutNoReplaceFlag(folder / "a.txt", folder / "b.txt"), EEXIST);
    EXPECT_EQ(files::moveWithoutNoReplaceFlag(folder / "dir", folder / "other"), EEXIST);
    EXPECT_EQ(files::moveWithoutNoReplaceFlag(folder / "a.txt", folder / "other"), EEXIST);
    EXPECT_EQ(files::moveWithoutNoReplaceFlag(folder / "missing", folder / "c.txt"), ENOENT);
    EXPECT_EQ(folder.contentOf("b.txt"), "b.txt");

    EXPECT_EQ(files::moveWithoutNoReplaceFlag(folder / "a.txt", folder / "c.txt"), 0);
    EXPECT_EQ(files::moveWithoutNoReplaceFlag(folder / "dir", folder / "moved"), 0);
    EXPECT_EQ(folder.list(), (std::set<std::string>{"b.txt", "c.txt", "moved", "other"}));
    EXPECT_EQ(folder.contentOf("c.txt"), "a.txt");
}

TEST(MoveEntry, CaseOnlyRenames)
{
    TempFolder folder;
    folder.create({"photo.JPG"});
    EXPECT_EQ(files::moveEntry(folder / "photo.JPG", folder / "photo.jpg"), MoveResult::Moved);
    EXPECT_EQ(folder.list(), (std::set<std::string>{"photo.jpg"}));

    // Two hard links whose names differ in case look like one entry under two
    // spellings; neither may replace the other, and both must stay.
    folder.create({"Song.mp3"});
    link((folder / "Song.mp3").c_str(), (folder / "song.mp3").c_str());
    EXPECT_EQ(files::moveEntry(folder / "Song.mp3", folder / "song.mp3"), MoveResult::TargetExists);
    EXPECT_EQ(folder.list(), (std::set<std::string>{"photo.jpg", "Song.mp3", "song.mp3"}));
}

TEST(MoveEntry, LinksAreMovedAsThemselves)
{
    TempFolder folder;
    folder.create({"target/file"});
    symlink("target", (folder / "link").c_str());
    EXPECT_EQ(files::moveEntry(folder / "link", folder / "renamed"), MoveResult::Moved);
    EXPECT_EQ(folder.list(), (std::set<std::string>{"renamed", "target"}));
    EXPECT_EQ(folder.list("target"), (std::set<std::string>{"file"}));
}

TEST(CreateFolder, CreatesOnceAndKeepsPaths)
{
    TempFolder folder;
    EXPECT_TRUE(files::createFolder(folder / "txt"));
    EXPECT_FALSE(files::createFolder(folder / "txt"));
    EXPECT_TRUE(files::isExistingDirectory(folder / "txt"));
    EXPECT_EQ(files::withTrailingSeparator("/music"), "/music/");
    EXPECT_EQ(files::withTrailingSeparator("/"), "/");
}

} // namespace
} // namespace quorbit
