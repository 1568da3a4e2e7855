// Makes every system call of a tag save, a tag removal and a settings save
// fail in turn, and checks that each failure leaves the user's file as it was.
//
// The calls are interposed by defining them in this executable, which the
// dynamic linker and the static link of the engine libraries both prefer to
// the C library's; the real calls are made with syscall(2).

#include "settings/settingsfile.h"
#include "tags/id3v1.h"
#include "tags/id3v2.h"
#include "tags/mp3sample.h"
#include "tags/mp3tags.h"

#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <functional>
#include <string_view>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

enum Kind { Open, Read, Write, Truncate, Fsync, Chmod, Link, Rename, Close, KindCount };
constexpr std::array<const char*, KindCount> kindNames
    = {"open", "read", "write", "ftruncate", "fsync", "chmod", "linkat", "rename", "close"};

// What the system lacks during a run: nothing, unnamed temporary files (the
// file system refuses O_TMPFILE), /proc (an unnamed file cannot be linked),
// or, as on FAT, unnamed files, owners and permission bits (fusefat answers
// ENOSYS to the last two).
enum class Lacking { Nothing, UnnamedFiles, Proc, Modes };
constexpr std::array<const char*, 4> lackingNames
    = {"", " without O_TMPFILE", " without /proc", " without owners and modes"};

struct Injection {
    bool armed = false;
    std::array<int, KindCount> calls{};
    Kind failKind = Open;
    int failAt = 0; // 1-based call of failKind to fail; 0 fails none
    Lacking lacking = Lacking::Nothing;
};
Injection injection;

// Counts the call; true when it is the one to fail.
bool failsNow(Kind kind)
{
    if (!injection.armed) {
        return false;
    }
    const int call = ++injection.calls[kind];
    if (kind == injection.failKind && call == injection.failAt) {
        errno = EIO;
        return true;
    }
    return false;
}

// Fails, uncounted, a call the system lacks: true then, with errno set.
bool lacks(const char* path, int flags)
{
    const bool noUnnamedFiles = injection.lacking == Lacking::UnnamedFiles || injection.lacking == Lacking::Modes;
    if (injection.armed && noUnnamedFiles && (flags & O_TMPFILE) == O_TMPFILE) {
        errno = EOPNOTSUPP;
        return true;
    }
    if (injection.armed && injection.lacking == Lacking::Proc && std::string_view(path).starts_with("/proc/")) {
        errno = ENOENT;
        return true;
    }
    return false;
}

mode_t modeArgument(int flags, va_list arguments)
{
    return (flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE ? static_cast<mode_t>(va_arg(arguments, int)) : 0;
}

} // namespace

extern "C" {

int open(const char* path, int flags, ...)
{
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = modeArgument(flags, arguments);
    va_end(arguments);
    return lacks(path, flags) || failsNow(Open) ? -1
                                                : static_cast<int>(syscall(SYS_openat, AT_FDCWD, path, flags, mode));
}

int open64(const char* path, int flags, ...) noexcept __attribute__((alias("open")));

int openat(int folder, const char* path, int flags, ...)
{
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = modeArgument(flags, arguments);
    va_end(arguments);
    return lacks(path, flags) || failsNow(Open) ? -1 : static_cast<int>(syscall(SYS_openat, folder, path, flags, mode));
}

ssize_t read(int descriptor, void* buffer, size_t length)
{
    return failsNow(Read) ? -1 : syscall(SYS_read, descriptor, buffer, length);
}

ssize_t pread(int descriptor, void* buffer, size_t length, off_t offset)
{
    return failsNow(Read) ? -1 : syscall(SYS_pread64, descriptor, buffer, length, offset);
}

ssize_t pread64(int descriptor, void* buffer, size_t length, off_t offset) noexcept __attribute__((alias("pread")));

ssize_t write(int descriptor, const void* buffer, size_t length)
{
    return failsNow(Write) ? -1 : syscall(SYS_write, descriptor, buffer, length);
}

ssize_t copy_file_range(int from, off_t* fromOffset, int to, off_t* toOffset, size_t length, unsigned flags)
{
    return failsNow(Write) ? -1 : syscall(SYS_copy_file_range, from, fromOffset, to, toOffset, length, flags);
}

int ftruncate(int descriptor, off_t length)
{
    return failsNow(Truncate) ? -1 : static_cast<int>(syscall(SYS_ftruncate, descriptor, length));
}

int fsync(int descriptor)
{
    return failsNow(Fsync) ? -1 : static_cast<int>(syscall(SYS_fsync, descriptor));
}

// Fails, uncounted, a change of owner or mode on a drive that keeps none.
bool lacksModes()
{
    if (injection.armed && injection.lacking == Lacking::Modes) {
        errno = ENOSYS;
        return true;
    }
    return false;
}

int fchmod(int descriptor, mode_t mode)
{
    return lacksModes() || failsNow(Chmod) ? -1 : static_cast<int>(syscall(SYS_fchmod, descriptor, mode));
}

int fchown(int descriptor, uid_t owner, gid_t group)
{
    return lacksModes() ? -1 : static_cast<int>(syscall(SYS_fchown, descriptor, owner, group));
}

int chmod(const char* path, mode_t mode)
{
    return failsNow(Chmod) ? -1 : static_cast<int>(syscall(SYS_fchmodat, AT_FDCWD, path, mode));
}

int linkat(int fromFolder, const char* from, int toFolder, const char* to, int flags)
{
    return lacks(from, 0) || failsNow(Link)
        ? -1
        : static_cast<int>(syscall(SYS_linkat, fromFolder, from, toFolder, to, flags));
}

int rename(const char* from, const char* to)
{
    return failsNow(Rename) ? -1 : static_cast<int>(syscall(SYS_renameat2, AT_FDCWD, from, AT_FDCWD, to, 0));
}

int renameat(int fromFolder, const char* from, int toFolder, const char* to)
{
    return failsNow(Rename) ? -1 : static_cast<int>(syscall(SYS_renameat2, fromFolder, from, toFolder, to, 0));
}

int close(int descriptor)
{
    // A close that reports failure has still released the descriptor.
    const int result = static_cast<int>(syscall(SYS_close, descriptor));
    return failsNow(Close) ? -1 : result;
}

} // extern "C"

namespace quorbit {
namespace {

using testing::mpegAudio;
using testing::readFile;
using testing::TempFolder;
using testing::writeFile;

struct FileState {
    std::string bytes;
    mode_t mode = 0;
};

FileState stateOf(const std::string& path)
{
    struct stat status {};
    ::stat(path.c_str(), &status);
    return {readFile(path), status.st_mode & 07777};
}

struct Operation {
    const char* name;
    std::string fileName;
    std::string original;
    mode_t mode;
    std::function<bool(const std::string& path)> run;
    // Written in place: a failure reported by the last call, the close, may
    // come after the new bytes went in, so either whole state is right then.
    bool inPlace = false;
};

int failurePointsTried = 0;

// Runs `operation` once to count its calls, then once for every call with
// that call failing, each time on a fresh copy of the file.
void tryEveryFailurePoint(const Operation& operation, Lacking lacking)
{
    const auto freshFile = [&](const TempFolder& folder) {
        const std::string path = folder / operation.fileName;
        writeFile(path, operation.original);
        ::chmod(path.c_str(), operation.mode);
        return path;
    };
    const auto runInjected = [&](const std::string& path, Kind kind, int failAt) {
        injection = {true, {}, kind, failAt, lacking};
        const bool succeeded = operation.run(path);
        injection.armed = false;
        return succeeded;
    };

    const TempFolder cleanFolder;
    const std::string cleanPath = freshFile(cleanFolder);
    const FileState before = stateOf(cleanPath);
    const std::string name = operation.name + std::string(lackingNames[static_cast<int>(lacking)]);
    ASSERT_TRUE(runInjected(cleanPath, Open, 0)) << name;
    const std::array<int, KindCount> callCounts = injection.calls;
    const FileState saved = stateOf(cleanPath);
    ASSERT_NE(saved.bytes, before.bytes) << name;

    for (int kind = 0; kind < KindCount; ++kind) {
        for (int call = 1; call <= callCounts[kind]; ++call) {
            const TempFolder folder;
            const std::string path = freshFile(folder);
            const bool succeeded = runInjected(path, static_cast<Kind>(kind), call);
            ++failurePointsTried;
            const std::string where = name + ", " + kindNames[kind] + " call " + std::to_string(call)
                + (succeeded ? " (reported success)" : " (reported failure)");
            const FileState after = stateOf(path);
            if (succeeded) {
                // A failure the operation may shrug off, such as syncing the
                // folder: the result must then be the whole new file.
                EXPECT_EQ(after.bytes, saved.bytes) << where;
                EXPECT_TRUE(after.mode == saved.mode || after.mode == before.mode) << where;
            } else if (!(operation.inPlace && after.bytes == saved.bytes && after.mode == saved.mode)) {
                EXPECT_TRUE(after.bytes == before.bytes) << where << ": the content changed";
                EXPECT_EQ(after.mode, before.mode) << where;
            }
            EXPECT_EQ(folder.list(), (std::set<std::string>{operation.fileName}))
                << where << ": a file was left behind";
        }
    }
}

std::string id3v1Trailer(const std::string& title)
{
    std::string trailer = "TAG" + title;
    trailer.resize(128, '\0');
    trailer[127] = '\xFF';
    return trailer;
}

TEST(FailurePoints, EveryFailedCallLeavesTheFileAsItWas)
{
    const std::string taggedV2
        = testing::id3v2Tag(
              3, testing::id3v2Frame("TIT2", std::string("\0Old", 4)) + testing::id3v2Frame("APIC", "picture bytes"))
        + mpegAudio() + id3v1Trailer("Old");
    TID3v2 tagV2;
    tagV2.FSetTitle("New title");
    TID3v1 tagV1;
    tagV1.FSetTitle("New title");
    settings::Settings choices;
    choices.lastFolder = "/music/new";
    const std::string settingsFile = "; the user's own notes\n[Options]\nLast Folder=/music/old\n[Other]\nkept=1\n";

    for (const mode_t mode : {0644, 0444}) {
        const std::vector<Operation> operations = {
            {"ID3v2 save", "song.mp3", taggedV2, mode, [&](const std::string& path) { return tagV2.SaveToFile(path); }},
            {"ID3v2 removal", "song.mp3", taggedV2, mode,
             [&](const std::string& path) { return tagV2.RemoveFromFile(path); }},
            {"ID3v1 save", "song.mp3", taggedV2, mode, [&](const std::string& path) { return tagV1.SaveToFile(path); },
             true},
            {"ID3v1 removal", "song.mp3", taggedV2, mode,
             [&](const std::string& path) { return tagV1.RemoveFromFile(path); }, true},
            {"both tags saved", "song.mp3", taggedV2, mode,
             [&](const std::string& path) { return SaveTagsToFile(path, tagV1, tagV2); }},
        };
        for (const Operation& operation : operations) {
            for (const Lacking lacking : {Lacking::Nothing, Lacking::UnnamedFiles, Lacking::Proc}) {
                tryEveryFailurePoint(operation, lacking);
            }
        }
    }
    // A camera card or a USB stick: no unnamed files, no owners, no modes; the save is whole or not at all.
    tryEveryFailurePoint({"both tags saved on FAT", "song.mp3", taggedV2, 0644,
                          [&](const std::string& path) { return SaveTagsToFile(path, tagV1, tagV2); }},
                         Lacking::Modes);
    for (const Lacking lacking : {Lacking::Nothing, Lacking::UnnamedFiles, Lacking::Proc}) {
        tryEveryFailurePoint({"settings save", "quorbit.ini", settingsFile, 0644,
                              [&](const std::string& path) { return bool(settings::saveSettings(path, choices)); }},
                             lacking);
    }
    std::printf("failure points tried: %d\n", failurePointsTried);
    EXPECT_GT(failurePointsTried, 50);
}

} // namespace
} // namespace quorbit
