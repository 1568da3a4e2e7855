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
    if (m_handle < 0) {
        return;
    }
    const std::lock_guard watching(m_watching);
    const std::set<std::string> wanted(folders.begin(), folders.end());
    std::vector<int> unwanted;
    std::vector<Watched> kept;
    {
        const std::lock_guard lock(m_lock);
        for (auto watch = m_folderOfWatch.begin(); watch != m_folderOfWatch.end();) {
            if (wanted.count(watch->second.folder) == 0) {
                unwanted.push_back(watch->first);
                watch = m_folderOfWatch.erase(watch);
            } else {
                kept.push_back(watch->second);
                ++watch;
            }
        }
    }
    for (const int watch : unwanted) {
        inotify_rm_watch(m_handle, watch);
    }
    for (const std::string& folder : wanted) {
        struct stat status {};
        if (folder.empty() || ::stat(folder.c_str(), &status) != 0) {
            continue;
        }
        // Watching a folder again costs the kernel another walk over its
        // entries; a path that now names another folder is watched anew.
        const bool watched = std::any_of(kept.begin(), kept.end(), [&](const Watched& watch) {
            return watch.folder == folder && watch.device == status.st_dev && watch.inode == status.st_ino;
        });
        // The kernel gives a folder watched twice the same number.
        const int watch = watched ? -1 : inotify_add_watch(m_handle, folder.c_str(), watchedEvents);
        if (watch >= 0) {
            const std::lock_guard lock(m_lock);
            m_folderOfWatch[watch] = {folder, status.st_dev, status.st_ino};
        }
    }
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
