#include "platform/filecontent.h"

#include "platform/writeall.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorbit::files {

namespace {

// Opens without blocking, so a pipe or a device named like an MP3 file cannot
// hang the caller, and keeps only regular files.
// Opens `path`, relative to the folder `folder` (AT_FDCWD for none).
int openRegularFile(int folder, const std::string& path, int flags, struct stat& status)
{
    const int descriptor = ::openat(folder, path.c_str(), flags | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (descriptor < 0) {
        return -1;
    }
    if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
        const int error = S_ISREG(status.st_mode) ? errno : EINVAL;
        ::close(descriptor);
        errno = error;
        return -1;
    }
    return descriptor;
}

class Descriptor {
public:
    explicit Descriptor(int descriptor)
        : m_descriptor(descriptor)
    {
    }
    ~Descriptor()
    {
        if (m_descriptor >= 0) {
            ::close(m_descriptor);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_descriptor; }
    // Closes now and tells whether the close, the last chance to hear of a
    // failed write, succeeded.
    bool close()
    {
        const int descriptor = m_descriptor;
        m_descriptor = -1;
        return ::close(descriptor) == 0;
    }

private:
    int m_descriptor;
};

// Copies the bytes of `source` from `offset` up to `end` onto the end of `target`.
bool copyRest(int source, std::int64_t offset, std::int64_t end, int target)
{
    off_t position = offset;
    // The kernel copies without a round trip through user memory, and may
    // share blocks on file systems that support it.
    while (position < end) {
        const ssize_t copied
            = ::copy_file_range(source, &position, target, nullptr, static_cast<std::size_t>(end - position), 0);
        if (copied < 0 && errno == EINTR) {
            continue;
        }
        if (copied < 0 && (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)) {
            break;
        }
        if (copied <= 0) {
            return copied == 0 && position >= end;
        }
    }
    std::vector<char> buffer(1 << 20);
    while (position < end) {
        const auto length = static_cast<std::size_t>(std::min<std::int64_t>(end - position, buffer.size()));
        const ssize_t read = ::pread(source, buffer.data(), length, position);
        if (read < 0 && errno == EINTR) {
            continue;
        }
        if (read <= 0 || !writeAll(target, std::string_view(buffer.data(), static_cast<std::size_t>(read)))) {
            return false;
        }
        position += read;
    }
    return true;
}

// The temporary names of the file `name`, tried in turn: "~" appended, then
// "~2", "~3"... A name near the longest a name can be is cut to make room, as
// the temporary name only has to be free.
constexpr int temporaryNameCount = 100;

std::string temporaryName(std::string_view name, int attempt)
{
    const std::string suffix = "~" + (attempt == 1 ? std::string() : std::to_string(attempt));
    const std::size_t excess = name.size() + suffix.size() > NAME_MAX ? name.size() + suffix.size() - NAME_MAX : 0;
    return std::string(name.substr(0, name.size() - excess)) + suffix;
}

std::size_t nameStart(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? 0 : slash + 1;
}

// Gives the temporary file of `target` the first free temporary name beside
// it, as an existing entry is never replaced. `claim` makes the entry, failing
// with EEXIST when it is there.
template <typename Claim>
bool claimFreeName(const std::string& target, std::string& temporaryPath, const Claim& claim)
{
    const std::size_t start = nameStart(target);
    for (int attempt = 1; attempt <= temporaryNameCount; ++attempt) {
        temporaryPath = target.substr(0, start) + temporaryName(std::string_view(target).substr(start), attempt);
        if (claim(temporaryPath)) {
            return true;
        }
        if (errno != EEXIST) {
            break;
        }
    }
    temporaryPath.clear();
    return false;
}

std::string folderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

// The file that writing through `path` reaches: links are followed, also one
// that leads to nothing yet, whose target is then the file to create. Empty
// when links loop or a part of the path cannot be looked up.
std::string writeTarget(const std::string& path)
{
    std::string current = path;
    for (int hop = 0; hop < 40; ++hop) { // as many as the kernel follows
        struct stat status {};
        if (::lstat(current.c_str(), &status) != 0) {
            return errno == ENOENT ? current : std::string();
        }
        if (!S_ISLNK(status.st_mode)) {
            return resolvedPath(current);
        }
        std::string link(PATH_MAX, '\0');
        const ssize_t length = ::readlink(current.c_str(), link.data(), link.size());
        if (length <= 0 || static_cast<std::size_t>(length) >= link.size()) {
            return {};
        }
        link.resize(static_cast<std::size_t>(length));
        current = link.front() == '/' ? link : folderOf(current) + "/" + link;
    }
    return {};
}

bool isSameFile(const struct stat& one, const struct stat& other)
{
    return one.st_dev == other.st_dev && one.st_ino == other.st_ino;
}

// Gives the temporary file the owner (where this process may) and the
// permission bits of the file it will replace, with `addedBits`. The mode is
// set after the owner because a change of owner clears set-id bits. A drive
// that keeps no permission bits (fusefat answers ENOSYS, a vfat mount EPERM
// for the file this process just made) gives every file the same, so there is
// nothing to carry over.
bool takeOwnerAndMode(int temporary, const struct stat& original, mode_t addedBits = 0)
{
    (void)::fchown(temporary, original.st_uid, original.st_gid);
    return ::fchmod(temporary, (original.st_mode & 07777) | addedBits) == 0 || errno == ENOSYS || errno == EOPNOTSUPP
        || errno == EPERM;
}

std::size_t readFromDescriptor(int descriptor, std::int64_t offset, char* buffer, std::size_t length)
{
    if (descriptor < 0 || offset < 0) {
        return 0;
    }
    std::size_t done = 0;
    while (done < length) {
        const ssize_t read = ::pread(descriptor, buffer + done, length - done, offset + static_cast<off_t>(done));
        if (read < 0 && errno == EINTR) {
            continue;
        }
        if (read <= 0) {
            break;
        }
        done += static_cast<std::size_t>(read);
    }
    return done;
}

// Opens the file the new content of `target` is written to, also for reading,
// to compare copies left by killed saves with it. Where the file system allows
// and `unnamed` is set, it has no name in the target's folder until it is
// complete, so a process killed meanwhile leaves nothing behind; otherwise it
// is made under the first free "~" name, left in `temporaryPath`.
int openTemporaryFile(const std::string& target, bool unnamed, mode_t mode, std::string& temporaryPath)
{
    temporaryPath.clear();
    if (unnamed) {
        const int descriptor = ::open(folderOf(target).c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, mode);
        // EOPNOTSUPP: a file system without unnamed files; EISDIR: a kernel
        // without them; EINVAL: refused for these otherwise valid flags.
        if (descriptor >= 0 || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)) {
            return descriptor;
        }
    }
    int descriptor = -1;
    claimFreeName(target, temporaryPath, [&](const std::string& name) {
        descriptor = ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        return descriptor >= 0;
    });
    return descriptor;
}

// Whether the open files `one` and `other`, both of `size` bytes, hold the same bytes.
bool sameContent(int one, int other, std::int64_t size)
{
    std::vector<char> first(1 << 16);
    std::vector<char> second(first.size());
    for (std::int64_t offset = 0; offset < size;) {
        const auto length = static_cast<std::size_t>(std::min<std::int64_t>(size - offset, first.size()));
        if (readFromDescriptor(one, offset, first.data(), length) != length
            || readFromDescriptor(other, offset, second.data(), length) != length
            || std::memcmp(first.data(), second.data(), length) != 0) {
            return false;
        }
        offset += static_cast<std::int64_t>(length);
    }
    return true;
}

bool unchanged(const struct stat& before, const struct stat& now)
{
    return isSameFile(before, now) && before.st_size == now.st_size && before.st_ctim.tv_sec == now.st_ctim.tv_sec
        && before.st_ctim.tv_nsec == now.st_ctim.tv_nsec;
}

// Removes the copies that saves killed between naming their new file and the
// rename left under the temporary names of `name`, up to the first free one,
// where naming stops: a regular file of one name, owned by `owner` (the file's)
// or by this process (whose save could not give it away), holding exactly what
// the open file `written` holds, which the file itself now holds. So nothing
// is lost but a second copy; a copy of what the file held before is left
// alone, as it may be the only one now.
void removeLeftCopies(int folder, std::string_view name, int written, uid_t owner)
{
    struct stat content {};
    if (::fstat(written, &content) != 0) {
        return;
    }
    for (int attempt = 1; attempt <= temporaryNameCount; ++attempt) {
        const std::string copyName = temporaryName(name, attempt);
        struct stat found {};
        if (::fstatat(folder, copyName.c_str(), &found, AT_SYMLINK_NOFOLLOW) != 0) {
            return;
        }
        // A name cut to fit may be the file's own.
        if (copyName == name || !S_ISREG(found.st_mode) || found.st_nlink != 1 || found.st_size != content.st_size
            || isSameFile(found, content) || (found.st_uid != owner && found.st_uid != ::geteuid())) {
            continue;
        }
        struct stat opened {};
        const Descriptor copy(openRegularFile(folder, copyName, O_RDONLY | O_NOFOLLOW, opened));
        if (copy.get() < 0 || !unchanged(found, opened) || !sameContent(copy.get(), written, opened.st_size)) {
            continue;
        }
        // No call removes a name only while it holds a given file; checking
        // again leaves just the moment between this and the removal.
        if (::fstatat(folder, copyName.c_str(), &found, AT_SYMLINK_NOFOLLOW) == 0 && unchanged(opened, found)) {
            (void)::unlinkat(folder, copyName.c_str(), 0);
        }
    }
}

enum class Commit { Done, Failed, Unnameable };

// Flushes the written temporary file, names it if it has no name yet, and
// renames it over `target`; or removes it. Unnameable: an unnamed file could
// not be linked in, as /proc is not there.
Commit commitTemporary(int temporary, std::string& temporaryPath, const std::string& target, bool written)
{
    // Flushed while still unnamed, so that a name exists only for the moment
    // up to the rename.
    if (!written || ::fsync(temporary) != 0) {
        if (!temporaryPath.empty()) {
            ::unlink(temporaryPath.c_str());
        }
        return Commit::Failed;
    }
    if (temporaryPath.empty()) {
        // Linking the descriptor itself (AT_EMPTY_PATH) needs a capability.
        const std::string self = "/proc/self/fd/" + std::to_string(temporary);
        if (!claimFreeName(target, temporaryPath, [&](const std::string& name) {
                return ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0;
            })) {
            return errno == ENOENT ? Commit::Unnameable : Commit::Failed;
        }
    }
    // Nothing between the link and the rename: a save killed there leaves a
    // whole copy under the temporary name, which only a later save of the
    // same content removes.
    // rename(2) replaces its target, which is what this one step is for: the
    // target's name never points at a partly written file.
    if (::rename(temporaryPath.c_str(), target.c_str()) != 0) {
        ::unlink(temporaryPath.c_str());
        return Commit::Failed;
    }
    return Commit::Done;
}

// Writes the new content of `target` through `write` into a temporary file
// and renames that over it in one step. Without /proc an unnamed file cannot
// be named, and the content is written again into a named one. `owner` is the
// owner of the file replaced.
bool saveThroughTemporary(const std::string& target, mode_t mode, uid_t owner, const std::function<bool(int)>& write)
{
    const Descriptor folder(::open(folderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    for (const bool unnamed : {true, false}) {
        std::string temporaryPath;
        Descriptor temporary(openTemporaryFile(target, unnamed, mode, temporaryPath));
        if (temporary.get() < 0) {
            return false;
        }
        const Commit result = commitTemporary(temporary.get(), temporaryPath, target, write(temporary.get()));
        if (result == Commit::Done && folder.get() >= 0) {
            // Only now that the file holds what a removed copy held. The new
            // file is still open to compare with: after its fsync, its close
            // has nothing left to report.
            removeLeftCopies(folder.get(), std::string_view(target).substr(nameStart(target)), temporary.get(), owner);
            (void)::fsync(folder.get()); // so that the rename survives a power failure
        }
        if (result != Commit::Unnameable) {
            return result == Commit::Done;
        }
    }
    return false;
}

} // namespace

std::string resolvedPath(const std::string& path)
{
    const std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr), &std::free);
    return resolved ? std::string(resolved.get()) : std::string();
}

CopyResult copyFile(const Folder& from, const std::string& name, const Folder& to, const std::string& newName)
{
    const ReadOnlyFile source(from, name);
    struct stat status {};
    if (!source.isOpen() || ::fstat(source.m_descriptor, &status) != 0) {
        return CopyResult::Failed;
    }
    // O_EXCL with O_NOFOLLOW: neither an entry nor a link of that name is ever written through.
    Descriptor target(::openat(to.m_handle, newName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                               status.st_mode & 07777));
    if (target.get() < 0) {
        return errno == EEXIST ? CopyResult::TargetExists : CopyResult::Failed;
    }
    if (!copyRest(source.m_descriptor, 0, source.size(), target.get()) || !target.close()) {
        ::unlinkat(to.m_handle, newName.c_str(), 0);
        return CopyResult::Failed;
    }
    return CopyResult::Copied;
}

ReadOnlyFile::ReadOnlyFile(const std::string& path)
    : ReadOnlyFile(AT_FDCWD, path)
{
}

ReadOnlyFile::ReadOnlyFile(const Folder& folder, const std::string& name)
    : ReadOnlyFile(folder.m_handle, name)
{
}

ReadOnlyFile::ReadOnlyFile(int folder, const std::string& path)
{
    struct stat status {};
    m_descriptor = openRegularFile(folder, path, O_RDONLY, status);
    if (m_descriptor >= 0) {
        m_size = status.st_size;
    }
}

ReadOnlyFile::~ReadOnlyFile()
{
    if (m_descriptor >= 0) {
        ::close(m_descriptor);
    }
}

std::size_t ReadOnlyFile::readAt(std::int64_t offset, char* buffer, std::size_t length) const
{
    return readFromDescriptor(m_descriptor, offset, buffer, length);
}

InPlaceFile::InPlaceFile(const std::string& path)
{
    struct stat status {};
    m_descriptor = openRegularFile(AT_FDCWD, path, O_RDWR, status);
    const bool writable = m_descriptor >= 0;
    // Without the owner's write permission: give it through a read-only
    // handle, then open the very same file again for writing.
    const Descriptor reading(writable || errno != EACCES ? -1 : openRegularFile(AT_FDCWD, path, O_RDONLY, status));
    if (!writable && reading.get() < 0) {
        return;
    }
    const int handle = writable ? m_descriptor : reading.get();
    if ((status.st_mode & S_IWUSR) == 0 && ::fchmod(handle, (status.st_mode & 07777) | S_IWUSR) == 0) {
        m_originalMode = status.st_mode & 07777;
        m_modeChanged = true;
    }
    if (!writable) {
        if (!m_modeChanged) {
            return;
        }
        m_descriptor = openRegularFile(AT_FDCWD, "/proc/self/fd/" + std::to_string(handle), O_RDWR, status);
        if (m_descriptor < 0) {
            (void)::fchmod(handle, static_cast<mode_t>(m_originalMode));
            m_modeChanged = false;
            return;
        }
    }
    m_size = status.st_size;
}

InPlaceFile::~InPlaceFile()
{
    if (m_descriptor >= 0) {
        m_failed = true;
        close();
    }
}

bool InPlaceFile::writeAt(std::int64_t offset, std::string_view bytes)
{
    if (m_descriptor < 0 || offset < 0 || offset > m_size) {
        m_failed = true;
        return false;
    }
    if (::lseek(m_descriptor, offset, SEEK_SET) != offset || !writeAll(m_descriptor, bytes)) {
        if (offset == m_size) {
            (void)::ftruncate(m_descriptor, m_size);
        }
        m_failed = true;
        return false;
    }
    m_size = std::max<std::int64_t>(m_size, offset + static_cast<std::int64_t>(bytes.size()));
    return true;
}

bool InPlaceFile::truncate(std::int64_t size)
{
    const bool cut = m_descriptor >= 0 && size >= 0 && size <= m_size && ::ftruncate(m_descriptor, size) == 0;
    if (cut) {
        m_size = size;
    }
    m_failed = m_failed || !cut;
    return cut;
}

bool InPlaceFile::close()
{
    if (m_descriptor < 0) {
        return false;
    }
    if (m_failed && m_modeChanged) {
        (void)::fchmod(m_descriptor, static_cast<mode_t>(m_originalMode));
    }
    const bool closed = ::close(m_descriptor) == 0;
    m_descriptor = -1;
    return closed && !m_failed;
}

WholeFile readWholeFile(const std::string& path, std::size_t maxBytes)
{
    WholeFile whole;
    struct stat status {};
    const Descriptor file(openRegularFile(AT_FDCWD, path, O_RDONLY, status));
    if (file.get() < 0) {
        whole.status = errno == ENOENT ? ReadStatus::Missing : ReadStatus::Unreadable;
        return whole;
    }
    whole.status = ReadStatus::Unreadable;
    if (status.st_size < 0 || static_cast<std::uint64_t>(status.st_size) > maxBytes) {
        return whole;
    }
    // One byte more than the size, to notice a file that grew since fstat.
    std::string bytes(static_cast<std::size_t>(status.st_size) + 1, '\0');
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t read = ::read(file.get(), bytes.data() + done, bytes.size() - done);
        if (read < 0 && errno == EINTR) {
            continue;
        }
        if (read < 0) {
            return whole;
        }
        if (read == 0) {
            break;
        }
        done += static_cast<std::size_t>(read);
    }
    if (done != static_cast<std::size_t>(status.st_size)) {
        return whole; // cut short, or changing as it was read
    }
    bytes.resize(done);
    whole.status = ReadStatus::Read;
    whole.bytes = std::move(bytes);
    return whole;
}

bool rebuildFile(const std::string& path, const ReadOnlyFile& file, std::string_view head, std::int64_t keepFrom,
                 std::int64_t keepTo, std::string_view tail)
{
    // Rebuild what a link points to, so the link itself stays a link.
    const std::string target = resolvedPath(path);
    struct stat opened {};
    struct stat named {};
    if (target.empty() || ::fstat(file.m_descriptor, &opened) != 0 || ::stat(target.c_str(), &named) != 0
        || !isSameFile(opened, named)) {
        return false;
    }
    keepTo = keepTo < 0 ? opened.st_size : keepTo;
    if (keepFrom < 0 || keepFrom > keepTo || keepTo > opened.st_size) {
        return false;
    }
    const uid_t user = ::geteuid();
    if ((opened.st_mode & S_IWUSR) == 0 && user != opened.st_uid && user != 0) {
        return false; // the owner's write permission could not be given
    }
    return saveThroughTemporary(target, 0600, opened.st_uid, [&](int temporary) {
        return takeOwnerAndMode(temporary, opened, S_IWUSR) && writeAll(temporary, head)
            && copyRest(file.m_descriptor, keepFrom, keepTo, temporary)
            && writeAll(temporary, tail)
            // Another program may have put a new file in its place meanwhile;
            // that one is not replaced.
            && ::stat(target.c_str(), &named) == 0 && isSameFile(opened, named);
    });
}

bool replaceFileContent(const std::string& path, std::string_view content)
{
    const std::string target = writeTarget(path);
    if (target.empty()) {
        return false;
    }
    struct stat status {};
    const bool exists = ::stat(target.c_str(), &status) == 0;
    if (exists && (!S_ISREG(status.st_mode) || ::access(target.c_str(), W_OK) != 0)) {
        return false;
    }
    // A new file gets the usual permissions, 0666 less the umask.
    return saveThroughTemporary(target, exists ? 0600 : 0666, exists ? status.st_uid : ::geteuid(), [&](int temporary) {
        return (!exists || takeOwnerAndMode(temporary, status)) && writeAll(temporary, content);
    });
}

} // namespace quorbit::files
