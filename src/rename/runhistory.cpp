#include "rename/runhistory.h"

#include "platform/files.h"

#include <algorithm>
#include <string_view>

namespace quorbit {

namespace {

// Added to the name of a journal set aside; the history lists only names that
// end in ".journal", so it is never seen again.
constexpr std::string_view kSetAside = ".refused";

RecordedRun recorded(const std::string& path)
{
    JournalRead read = readJournal(path);
    return {path, std::move(read.journal), read.fault};
}

// Nothing was made, as a step's folders and moves wait for the whole step on
// the disk: there is nothing to undo or finish.
bool plannedNothing(const Journal& journal)
{
    return std::all_of(journal.steps.begin(), journal.steps.end(),
                       [](const JournalStep& step) { return step.moves.empty() && step.createdFolders.empty(); });
}

} // namespace

RunHistory::RunHistory(std::string folder)
    : m_folder(std::move(folder))
{
}

namespace {

// The ended journals no running Quorbit holds, newest first; with `first`, only the newest.
std::vector<std::string> undoablePaths(const std::string& folder, bool first)
{
    std::vector<std::string> undoable;
    if (folder.empty()) {
        return undoable;
    }
    const std::vector<std::string> paths = journalFiles(folder);
    for (auto path = paths.rbegin(); path != paths.rend() && !(first && !undoable.empty()); ++path) {
        if (!files::isLocked(*path) && journalEnded(*path)) {
            undoable.push_back(*path);
        }
    }
    return undoable;
}

} // namespace

std::optional<RecordedRun> RunHistory::newestUndoable() const
{
    const std::vector<std::string> paths = undoablePaths(m_folder, true);
    return paths.empty() ? std::nullopt : std::optional(recorded(paths.front()));
}

std::vector<RecordedRun> RunHistory::undoable() const
{
    std::vector<RecordedRun> runs;
    for (const std::string& path : undoablePaths(m_folder, false)) {
        runs.push_back(recorded(path));
    }
    return runs;
}

std::vector<RecordedRun> RunHistory::unfinished() const
{
    std::vector<RecordedRun> runs;
    if (m_folder.empty()) {
        return runs;
    }
    for (const std::string& path : journalFiles(m_folder)) {
        if (files::isLocked(path) || journalEnded(path)) {
            continue;
        }
        RecordedRun run = recorded(path);
        if (run.journal && plannedNothing(*run.journal)) {
            files::removeFile(path);
        } else {
            runs.push_back(std::move(run));
        }
    }
    return runs;
}

void RunHistory::undone(const Journal& journal, const ReplayResult& result) const
{
    // An entry deleted or rewritten since will never come back; one whose way
    // is blocked (its name taken, renamed again, a failed move) may, once the
    // user has cleared the way.
    const bool nothingMoreToTry = std::all_of(result.skipped.begin(), result.skipped.end(), [](const auto& skipped) {
        return skipped.reason == ReplayResult::Reason::Deleted || skipped.reason == ReplayResult::Reason::ChangedSince;
    });
    if (result.completed && nothingMoreToTry) {
        files::removeFile(journal.path);
    } else if (!journal.ended) {
        // Some of it is back: from now on an undo takes it, not the start-up offer.
        markJournalEnded(journal.path);
    }
}

void RunHistory::finished(const Journal& journal, const ReplayResult& result) const
{
    if (result.completed && !journal.ended) {
        markJournalEnded(journal.path);
    }
}

void RunHistory::left(const Journal& journal) const
{
    if (!journal.ended) {
        markJournalEnded(journal.path);
    }
}

bool RunHistory::refused(const std::string& path) const
{
    const std::string name(files::fileNameOf(path));
    const files::Folder folder(m_folder);
    return folder.isOpen()
        && files::moveEntry(folder, name, folder, name + std::string(kSetAside)) == files::MoveResult::Moved;
}

void RunHistory::keep(std::size_t count) const
{
    if (m_folder.empty()) {
        return;
    }
    pruneJournals(m_folder, count);
    std::vector<files::DirEntry> entries;
    files::Folder(m_folder).list(entries);
    std::vector<std::string> setAside;
    for (const files::DirEntry& entry : entries) {
        if (!entry.isDirectory && entry.name.ends_with(kSetAside)) {
            setAside.push_back(entry.name);
        }
    }
    // Named after the time they were started, so the names sort oldest first.
    std::sort(setAside.begin(), setAside.end());
    for (std::size_t i = 0; i + count < setAside.size(); ++i) {
        files::removeFile(files::withTrailingSeparator(m_folder) + setAside[i]);
    }
}

} // namespace quorbit
