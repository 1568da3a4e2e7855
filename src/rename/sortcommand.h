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
};

// Moves the entries that Apply to selects (the listed ones, or with sub-folders
// those of the folder and all its plain sub-folders) into folders named after
// their extensions, as written, directly under the current folder: "x.txt" into
// "txt", created when missing; an entry without an extension into the current
// folder itself. Nothing is replaced and no link is followed: an entry whose
// name is taken where it would go, or whose target is not a real folder, stays.
// The status text counts the entries examined, not those moved; `sortedWord`
// is the language's word for it. Each folder's moves are written to the
// journal before they are made.
SortResult sortIntoExtensionFolders(const SortSettings& settings, const StatusTexts& texts,
                                    const std::string& sortedWord);

} // namespace quorbit
