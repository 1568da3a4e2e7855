#pragma once

#include "rename/sortcommand.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorbit::cli {

// What the Sort would do with one entry.
struct SortPlanEntry {
    std::string from; // relative to the Sort's folder ("photos/a.jpg")
    std::string to; // where it would go, relative to that folder ("jpg/a.jpg")
    bool inPlace = false; // already in its extension folder: it stays, and is no move
    std::optional<SortSkip> skip; // why it would stay where it is
};

struct SortPlan {
    std::vector<SortPlanEntry> entries; // in the Sort's order
    int folderCount = 0; // sub-folders visited, with sub-folders on
    std::vector<std::string> unreachedFolders;
};

// What sortIntoExtensionFolders with `settings` would do, worked out without
// touching anything, through the same walk and entry selection; `listedNames`
// is not read: the entries are those Apply to and the mask select. Moves it
// would find refused by the file system only when made are not foreseen.
SortPlan planSort(const SortSettings& settings);

// Where the Sort puts the entry `name`, relative to its folder: "txt/a.txt",
// or the name alone when it has no extension.
std::string sortedPath(std::string_view name);

} // namespace quorbit::cli
