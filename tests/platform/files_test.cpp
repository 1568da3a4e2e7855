#include "platform/files.h"

#include "platform/filecontent.h"
#include "platform/folderwatch.h"
#include "platform/mounts.h"

#include "tempfolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace quorbit {
namespace {

using files::MoveResult;
using testing::TempFolder;

const files::DirEntry* findEntry(const std::vector<files::DirEntry>& entries, const std::string& name)
{
    const auto found
        = std::find_if(entries.begin(), entries.end(), [&](const auto& entry) { return entry.name == name; });
    return found == entries.end() ? nullptr : &*found;
}

// Moves between names of one test folder, held open.
class InFolder {
public:
    explicit InFolder(const TempFolder& folder)
        : m_folder(folder.path())
    {
    }
    MoveResult move(const std::string& from, const std::string& to) const
    {
        return files::moveEntry(m_folder, from, m_folder, to);
    }
    int moveWithoutFlag(const std::string& from, const std::string& to) const
    {
        return files::moveWithoutNoReplaceFlag(m_folder, from, m_folder, to);
    }
    const files::Folder& folder() const { return m_folder; }

private:
    files::Folder m_folder;
};

TEST(ListFolder, ReportsEveryEntryWithItsFacts)
{
    TempFolder folder;
    folder.create({"plain.txt", ".hidden", "sub/", ".hiddensub/", "locked/", "name\xff"});
    chmod((folder / "locked").c_str(), 0555);
    symlink((folder / "sub").c_str(), (folder / "link").c_str());

    std::vector<files::DirEntry> entries;
    const files::Folder open(folder.path());
    ASSERT_TRUE(open.list(entries));
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
    EXPECT_TRUE(open.leadsToDirectory("link"));
    EXPECT_FALSE(open.leadsToDirectory("plain.txt"));

    EXPECT_TRUE(open.openChild("sub").isOpen());
    EXPECT_FALSE(open.openChild("link").isOpen()) << "a link is never entered, even one to a folder";
    EXPECT_FALSE(open.openChild("plain.txt").isOpen());
    EXPECT_TRUE(files::Folder(folder / "link").isOpen()) << "the chosen folder itself may be reached through a link";
    EXPECT_TRUE(open.mayHaveSubfolders());
    struct stat status {};
    if (stat(folder.path().c_str(), &status) == 0 && status.st_nlink > 1) { // the file system counts sub-folders
        EXPECT_FALSE(open.openChild("sub").mayHaveSubfolders());
    }

    EXPECT_FALSE(files::Folder(folder / "missing").list(entries));
    EXPECT_TRUE(entries.empty());
}

TEST(MoveEntry, NeverReplacesAnything)
{
    TempFolder folder;
    folder.create({"a.txt", "b.txt", "dir/", "other/"});
    const InFolder in(folder);
    EXPECT_EQ(in.move("a.txt", "b.txt"), MoveResult::TargetExists);
    EXPECT_EQ(folder.contentOf("a.txt"), "a.txt");
    EXPECT_EQ(folder.contentOf("b.txt"), "b.txt");
    EXPECT_EQ(in.move("dir", "other"), MoveResult::TargetExists);
    EXPECT_EQ(in.move("a.txt", "dir"), MoveResult::TargetExists);
    EXPECT_EQ(in.move("missing", "c.txt"), MoveResult::Failed);

    EXPECT_EQ(in.move("a.txt", "c.txt"), MoveResult::Moved);
    EXPECT_EQ(folder.list(), (std::set<std::string>{"b.txt", "c.txt", "dir", "other"}));
    EXPECT_EQ(in.move("dir", "renamed"), MoveResult::Moved);
}

TEST(MoveEntry, FallbackWithoutTheNoReplaceFlagNeverReplacesEither)
{
    TempFolder folder;
    folder.create({"a.txt", "b.txt", "dir/", "other/"});
    const InFolder in(folder);
    EXPECT_EQ(in.moveWithoutFlag("a.txt", "b.txt"), EEXIST);
    EXPECT_EQ(in.moveWithoutFlag("dir", "other"), EEXIST);
    EXPECT_EQ(in.moveWithoutFlag("a.txt", "other"), EEXIST);
    EXPECT_EQ(in.moveWithoutFlag("missing", "c.txt"), ENOENT);
    EXPECT_EQ(folder.contentOf("b.txt"), "b.txt");

    EXPECT_EQ(in.moveWithoutFlag("a.txt", "c.txt"), 0);
    EXPECT_EQ(in.moveWithoutFlag("dir", "moved"), 0);
    EXPECT_EQ(folder.list(), (std::set<std::string>{"b.txt", "c.txt", "moved", "other"}));
    EXPECT_EQ(folder.contentOf("c.txt"), "a.txt");
}

TEST(MoveEntry, CaseOnlyRenames)
{
    TempFolder folder;
    folder.create({"photo.JPG"});
    const InFolder in(folder);
    EXPECT_EQ(in.move("photo.JPG", "photo.jpg"), MoveResult::Moved);
    EXPECT_EQ(folder.list(), (std::set<std::string>{"photo.jpg"}));

    // Two hard links whose names differ in case look like one entry under two
    // spellings; neither may replace the other, and both must stay.
    folder.create({"Song.mp3"});
    link((folder / "Song.mp3").c_str(), (folder / "song.mp3").c_str());
    EXPECT_EQ(in.move("Song.mp3", "song.mp3"), MoveResult::TargetExists);
    EXPECT_EQ(folder.list(), (std::set<std::string>{"photo.jpg", "Song.mp3", "song.mp3"}));
}

// The mount table tells which driver holds a folder, without asking the drive.
TEST(MountTable, ReadsEveryLineItsOwnWay)
{
    const std::vector<files::Mount> mounts = files::parseMountTable(
        "22 1 259:2 / / rw,relatime shared:1 - ext4 /dev/nvme0n1p2 rw\n"
        "45 22 7:0 / /media/My\\040Card rw,nosuid - fuseblk /dev/loop0 rw,default_permissions\n"
        "48 22 0:42 / /mnt/nas rw - fuse.sshfs me@nas:/srv rw,user_id=0\n"
        "not a mount line\n"
        "49 22 0:42 / /mnt/nas2 rw master:3 unbindable - fuse.sshfs me@nas:/srv rw\n");
    ASSERT_EQ(mounts.size(), 4U);
    EXPECT_EQ(mounts[1].mountPoint, "/media/My Card");
    EXPECT_EQ(mounts[1].type, "fuseblk");
    EXPECT_EQ(mounts[1].source, "/dev/loop0");
    EXPECT_EQ(mounts[2].type, "fuse.sshfs");
    EXPECT_EQ(files::mountOfDevice(mounts, makedev(0, 42))->mountPoint, "/mnt/nas2") << "the last mounted";
    EXPECT_EQ(files::mountOfDevice(mounts, makedev(7, 1)), nullptr);
}

TEST(MoveEntry, LinksAreMovedAsThemselves)
{
    TempFolder folder;
    folder.create({"target/file"});
    symlink("target", (folder / "link").c_str());
    const InFolder in(folder);
    EXPECT_EQ(in.move("link", "renamed"), MoveResult::Moved);
    EXPECT_EQ(folder.list(), (std::set<std::string>{"renamed", "target"}));
    EXPECT_EQ(folder.list("target"), (std::set<std::string>{"file"}));
}

TEST(CreateFolder, CreatesOnceAndKeepsPaths)
{
    TempFolder folder;
    const InFolder in(folder);
    EXPECT_TRUE(files::createFolder(in.folder(), "txt"));
    EXPECT_FALSE(files::createFolder(in.folder(), "txt"));
    EXPECT_TRUE(files::isExistingDirectory(folder / "txt"));
    EXPECT_EQ(files::withTrailingSeparator("/music"), "/music/");
    EXPECT_EQ(files::withTrailingSeparator("/"), "/");
}

// The new file is built from the very file that was read; a file another
// program put in its place meanwhile is left alone.
TEST(RebuildFile, CopiesFromTheOpenFileAndNeverReplacesOneThatTookItsPlace)
{
    TempFolder folder;
    const std::string path = folder / "song.mp3";
    testing::writeFile(path, "old tag|audio");
    {
        const files::ReadOnlyFile read(path);
        EXPECT_TRUE(files::rebuildFile(path, read, "new tag|", 8));
    }
    EXPECT_EQ(testing::readFile(path), "new tag|audio");

    const files::ReadOnlyFile read(path);
    testing::writeFile(folder / "theirs", "their file");
    ASSERT_EQ(rename((folder / "theirs").c_str(), path.c_str()), 0);
    EXPECT_FALSE(files::rebuildFile(path, read, "newer tag|", 8));
    EXPECT_EQ(testing::readFile(path), "their file");
    EXPECT_EQ(folder.list(), (std::set<std::string>{"song.mp3"}));
}

TEST(FolderWatch, ReportsChangesOfTheFolderAPathNamesNow)
{
    TempFolder parent;
    parent.create({"shown/"});
    const std::string shown = parent / "shown";
    files::FolderWatch watch;
    ASSERT_TRUE(watch.isOpen());
    const auto changedAfter = [&](const char* created) {
        watch.takeChanged();
        const int fd = open((shown + "/" + created).c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
        close(fd);
        return watch.takeChanged() == std::vector<std::string>{shown};
    };
    watch.watch({shown});
    EXPECT_TRUE(changedAfter("a"));
    watch.watch({shown}); // watched already: kept as it is
    EXPECT_TRUE(changedAfter("b"));

    // Another folder took the path: watched again, its changes are reported.
    ASSERT_EQ(rename(shown.c_str(), (parent / "old").c_str()), 0);
    ASSERT_EQ(mkdir(shown.c_str(), 0755), 0);
    watch.takeChanged();
    watch.watch({shown});
    EXPECT_TRUE(changedAfter("c"));
    watch.watch({});
    EXPECT_FALSE(changedAfter("d"));
}

TEST(FolderWatch, OneThreadChangesTheWatchesWhileAnotherTakesTheReports)
{
    TempFolder parent;
    parent.create({"shown/", "next/"});
    const std::string shown = parent / "shown";
    const std::string next = parent / "next";
    files::FolderWatch watch;
    watch.watch({shown});
    std::thread other([&] {
        for (int round = 0; round < 200; ++round) {
            watch.watch(round % 2 == 0 ? std::vector<std::string>{shown, next} : std::vector<std::string>{shown});
        }
    });
    std::vector<std::string> changed;
    for (int file = 0; file < 200; ++file) {
        close(open((shown + "/" + std::to_string(file)).c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644));
        for (std::string& folder : watch.takeChanged()) {
            changed.push_back(std::move(folder));
        }
    }
    other.join();
    for (std::string& folder : watch.takeChanged()) {
        changed.push_back(std::move(folder));
    }
    // Only the folder that changed, reported under its own name, and the
    // watches end as the last call left them.
    EXPECT_FALSE(changed.empty());
    EXPECT_TRUE(
        std::all_of(changed.begin(), changed.end(), [&](const std::string& folder) { return folder == shown; }));
    close(open((next + "/late").c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644));
    EXPECT_TRUE(watch.takeChanged().empty());
}

} // namespace
} // namespace quorbit
