#pragma once

#include "benchsupport.h"

#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace quorbit::bench {

// Renames every file createFiles made in `folder` from another process, as
// another program would: "photo_000001.jpg" becomes "renamed_photo_000001.jpg".
inline pid_t renameAllElsewhere(const std::string& folder, int count)
{
    const pid_t child = fork();
    if (child == 0) {
        const int handle = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        for (int i = 0; i < count; ++i) {
            renameat(handle, benchFileName(i).c_str(), handle, ("renamed_" + benchFileName(i)).c_str());
        }
        _exit(0);
    }
    return child;
}

} // namespace quorbit::bench
