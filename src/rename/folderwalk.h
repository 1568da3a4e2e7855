#pragma once

#include "platform/files.h"
#include "platform/nameblock.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace quorbit {

struct WalkResult {
    int folderCount = 0; // plain sub-folders entered
    // Full paths of sub-folders found but not entered: gone, swapped for a
    // link or another folder, or closed to this user.
    std::vector<std::string> unreachedFolders;
};

// Visits the folder at `root` and every plain sub-folder below it, deepest
// first: each folder after all of its sub-folders, sub-folders in name order,
// `root` itself last. Every folder is opened from its parent's handle without
// following links, so the walk never leaves `root`, whatever other programs
// do meanwhile, and no path length limits its depth. A root that cannot be
// opened visits nothing. A visit that returns false ends the walk there.
// Each visit gets the folder and its path.
using FolderVisit = std::function<bool(const files::Folder& folder, const std::string& path)>;
WalkResult walkFolders(const std::string& root, const FolderVisit& visit);

// The order that puts `entries`, each the index of its name in `names`, in
// name order: their positions in `entries`, the first name's first.
std::vector<std::uint32_t> nameOrder(const NameBlock& names, const std::vector<std::uint32_t>& entries);

} // namespace quorbit
