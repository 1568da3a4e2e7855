#pragma once

#include "platform/files.h"
#include "platform/nameblock.h"

#include <cstddef>
#include <string_view>

// What the drive under a folder allows in names, and how far its inode
// numbers tell entries apart. Camera cards and USB disks (FAT, exFAT, NTFS)
// refuse characters that Linux file systems take, count a name's length in
// UTF-16 units, and find an entry under any spelling of its name's case;
// FUSE drivers often make inode numbers up.
namespace quorbit::files {

struct DriveRules {
    // Two names that differ only in letter case name one entry.
    bool caseInsensitive = false;
    // Names may not hold " * : < > ? \ | or control characters.
    bool windowsNames = false;
    // The longest name, in UTF-16 units where lengthInUtf16, else in bytes.
    std::size_t longestName = 255;
    bool lengthInUtf16 = false;
    // A FUSE driver: the inode numbers a listing gives may be placeholders,
    // and those stat gives may change from one mount to the next.
    bool fuse = false;
};

// The rules of the drive that holds `folder`, told by its file system's type
// (the FUSE driver's name from the mount table, which is read without asking
// any drive) and, where the type does not tell whether letter case counts,
// by looking up one of `names`, the folder's entries, in another case. The
// drive's defaults when the folder is not open.
DriveRules driveRules(const Folder& folder, const NameBlock& names);

// Why the drive would refuse `name` as a new name.
enum class NameFault {
    None,
    Character, // a character the drive does not allow
    TooLong, // longer than the drive's longest name
};
NameFault nameFault(const DriveRules& rules, std::string_view name);

} // namespace quorbit::files
