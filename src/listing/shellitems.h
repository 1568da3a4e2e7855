#pragma once

#include "platform/files.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// The entries the folder browser lists, and the rules it shows and sorts them by.
namespace quorbit::listing {

// One listed entry of a folder.
struct ShellItem : files::EntryDetails {
    // The entry's place in its folder's name order, so that going back to the
    // name order costs no second collation of every name.
    std::uint32_t nameRank = 0;

    // Only files are tested against a file-type mask.
    bool isFileSystemFile() const { return !isFolder; }
};

struct FolderListing {
    bool readable = false;
    std::vector<ShellItem> items; // in name order
};

// The entries of `folder` the browser shows, hidden ones left out, in the
// program's name order. With `foldersOnly`, only folders and links to them.
// A folder that cannot be read lists nothing.
FolderListing listFolder(const std::string& folder, bool foldersOnly);

// The list's columns, by index.
enum Column : int { NameColumn, SizeColumn, TypeColumn, ModifiedColumn, AttributesColumn, ColumnCount };

// Sorts `items` by `column`: the name order for the Name column; for the
// others folders first, then the sizes (smaller first), the type texts, the
// times (newer first) or the attribute texts. Entries equal by the column keep
// their name order. `typeText` gives the Type column's text of a file, which
// depends on its extension alone, and is asked once per extension. A column outside the five leaves the order alone.
void sortItems(std::vector<ShellItem>& items, int column, const std::function<std::string(const ShellItem&)>& typeText);

// The Size column: empty for a folder, else whole kilobytes ("1" for 1 to 1023
// bytes) with "," between thousands and "KB" after: "0KB", "1,234KB".
std::string sizeText(const ShellItem& item);

// The Attributes column: "H" for a hidden entry, "R" for one the owner may not write.
std::string attributesText(const ShellItem& item);

// The extension of `name` without its dot; empty when there is none.
std::string_view extensionOf(std::string_view name);

// The index of the first entry from `start` on whose name contains `text`
// (or equals it, with `exact`), letter case counting; items.size() if none.
std::size_t findItem(const std::vector<ShellItem>& items, std::string_view text, std::size_t start, bool exact);

// The entries that pass the mask text, in their order: every folder, and the
// files whose names match one of its masks.
std::vector<ShellItem> filterItems(const std::vector<ShellItem>& items, std::string_view maskText);

} // namespace quorbit::listing
