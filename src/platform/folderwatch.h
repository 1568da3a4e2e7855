#pragma once

#include <cstdint>
#include <mutex>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

namespace quorbit::files {

// Reports of changes inside folders, from the kernel (inotify): entries
// created, deleted, renamed, written or given other attributes, and the
// folder itself deleted or moved. Folders are named by their bytes, whatever
// the bytes are. Closed with the object. Any thread may change the watches
// while another takes the reports: adding a watch makes the kernel walk every
// entry it knows in the folder, a million in a large one, and waits for a
// drive that stopped answering until it answers, so it belongs off the
// window's thread.
class FolderWatch {
public:
    FolderWatch(); // not open when the system offers no watches
    ~FolderWatch();
    FolderWatch(const FolderWatch&) = delete;
    FolderWatch& operator=(const FolderWatch&) = delete;

    bool isOpen() const { return m_handle >= 0; }
    // Becomes readable when reports wait; for an event loop to wait on.
    int descriptor() const { return m_handle; }

    // Watches exactly `folders` from now on: want(), then watchWanted(). A
    // folder that cannot be watched (gone, not a folder, no access) is left
    // out without a word. Reports that come while a folder's watch is being
    // added are lost, so list the folder after this call, not before.
    void watch(const std::vector<std::string>& folders);
    // Only `folders` are to be watched from now on: the watches of the others
    // end at once. Asks no file system anything, so it never waits for a drive.
    void want(const std::vector<std::string>& folders);
    // Watches those of `folders` that are still wanted, each as the folder its
    // path names now. Waits as long as their drives take to answer; a folder
    // that another call is looking up meanwhile is left to that call, so calls
    // stuck on a drive that stopped answering never pile up on one folder.
    // Returns the folders whose watch began here: what changed in them before
    // was not reported, so a listing made before this call may be out of date.
    std::vector<std::string> watchWanted(const std::vector<std::string>& folders);
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
    // Guards what follows; never held while a file system is asked anything.
    std::mutex m_lock;
    std::unordered_map<int, Watched> m_folderOfWatch;
    std::set<std::string> m_wanted;
    std::set<std::string> m_lookingUp; // by a call of watchWanted under way
};

} // namespace quorbit::files
