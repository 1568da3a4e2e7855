#include "platform/locations.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorbit::files {

std::string executablePath()
{
    std::string path(PATH_MAX, '\0');
    const ssize_t length = ::readlink("/proc/self/exe", path.data(), path.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= path.size()) {
        return {};
    }
    path.resize(static_cast<std::size_t>(length));
    return path;
}

namespace {

// $`variable` when it holds an absolute path (the XDG rules ignore a relative
// one), else `underHome` in the user's home folder.
std::string xdgFolder(const char* variable, const char* underHome)
{
    if (const char* folder = std::getenv(variable); folder && folder[0] == '/') {
        return folder;
    }
    std::string home;
    if (const char* homeVariable = std::getenv("HOME"); homeVariable && homeVariable[0] == '/') {
        home = homeVariable;
    } else if (const passwd* user = ::getpwuid(::getuid()); user && user->pw_dir && user->pw_dir[0] == '/') {
        home = user->pw_dir;
    } else {
        return {};
    }
    if (home.size() > 1 && home.back() == '/') {
        home.pop_back();
    }
    return (home == "/" ? "" : home) + underHome;
}

} // namespace

std::string userConfigFolder()
{
    return xdgFolder("XDG_CONFIG_HOME", "/.config");
}

std::string userStateFolder()
{
    return xdgFolder("XDG_STATE_HOME", "/.local/state");
}

bool createPrivateFolder(const std::string& folder)
{
    struct stat status {};
    if (::stat(folder.c_str(), &status) == 0) {
        return S_ISDIR(status.st_mode);
    }
    const std::size_t slash = folder.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !createPrivateFolder(folder.substr(0, slash))) {
        return false;
    }
    return ::mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST;
}

} // namespace quorbit::files
