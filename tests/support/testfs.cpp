// A FUSE file system that passes every call through to a backing folder, for
// tests and benchmarks that need a mount of their own: it can answer slowly,
// and stop answering altogether, as a network drive whose server went away.
//
//   quorbit_testfs BACKING_FOLDER MOUNT_POINT [--delay-ms N]
//
// Runs in the foreground until unmounted (fusermount3 -u MOUNT_POINT). Every
// call waits N milliseconds first. SIGUSR1 makes every call wait until
// SIGUSR2. Inode numbers are those of a driver without real ones: a listing
// gives the placeholder 4294967295, stat a number of libfuse's own.

#define FUSE_USE_VERSION 35

#include <fuse.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

std::string backing;
int delayMs = 0;
// Set and cleared by the signal handlers, polled by the calls.
std::atomic<bool> stalled{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the signal handlers need a lock-free flag");

void stall(int)
{
    stalled = true;
}

void resume(int)
{
    stalled = false;
}

// Every call passes here first.
void answerLate()
{
    while (stalled) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (delayMs > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
    }
}

std::string real(const char* path)
{
    return backing + path;
}

int result(int returned)
{
    return returned < 0 ? -errno : returned;
}

int getattr(const char* path, struct stat* status, fuse_file_info* file)
{
    answerLate();
    return result(file ? ::fstat(static_cast<int>(file->fh), status) : ::lstat(real(path).c_str(), status));
}

int readlink(const char* path, char* target, size_t size)
{
    answerLate();
    const ssize_t length = ::readlink(real(path).c_str(), target, size - 1);
    if (length < 0) {
        return -errno;
    }
    target[length] = '\0';
    return 0;
}

int mkdir(const char* path, mode_t mode)
{
    answerLate();
    return result(::mkdir(real(path).c_str(), mode));
}

int unlink(const char* path)
{
    answerLate();
    return result(::unlink(real(path).c_str()));
}

int rmdir(const char* path)
{
    answerLate();
    return result(::rmdir(real(path).c_str()));
}

int symlink(const char* target, const char* path)
{
    answerLate();
    return result(::symlink(target, real(path).c_str()));
}

int rename(const char* from, const char* to, unsigned int flags)
{
    answerLate();
    // RENAME_NOREPLACE and RENAME_EXCHANGE are the backing folder's to honour or refuse.
    return result(::renameat2(AT_FDCWD, real(from).c_str(), AT_FDCWD, real(to).c_str(), flags));
}

int link(const char* from, const char* to)
{
    answerLate();
    return result(::link(real(from).c_str(), real(to).c_str()));
}

int chmod(const char* path, mode_t mode, fuse_file_info* file)
{
    answerLate();
    return result(file ? ::fchmod(static_cast<int>(file->fh), mode) : ::chmod(real(path).c_str(), mode));
}

int chown(const char* path, uid_t owner, gid_t group, fuse_file_info* file)
{
    answerLate();
    return result(file ? ::fchown(static_cast<int>(file->fh), owner, group)
                       : ::lchown(real(path).c_str(), owner, group));
}

int truncate(const char* path, off_t size, fuse_file_info* file)
{
    answerLate();
    return result(file ? ::ftruncate(static_cast<int>(file->fh), size) : ::truncate(real(path).c_str(), size));
}

int utimens(const char* path, const timespec times[2], fuse_file_info* file)
{
    answerLate();
    return result(file ? ::futimens(static_cast<int>(file->fh), times)
                       : ::utimensat(AT_FDCWD, real(path).c_str(), times, AT_SYMLINK_NOFOLLOW));
}

int open(const char* path, fuse_file_info* file)
{
    answerLate();
    const int handle = ::open(real(path).c_str(), file->flags);
    if (handle < 0) {
        return -errno;
    }
    file->fh = static_cast<uint64_t>(handle);
    return 0;
}

int create(const char* path, mode_t mode, fuse_file_info* file)
{
    answerLate();
    const int handle = ::open(real(path).c_str(), file->flags, mode);
    if (handle < 0) {
        return -errno;
    }
    file->fh = static_cast<uint64_t>(handle);
    return 0;
}

int read(const char*, char* buffer, size_t size, off_t offset, fuse_file_info* file)
{
    answerLate();
    const ssize_t done = ::pread(static_cast<int>(file->fh), buffer, size, offset);
    return done < 0 ? -errno : static_cast<int>(done);
}

int write(const char*, const char* buffer, size_t size, off_t offset, fuse_file_info* file)
{
    answerLate();
    const ssize_t done = ::pwrite(static_cast<int>(file->fh), buffer, size, offset);
    return done < 0 ? -errno : static_cast<int>(done);
}

int statfs(const char* path, struct statvfs* status)
{
    answerLate();
    return result(::statvfs(real(path).c_str(), status));
}

int release(const char*, fuse_file_info* file)
{
    answerLate();
    return result(::close(static_cast<int>(file->fh)));
}

int fsync(const char*, int dataOnly, fuse_file_info* file)
{
    answerLate();
    const int handle = static_cast<int>(file->fh);
    return result(dataOnly ? ::fdatasync(handle) : ::fsync(handle));
}

int readdir(const char* path, void* buffer, fuse_fill_dir_t fill, off_t, fuse_file_info*, fuse_readdir_flags)
{
    answerLate();
    DIR* folder = ::opendir(real(path).c_str());
    if (!folder) {
        return -errno;
    }
    // Only the type goes with each name: without use_ino libfuse puts its
    // placeholder in place of the inode.
    while (const dirent* entry = ::readdir(folder)) {
        struct stat status {};
        status.st_mode = static_cast<mode_t>(DTTOIF(entry->d_type));
        if (fill(buffer, entry->d_name, &status, 0, static_cast<fuse_fill_dir_flags>(0)) != 0) {
            break;
        }
    }
    ::closedir(folder);
    return 0;
}

void* init(fuse_conn_info*, fuse_config* config)
{
    config->use_ino = 0;
    config->readdir_ino = 0;
    return nullptr;
}

fuse_operations operations()
{
    fuse_operations made{};
    made.getattr = getattr;
    made.readlink = readlink;
    made.mkdir = mkdir;
    made.unlink = unlink;
    made.rmdir = rmdir;
    made.symlink = symlink;
    made.rename = rename;
    made.link = link;
    made.chmod = chmod;
    made.chown = chown;
    made.truncate = truncate;
    made.open = open;
    made.read = read;
    made.write = write;
    made.statfs = statfs;
    made.release = release;
    made.fsync = fsync;
    made.readdir = readdir;
    made.init = init;
    made.create = create;
    made.utimens = utimens;
    return made;
}

int usage(const char* program)
{
    std::fprintf(stderr, "usage: %s BACKING_FOLDER MOUNT_POINT [--delay-ms N]\n", program);
    return 2;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 3 && !(argc == 5 && std::strcmp(argv[3], "--delay-ms") == 0)) {
        return usage(argv[0]);
    }
    char resolved[PATH_MAX];
    if (!::realpath(argv[1], resolved)) {
        std::perror(argv[1]);
        return 1;
    }
    backing = resolved;
    if (argc == 5) {
        char* end = nullptr;
        const long parsed = std::strtol(argv[4], &end, 10);
        if (*end != '\0' || parsed < 0 || parsed > 60'000) {
            return usage(argv[0]);
        }
        delayMs = static_cast<int>(parsed);
    }
    struct sigaction action {};
    action.sa_flags = SA_RESTART;
    action.sa_handler = stall;
    sigaction(SIGUSR1, &action, nullptr);
    action.sa_handler = resume;
    sigaction(SIGUSR2, &action, nullptr);

    // Foreground and multi-threaded, so one stalled call holds up no other
    // thread's; the kernel checks permissions as it does on a disk, and keeps
    // no names or details, so a stalled drive answers nothing from its cache.
    std::vector<char*> fuseArguments
        = {argv[0], const_cast<char*>("-f"), const_cast<char*>("-o"),
           const_cast<char*>("fsname=quorbit_testfs,subtype=quorbit_testfs,default_permissions,max_idle_threads=10,"
                             "entry_timeout=0,negative_timeout=0,attr_timeout=0"),
           argv[2]};
    const fuse_operations calls = operations();
    return fuse_main(static_cast<int>(fuseArguments.size()), fuseArguments.data(), &calls, nullptr);
}
