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

// Gives the journal at `path` a name the history does not list.
bool moveAside(const std::string& folderPath, const std::string& path)
{
    const std::string name(files::fileNameOf(path));
    const files::Folder folder(folderPath);
    return folder.isOpen()
        && files::moveEntry(folder, name, folder, name + std::string(kSetAside)) == files::MoveResult::Moved;
}

} // namespace

RunHistory::RunHistory(std::string folder)
    : m_folder(std::move(folder))
{
}

std::vector<RecordedRun> RunHistory::undoable() const
{
    std::vector<RecordedRun> runs;
    if (m_folder.empty()) {
        return runs;
    }
    const std::vector<std::string> paths = journalFiles(m_folder);
    for (auto path = paths.rbegin(); path != paths.rend(); ++path) {
        if (!files::isLocked(*path) && journalEnded(*path)) {
            runs.push_back(recorded(*path));
        }
    }
    return runs;
}

HistoryResult RunHistory::undoNewest(RunProgress& progress) const
{
    if (m_folder.empty()) {
        return {};
    }
    const std::vector<std::string> paths = journalFiles(m_folder);
    for (auto path = paths.rbegin(); path != paths.rend(); ++path) {
        HeldJournal held(*path);
        switch (held.status()) {
        case HeldJournal::Status::Held:
            break;
        case HeldJournal::Status::Busy:
            return {HistoryResult::Outcome::Busy, *path};
        case HeldJournal::Status::Gone:
            continue; // undone by another program since it was listed: the next is the newest
        case HeldJournal::Status::Failed:
            return refuse(held, JournalFault::Unreadable);
        }
        JournalRead read = readJournal(*path);
        if (!read.journal) {
            return refuse(held, read.fault);
        }
        const Journal& journal = *read.journal;
        if (!journal.ended) {
            if (plannedNothing(journal)) {
                held.remove();
                continue;
            }
            // Its moves were made over those of the older runs.
            return {HistoryResult::Outcome::Unfinished, *path};
        }
        HistoryResult result{HistoryResult::Outcome::Done, *path};
        result.replay = undoJournal(journal, progress);
        result.recorded = undone(held, journal, result.replay);
        return result;
    }
    return {};
}

std::vector<RecordedRun> RunHistory::unfinished() const
{
    std::vector<RecordedRun> runs;
    if (m_folder.empty()) {
        return runs;
    }
    for (const std::string& path : journalFiles(m_folder)) {
        if (journalEnded(path)) {
            continue;
        }
        HeldJournal held(path);
        if (held.status() == HeldJournal::Status::Busy || held.status() == HeldJournal::Status::Gone) {
            continue;
        }
        RecordedRun run = recorded(path);
        if (run.journal && plannedNothing(*run.journal)) {
            held.remove();
        } else {
            runs.push_back(std::move(run));
        }
    }
    return runs;
}

HistoryResult RunHistory::recover(const std::string& path, RecoveryChoice choice, RunProgress& progress) const
{
    HeldJournal held(path);
    switch (held.status()) {
    case HeldJournal::Status::Held:
        break;
    case HeldJournal::Status::Busy:
        return {HistoryResult::Outcome::Busy, path};
    case HeldJournal::Status::Gone:
        return {HistoryResult::Outcome::NothingToDo, path};
    case HeldJournal::Status::Failed:
        return refuse(held, JournalFault::Unreadable);
    }
    JournalRead read = readJournal(path);
    if (!read.journal) {
        return refuse(held, read.fault);
    }
    const Journal& journal = *read.journal;
    if (journal.ended) {
        return {HistoryResult::Outcome::NothingToDo, path};
    }
    HistoryResult result{HistoryResult::Outcome::Done, path};
    switch (choice) {
    case RecoveryChoice::Finish:
        result.replay = finishJournal(journal, held, progress);
        result.recorded = finished(held, journal, result.replay);
        break;
    case RecoveryChoice::Undo:
        result.replay = undoJournal(journal, progress);
        result.recorded = undone(held, journal, result.replay);
        break;
    case RecoveryChoice::Leave:
        // Left as it stopped: marked ended, still undoable.
        result.recorded = held.markEnded();
        break;
    }
    return result;
}

bool RunHistory::undone(HeldJournal& held, const Journal& journal, const ReplayResult& result)
{
    // An entry deleted or rewritten since will never come back; one whose way
    // is blocked (its name taken, renamed again, a failed move) may, once the
    // user has cleared the way.
    const bool nothingMoreToTry = std::all_of(result.skipped.begin(), result.skipped.end(), [](const auto& skipped) {
        return skipped.reason == ReplayResult::Reason::Deleted || skipped.reason == ReplayResult::Reason::ChangedSince;
    });
    if (result.completed && nothingMoreToTry) {
        return held.remove();
    }
    // Some of it is back: from now on an undo takes it, not the start-up offer.
    return journal.ended || held.markEnded();
}

bool RunHistory::finished(HeldJournal& held, const Journal& journal, const ReplayResult& result)
{
    return !result.completed || journal.ended || held.markEnded();
}

HistoryResult RunHistory::refuse(const HeldJournal& held, JournalFault fault) const
{
    HistoryResult result{HistoryResult::Outcome::Refused, held.path()};
    result.fault = fault;
    result.recorded = moveAside(m_folder, held.path());
    return result;
}

bool RunHistory::refused(const std::string& path) const
{
    const HeldJournal held(path);
    return held.status() != HeldJournal::Status::Busy && held.status() != HeldJournal::Status::Gone
        && moveAside(m_folder, path);
}

bool RunHistory::keep(std::size_t count) const
{
    if (m_folder.empty()) {
        return true;
    }
    bool removed = pruneJournals(m_folder, count);
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
        removed = files::removeFile(files::withTrailingSeparator(m_folder) + setAside[i]) && removed;
    }
    return removed;
}

} // namespace quorbit
