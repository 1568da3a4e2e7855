#include "platform/mounts.h"

#include <cerrno>
#include <charconv>
#include <fcntl.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace quorbit::files {

namespace {

// The kernel writes a space, tab, newline or backslash of a path as "\" and three octal digits.
std::string unescaped(std::string_view field)
{
    std::string text;
    text.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        const auto isOctal = [&](std::size_t at) { return at < field.size() && field[at] >= '0' && field[at] <= '7'; };
        if (field[i] == '\\' && isOctal(i + 1) && isOctal(i + 2) && isOctal(i + 3)) {
            text.push_back(
                static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0')));
            i += 3;
        } else {
            text.push_back(field[i]);
        }
    }
    return text;
}

// The next field of `line` up to a space, taken off its front.
std::string_view nextField(std::string_view& line)
{
    const std::size_t space = line.find(' ');
    const std::string_view field = line.substr(0, space);
    line.remove_prefix(space == std::string_view::npos ? line.size() : space + 1);
    return field;
}

bool parseDevice(std::string_view field, std::uint64_t& device)
{
    const std::size_t colon = field.find(':');
    unsigned major = 0;
    unsigned minor = 0;
    if (colon == std::string_view::npos || std::from_chars(field.data(), field.data() + colon, major).ec != std::errc()
        || std::from_chars(field.data() + colon + 1, field.data() + field.size(), minor).ec != std::errc()) {
        return false;
    }
    device = makedev(major, minor);
    return true;
}

} // namespace

std::vector<Mount> parseMountTable(std::string_view mountinfo)
{
    // "36 35 98:0 /root /mnt rw,noatime shared:1 - ext3 /dev/root rw": the
    // optional fields before "-" vary in number.
    std::vector<Mount> mounts;
    while (!mountinfo.empty()) {
        const std::size_t newline = mountinfo.find('\n');
        std::string_view line = mountinfo.substr(0, newline);
        mountinfo.remove_prefix(newline == std::string_view::npos ? mountinfo.size() : newline + 1);
        Mount mount;
        nextField(line); // mount id
        nextField(line); // parent id
        if (!parseDevice(nextField(line), mount.device)) {
            continue;
        }
        nextField(line); // the root of the mount within its file system
        mount.mountPoint = unescaped(nextField(line));
        std::string_view field;
        do {
            field = nextField(line);
        } while (!field.empty() && field != "-");
        if (field != "-" || mount.mountPoint.empty()) {
            continue;
        }
        mount.type = unescaped(nextField(line));
        mount.source = unescaped(nextField(line));
        mounts.push_back(std::move(mount));
    }
    return mounts;
}

std::vector<Mount> mountTable()
{
    // Files of /proc tell no size; they are read until they end.
    const int table = ::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
    if (table < 0) {
        return {};
    }
    std::string text;
    char buffer[16384];
    while (true) {
        const ssize_t read = ::read(table, buffer, sizeof buffer);
        if (read < 0 && errno == EINTR) {
            continue;
        }
        if (read <= 0) {
            break;
        }
        text.append(buffer, static_cast<std::size_t>(read));
    }
    ::close(table);
    return parseMountTable(text);
}

const Mount* mountOfDevice(const std::vector<Mount>& mounts, std::uint64_t device)
{
    for (auto mount = mounts.rbegin(); mount != mounts.rend(); ++mount) {
        if (mount->device == device) {
            return &*mount;
        }
    }
    return nullptr;
}

} // namespace quorbit::files
