#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace quorbit::files {

// Reports of changes inside folders, from the kernel (inotify): entries
// created, deleted, renamed, written or given other attributes, and the
// folder itself deleted or moved. Folders are named by their bytes, whatever
// the bytes are. Closed with the object. One thread may change the watches
// while another takes the reports: adding a watch makes the kernel walk every
// entry it knows in the folder, a million in a large one, so it belongs off
// the window's thread.
class FolderWatch {
public:
    FolderWatch(); // not open when the system offers no watches
    ~FolderWatch();
    FolderWatch(const FolderWatch&) = delete;
    FolderWatch& operator=(const FolderWatch&) = delete;

    bool isOpen() const { return m_handle >= 0; }
    // Becomes readable when reports wait; for an event loop to wait on.
    int descriptor() const { return m_handle; }

    // Watches exactly `folders` from now on. A folder that cannot be watched
    // (gone, not a folder, no access) is left out without a word. Reports
    // that come while a folder's watch is being added are lost, so list the
    // folder after this call, not before.
    void watch(const std::vector<std::string>& folders);
    // The watched folders that reports came for since the last call, each
    // once, in the order of their first report; empty when none waits.
    std::vector<std::string> takeChanged();

private:
    struct Watched {
        std::string folder;
        std::uint64_t device = 0;
        std::uint64_t inode = 0;
    };
    int m_handle = -1;
    std::mutex m_watching; // one change of the watches at a time
    std::mutex m_lock; // guards the table, never held during a kernel call
    std::unordered_map<int, Watched> m_folderOfWatch;
};

} // namespace quorbit::files
