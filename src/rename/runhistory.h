#pragma once

#include "rename/journal.h"
#include "rename/journalreplay.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

// The runs and Sorts whose journals are kept: which one an undo takes, which
// are offered at start-up, and what becomes of a journal once the user chose
// and the choice was carried out. The window and the shell ask and word; the
// keeping, marking and removing of journals is decided here. A journal is
// acted on only while this process holds it (HeldJournal), from before it is
// read until it is marked or removed, so no two programs undo one run.
namespace quorbit {

class RunProgress;

// A journal of the history, read whole or refused.
struct RecordedRun {
    std::string path;
    std::optional<Journal> journal; // nothing when it was refused
    JournalFault fault = JournalFault::Unreadable; // why it was refused
};

// How many ended runs, and how many journals set aside, the history keeps.
inline constexpr std::size_t keptRunCount = 10;

// What the user chose for a run that did not finish.
enum class RecoveryChoice { Finish, Undo, Leave };

// What an undo, or the recovery of an unfinished run, did.
struct [[nodiscard]] HistoryResult {
    enum class Outcome {
        Done, // undone, finished or left; `replay` tells what an undo or a finish did
        NothingToDo, // no run to undo; or another program finished, undid or left the run meanwhile
        // Another program holds the run's journal: it is undoing, finishing or
        // leaving the run, or the run is still going on. Nothing was touched.
        Busy,
        // The newest run did not finish (its journal could not be written, or
        // the program was killed): it is undone as a recovery, before any
        // older run. Nothing was touched.
        Unfinished,
        // The journal cannot be used (`fault`): it was set aside, unless
        // `recorded` is false, and nothing was touched.
        Refused,
    };
    Outcome outcome = Outcome::NothingToDo;
    std::string path; // the run's journal; empty when there was no run
    ReplayResult replay{}; // for Done
    JournalFault fault = JournalFault::Unreadable; // for Refused
    // The journal was marked, removed or set aside as the history decides;
    // false when that failed, and the run is offered again as it was before.
    bool recorded = true;

    explicit operator bool() const { return outcome == Outcome::Done && recorded; }
};

class RunHistory {
public:
    // The journals in `folder`; an empty folder name holds none.
    explicit RunHistory(std::string folder);

    // Every run an undo could take, in the order it would take them: newest
    // first, read or refused. Unfinished runs (offered at start-up instead)
    // and journals held by a running Quorbit are passed over; journals set
    // aside are not listed.
    std::vector<RecordedRun> undoable() const;

    // Undoes the newest run, as undone() then decides. Busy when the newest
    // journal is held by another program, and Unfinished when the newest run
    // did not finish: an older run is never undone before it. A journal that
    // cannot be used is set aside and Refused.
    HistoryResult undoNewest(RunProgress& progress) const;

    // The runs that did not finish, oldest first, each read or refused.
    // Journals a running Quorbit holds are passed over. One that planned no
    // move did nothing: it is removed here instead of offered.
    std::vector<RecordedRun> unfinished() const;

    // Finishes, undoes or leaves the unfinished run whose journal is at
    // `path`, as the user chose, read again once it is held. NothingToDo when
    // another program finished, undid or left it since it was listed.
    HistoryResult recover(const std::string& path, RecoveryChoice choice, RunProgress& progress) const;

    // Sets aside the journal at `path`, which cannot be read, under a name the
    // history does not list, so it is neither offered again nor taken for an
    // undo; the file stays for a look. False when another program holds it or
    // it could not be renamed.
    bool refused(const std::string& path) const;

    // Keeps the newest `count` ended journals and the newest `count` set
    // aside, and removes older ones; an unfinished one stays until the user
    // has chosen what becomes of it. False when one could not be removed.
    bool keep(std::size_t count) const;

private:
    // After an undo of `journal`, which `held` holds, that gave `result`. The
    // journal goes when every entry that can still come back is back: the
    // others were deleted or rewritten since, and would only stand forever
    // before the older runs. Otherwise (an entry's way blocked, or the undo
    // stopped) it stays, marked ended, the newest undoable: once the user has
    // cleared the way, an undo puts back the rest. False when the journal
    // could not be removed or marked.
    static bool undone(HeldJournal& held, const Journal& journal, const ReplayResult& result);
    // After finishing `journal`: marked ended, so it can be undone, when the
    // finish ran to its end; one that was stopped stays unfinished. False when
    // it could not be marked.
    static bool finished(HeldJournal& held, const Journal& journal, const ReplayResult& result);
    // Sets aside the journal `held` holds, which cannot be used for `fault`.
    HistoryResult refuse(const HeldJournal& held, JournalFault fault) const;

    std::string m_folder;
};

} // namespace quorbit
