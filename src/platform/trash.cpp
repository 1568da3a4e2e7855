#include "platform/trash.h"

#include "platform/files.h"
#include "platform/locations.h"
#include "platform/writeall.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <string_view>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorbit::files {

namespace {

std::string userTrashFolder()
{
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && data[0] == '/') {
        return std::string(data) + "/Trash";
    }
    if (const char* home = std::getenv("HOME"); home && home[0] == '/') {
        return std::string(home) + "/.local/share/Trash";
    }
    return {};
}

std::string deletionDate()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    return text;
}

} // namespace

std::string percentEncodedPath(const std::string& bytes)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string encoded;
    for (const unsigned char byte : bytes) {
        const bool plain = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9')
            || byte == '-' || byte == '.' || byte == '_' || byte == '~' || byte == '/';
        if (plain) {
            encoded += static_cast<char>(byte);
        } else {
            encoded += '%';
            encoded += hex[byte >> 4];
            encoded += hex[byte & 15];
        }
    }
    return encoded;
}

bool moveToTrash(const std::string& path)
{
    const std::string trash = userTrashFolder();
    const std::size_t slash = path.rfind('/');
    if (trash.empty() || path.empty() || path[0] != '/' || slash + 1 == path.size()
        || !createPrivateFolder(trash + "/files") || !createPrivateFolder(trash + "/info")) {
        return false;
    }
    const Folder from(slash == 0 ? std::string("/") : path.substr(0, slash));
    const Folder files(trash + "/files");
    // A move to another file system would be a copy; the trash of that volume is another matter.
    if (!from.isOpen() || !files.isOpen() || from.identity().device != files.identity().device) {
        return false;
    }
    const std::string name = path.substr(slash + 1);
    const std::string record
        = "[Trash Info]\nPath=" + percentEncodedPath(path) + "\nDeletionDate=" + deletionDate() + "\n";
    // The info file is made first, with O_EXCL, and so reserves the name in both halves of the trash.
    for (int attempt = 1; attempt < 1000; ++attempt) {
        const std::string suffix = attempt == 1 ? std::string() : "." + std::to_string(attempt);
        // The info file's name adds ".trashinfo", and a name may be at most NAME_MAX bytes.
        const std::size_t room = NAME_MAX - suffix.size() - std::string_view(".trashinfo").size();
        const std::string trashName = name.substr(0, std::min(name.size(), room)) + suffix;
        const std::string infoPath = trash + "/info/" + trashName + ".trashinfo";
        const int infoFile = ::open(infoPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (infoFile < 0) {
            if (errno == EEXIST) {
                continue;
            }
            return false;
        }
        const bool written = writeAll(infoFile, record);
        const bool closed = ::close(infoFile) == 0;
        const MoveResult moved = written && closed ? moveEntry(from, name, files, trashName) : MoveResult::Failed;
        if (moved == MoveResult::Moved) {
            return true;
        }
        ::unlink(infoPath.c_str());
        if (moved != MoveResult::TargetExists) {
            return false;
        }
    }
    return false;
}

} // namespace quorbit::files
