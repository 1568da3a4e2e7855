#pragma once

#include "rename/journal.h"
#include "rename/journalreplay.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

// The runs and Sorts whose journals are kept: which one an undo takes, which
// are offered at start-up, and what becomes of a journal once the user chose
// and the choice was carried out. The window asks and words; the keeping,
// marking and removing of journals is decided here.
namespace quorbit {

// A journal of the history, read whole or refused.
struct RecordedRun {
    std::string path;
    std::optional<Journal> journal; // nothing when it was refused
    JournalFault fault = JournalFault::Unreadable; // why it was refused
};

// How many ended runs, and how many journals set aside, the history keeps.
inline constexpr std::size_t keptRunCount = 10;

class RunHistory {
public:
    // The journals in `folder`; an empty folder name holds none.
    explicit RunHistory(std::string folder);

    // The newest run that ended, read or refused; nothing when there is none.
    // Journals a running Quorbit holds open and unfinished ones (offered at
    // start-up instead) are passed over; journals set aside are not listed.
    std::optional<RecordedRun> newestUndoable() const;
    // Every run an undo could take, in the order it would take them: newest first.
    std::vector<RecordedRun> undoable() const;

    // The runs that did not finish, oldest first, each read or refused.
    // Journals a running Quorbit holds open are passed over. One that planned
    // no move did nothing: it is removed here instead of offered.
    std::vector<RecordedRun> unfinished() const;

    // After an undo of `journal` that gave `result`. The journal goes when
    // every entry that can still come back is back: the others were deleted
    // or rewritten since, and would only stand forever before the older runs.
    // Otherwise (an entry's way blocked, or the undo stopped) it stays, marked
    // ended, the newest undoable: once the user has cleared the way, an undo
    // puts back the rest.
    void undone(const Journal& journal, const ReplayResult& result) const;

    // After finishing `journal`: marked ended, so it can be undone, when the
    // finish ran to its end; one that was stopped stays unfinished.
    void finished(const Journal& journal, const ReplayResult& result) const;

    // The user leaves the run as it stopped: marked ended, still undoable.
    void left(const Journal& journal) const;

    // Sets aside the journal at `path`, which cannot be read, under a name the
    // history does not list, so it is neither offered again nor taken for an
    // undo; the file stays for a look. False when it could not be renamed.
    bool refused(const std::string& path) const;

    // Keeps the newest `count` ended journals and the newest `count` set
    // aside, and removes older ones; an unfinished one stays until the user
    // has chosen what becomes of it.
    void keep(std::size_t count) const;

private:
    std::string m_folder;
};

} // namespace quorbit
