#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The program's one door to the file system. No call throws; each reports
// success as a value.
namespace quorbit {
class NameBlock;
}

namespace quorbit::files {

struct DriveRules;

struct DirEntry {
    std::string name;
    // As the listing gives it: where the drive keeps real inode numbers, it
    // tells an entry that moved from one that replaced it; some FUSE drivers
    // give a placeholder here, the same for every entry.
    std::uint64_t inode = 0;
    bool isDirectory = false; // a real directory; a link to one is not
    bool isLink = false;
    bool isHidden = false; // the name starts with "."
    bool isReadOnly = false; // a folder the owner may not write to (files are not looked up)

    // A folder that runs descend into and count as a folder.
    bool isPlainFolder() const { return isDirectory && !isHidden && !isReadOnly; }
};

// An entry as the file browser shows it.
struct EntryDetails {
    std::string name;
    long long size = -1; // bytes; -1 for folders
    long long modified = 0; // last write, seconds since the epoch
    std::uint32_t mode = 0; // the entry's own type and permission bits; a link's are the link's
    // The entry's own; the same pair under a new name is the same entry, renamed.
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool isFolder = false; // a directory, or a link that leads to one
    // False only where the link count shows a directory holds no sub-folder.
    bool mayHaveSubfolders = false;
};

enum class CopyResult { Copied, TargetExists, Failed };

enum class MoveResult {
    Moved,
    TargetExists, // something else already has the new name; nothing was changed
    Failed, // the entry is missing, access was denied, or the name is not allowed
};

// A folder held open. What it holds is listed, opened and renamed through the
// folder itself, never through a path that another program could meanwhile
// point elsewhere, and no path length limits how deep a walk goes. Closed
// with the object.
class Folder {
public:
    Folder() = default; // not open
    // The folder at `path`; links on the way are followed, as the user chose it.
    explicit Folder(const std::string& path);
    Folder(Folder&& other) noexcept;
    Folder& operator=(Folder&& other) noexcept;
    ~Folder();

    bool isOpen() const { return m_handle >= 0; }

    // The real folder `name` inside this one; not open when it is missing, is
    // a link (even to a folder), or cannot be opened.
    Folder openChild(const std::string& name) const;

    // Every entry but "." and "..", hidden ones included, in the order the file
    // system gives them. False, with no entries, when the folder cannot be read.
    bool list(std::vector<DirEntry>& entries) const;

    // The entries a file browser shows: all but "." and ".." and the hidden
    // ones, in the order the file system gives them. With `foldersOnly`, files
    // are left out without a look at their details where the listing tells
    // their type. False, with no entries, when the folder cannot be read.
    bool listDetails(std::vector<EntryDetails>& entries, bool foldersOnly) const;

    // Whether `name` is a directory here or a link that leads to one.
    bool leadsToDirectory(const std::string& name) const;

    // False only where the folder's link count shows it holds no real
    // sub-folder (links to folders do not count); true when not open.
    bool mayHaveSubfolders() const;

    // Tells whether a folder opened again is still the same one.
    struct Identity {
        unsigned long long device = 0;
        unsigned long long inode = 0;
        bool operator==(const Identity&) const = default;
    };
    Identity identity() const;

    // The entry `name` as the file system itself tells it, without following
    // a link; one call asks for all of it. The birth time tells an entry from
    // a later one that got the same inode. Where inode numbers cannot be
    // trusted (a FUSE driver that makes them up anew at each mount), the size
    // and the birth time tell what they can.
    struct EntryStamp {
        static constexpr std::uint64_t folderSize = UINT64_MAX; // no file is this large
        std::uint64_t inode = 0; // 0 when the entry is missing
        std::uint64_t birth = 0; // nanoseconds since the epoch; 0 where the file system does not tell
        // A file's bytes; folderSize for a folder, whose size changes with what it holds.
        std::uint64_t size = 0;
    };
    EntryStamp stampOf(const std::string& name) const;

private:
    explicit Folder(int handle)
        : m_handle(handle)
    {
    }
    friend int moveWithoutNoReplaceFlag(const Folder&, const std::string&, const Folder&, const std::string&);
    friend MoveResult moveEntry(const Folder&, const std::string&, const Folder&, const std::string&);
    friend bool createFolder(const Folder&, const std::string&);
    friend bool dropSecondName(const Folder&, const std::string&, const Folder&, const std::string&, bool);
    friend bool removeEmptyFolder(const Folder&, const std::string&);
    friend class ReadOnlyFile;
    friend DriveRules driveRules(const Folder&, const NameBlock&);
    friend CopyResult copyFile(const Folder&, const std::string&, const Folder&, const std::string&);

    int m_handle = -1;
};

// The path of what `path` names once links, "." and ".." are resolved; empty
// when a part of it is missing or cannot be looked up.
std::string resolvedPath(const std::string& path);

// Whether `path` names an existing directory, following links.
bool isExistingDirectory(const std::string& path);

// Whether `path` names an existing regular file, following links.
bool isExistingFile(const std::string& path);

// When what `path` names was last written, in seconds since the epoch,
// following links; nothing when it cannot be looked up.
std::optional<long long> modifiedTime(const std::string& path);

// Whether the folder exists and this process may create files in it.
bool isWritableFolder(const std::string& folder);

// Renames or moves the entry `fromName` of `from` to `toName` in `to` (which
// may be the same folder) and never replaces an existing entry. A rename that
// only changes letter case works on case-insensitive file systems too, through
// a temporary name.
MoveResult moveEntry(const Folder& from, const std::string& fromName, const Folder& to, const std::string& toName);

// The move used where a file system refuses renameat2's RENAME_NOREPLACE: link
// and unlink for files, a rename after checking the target is free for folders
// and where links are not supported. Returns 0 or the errno of the failure.
int moveWithoutNoReplaceFlag(const Folder& from, const std::string& fromName, const Folder& to,
                             const std::string& toName);

// Finishes a move of a file that was made as a link and an unlink (where the
// file system refuses RENAME_NOREPLACE) and cut short between the two, which
// left the file under both names: removes `fromName` when it and `toName` are
// one file. One file: the same inode, or, as inode numbers of some FUSE
// drivers differ from name to name, two names that each have a second one and
// hold the same bytes; so the name removed is never a file's last. Without
// `linkCountsTrusted` (sshfs reports one link for every file), the same bytes
// alone tell, and the name removed holds nothing the other does not. False,
// with nothing changed, when they are not one file.
bool dropSecondName(const Folder& from, const std::string& fromName, const Folder& to, const std::string& toName,
                    bool linkCountsTrusted);

// Creates the folder `name` in `parent` with the default permissions (0777
// less the umask).
bool createFolder(const Folder& parent, const std::string& name);

// Removes the folder `name` of `parent` when it is empty; a link or a folder
// with anything in it stays.
bool removeEmptyFolder(const Folder& parent, const std::string& name);

// Removes the file at `path`; a folder stays.
bool removeFile(const std::string& path);

// Copies the regular file `name` of `from` (or the file a link there leads to)
// to `newName` in `to`, with its permission bits. Never replaces: a taken
// name gives TargetExists. A copy that fails half way is removed again.
CopyResult copyFile(const Folder& from, const std::string& name, const Folder& to, const std::string& newName);

struct ExistingFile;

// A file that only grows, for a record of what a command does. The process
// holds a lock on it while it is open, so another process can tell a record
// still being written from one left behind by a process that died, and no two
// take the same record to act on.
class AppendOnlyFile {
public:
    AppendOnlyFile() = default;
    // A new file at `path`, readable by the user alone; not open when `path`
    // exists or cannot be made.
    static AppendOnlyFile create(const std::string& path);
    // The existing file at `path`, to add to, with its lock taken; or why not.
    static ExistingFile openExisting(const std::string& path);
    AppendOnlyFile(AppendOnlyFile&& other) noexcept;
    AppendOnlyFile& operator=(AppendOnlyFile&& other) noexcept;
    ~AppendOnlyFile();

    bool isOpen() const { return m_handle >= 0; }
    // Adds `bytes` at the end; false when not all of them could be written.
    bool append(std::string_view bytes);
    // Cuts the file to its first `length` bytes, so that what is added next
    // follows them.
    bool truncate(std::uint64_t length);
    // Starts writing what was added to the disk, without waiting for it.
    void startWriteback();
    // Waits until what was added is on the disk.
    bool sync();
    // Another handle on this open file, sharing its lock: the lock lasts until
    // every handle is closed. Not open when this one is not, or no handle is left.
    AppendOnlyFile share() const;

private:
    explicit AppendOnlyFile(int handle)
        : m_handle(handle)
    {
    }
    int m_handle = -1;
};

// An existing file opened to add to, or why it was not.
struct ExistingFile {
    enum class Status {
        Open,
        Busy, // an AppendOnlyFile, of this process or another, holds it open
        // No file is at the path, or another one is now: the one opened was
        // removed or renamed by the process that held it before.
        Missing,
        Failed, // a link, or it cannot be opened for writing
    };
    Status status = Status::Failed;
    AppendOnlyFile file; // open when the status is Open
};

// Whether an AppendOnlyFile, of this process or another, holds `path` open.
bool isLocked(const std::string& path);

// The part of `path` after its last "/".
std::string_view fileNameOf(std::string_view path);

// The folder above `path`, as the file system names it; "/" for a folder at the top.
std::string parentFolderOf(std::string_view path);

// `folder` with "/" appended unless it already ends with one.
std::string withTrailingSeparator(std::string_view folder);

} // namespace quorbit::files
