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
        // Another entry has the name the command left: the file was saved anew
        // there, or deleted and a new one made; it stays as it is.
        ChangedSince,
        NameTaken, // another entry has the name it was to get
        Failed, // the move itself failed (no access, folder gone)
    };
    struct Skipped {
        std::string path; // where the command left the entry, or was to take it from
        Reason reason = Reason::Failed;
    };
    std::size_t moved = 0; // entries put where the replay takes them
    std::vector<Skipped> skipped;
    bool completed = true; // false when a stop was requested
};

// How many of the journal's moves were made, as the disk shows: a move counts
// when its entry, told as undoJournal tells it, is at the move's new name or
// one its later moves took it to. An entry of a step before the last that is
// nowhere on its way counts as moved, as a step starts only after the one
// before it ran. Lists each folder once; asks a birth time only of a name
// whose inode matches.
std::size_t movesMadeOnDisk(const Journal& journal);

// Puts back what the journal's command did, newest move first, never
// replacing anything; folders a Sort made are removed when empty. An entry is
// told by its inode, and by its birth time where the journal has one: one
// found where the command left it goes back; one found where it started (a
// move never made, or already put back) stays; any other is skipped and
// listed, and an entry not the command's at the name it left stays there.
// Only folders below the journal's folder are touched, each opened without
// following a link. Shows its progress through `progress` and asks it for a
// stop between whole moves.
ReplayResult undoJournal(const Journal& journal, RunProgress& progress);

// Makes the moves of an unfinished command that were not made, in their
// order, never replacing anything, after making the folders it planned; a
// move already made is passed over. Entries changed since are skipped and
// listed. A rename run whose journal holds its settings then goes on through
// the folders it had not reached, as it would have: the same walk, the same
// plan and the random generator where the run left it, its new steps written
// to the journal `held` holds; it goes no further when `held` does not hold it.
ReplayResult finishJournal(const Journal& journal, const HeldJournal& held, RunProgress& progress);

} // namespace quorbit
