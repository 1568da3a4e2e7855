#include "platform/folderwatch.h"

#include <algorithm>
#include <cerrno>
#include <set>
#include <vector>

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorbit::files {

namespace {

constexpr std::uint32_t watchedEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_ATTRIB | IN_CLOSE_WRITE
    | IN_MODIFY | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

} // namespace

FolderWatch::FolderWatch()
    : m_handle(inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
{
}

FolderWatch::~FolderWatch()
{
    if (m_handle >= 0) {
        ::close(m_handle);
    }
}

void FolderWatch::watch(const std::vector<std::string>& folders)
{
    want(folders);
    watchWanted(folders);
}

void FolderWatch::want(const std::vector<std::string>& folders)
{
    if (m_handle < 0) {
        return;
    }
    const std::lock_guard lock(m_lock);
    m_wanted = std::set<std::string>(folders.begin(), folders.end());
    // Removed under the lock, so no call can meanwhile be given the same
    // number for a folder it watches anew. The kernel drops a watch without
    // asking the folder's file system.
    for (auto watch = m_folderOfWatch.begin(); watch != m_folderOfWatch.end();) {
        if (m_wanted.count(watch->second.folder) == 0) {
            inotify_rm_watch(m_handle, watch->first);
            watch = m_folderOfWatch.erase(watch);
        } else {
            ++watch;
        }
    }
}

std::vector<std::string> FolderWatch::watchWanted(const std::vector<std::string>& folders)
{
    std::vector<std::string> begun;
    if (m_handle < 0) {
        return begun;
    }
    for (const std::string& folder : folders) {
        std::vector<Watched> watched;
        {
            const std::lock_guard lock(m_lock);
            if (folder.empty() || m_wanted.count(folder) == 0 || !m_lookingUp.insert(folder).second) {
                continue;
            }
            for (const auto& [watch, entry] : m_folderOfWatch) {
                if (entry.folder == folder) {
                    watched.push_back(entry);
                }
            }
        }
        struct stat status {};
        const bool found = ::stat(folder.c_str(), &status) == 0;
        // Watching a folder again costs the kernel another walk over its
        // entries; a path that now names another folder is watched anew.
        const bool watchedAlready = std::any_of(watched.begin(), watched.end(), [&](const Watched& entry) {
            return entry.device == status.st_dev && entry.inode == status.st_ino;
        });
        // The kernel gives a folder watched twice the same number.
        const int watch = found && !watchedAlready ? inotify_add_watch(m_handle, folder.c_str(), watchedEvents) : -1;
        const std::lock_guard lock(m_lock);
        m_lookingUp.erase(folder);
        if (watch < 0) {
            continue;
        }
        if (m_wanted.count(folder) != 0) {
            if (m_folderOfWatch.count(watch) == 0) {
                begun.push_back(folder);
            }
            m_folderOfWatch[watch] = {folder, status.st_dev, status.st_ino};
        } else if (m_folderOfWatch.count(watch) == 0) {
            inotify_rm_watch(m_handle, watch); // no longer wanted while it was looked up
        }
    }
    return begun;
}

std::vector<std::string> FolderWatch::takeChanged()
{
    std::vector<std::string> changed;
    if (m_handle < 0) {
        return changed;
    }
    alignas(inotify_event) char buffer[16384];
    for (;;) {
        const ssize_t length = ::read(m_handle, buffer, sizeof buffer);
        if (length < 0 && errno == EINTR) {
            continue;
        }
        if (length <= 0) {
            break; // EAGAIN: nothing more waits
        }
        const std::lock_guard lock(m_lock);
        for (ssize_t offset = 0; offset < length;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
            offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            const auto folder = m_folderOfWatch.find(event->wd);
            if (folder == m_folderOfWatch.end()) {
                continue; // a watch removed since, or the queue overflowed
            }
            if (std::find(changed.begin(), changed.end(), folder->second.folder) == changed.end()) {
                changed.push_back(folder->second.folder);
            }
            if (event->mask & IN_IGNORED) {
                m_folderOfWatch.erase(folder); // the folder went, and its watch with it
            }
        }
    }
    return changed;
}

} // namespace quorbit::files
