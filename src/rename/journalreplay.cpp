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

// The folders a replay works in, each opened once from the one above it
// without following links. An entry is asked of the file system itself where
// a move needs it; the inodes of a folder's entries are listed only when a
// move that cannot be made looks for its entry under another name.
class Places {
public:
    class Place {
    public:
        explicit Place(files::Folder opened)
            : folder(std::move(opened))
        {
        }

        files::Folder folder;

        // Whether `name` is the entry of `inode` born at `birth`. A birth of 0
        // (older journals, file systems without birth times) leaves the inode alone to tell.
        bool isEntry(const std::string& name, std::uint64_t inode, std::uint64_t birth) const
        {
            const files::Folder::EntryStamp stamp = folder.stampOf(name);
            return stamp.inode == inode && (birth == 0 || stamp.birth == birth);
        }

        // Whether any entry of the folder is the entry of `inode` born at `birth`, under whatever name.
        bool holds(std::uint64_t inode, std::uint64_t birth)
        {
            if (!m_names) {
                std::vector<files::DirEntry> entries;
                folder.list(entries);
                m_names.emplace();
                m_names->reserve(entries.size());
                for (files::DirEntry& entry : entries) {
                    m_names->emplace(entry.inode, std::move(entry.name));
                }
            }
            const auto [first, last] = m_names->equal_range(inode);
            for (auto found = first; found != last; ++found) {
                if (birth == 0 || folder.stampOf(found->second).birth == birth) {
                    return true;
                }
            }
            return false;
        }

        // Keeps the listed names, once listed, up to date with a move made.
        void moveOut(const std::string& name, std::uint64_t inode)
        {
            if (!m_names) {
                return;
            }
            const auto [first, last] = m_names->equal_range(inode);
            for (auto named = first; named != last; ++named) {
                if (named->second == name) {
                    m_names->erase(named);
                    return;
                }
            }
        }

        void moveIn(const std::string& name, std::uint64_t inode)
        {
            if (m_names) {
                m_names->emplace(inode, name);
            }
        }

    private:
        // The folder's entries by inode, as listed when first needed and kept up to date since.
        std::optional<std::unordered_multimap<std::uint64_t, std::string>> m_names;
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

// An entry's inode by where a step takes it (see stepPlaces).
using StepPlaces = std::unordered_map<std::uint64_t, const std::string*>;

// Whether the entry of `inode` born at `birth` is at `path`.
bool isAt(Places& places, const std::string& path, std::uint64_t inode, std::uint64_t birth)
{
    Places::Place* place = places.find(parentOf(path));
    return place && place->isEntry(std::string(files::fileNameOf(path)), inode, birth);
}

// Moves the entry `inode`, born at `birth` (0: unknown), from `from` to `to`,
// unless it is at `to` already or at `home`, where the step started it. Given
// the step's entries, an entry found nowhere while `from` holds one the step
// never moved is listed as changed since: saved anew there, or replaced.
void replayMove(Places& places, std::uint64_t inode, const std::string& from, const std::string& to,
                const std::string& home, ReplayResult& result, std::uint64_t birth = 0,
                const StepPlaces* stepEntries = nullptr)
{
    places.trim();
    Places::Place* source = places.find(parentOf(from));
    Places::Place* target = places.find(parentOf(to));
    const std::string fromName(files::fileNameOf(from));
    const std::string toName(files::fileNameOf(to));
    if (source && source->isEntry(fromName, inode, birth)) {
        if (!target) {
            result.skipped.push_back({from, ReplayResult::Reason::Failed});
            return;
        }
        switch (files::moveEntry(source->folder, fromName, target->folder, toName)) {
        case files::MoveResult::Moved:
            source->moveOut(fromName, inode);
            target->moveIn(toName, inode);
            ++result.moved;
            return;
        case files::MoveResult::TargetExists:
            result.skipped.push_back({from, ReplayResult::Reason::NameTaken});
            return;
        case files::MoveResult::Failed:
            result.skipped.push_back({from, ReplayResult::Reason::Failed});
            return;
        }
    }
    if ((target && target->isEntry(toName, inode, birth)) || isAt(places, home, inode, birth)) {
        return;
    }
    ReplayResult::Reason reason = ReplayResult::Reason::Deleted;
    const std::uint64_t named = source ? source->folder.stampOf(fromName).inode : 0;
    if ((source && source->holds(inode, birth)) || (target && target->holds(inode, birth))) {
        reason = ReplayResult::Reason::RenamedAgain;
    } else if (stepEntries && named != 0 && (named == inode || !stepEntries->contains(named))) {
        // Not one the step moved; its own inode under another birth time is a later file that reused it.
        reason = ReplayResult::Reason::ChangedSince;
    }
    result.skipped.push_back({from, reason});
}

// Where each entry of `step` was before the step's first move of it, or
// (`finalPlaces`) where its last move takes it, by inode.
StepPlaces stepPlaces(const JournalStep& step, bool finalPlaces)
{
    StepPlaces places;
    places.reserve(step.moves.size());
    for (const JournalMove& move : step.moves) {
        if (finalPlaces) {
            places[move.inode] = &move.to;
        } else {
            places.emplace(move.inode, &move.from);
        }
    }
    return places;
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
        // Each entry's moves in their order: one that swaps names moves twice.
        std::unordered_map<std::uint64_t, std::vector<const JournalMove*>> ways;
        ways.reserve(journal.steps[index].moves.size());
        for (const JournalMove& move : journal.steps[index].moves) {
            ways[move.inode].push_back(&move);
        }
        places.trim();
        for (const auto& [inode, moves] : ways) {
            std::size_t done = moves.size();
            while (done > 0 && !isAt(places, moves[done - 1]->to, inode, moves[done - 1]->birth)) {
                --done;
            }
            // A step is written only once the one before it ran, so an entry of
            // an earlier step that is nowhere on its way (its folder renamed by
            // a later step, or the entry deleted since) was moved.
            const bool later = index + 1 < journal.steps.size() || journal.lastStepCut;
            if (done == 0 && later && !isAt(places, moves.front()->from, inode, moves.front()->birth)) {
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
        const auto starts = stepPlaces(*step, false);
        for (auto move = step->moves.rbegin(); move != step->moves.rend(); ++move) {
            // An entry back where the step found it needs nothing more.
            replayMove(places, move->inode, move->to, move->from, *starts.at(move->inode), result, move->birth,
                       &starts);
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
void goOnWithRun(const Journal& journal, RunProgress& progress, ReplayResult& result)
{
    const std::optional<RunRecord> record
        = journal.kind == JournalKind::Rename ? decodeRunRecord(journal.settings) : std::nullopt;
    if (!record) {
        return;
    }
    // The new steps go on in the same journal, so an undo, or a finish after
    // a crash during this one, knows them.
    JournalWriter writer(journal);
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

ReplayResult finishJournal(const Journal& journal, RunProgress& runProgress)
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
        const auto ends = stepPlaces(step, true);
        for (const JournalMove& move : step.moves) {
            // An entry already at its final name needs nothing more.
            replayMove(places, move.inode, move.from, move.to, *ends.at(move.inode), result, move.birth, &ends);
            if (progress.stopAsked(result)) {
                return result;
            }
        }
    }
    goOnWithRun(journal, runProgress, result);
    return result;
}

} // namespace quorbit
