#pragma once

#include "platform/files.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

// The record a rename or Sort keeps of its moves, so that a run can be undone,
// even after the program was killed in the middle of it. Each step's plan is
// on the disk before its first move; the moves made are noted in batches.
// Paths are full paths, kept as the bytes the file system has.
namespace quorbit {

enum class JournalKind { Rename, Sort };

// An entry as the file system told it when the command planned its move.
struct JournalMove {
    // The entry's inode, as stat gives it; 0 on a drive whose inode numbers
    // cannot be trusted, where its size, its birth time and the name the
    // command gave it tell the entry. Modification times are no help there:
    // fusefat stamps a file anew when it is renamed.
    std::uint64_t inode = 0;
    // The entry's birth time in nanoseconds, where the file system tells it;
    // 0 where it does not. With the inode it tells the entry from a later one
    // that reuses the inode.
    std::uint64_t birth = 0;
    std::string from;
    std::string to;
    // Kept where the inode is 0: a file's size, or files::Folder::EntryStamp::folderSize.
    std::uint64_t size = 0;
};

// What a command does in one folder, planned before any of it is done.
struct JournalStep {
    // The folder the step planned, by the path it had then, and its inode, to
    // know it again after a rename; empty and 0 in journals of older versions.
    // An inode of 0 with a path: the drive's inode numbers cannot be trusted,
    // and the path, followed through the later steps' moves, tells the folder.
    std::string folder;
    std::uint64_t folderInode = 0;
    // What the command needs to go on after this step (the random generator's
    // state), as the command wrote it; empty when it needs nothing.
    std::string resume;
    std::vector<std::string> createdFolders; // folders made for the moves, before them
    std::vector<JournalMove> moves; // in the order they are made
};

// A move as a step is written from it: each path is `folder` followed by a
// name, so a plan of a million moves in one folder is written without a
// million paths made first.
struct JournalMoveView {
    std::uint64_t inode = 0;
    std::uint64_t birth = 0;
    std::string_view folder; // with its trailing separator; empty where the names are whole paths
    std::string_view fromName;
    std::string_view toName;
    std::uint64_t size = 0;
};

struct Journal {
    std::string path; // the journal file
    JournalKind kind = JournalKind::Rename;
    std::string root; // the folder the command worked in; every path lies below it
    // What the command was asked to do, as it wrote it, so that it can be
    // finished as it would have gone on; empty in journals of older versions.
    std::string settings;
    std::vector<JournalStep> steps;
    // The last step was cut short while it was written: none of its moves was
    // made, as a step's moves wait for the whole step on the disk, so it was dropped.
    bool lastStepCut = false;
    // The length of the file's whole records; what follows them was cut short.
    std::size_t wholeBytes = 0;
    // Moves of the last step noted as made; up to a batch may have been made
    // without a note, and a later step means the earlier ones were all made.
    std::size_t lastStepMovesNoted = 0;
    bool ended = false; // the command ran to its end, or the user chose to leave it as it stopped

    std::size_t moveCount() const;
    // The moves noted as made, counting every step before the last as made.
    std::size_t movesNoted() const;
};

class HeldJournal;

// Writes the journal of one command.
class JournalWriter {
public:
    // Starts a new journal file in `folder` (made when missing) for a command
    // of `kind` in `root`, asked to do `settings` (any bytes the command reads
    // back when it finishes); not open, and no file left, when it cannot be written.
    JournalWriter(const std::string& folder, JournalKind kind, const std::string& root,
                  const std::string& settings = {});
    // Goes on writing the journal `journal` was read from, which `held`
    // holds, for a command finished from it: a record cut short at its end
    // goes first. Not open when it is not held or cannot be written.
    JournalWriter(const Journal& journal, const HeldJournal& held);

    // False when the journal could not be started, or a write to it failed.
    bool isOpen() const { return m_file.isOpen(); }
    const std::string& path() const { return m_path; }

    // Writes `step` and waits until it is on the disk. Its moves may be made
    // only after this returned true.
    bool writeStep(const JournalStep& step);
    // The same for a step whose moves are not kept as JournalMoves: `step`
    // tells all but the moves (its own are not written), and the step has
    // `moveCount` moves, the one at each index told by `moveAt`, in order.
    bool writeStep(const JournalStep& step, std::size_t moveCount,
                   const std::function<JournalMoveView(std::size_t index)>& moveAt);
    // Notes that one more move of the last step was tried, and whether it was
    // `made`; the notes are written in batches, so a crash loses at most the
    // last batch's note.
    void noteMove(bool made);
    // Marks the command as ended, so no recovery offers it. The journal of a
    // command that made no move, and changed nothing else on the disk
    // (`changedBesidesMoves`: a Sort's new folder), is removed instead: it
    // would only stand before the runs an undo is for, and take their place
    // among those kept.
    bool end(bool changedBesidesMoves);

private:
    bool writeNote();
    // Closes the file when a write did not succeed; passes `succeeded` on.
    bool written(bool succeeded);

    std::string m_path;
    files::AppendOnlyFile m_file;
    std::size_t m_movesMade = 0;
    std::size_t m_movesNoted = 0;
    bool m_madeMove = false;
};

// Why a journal cannot be used.
enum class JournalFault {
    Unreadable, // missing, too large, or not readable
    CutShort, // ends inside a record the writer wrote whole
    Corrupt, // a record is malformed, fails its checksum, or names a path outside its folder
};

// The journal at `path`, checked whole before anything acts on it: a journal
// that fails any check is refused with its fault.
struct JournalRead {
    std::optional<Journal> journal;
    JournalFault fault = JournalFault::Unreadable;
};
JournalRead readJournal(const std::string& path);

// The folders a journal's steps planned, as they are known once its moves are
// made: by inode where the drive's numbers can be trusted, else by the path
// each has after the moves of the steps that followed it (a run renames a
// folder only after everything in it).
struct PlannedFolders {
    std::unordered_set<std::uint64_t> inodes;
    std::unordered_set<std::string> paths;

    // Whether `folder`, now at `path`, is one of them.
    bool contains(const files::Folder& folder, const std::string& path) const;
};
PlannedFolders plannedFolders(const Journal& journal);

// A journal this process took to undo, finish or leave its command. It holds
// the lock a running command holds on its own journal, from before the journal
// is read until it is marked or removed, so no two programs act on one run.
class HeldJournal {
public:
    enum class Status {
        Held,
        // Another program holds it: its command is still running, or it is
        // being undone, finished or left.
        Busy,
        Gone, // no journal is at the path: another program removed or set it aside
        Failed, // a link, or it cannot be opened for writing
    };

    // Takes the journal at `path`.
    explicit HeldJournal(std::string path);

    Status status() const { return m_status; }
    const std::string& path() const { return m_path; }
    // Marks it as ended, after its last whole record; false when it is not
    // held or cannot be written.
    bool markEnded();
    // Removes it; false when it is not held or could not be removed.
    bool remove();

private:
    friend class JournalWriter;
    std::string m_path;
    files::AppendOnlyFile m_file;
    Status m_status = Status::Failed;
};

// Whether the journal at `path` is marked as ended, told without reading it whole.
bool journalEnded(const std::string& path);

// The journal files in `folder`, oldest first.
std::vector<std::string> journalFiles(const std::string& folder);

// Removes the oldest ended journals of `folder` beyond the newest `keep`;
// false when one of them could not be removed.
bool pruneJournals(const std::string& folder, std::size_t keep);

// Where the program keeps its journals; empty when the user's state folder is unknown.
std::string journalFolder();

} // namespace quorbit
