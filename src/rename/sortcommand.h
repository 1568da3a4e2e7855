#pragma once

#include "rename/renamerun.h"

#include <optional>
#include <string>
#include <vector>

namespace quorbit {

// Everything the Sort command reads from the window, taken once when it starts.
struct SortSettings {
    std::string folder; // the current folder; empty when none is chosen
    ApplyTo applyTo = ApplyTo::Files;
    bool subfolders = false;
    std::string mask = "*.*"; // the file type's mask text; picks the files of a sort with sub-folders
    std::vector<std::string> listedNames; // without sub-folders: the names the file list shows, in its order
    // Where the Sort keeps the journal that lets it be undone; none when empty.
    std::string journalFolder;
};

// Why an entry the Sort took stayed where it was.
enum class SortSkip {
    FolderReadOnly, // its folder, or the current folder, cannot be written to
    ExtensionNameTaken, // a file or link holds the name of its extension folder
    Vanished, // it is gone
    FolderUnreadable, // the folder could not be opened or listed
    NameTaken, // an entry of that name is already in its extension folder
    Failed, // anything else
};

struct SortResult {
    enum class Outcome {
        Done,
        NoFolder, // no folder chosen; nothing done
        JournalNotWritten, // the journal could not be written; nothing more was moved
    };
    Outcome outcome = Outcome::Done;
    // Full paths of sub-folders that were found but could not be entered; their contents are unchanged.
    std::vector<std::string> unreachedFolders;
    int moved = 0; // entries moved into their folders
    int folderCount = 0; // sub-folders visited, with sub-folders on
    // An entry the Sort took and did not move.
    struct NotSorted {
        std::string path; // the entry's full path
        std::string to; // the full path it was to get; empty for a folder that could not be read
        SortSkip reason = SortSkip::Failed;
    };
    // Entries that were to move and did not; an entry already where it
    // belongs is neither moved nor listed here.
    std::vector<NotSorted> notSorted;
};

// Moves the entries that Apply to selects (the listed ones, or with sub-folders
// those of the folder and all its plain sub-folders) into folders named after
// their extensions, as written, directly under the current folder: "x.txt" into
// "txt", created when missing; an entry without an extension into the current
// folder itself. Nothing is replaced and no link is followed: an entry whose
// name is taken where it would go, or whose target is not a real folder, stays.
// Each folder is planned as planSort plans it, then its moves are written to
// the journal and made; moves the file system refuses only then are listed
// with why, as far as can be told. A current folder that cannot be opened or
// listed is itself one not sorted. `progress` shows the window's progress
// strip for a folder of more than 100 entries.
SortResult sortIntoExtensionFolders(const SortSettings& settings, RunProgress& progress);

// What the Sort would do with one entry.
struct SortPlanEntry {
    std::string from; // relative to the Sort's folder ("photos/a.jpg"); "." for that folder itself
    std::string to; // where it goes, relative to that folder ("jpg/a.jpg")
    bool inPlace = false; // already in its extension folder: it stays, and is no move
    std::optional<SortSkip> skip; // why it stays where it is
};

struct SortPlan {
    std::vector<SortPlanEntry> entries; // in the Sort's order
    int folderCount = 0; // sub-folders visited, with sub-folders on
    std::vector<std::string> unreachedFolders; // full paths
};

// What sortIntoExtensionFolders with `settings` would do, worked out without
// touching anything, by the code that plans each folder of the Sort: the same
// entries in the same order, each folder planned as if those before it were
// sorted already. What the file system refuses only when a move is made
// (another program was quicker, a drive turned read-only, a folder could not
// be made) is not foreseen.
SortPlan planSort(const SortSettings& settings);

} // namespace quorbit
