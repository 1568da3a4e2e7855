#pragma once

#include "rename/journal.h"

#include <string>
#include <vector>

namespace quorbit {

class RunProgress;

// What undoing or finishing a journaled command did.
struct ReplayResult {
    enum class Reason {
        RenamedAgain, // the entry is no longer where the command left it, but still in that folder
        Deleted, // the entry is gone
        NameTaken, // another entry has the name it was to get
        Failed, // the move itself failed (no access, folder gone)
    };
    struct Skipped {
        std::string path; // where the command left the entry, or was to take it from
        Reason reason = Reason::Failed;
    };
    std::size_t moved = 0;
    std::vector<Skipped> skipped;
    bool completed = true; // false when a stop was requested
};

// Puts back what the journal's command did, newest move first, never
// replacing anything; folders a Sort made are removed when empty. An entry is
// told by its inode: one found where the command left it goes back; one
// found where it started (a move never made, or already put back) stays; any
// other is skipped and listed. Only folders below the journal's folder are
// touched, each opened without following a link. Shows its progress through
// `progress` and asks it for a stop between whole moves.
ReplayResult undoJournal(const Journal& journal, RunProgress& progress);

// Makes the moves of an unfinished command that were not made, in their
// order, never replacing anything, after making the folders it planned; a
// move already made is passed over. Entries changed since are skipped and listed.
ReplayResult finishJournal(const Journal& journal, RunProgress& progress);

} // namespace quorbit
