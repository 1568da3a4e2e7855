#pragma once

#include <string>

namespace quorbit::files {

// Moves the entry at `path` into the user's trash ($XDG_DATA_HOME/Trash, else
// ~/.local/share/Trash) the way desktops share it: the entry under a name not
// yet used there, and an info file with its old path and the time, so a file
// manager can put it back. False, with the entry where it was, when the trash
// lies on another file system or cannot be made; nothing is ever replaced.
bool moveToTrash(const std::string& path);

// `bytes` with every byte outside the unreserved URI characters and "/"
// written as %XX, as file URLs and trash info files hold paths.
std::string percentEncodedPath(const std::string& bytes);

} // namespace quorbit::files
