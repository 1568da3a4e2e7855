#include "platform/filecontent.h"

#include "tempfolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <csignal>
#include <memory>
#include <string_view>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quorbit {
namespace {

using testing::TempFolder;

// The size of the new content a process is writing: the file it holds open in
// `folder` other than `original`; -1 while it holds none.
std::int64_t temporarySize(pid_t process, const std::string& folder, const std::string& original)
{
    const std::string descriptors = "/proc/" + std::to_string(process) + "/fd/";
    const std::unique_ptr<DIR, int (*)(DIR*)> listing(::opendir(descriptors.c_str()), &::closedir);
    std::int64_t size = -1;
    while (const dirent* entry = listing ? ::readdir(listing.get()) : nullptr) {
        char target[4096] = {};
        struct stat status {};
        const std::string descriptor = descriptors + entry->d_name;
        if (::readlink(descriptor.c_str(), target, sizeof target - 1) > 0 && target != original
            && std::string_view(target).starts_with(folder + "/") && ::stat(descriptor.c_str(), &status) == 0) {
            size = status.st_size;
        }
    }
    return size;
}

// A save killed while it copies leaves the original whole and nothing beside it.
TEST(KilledSave, LeavesTheOriginalWholeAndNoTemporaryFile)
{
    const TempFolder folder;
    const int unnamed = ::open(folder.path().c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (unnamed < 0) {
        GTEST_SKIP() << "the temporary folder's file system has no unnamed files";
    }
    ::close(unnamed);
    const std::string path = folder / "song.mp3";
    std::string original(64 << 20, 'a');
    for (std::size_t page = 0; page < original.size(); page += 4096) {
        original[page] = static_cast<char>(page >> 12);
    }
    testing::writeFile(path, original);
    const std::int64_t newSize = static_cast<std::int64_t>(original.size()) + 4;

    // As the copy begins, and when an eighth, a quarter and a half are done.
    for (const std::int64_t killAt : {std::int64_t(0), newSize / 8, newSize / 4, newSize / 2}) {
        const files::ReadOnlyFile file(path);
        const pid_t child = ::fork();
        if (child == 0) {
            ::_exit(files::rebuildFile(path, file, "new tag|", 4) ? 0 : 1);
        }
        ASSERT_GT(child, 0);
        int status = 0;
        pid_t ended = 0;
        while (ended == 0 && temporarySize(child, folder.path(), path) < killAt) {
            ended = ::waitpid(child, &status, WNOHANG);
        }
        if (ended == 0) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
        }
        EXPECT_TRUE(WIFSIGNALED(status)) << "the save ended before it was killed at " << killAt;
        EXPECT_TRUE(files::readWholeFile(path, original.size()).bytes == original) << "killed at " << killAt;
        EXPECT_EQ(folder.list(), (std::set<std::string>{"song.mp3"})) << "killed at " << killAt;
    }
}

// A save killed between naming its new file and the rename leaves a whole copy
// of what it wrote. The next save that writes the same removes it, and nothing
// else under those names: not a copy of the file as it was (the user's backup,
// maybe), nor other bytes, a link or someone else's file.
TEST(KilledSave, NextSaveOfTheSameContentRemovesTheCopyLeftBehind)
{
    const std::string original = "old tag|" + std::string(100000, 'a');
    const std::string saved = "new tag|" + original.substr(8);
    std::string otherBytes = saved;
    otherBytes.back() = 'b';
    // Also a name too long for the "~" appended, which is cut to fit.
    for (const std::string& name : {std::string("song.mp3"), std::string(NAME_MAX - 4, 's') + ".mp3"}) {
        const TempFolder folder;
        const auto copyName = [&](int attempt) {
            const std::string suffix = attempt == 1 ? "~" : "~" + std::to_string(attempt);
            return name.substr(0, std::min<std::size_t>(name.size(), NAME_MAX - suffix.size())) + suffix;
        };
        const std::string path = folder / name;
        testing::writeFile(path, original);
        testing::writeFile(folder / copyName(1), saved);
        testing::writeFile(folder / copyName(2), original);
        testing::writeFile(folder / copyName(3), otherBytes);
        testing::writeFile(folder / "elsewhere", saved);
        ASSERT_EQ(::symlink("elsewhere", (folder / copyName(4)).c_str()), 0);
        std::set<std::string> kept = {name, copyName(2), copyName(3), copyName(4), "elsewhere"};
        testing::writeFile(folder / copyName(5), saved);
        if (::chown((folder / copyName(5)).c_str(), 65534, 65534) == 0) {
            kept.insert(copyName(5));
        } else {
            ::unlink((folder / copyName(5)).c_str()); // only root can give a file away
        }

        const files::ReadOnlyFile file(path);
        ASSERT_TRUE(files::rebuildFile(path, file, "new tag|", 8));
        EXPECT_TRUE(testing::readFile(path) == saved);
        EXPECT_EQ(folder.list(), kept);
        EXPECT_TRUE(testing::readFile(folder / copyName(2)) == original);
        EXPECT_TRUE(testing::readFile(folder / copyName(3)) == otherBytes);
    }
}

} // namespace
} // namespace quorbit
