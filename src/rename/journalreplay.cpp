#include "rename/journalreplay.h"

#include "rename/renamerun.h"

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
// without following links, with the inodes of its entries listed once and
// kept up to date as entries move.
class Places {
public:
    class Place {
    public:
        explicit Place(files::Folder opened)
            : folder(std::move(opened))
        {
        }

        files::Folder folder;

        std::uint64_t inodeOf(const std::string& name)
        {
            const auto found = names().find(name);
            return found == names().end() ? 0 : found->second;
        }

        // Whether any entry of the folder has `inode`, under whatever name.
        bool holds(std::uint64_t inode)
        {
            if (!m_inodes) {
                m_inodes.emplace();
                m_inodes->reserve(names().size());
                for (const auto& [name, entryInode] : names()) {
                    m_inodes->insert(entryInode);
                }
            }
            return m_inodes->count(inode) != 0;
        }

        void moveOut(const std::string& name)
        {
            const auto found = names().find(name);
            if (found != names().end()) {
                if (m_inodes) {
                    m_inodes->erase(m_inodes->find(found->second));
                }
                names().erase(found);
            }
        }

        void moveIn(const std::string& name, std::uint64_t inode)
        {
            names()[name] = inode;
            if (m_inodes) {
                m_inodes->insert(inode);
            }
        }

    private:
        // The folder's entries by name, listed when first asked for.
        std::unordered_map<std::string, std::uint64_t>& names()
        {
            if (!m_names) {
                std::vector<files::DirEntry> entries;
                folder.list(entries);
                m_names.emplace();
                m_names->reserve(entries.size());
                for (files::DirEntry& entry : entries) {
                    m_names->emplace(std::move(entry.name), entry.inode);
                }
            }
            return *m_names;
        }

        std::optional<std::unordered_map<std::string, std::uint64_t>> m_names;
        // The same inodes the other way round, made only when first needed:
        // most replays never ask.
        std::optional<std::unordered_multiset<std::uint64_t>> m_inodes;
    };

    explicit Places(std::string root)
        : m_root(std::move(root))
    {
    }

    // The folder at `path`, the root or one below it; nothing when it cannot be opened.
    Place* find(std::string_view path)
    {
        const std::string key(path);
        if (const auto found = m_places.find(key); found != m_places.end()) {
            return &found->second;
        }
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
    std::unordered_map<std::string, Place> m_places;
};

// Moves the entry `inode` from `from` to `to`, unless it is at `to` already or
// at `home`, where the step started it.
void replayMove(Places& places, std::uint64_t inode, const std::string& from, const std::string& to,
                const std::string& home, ReplayResult& result)
{
    places.trim();
    Places::Place* source = places.find(parentOf(from));
    Places::Place* target = places.find(parentOf(to));
    const std::string fromName(files::fileNameOf(from));
    const std::string toName(files::fileNameOf(to));
    if (source && source->inodeOf(fromName) == inode) {
        if (!target) {
            result.skipped.push_back({from, ReplayResult::Reason::Failed});
            return;
        }
        switch (files::moveEntry(source->folder, fromName, target->folder, toName)) {
        case files::MoveResult::Moved:
            source->moveOut(fromName);
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
    if (target && target->inodeOf(toName) == inode) {
        return;
    }
    Places::Place* homePlace = places.find(parentOf(home));
    if (homePlace && homePlace->inodeOf(std::string(files::fileNameOf(home))) == inode) {
        return;
    }
    const bool stillThere = (source && source->holds(inode)) || (target && target->holds(inode));
    result.skipped.push_back({from, stillThere ? ReplayResult::Reason::RenamedAgain : ReplayResult::Reason::Deleted});
}

// Where each entry of `step` was before the step's first move of it, or
// (`finalPlaces`) where its last move takes it, by inode.
std::unordered_map<std::uint64_t, const std::string*> stepPlaces(const JournalStep& step, bool finalPlaces)
{
    std::unordered_map<std::uint64_t, const std::string*> places;
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

ReplayResult undoJournal(const Journal& journal, RunProgress& runProgress)
{
    ReplayResult result;
    ReplayProgress progress(runProgress, journal.moveCount());
    Places places(journal.root);
    for (auto step = journal.steps.rbegin(); step != journal.steps.rend(); ++step) {
        const auto starts = stepPlaces(*step, false);
        for (auto move = step->moves.rbegin(); move != step->moves.rend(); ++move) {
            // An entry back where the step found it needs nothing more.
            replayMove(places, move->inode, move->to, move->from, *starts.at(move->inode), result);
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

ReplayResult finishJournal(const Journal& journal, RunProgress& runProgress)
{
    ReplayResult result;
    ReplayProgress progress(runProgress, journal.moveCount());
    Places places(journal.root);
    for (const JournalStep& step : journal.steps) {
        for (const std::string& folder : step.createdFolders) {
            places.trim();
            if (Places::Place* parent = places.find(parentOf(folder))) {
                files::createFolder(parent->folder, std::string(files::fileNameOf(folder)));
            }
        }
        const auto ends = stepPlaces(step, true);
        for (const JournalMove& move : step.moves) {
            // An entry already at its final name needs nothing more.
            replayMove(places, move.inode, move.from, move.to, *ends.at(move.inode), result);
            if (progress.stopAsked(result)) {
                return result;
            }
        }
    }
    return result;
}

} // namespace quorbit
