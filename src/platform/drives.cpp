#include "platform/drives.h"

#include "platform/mounts.h"
#include "platform/utf8.h"

#include <array>
#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <sys/vfs.h>

namespace quorbit::files {

namespace {

// statfs's f_type of the file systems whose rules differ from Linux's own.
constexpr long kFuse = 0x65735546;
constexpr long kMsdos = 0x4d44; // FAT12, FAT16, FAT32
constexpr long kExfat = 0x2011BAB0;
constexpr long kNtfs = 0x5346544e;
constexpr long kNtfs3 = 0x7366746e;
constexpr std::array<long, 3> kWindowsShares = {0xFF534D42, 0xFE534D42, 0x517B}; // CIFS, SMB2, SMB

enum class LetterCase { Counts, Ignored, Unknown };

// FAT, exFAT or NTFS, as a FUSE driver mounts it: by the driver's name where
// the mount table gives one, else by the driver reading a disk or an image
// (exfat-fuse and ntfs-3g give no name), which no driver of a Linux file system does.
bool isWindowsDiskDriver(const Mount& mount, LetterCase& letterCase)
{
    const std::size_t dot = mount.type.find('.');
    const std::string_view driver
        = dot == std::string::npos ? std::string_view() : std::string_view(mount.type).substr(dot + 1);
    if (driver == "fusefat" || driver == "vfat" || driver == "exfat" || driver == "exfat-fuse") {
        letterCase = LetterCase::Ignored;
        return true;
    }
    return driver == "ntfs-3g" || driver == "lowntfs-3g" || driver == "ntfs"
        || (driver.empty() && mount.source.starts_with('/'));
}

bool isAsciiLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Whether the folder finds an entry under another spelling of its name's
// case: one of `names` with a letter is looked up with every letter's case
// turned. Two names the folder lists that differ only in case answer it too.
LetterCase probeLetterCase(int folder, const NameBlock& names)
{
    for (std::size_t index = 0; index < names.size(); ++index) {
        const std::string_view name = names[index];
        std::string turned(name);
        bool hasLetter = false;
        for (char& c : turned) {
            if (isAsciiLetter(c)) {
                c = static_cast<char>(c ^ 0x20);
                hasLetter = true;
            }
        }
        if (!hasLetter) {
            continue;
        }
        for (std::size_t other = 0; other < names.size(); ++other) {
            if (names[other] == turned) {
                return LetterCase::Counts;
            }
        }
        struct stat status {};
        if (::fstatat(folder, turned.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0) {
            return LetterCase::Ignored;
        }
        return errno == ENOENT ? LetterCase::Counts : LetterCase::Unknown;
    }
    return LetterCase::Unknown;
}

} // namespace

DriveRules driveRules(const Folder& folder, const NameBlock& names)
{
    DriveRules rules;
    struct statfs drive {};
    if (!folder.isOpen() || ::fstatfs(folder.m_handle, &drive) != 0) {
        return rules;
    }
    if (drive.f_namelen > 0) {
        rules.longestName = static_cast<std::size_t>(drive.f_namelen);
    }
    const long type = static_cast<long>(drive.f_type);
    // Whether letter case counts where the type says, and otherwise what to
    // assume when no name tells.
    LetterCase letterCase = LetterCase::Counts;
    bool probe = false;
    if (type == kMsdos || type == kExfat) {
        rules.windowsNames = true;
        letterCase = LetterCase::Ignored;
    } else if (type == kNtfs || type == kNtfs3) {
        rules.windowsNames = true;
        probe = true;
    } else if (type == kFuse) {
        rules.fuse = true;
        probe = true;
        struct stat status {};
        const std::vector<Mount> mounts = ::fstat(folder.m_handle, &status) == 0 ? mountTable() : std::vector<Mount>();
        const Mount* mount = mountOfDevice(mounts, status.st_dev);
        LetterCase byDriver = LetterCase::Unknown;
        if (mount && isWindowsDiskDriver(*mount, byDriver)) {
            rules.windowsNames = true;
            if (byDriver == LetterCase::Ignored) {
                letterCase = byDriver;
                probe = false;
            }
        }
    } else {
        for (const long share : kWindowsShares) {
            probe = probe || type == share;
        }
    }
    if (rules.windowsNames) {
        rules.longestName = 255;
        rules.lengthInUtf16 = true;
    }
    if (probe) {
        if (const LetterCase probed = probeLetterCase(folder.m_handle, names); probed != LetterCase::Unknown) {
            letterCase = probed;
        }
    }
    rules.caseInsensitive = letterCase == LetterCase::Ignored;
    return rules;
}

NameFault nameFault(const DriveRules& rules, std::string_view name)
{
    std::size_t length = 0;
    for (std::size_t pos = 0; pos < name.size();) {
        const std::size_t bytes = utf8::charLength(name, pos);
        const unsigned char first = static_cast<unsigned char>(name[pos]);
        if (rules.windowsNames) {
            // The drive keeps names as UTF-16: a byte that is no UTF-8 character has no form there.
            if (first < 0x20 || std::string_view("\"*:<>?\\|").find(name[pos]) != std::string_view::npos
                || !utf8::isWellFormedAt(name, pos)) {
                return NameFault::Character;
            }
        }
        // Characters beyond the Basic Multilingual Plane, four bytes in UTF-8, take two UTF-16 units.
        length += rules.lengthInUtf16 ? (bytes == 4 ? 2 : 1) : bytes;
        pos += bytes;
    }
    return length > rules.longestName ? NameFault::TooLong : NameFault::None;
}

} // namespace quorbit::files
