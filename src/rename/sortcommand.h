#pragma once

#include "rename/renamerun.h"

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
        Done, // message is the status text
        NoFolder, // no folder chosen; nothing done; message says so for the status bar
        JournalNotWritten, // the journal could not be written; nothing more was moved
    };
    Outcome outcome = Outcome::Done;
    std::string message;
    // Full paths of sub-folders that were found but could not be entered; their contents are unchanged.
    std::vector<std::string> unreachedFolders;
    int moved = 0; // entries moved into their folders
    // An entry the Sort took and did not move.
    struct NotSorted {
        std::string path; // the entry's full path
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
// The status text counts the entries moved, `sortedWord` being the language's
// word for it, and those not moved, with `notSortedWord`; a current folder
// that cannot be opened or listed is itself one not moved. Each folder's moves
// are written to the journal before they are made. `progress` shows the
// window's progress strip for a folder of more than 100 entries and gives
// the window its turns meanwhile.
SortResult sortIntoExtensionFolders(const SortSettings& settings, const StatusTexts& texts,
                                    const std::string& sortedWord, const std::string& notSortedWord,
                                    RunProgress& progress);

} // namespace quorbit
