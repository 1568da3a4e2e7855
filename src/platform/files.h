#pragma once

#include <string>
#include <string_view>
#include <vector>

// The program's one door to the file system. No call throws; each reports
// success as a value.
namespace quorbit::files {

struct DirEntry {
    std::string name;
    bool isDirectory = false; // a real directory; a link to one is not
    bool isLink = false;
    bool isHidden = false;    // the name starts with "."
    bool isReadOnly = false;  // a folder the owner may not write to (files are not looked up)

    // A folder that runs descend into and count as a folder.
    bool isPlainFolder() const { return isDirectory && !isHidden && !isReadOnly; }
};

// Every entry of `folder` but "." and "..", hidden ones included, in the order
// the file system gives them. False, with no entries, when the folder cannot be read.
bool listFolder(const std::string& folder, std::vector<DirEntry>& entries);

// Whether `path` names an existing directory, following links.
bool isExistingDirectory(const std::string& path);

// Whether `path` names an existing regular file, following links.
bool isExistingFile(const std::string& path);

// Whether the folder exists and this process may create files in it.
bool isWritableFolder(const std::string& folder);

enum class MoveResult {
    Moved,
    TargetExists, // something else already has the new name; nothing was changed
    Failed,       // the entry is missing, access was denied, or the name is not allowed
};

// Renames or moves `from` to `to` and never replaces an existing entry.
// A rename that only changes letter case works on case-insensitive file systems too.
MoveResult moveEntry(const std::string& from, const std::string& to);

// The move used where a file system refuses renameat2's RENAME_NOREPLACE: link
// and unlink for files, a rename after checking the target is free for folders
// and where links are not supported. Returns 0 or the errno of the failure.
int moveWithoutNoReplaceFlag(const std::string& from, const std::string& to);

// Creates one folder with the default permissions (0777 less the umask).
bool createFolder(const std::string& path);

// The part of `path` after its last "/".
std::string_view fileNameOf(std::string_view path);

// `folder` with "/" appended unless it already ends with one.
std::string withTrailingSeparator(std::string_view folder);

} // namespace quorbit::files
