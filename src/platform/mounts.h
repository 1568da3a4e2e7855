#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The mounted file systems, read from the kernel's table alone: nothing here
// asks a mounted file system anything, so a mount whose server or daemon has
// stopped answering costs no wait.
namespace quorbit::files {

struct Mount {
    std::uint64_t device = 0; // as stat gives st_dev for the entries on it
    std::string mountPoint; // as the file system names it
    std::string type; // "ext4", "vfat", "fuse.sshfs", "fuseblk"
    std::string source; // "/dev/sda1", "user@host:/srv", or what the driver called itself
};

// Every mount of this process's mount table, in the kernel's order (a mount
// after the ones it covers). Empty when the table cannot be read.
std::vector<Mount> mountTable();

// The mounts described by `mountinfo`, text in the form of
// /proc/self/mountinfo; lines that do not have that form are left out.
std::vector<Mount> parseMountTable(std::string_view mountinfo);

// The mount of `mounts` whose file system holds entries with st_dev
// `device`; the last one mounted where several have it. Null when none has.
const Mount* mountOfDevice(const std::vector<Mount>& mounts, std::uint64_t device);

} // namespace quorbit::files
