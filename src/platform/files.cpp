#include "platform/files.h"

#include "platform/localetext.h"

#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorbit::files {

namespace {

bool isNoReplaceRefused(int error)
{
    return error == EINVAL || error == ENOSYS || error == ENOTSUP || error == EOPNOTSUPP;
}

// A move that never replaces. Returns 0 or the errno of the failure.
int moveNoReplace(const std::string& from, const std::string& to)
{
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return 0;
    }
    return isNoReplaceRefused(errno) ? moveWithoutNoReplaceFlag(from, to) : errno;
}

// On a case-insensitive file system the new name of a case-only rename finds
// the entry itself, so the move reports that the target exists.
bool isSameEntryInOtherCase(const std::string& from, const std::string& to)
{
    struct stat source {};
    struct stat target {};
    if (lstat(from.c_str(), &source) != 0 || lstat(to.c_str(), &target) != 0) {
        return false;
    }
    return source.st_dev == target.st_dev && source.st_ino == target.st_ino
        && text::caseFold(fileNameOf(from)) == text::caseFold(fileNameOf(to));
}

MoveResult moveThroughTemporaryName(const std::string& from, const std::string& to)
{
    const std::string folder = from.substr(0, from.size() - fileNameOf(from).size());
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string temporary =
            folder + ".quorbit-" + std::to_string(getpid()) + "-" + std::to_string(attempt) + ".tmp";
        const int error = moveNoReplace(from, temporary);
        if (error == EEXIST) {
            continue;
        }
        if (error != 0) {
            return MoveResult::Failed;
        }
        if (moveNoReplace(temporary, to) == 0) {
            return MoveResult::Moved;
        }
        // Hard links that only look alike on a case-sensitive file system: put it back.
        moveNoReplace(temporary, from);
        return MoveResult::TargetExists;
    }
    return MoveResult::Failed;
}

} // namespace

bool listFolder(const std::string& folder, std::vector<DirEntry>& entries)
{
    entries.clear();
    const int folderFd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd < 0) {
        return false;
    }
    DIR* dir = fdopendir(folderFd);
    if (!dir) {
        close(folderFd);
        return false;
    }
    while (const dirent* item = readdir(dir)) {
        const std::string_view name = item->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        DirEntry entry;
        entry.name = name;
        entry.isHidden = name.front() == '.';
        entry.isDirectory = item->d_type == DT_DIR;
        entry.isLink = item->d_type == DT_LNK;
        // Only a folder's permission matters, so only folders (and entries whose
        // type readdir does not know) cost a stat; a folder of 100,000 files needs none.
        struct stat status {};
        if ((item->d_type == DT_DIR || item->d_type == DT_UNKNOWN)
            && fstatat(folderFd, item->d_name, &status, AT_SYMLINK_NOFOLLOW) == 0) {
            entry.isDirectory = S_ISDIR(status.st_mode);
            entry.isLink = S_ISLNK(status.st_mode);
            entry.isReadOnly = entry.isDirectory && (status.st_mode & S_IWUSR) == 0;
        }
        entries.push_back(std::move(entry));
    }
    closedir(dir);
    return true;
}

bool isExistingDirectory(const std::string& path)
{
    struct stat status {};
    return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

bool isExistingFile(const std::string& path)
{
    struct stat status {};
    return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

bool isWritableFolder(const std::string& folder)
{
    return isExistingDirectory(folder) && access(folder.c_str(), W_OK | X_OK) == 0;
}

MoveResult moveEntry(const std::string& from, const std::string& to)
{
    const int error = moveNoReplace(from, to);
    if (error == 0) {
        return MoveResult::Moved;
    }
    if (error != EEXIST) {
        return MoveResult::Failed;
    }
    return isSameEntryInOtherCase(from, to) ? moveThroughTemporaryName(from, to) : MoveResult::TargetExists;
}

int moveWithoutNoReplaceFlag(const std::string& from, const std::string& to)
{
    struct stat source {};
    if (lstat(from.c_str(), &source) != 0) {
        return errno;
    }
    if (!S_ISDIR(source.st_mode)) {
        if (link(from.c_str(), to.c_str()) == 0) {
            if (unlink(from.c_str()) == 0) {
                return 0;
            }
            const int error = errno;
            unlink(to.c_str());
            return error;
        }
        if (errno == EEXIST) {
            return EEXIST;
        }
        // File systems without hard links fall through to the checked rename.
    }
    struct stat target {};
    if (lstat(to.c_str(), &target) == 0) {
        return EEXIST;
    }
    if (errno != ENOENT) {
        return errno;
    }
    return rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

bool createFolder(const std::string& path)
{
    return mkdir(path.c_str(), 0777) == 0;
}

std::string_view fileNameOf(std::string_view path)
{
    return path.substr(path.rfind('/') + 1); // npos + 1 is 0: a bare name is its own file name
}

std::string withTrailingSeparator(std::string_view folder)
{
    std::string path(folder);
    if (path.empty() || path.back() != '/') {
        path.push_back('/');
    }
    return path;
}

} // namespace quorbit::files
