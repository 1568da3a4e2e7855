#include "platform/files.h"

#include "platform/localetext.h"
#include "platform/writeall.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace quorbit::files {

namespace {

bool isNoReplaceRefused(int error)
{
    return error == EINVAL || error == ENOSYS || error == ENOTSUP || error == EOPNOTSUPP;
}

int moveByLinkOrCheckedRename(int fromFolder, const char* fromName, int toFolder, const char* toName)
{
    struct stat source {};
    if (fstatat(fromFolder, fromName, &source, AT_SYMLINK_NOFOLLOW) != 0) {
        return errno;
    }
    if (!S_ISDIR(source.st_mode)) {
        int linked = 0;
        do {
            linked = linkat(fromFolder, fromName, toFolder, toName, 0);
        } while (linked != 0 && errno == EINTR); // a FUSE request a signal cut short
        if (linked == 0) {
            if (unlinkat(fromFolder, fromName, 0) == 0) {
                return 0;
            }
            const int error = errno;
            unlinkat(toFolder, toName, 0);
            return error;
        }
        // Only file systems without hard links fall through to the checked rename.
        if (errno != EPERM && errno != ENOSYS && errno != EOPNOTSUPP && errno != EMLINK) {
            return errno;
        }
    }
    struct stat target {};
    if (fstatat(toFolder, toName, &target, AT_SYMLINK_NOFOLLOW) == 0) {
        return EEXIST;
    }
    if (errno != ENOENT) {
        return errno;
    }
    return renameat(fromFolder, fromName, toFolder, toName) == 0 ? 0 : errno;
}

// A move that never replaces. Returns 0 or the errno of the failure.
int moveNoReplace(int fromFolder, const char* fromName, int toFolder, const char* toName)
{
    if (renameat2(fromFolder, fromName, toFolder, toName, RENAME_NOREPLACE) == 0) {
        return 0;
    }
    return isNoReplaceRefused(errno) ? moveByLinkOrCheckedRename(fromFolder, fromName, toFolder, toName) : errno;
}

// Whether the folder lists an entry named exactly `name`.
bool listsExactly(int folder, const std::string& name);

// On a case-insensitive file system the new name of a case-only rename finds
// the entry itself, so the move reports that the target exists. It is the
// entry itself when the two names fold to one and the folder lists no entry
// under the new name's own spelling. Inode numbers cannot tell: FUSE drivers
// of FAT and exFAT give each spelling its own.
bool isSameEntryInOtherCase(int fromFolder, const std::string& fromName, int toFolder, const std::string& toName)
{
    struct stat from {};
    struct stat to {};
    const bool sameFolder = fromFolder == toFolder
        || (fstat(fromFolder, &from) == 0 && fstat(toFolder, &to) == 0 && from.st_dev == to.st_dev
            && from.st_ino == to.st_ino);
    return sameFolder && text::caseFold(fromName) == text::caseFold(toName) && !listsExactly(toFolder, toName);
}

MoveResult moveThroughTemporaryName(int fromFolder, const std::string& fromName, int toFolder,
                                    const std::string& toName)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string temporary = ".quorbit-" + std::to_string(getpid()) + "-" + std::to_string(attempt) + ".tmp";
        const int error = moveNoReplace(fromFolder, fromName.c_str(), fromFolder, temporary.c_str());
        if (error == EEXIST) {
            continue;
        }
        if (error != 0) {
            return MoveResult::Failed;
        }
        if (moveNoReplace(fromFolder, temporary.c_str(), toFolder, toName.c_str()) == 0) {
            return MoveResult::Moved;
        }
        // Hard links that only look alike on a case-sensitive file system: put it back.
        moveNoReplace(fromFolder, temporary.c_str(), fromFolder, fromName.c_str());
        return MoveResult::TargetExists;
    }
    return MoveResult::Failed;
}

} // namespace

Folder::Folder(const std::string& path)
    : m_handle(open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC))
{
}

Folder::Folder(Folder&& other) noexcept
    : m_handle(std::exchange(other.m_handle, -1))
{
}

Folder& Folder::operator=(Folder&& other) noexcept
{
    if (this != &other) {
        if (m_handle >= 0) {
            close(m_handle);
        }
        m_handle = std::exchange(other.m_handle, -1);
    }
    return *this;
}

Folder::~Folder()
{
    if (m_handle >= 0) {
        close(m_handle);
    }
}

Folder Folder::openChild(const std::string& name) const
{
    // O_NOFOLLOW: a folder swapped for a link is not entered, wherever the link leads.
    return Folder(openat(m_handle, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
}

namespace {

// Calls `visit(listing, item)` for every entry of the folder held by `handle`
// but "." and "..", `listing` being a handle of the folder for looking the
// entry up. False when the folder cannot be read.
template <class Visit>
bool forEachEntry(int handle, Visit visit)
{
    // A handle of its own, as the listing moves its position and closes it.
    const int listing = handle < 0 ? -1 : openat(handle, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listing < 0) {
        return false;
    }
    DIR* dir = fdopendir(listing);
    if (!dir) {
        close(listing);
        return false;
    }
    while (const dirent* item = readdir(dir)) {
        const std::string_view name = item->d_name;
        if (name != "." && name != "..") {
            visit(listing, *item);
        }
    }
    closedir(dir);
    return true;
}

bool listsExactly(int folder, const std::string& name)
{
    bool found = false;
    forEachEntry(folder, [&](int, const dirent& item) { found = found || name == item.d_name; });
    return found;
}

} // namespace

bool Folder::list(std::vector<DirEntry>& entries) const
{
    entries.clear();
    return forEachEntry(m_handle, [&](int listing, const dirent& item) {
        const std::string_view name = item.d_name;
        DirEntry entry{.name = std::string(name)}; // at its length, as in listDetails
        entry.inode = item.d_ino;
        entry.isHidden = name.front() == '.';
        entry.isDirectory = item.d_type == DT_DIR;
        entry.isLink = item.d_type == DT_LNK;
        // Only a folder's permission matters, so only folders (and entries whose
        // type readdir does not know) cost a stat; a folder of 100,000 files needs none.
        struct stat status {};
        if ((item.d_type == DT_DIR || item.d_type == DT_UNKNOWN)
            && fstatat(listing, item.d_name, &status, AT_SYMLINK_NOFOLLOW) == 0) {
            entry.isDirectory = S_ISDIR(status.st_mode);
            entry.isLink = S_ISLNK(status.st_mode);
            entry.isReadOnly = entry.isDirectory && (status.st_mode & S_IWUSR) == 0;
        }
        entries.push_back(std::move(entry));
    });
}

bool Folder::listDetails(std::vector<EntryDetails>& entries, bool foldersOnly) const
{
    entries.clear();
    return forEachEntry(m_handle, [&](int listing, const dirent& item) {
        if (item.d_name[0] == '.') {
            return; // hidden
        }
        const bool knownFile = item.d_type != DT_DIR && item.d_type != DT_LNK && item.d_type != DT_UNKNOWN;
        if (foldersOnly && knownFile) {
            return;
        }
        struct stat status {};
        if (fstatat(listing, item.d_name, &status, AT_SYMLINK_NOFOLLOW) != 0) {
            return; // gone since it was listed
        }
        // Made at the name's length: assigned to an empty string, a name of 16
        // to 30 bytes would get room for 30, a heap block half as large again.
        EntryDetails entry{.name = item.d_name};
        entry.mode = status.st_mode;
        entry.device = status.st_dev;
        entry.inode = status.st_ino;
        entry.modified = status.st_mtim.tv_sec;
        entry.isFolder = S_ISDIR(status.st_mode);
        if (S_ISLNK(status.st_mode)) {
            struct stat target {};
            entry.isFolder = fstatat(listing, item.d_name, &target, 0) == 0 && S_ISDIR(target.st_mode);
        }
        if (foldersOnly && !entry.isFolder) {
            return;
        }
        entry.size = entry.isFolder ? -1 : static_cast<long long>(status.st_size);
        // A directory's link count is 2 plus its sub-folders where the file
        // system keeps count, and 1 where it does not.
        entry.mayHaveSubfolders = entry.isFolder && status.st_nlink != 2;
        entries.push_back(std::move(entry));
    });
}

bool Folder::leadsToDirectory(const std::string& name) const
{
    struct stat status {};
    return fstatat(m_handle, name.c_str(), &status, 0) == 0 && S_ISDIR(status.st_mode);
}

bool Folder::mayHaveSubfolders() const
{
    struct stat status {};
    return fstat(m_handle, &status) != 0 || status.st_nlink != 2;
}

Folder::Identity Folder::identity() const
{
    struct stat status {};
    if (fstat(m_handle, &status) != 0) {
        return {};
    }
    return {static_cast<unsigned long long>(status.st_dev), static_cast<unsigned long long>(status.st_ino)};
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

std::optional<long long> modifiedTime(const std::string& path)
{
    struct stat status {};
    if (stat(path.c_str(), &status) != 0) {
        return std::nullopt;
    }
    return static_cast<long long>(status.st_mtime);
}

bool isWritableFolder(const std::string& folder)
{
    return isExistingDirectory(folder) && access(folder.c_str(), W_OK | X_OK) == 0;
}

MoveResult moveEntry(const Folder& from, const std::string& fromName, const Folder& to, const std::string& toName)
{
    const int error = moveNoReplace(from.m_handle, fromName.c_str(), to.m_handle, toName.c_str());
    if (error == 0) {
        return MoveResult::Moved;
    }
    if (error != EEXIST) {
        return MoveResult::Failed;
    }
    return isSameEntryInOtherCase(from.m_handle, fromName, to.m_handle, toName)
        ? moveThroughTemporaryName(from.m_handle, fromName, to.m_handle, toName)
        : MoveResult::TargetExists;
}

int moveWithoutNoReplaceFlag(const Folder& from, const std::string& fromName, const Folder& to,
                             const std::string& toName)
{
    return moveByLinkOrCheckedRename(from.m_handle, fromName.c_str(), to.m_handle, toName.c_str());
}

bool dropSecondName(const Folder& from, const std::string& fromName, const Folder& to, const std::string& toName,
                    bool linkCountsTrusted)
{
    struct stat source {};
    struct stat target {};
    if (fstatat(from.m_handle, fromName.c_str(), &source, AT_SYMLINK_NOFOLLOW) != 0
        || fstatat(to.m_handle, toName.c_str(), &target, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(source.st_mode)
        || !S_ISREG(target.st_mode) || source.st_size != target.st_size
        || (linkCountsTrusted && (source.st_nlink < 2 || target.st_nlink < 2))) {
        return false;
    }
    if (source.st_dev != target.st_dev || source.st_ino != target.st_ino) {
        const int one = openat(from.m_handle, fromName.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        const int other = openat(to.m_handle, toName.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        bool same = one >= 0 && other >= 0;
        std::vector<char> first(1 << 16);
        std::vector<char> second(first.size());
        for (off_t offset = 0; same && offset < source.st_size;) {
            const ssize_t read = pread(one, first.data(), first.size(), offset);
            same = read > 0 && pread(other, second.data(), static_cast<std::size_t>(read), offset) == read
                && std::equal(first.begin(), first.begin() + read, second.begin());
            offset += read > 0 ? read : 0;
        }
        for (const int handle : {one, other}) {
            if (handle >= 0) {
                close(handle);
            }
        }
        if (!same) {
            return false;
        }
    }
    return unlinkat(from.m_handle, fromName.c_str(), 0) == 0;
}

bool createFolder(const Folder& parent, const std::string& name)
{
    return mkdirat(parent.m_handle, name.c_str(), 0777) == 0;
}

bool removeEmptyFolder(const Folder& parent, const std::string& name)
{
    return unlinkat(parent.m_handle, name.c_str(), AT_REMOVEDIR) == 0;
}

bool removeFile(const std::string& path)
{
    return ::unlink(path.c_str()) == 0;
}

namespace {

// `handle` with the lock taken, or -1 (and `handle` closed) when another process holds it.
int lockedOrClosed(int handle)
{
    if (handle >= 0 && flock(handle, LOCK_EX | LOCK_NB) != 0) {
        ::close(handle);
        return -1;
    }
    return handle;
}

} // namespace

AppendOnlyFile AppendOnlyFile::create(const std::string& path)
{
    return AppendOnlyFile(
        lockedOrClosed(::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600)));
}

ExistingFile AppendOnlyFile::openExisting(const std::string& path)
{
    AppendOnlyFile file(::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC | O_NOFOLLOW));
    if (!file.isOpen()) {
        return {errno == ENOENT ? ExistingFile::Status::Missing : ExistingFile::Status::Failed, {}};
    }
    if (flock(file.m_handle, LOCK_EX | LOCK_NB) != 0) {
        return {errno == EWOULDBLOCK ? ExistingFile::Status::Busy : ExistingFile::Status::Failed, {}};
    }
    // The lock may have been had only once its holder let go of the file, after
    // removing it or giving it another name: then the path leads elsewhere.
    struct stat opened = {};
    struct stat atPath = {};
    if (fstat(file.m_handle, &opened) != 0 || lstat(path.c_str(), &atPath) != 0 || opened.st_dev != atPath.st_dev
        || opened.st_ino != atPath.st_ino) {
        return {ExistingFile::Status::Missing, {}};
    }
    return {ExistingFile::Status::Open, std::move(file)};
}

AppendOnlyFile::AppendOnlyFile(AppendOnlyFile&& other) noexcept
    : m_handle(std::exchange(other.m_handle, -1))
{
}

AppendOnlyFile& AppendOnlyFile::operator=(AppendOnlyFile&& other) noexcept
{
    if (this != &other) {
        if (m_handle >= 0) {
            ::close(m_handle);
        }
        m_handle = std::exchange(other.m_handle, -1);
    }
    return *this;
}

AppendOnlyFile::~AppendOnlyFile()
{
    if (m_handle >= 0) {
        ::close(m_handle);
    }
}

bool writeAll(int descriptor, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t written = ::write(descriptor, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

bool AppendOnlyFile::append(std::string_view bytes)
{
    return writeAll(m_handle, bytes);
}

bool AppendOnlyFile::truncate(std::uint64_t length)
{
    return ::ftruncate(m_handle, static_cast<off_t>(length)) == 0;
}

void AppendOnlyFile::startWriteback()
{
    ::sync_file_range(m_handle, 0, 0, SYNC_FILE_RANGE_WRITE);
}

bool AppendOnlyFile::sync()
{
    return ::fdatasync(m_handle) == 0;
}

AppendOnlyFile AppendOnlyFile::share() const
{
    // A duplicate handle is the same open file, and a flock belongs to the open file.
    return AppendOnlyFile(m_handle < 0 ? -1 : ::fcntl(m_handle, F_DUPFD_CLOEXEC, 0));
}

bool isLocked(const std::string& path)
{
    const int handle = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (handle < 0) {
        return false;
    }
    const bool locked = flock(handle, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(handle);
    return locked;
}

std::string_view fileNameOf(std::string_view path)
{
    return path.substr(path.rfind('/') + 1); // npos + 1 is 0: a bare name is its own file name
}

std::string parentFolderOf(std::string_view path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos || slash == 0 ? std::string("/") : std::string(path.substr(0, slash));
}

std::string withTrailingSeparator(std::string_view folder)
{
    std::string path(folder);
    if (path.empty() || path.back() != '/') {
        path.push_back('/');
    }
    return path;
}

Folder::EntryStamp Folder::stampOf(const std::string& name) const
{
    struct statx status {};
    if (statx(m_handle, name.c_str(), AT_SYMLINK_NOFOLLOW, STATX_TYPE | STATX_INO | STATX_SIZE | STATX_BTIME, &status)
        != 0) {
        return {};
    }
    EntryStamp stamp;
    stamp.inode = status.stx_ino;
    stamp.size = S_ISDIR(status.stx_mode) ? EntryStamp::folderSize : status.stx_size;
    if ((status.stx_mask & STATX_BTIME) != 0 && status.stx_btime.tv_sec >= 0) {
        stamp.birth = static_cast<std::uint64_t>(status.stx_btime.tv_sec) * 1'000'000'000U + status.stx_btime.tv_nsec;
    }
    return stamp;
}

} // namespace quorbit::files
