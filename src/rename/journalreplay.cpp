#include "rename/journalreplay.h"

#include "rename/renamerun.h"
#include "rename/runrecord.h"

#include <optional>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace quorbit {

namespace {

std::string_view parentOf(std::string_view path)
{
    const std::size_t slash = path.rfind('/');
    return slash == 0 ? path.substr(0, 1) : path.substr(0, slash);
}

// Whether `found`, an entry as the file system tells it now, is the entry
// `recorded` when its move was planned: the same inode, born at the same
// time where the journal has a birth time. On a drive whose inode numbers
// cannot be trusted, a folder, or a file of the same size, born at the same
// time where the drive tells it: looked for only at the names the command
// used, that is what still tells the entry there.
bool isRecordedEntry(const files::Folder::EntryStamp& found, const JournalMove& recorded)
{
    if (found.inode == 0) {
        return false; // nothing there
    }
    if (recorded.inode != 0) {
        return found.inode == recorded.inode && (recorded.birth == 0 || found.birth == recorded.birth);
    }
    return found.size == recorded.size && (recorded.birth == 0 || found.birth == recorded.birth);
}

// The folders a replay works in, each opened once from the one above it
// without following links. An entry is asked of the file system itself where
// a move needs it; the entries of a folder are listed only when a move that
// cannot be made looks for its entry under another name.
class Places {
public:
    class Place {
    public:
        explicit Place(files::Folder opened)
            : folder(std::move(opened))
        {
        }

        files::Folder folder;

        // Whether `name` is the entry `recorded`.
        bool isEntry(const std::string& name, const JournalMove& recorded) const
        {
            return isRecordedEntry(folder.stampOf(name), recorded);
        }

        // Whether any entry of the folder is the entry `recorded`, under whatever name.
        bool holds(const JournalMove& recorded)
        {
            std::unordered_multimap<std::uint64_t, std::string>& named = namesBy(recorded);
            const auto [first, last] = named.equal_range(keyOf(recorded));
            for (auto found = first; found != last; ++found) {
                if (isEntry(found->second, recorded)) {
                    return true;
                }
            }
            return false;
        }

        // Keeps the listed names, once listed, up to date with a move made.
        void moveOut(const std::string& name, const JournalMove& recorded)
        {
            for (auto* named : {&m_byInode, &m_bySize}) {
                if (!*named) {
                    continue;
                }
                const auto [first, last] = (*named)->equal_range(keyOf(recorded));
                for (auto found = first; found != last; ++found) {
                    if (found->second == name) {
                        (*named)->erase(found);
                        break;
                    }
                }
            }
        }

        void moveIn(const std::string& name, const JournalMove& recorded)
        {
            for (auto* named : {&m_byInode, &m_bySize}) {
                if (*named) {
                    (*named)->emplace(keyOf(recorded), name);
                }
            }
        }

    private:
        // What finds an entry's names: its inode, or where inode numbers cannot be trusted its size.
        static std::uint64_t keyOf(const JournalMove& recorded)
        {
            return recorded.inode != 0 ? recorded.inode : recorded.size;
        }

        // The folder's names by what finds them, listed when first needed and
        // kept up to date since. The listing's inode numbers find the names
        // stat is asked about where they can be trusted; elsewhere every entry
        // is asked its size.
        std::unordered_multimap<std::uint64_t, std::string>& namesBy(const JournalMove& recorded)
        {
            std::optional<std::unordered_multimap<std::uint64_t, std::string>>& named
                = recorded.inode != 0 ? m_byInode : m_bySize;
            if (!named) {
                std::vector<files::DirEntry> entries;
                folder.list(entries);
                named.emplace();
                named->reserve(entries.size());
                for (files::DirEntry& entry : entries) {
                    const std::uint64_t key = recorded.inode != 0 ? entry.inode : folder.stampOf(entry.name).size;
                    named->emplace(key, std::move(entry.name));
                }
            }
            return *named;
        }

        std::optional<std::unordered_multimap<std::uint64_t, std::string>> m_byInode;
        std::optional<std::unordered_multimap<std::uint64_t, std::string>> m_bySize;
    };

    explicit Places(std::string root)
        : m_root(std::move(root))
    {
    }

    // The folder at `path`, the root or one below it; nothing when it cannot be opened.
    Place* find(std::string_view path)
    {
        if (const auto found = m_places.find(path); found != m_places.end()) {
            return &found->second;
        }
        const std::string key(path);
        files::Folder folder;
        if (key == m_root) {
            folder = files::Folder(m_root);
        } else if (key.size() > m_root.size()) {
            Place* parent = find(parentOf(key));
            if (parent) {
                folder = parent->folder.openChild(std::string(files::fileNameOf(key)));
            }
        }
        if (!folder.isOpen()) {
            return nullptr;
        }
        return &m_places.emplace(key, Place(std::move(folder))).first->second;
    }

    // Closes the folders when many are open, so a deep tree cannot run out of handles.
    void trim()
    {
        if (m_places.size() > 256) {
            m_places.clear();
        }
    }

private:
    std::string m_root;
    // Found by a view of the path, so the lookup of every move makes no string.
    struct PathHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view path) const { return std::hash<std::string_view>{}(path); }
    };
    std::unordered_map<std::string, Place, PathHash, std::equal_to<>> m_places;
};

// Whether the entry `recorded` is at `path`.
bool isAt(Places& places, const std::string& path, const JournalMove& recorded)
{
    Places::Place* place = places.find(parentOf(path));
    return place && place->isEntry(std::string(files::fileNameOf(path)), recorded);
}

// The entries a step moves, told apart by where their moves lead: a move from
// where an earlier move of the step left an entry moves that entry again, as
// one whose name is swapped with another's does, through a temporary name.
// No inode numbers are needed, which some drives make up.
struct StepEntries {
    std::vector<std::uint32_t> entryOf; // for each move, the entry it moves
    std::vector<std::uint32_t> firstMove; // for each entry, its first move and its last
    std::vector<std::uint32_t> lastMove;
    // The inodes of the step's entries, where the drive's numbers can be trusted.
    std::unordered_set<std::uint64_t> inodes;
};

StepEntries entriesOf(const JournalStep& step)
{
    StepEntries entries;
    entries.entryOf.reserve(step.moves.size());
    std::unordered_map<std::string_view, std::uint32_t> leftAt; // where each entry stands after the moves so far
    leftAt.reserve(step.moves.size());
    for (std::uint32_t index = 0; index < step.moves.size(); ++index) {
        const JournalMove& move = step.moves[index];
        std::uint32_t entry = 0;
        if (const auto found = leftAt.find(move.from); found != leftAt.end()) {
            entry = found->second;
            entries.lastMove[entry] = index;
            leftAt.erase(found);
        } else {
            entry = static_cast<std::uint32_t>(entries.firstMove.size());
            entries.firstMove.push_back(index);
            entries.lastMove.push_back(index);
        }
        entries.entryOf.push_back(entry);
        leftAt[move.to] = entry;
        if (move.inode != 0) {
            entries.inodes.insert(move.inode);
        }
    }
    return entries;
}

// Moves the entry `recorded` from `from` to `to`, unless it is at `to`
// already or at `home`, where the step started it. Given the step's entries,
// an entry found nowhere while `from` holds one the step never moved is
// listed as changed since: saved anew there, or replaced. Where inode numbers
// cannot be trusted, anything else at `from` counts as changed since.
void replayMove(Places& places, const JournalMove& recorded, const std::string& from, const std::string& to,
                const std::string& home, const StepEntries& stepEntries, ReplayResult& result)
{
    places.trim();
    Places::Place* source = places.find(parentOf(from));
    Places::Place* target = places.find(parentOf(to));
    const std::string fromName(files::fileNameOf(from));
    const std::string toName(files::fileNameOf(to));
    const files::Folder::EntryStamp found = source ? source->folder.stampOf(fromName) : files::Folder::EntryStamp();
    if (isRecordedEntry(found, recorded)) {
        if (!target) {
            result.skipped.push_back({from, ReplayResult::Reason::Failed});
            return;
        }
        switch (files::moveEntry(source->folder, fromName, target->folder, toName)) {
        case files::MoveResult::Moved:
            source->moveOut(fromName, recorded);
            target->moveIn(toName, recorded);
            // An entry whose name was swapped moves twice and counts once, when it arrives.
            result.moved += to == home ? 1 : 0;
            return;
        case files::MoveResult::TargetExists:
            // A move made as a link and an unlink, cut short between them, left
            // the entry under both names. A drive that makes inode numbers up
            // (sshfs) makes link counts up too.
            if (files::dropSecondName(source->folder, fromName, target->folder, toName, recorded.inode != 0)) {
                source->moveOut(fromName, recorded);
                result.moved += to == home ? 1 : 0;
                return;
            }
            result.skipped.push_back({from, ReplayResult::Reason::NameTaken});
            return;
        case files::MoveResult::Failed:
            result.skipped.push_back({from, ReplayResult::Reason::Failed});
            return;
        }
    }
    if ((target && target->isEntry(toName, recorded)) || isAt(places, home, recorded)) {
        return;
    }
    ReplayResult::Reason reason = ReplayResult::Reason::Deleted;
    if ((source && source->holds(recorded)) || (target && target->holds(recorded))) {
        reason = ReplayResult::Reason::RenamedAgain;
    } else if (found.inode != 0
               && (recorded.inode == 0 || found.inode == recorded.inode || !stepEntries.inodes.contains(found.inode))) {
        // Not one the step moved; its own inode under another birth time is a later file that reused it.
        reason = ReplayResult::Reason::ChangedSince;
    }
    result.skipped.push_back({from, reason});
}

// Shows the window's progress strip for a replay of many moves, and asks
// after each move whether to stop.
class ReplayProgress {
public:
    ReplayProgress(RunProgress& progress, std::size_t moveCount)
        : m_progress(progress)
        , m_strip(progress, moveCount)
        , m_moveCount(moveCount)
    {
    }

    bool stopAsked(ReplayResult& result)
    {
        m_strip.showDone(++m_movesDone, m_moveCount);
        result.completed = !m_progress.stopRequested();
        return !result.completed;
    }

private:
    RunProgress& m_progress;
    ProgressStrip m_strip;
    std::size_t m_moveCount;
    std::size_t m_movesDone = 0;
};

} // namespace

std::size_t movesMadeOnDisk(const Journal& journal)
{
    Places places(journal.root);
    std::size_t made = 0;
    for (std::size_t index = 0; index < journal.steps.size(); ++index) {
        const JournalStep& step = journal.steps[index];
        const StepEntries entries = entriesOf(step);
        // Each entry's moves in their order: one that swaps names moves twice.
        std::vector<std::vector<std::uint32_t>> ways(entries.firstMove.size());
        for (std::uint32_t move = 0; move < step.moves.size(); ++move) {
            ways[entries.entryOf[move]].push_back(move);
        }
        places.trim();
        for (const std::vector<std::uint32_t>& moves : ways) {
            // The entry as its first move found it; the moves after it keep what tells it.
            const JournalMove& recorded = step.moves[moves.front()];
            std::size_t done = moves.size();
            while (done > 0 && !isAt(places, step.moves[moves[done - 1]].to, recorded)) {
                --done;
            }
            // A step is written only once the one before it ran, so an entry of
            // an earlier step that is nowhere on its way (its folder renamed by
            // a later step, or the entry deleted since) was moved.
            const bool later = index + 1 < journal.steps.size() || journal.lastStepCut;
            if (done == 0 && later && !isAt(places, recorded.from, recorded)) {
                done = moves.size();
            }
            made += done;
        }
    }
    return made;
}

ReplayResult undoJournal(const Journal& journal, RunProgress& runProgress)
{
    ReplayResult result;
    ReplayProgress progress(runProgress, journal.moveCount());
    Places places(journal.root);
    for (auto step = journal.steps.rbegin(); step != journal.steps.rend(); ++step) {
        const StepEntries entries = entriesOf(*step);
        for (std::size_t index = step->moves.size(); index-- > 0;) {
            const JournalMove& move = step->moves[index];
            // An entry back where the step found it needs nothing more.
            const JournalMove& first = step->moves[entries.firstMove[entries.entryOf[index]]];
            replayMove(places, first, move.to, move.from, first.from, entries, result);
            if (progress.stopAsked(result)) {
                return result;
            }
        }
        for (auto folder = step->createdFolders.rbegin(); folder != step->createdFolders.rend(); ++folder) {
            places.trim();
            if (Places::Place* parent = places.find(parentOf(*folder))) {
                files::removeEmptyFolder(parent->folder, std::string(files::fileNameOf(*folder)));
            }
        }
    }
    return result;
}

namespace {

// Renames, as the run would have, the folders it had not reached, when its
// journal tells how; a journal of an older version, or of a Sort, ends with its steps.
void goOnWithRun(const Journal& journal, const HeldJournal& held, RunProgress& progress, ReplayResult& result)
{
    const std::optional<RunRecord> record
        = journal.kind == JournalKind::Rename ? decodeRunRecord(journal.settings) : std::nullopt;
    if (!record) {
        return;
    }
    // The new steps go on in the same journal, so an undo, or a finish after
    // a crash during this one, knows them.
    JournalWriter writer(journal, held);
    if (!writer.isOpen()) {
        result.completed = false;
        return;
    }
    const RunResult run = RenameRun().goOn(journal, *record, writer, progress);
    result.moved += static_cast<std::size_t>(run.renamed);
    for (const RunResult::NotRenamed& entry : run.notRenamed) {
        // The names the plan itself refused are the run's choice, as an uninterrupted run makes it.
        if (entry.reason == Verdict::Failed) {
            result.skipped.push_back({entry.path, ReplayResult::Reason::Failed});
        }
    }
    result.completed = run.outcome == RunResult::Outcome::Done;
}

} // namespace

ReplayResult finishJournal(const Journal& journal, const HeldJournal& held, RunProgress& runProgress)
{
    ReplayResult result;
    // A step begins only once the one before it is made whole, and a later
    // step may have renamed the folder of an earlier one: the last alone has moves left.
    if (!journal.steps.empty()) {
        const JournalStep& step = journal.steps.back();
        ReplayProgress progress(runProgress, step.moves.size());
        Places places(journal.root);
        for (const std::string& folder : step.createdFolders) {
            places.trim();
            if (Places::Place* parent = places.find(parentOf(folder))) {
                files::createFolder(parent->folder, std::string(files::fileNameOf(folder)));
            }
        }
        const StepEntries entries = entriesOf(step);
        for (std::size_t index = 0; index < step.moves.size(); ++index) {
            const JournalMove& move = step.moves[index];
            const std::uint32_t entry = entries.entryOf[index];
            // An entry already at its final name needs nothing more.
            replayMove(places, step.moves[entries.firstMove[entry]], move.from, move.to,
                       step.moves[entries.lastMove[entry]].to, entries, result);
            if (progress.stopAsked(result)) {
                return result;
            }
        }
    }
    goOnWithRun(journal, held, runProgress, result);
    return result;
}

} // namespace quorbit
