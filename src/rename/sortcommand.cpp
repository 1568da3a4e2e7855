#include "rename/sortcommand.h"

#include "listing/filemask.h"
#include "platform/localetext.h"
#include "rename/folderwalk.h"
#include "rename/journal.h"

#include <algorithm>
#include <map>
#include <optional>
#include <unordered_map>
#include <unordered_set>

namespace quorbit {

namespace {

// What one Sort works with from folder to folder.
struct Sorting {
    const files::Folder& current;
    const std::string& currentPath;
    JournalWriter* journal; // none when the Sort keeps no journal
    RunProgress& progress;
    SortResult& result;
    files::DriveRules rules; // of the current folder's drive
    std::map<std::string, bool> writable; // by path; looked up only once a move failed
    // Where letter case does not count: the current folder's names, and those of
    // the extension folders to be made, by their folded forms.
    std::unordered_map<std::string, std::string> folderNames;
    bool madeFolder = false; // an extension folder was made, and an undo removes it again

    bool isWritable(const std::string& path)
    {
        const auto found = writable.find(path);
        return found != writable.end() ? found->second
                                       : writable.emplace(path, files::isWritableFolder(path)).first->second;
    }
};

// The name of the folder that entries with `extension` go into. On a drive
// where letter case does not count, "jpg" and "JPG" go into one folder: the
// one the current folder holds in either spelling, else the first spelling met.
std::string extensionFolderName(Sorting& sorting, const std::string& extension)
{
    if (!sorting.rules.caseInsensitive || extension.empty()) {
        return extension;
    }
    return sorting.folderNames.try_emplace(text::caseFold(extension), extension).first->second;
}

// Why the extension folder could neither be opened nor made.
SortSkip whyNoExtensionFolder(Sorting& sorting, const std::string& extension)
{
    std::vector<files::DirEntry> entries;
    sorting.current.list(entries);
    const auto holder = std::find_if(entries.begin(), entries.end(),
                                     [&](const files::DirEntry& entry) { return entry.name == extension; });
    if (holder != entries.end() && !holder->isDirectory) {
        return SortSkip::ExtensionNameTaken;
    }
    return sorting.isWritable(sorting.currentPath) ? SortSkip::Failed : SortSkip::FolderReadOnly;
}

// A move the file system refused without saying why.
struct FailedMove {
    std::size_t notSorted; // its place in SortResult::notSorted
    std::string targetPath; // the folder it was to go to
};

// Tells the entries that are gone, and those whose folder or target folder
// cannot be written, from the rest of the failed moves.
void explainFailedMoves(Sorting& sorting, const files::Folder& from, const std::string& fromPath,
                        const std::vector<FailedMove>& failed)
{
    if (failed.empty()) {
        return;
    }
    std::vector<files::DirEntry> entries;
    from.list(entries);
    std::unordered_set<std::string_view> present;
    for (const files::DirEntry& entry : entries) {
        present.insert(entry.name);
    }
    for (const FailedMove& move : failed) {
        SortResult::NotSorted& entry = sorting.result.notSorted[move.notSorted];
        if (!present.contains(files::fileNameOf(entry.path))) {
            entry.reason = SortSkip::Vanished;
        } else if (!sorting.isWritable(fromPath) || !sorting.isWritable(move.targetPath)) {
            entry.reason = SortSkip::FolderReadOnly;
        }
    }
}

// Moves each entry `names` of `from` into the folder its extension names
// under the current folder, after writing the plan to the journal when there
// is one; `inodes` are the entries' as the listing gave them, `fromRules` the
// rules of their drive. False when the journal could not be written; nothing
// is moved then.
bool moveToExtensionFolders(Sorting& sorting, const files::Folder& from, const std::string& fromPath,
                            const std::vector<std::string>& names, const std::vector<std::uint64_t>& inodes,
                            const files::DriveRules& fromRules)
{
    ProgressStrip progress(sorting.progress, names.size());
    const files::Folder::Identity fromIdentity = from.identity();
    const std::string currentPrefix = files::withTrailingSeparator(sorting.currentPath);
    const std::string fromPrefix = files::withTrailingSeparator(fromPath);
    const auto targetPathOf = [&](const std::string& extension) {
        return extension.empty() ? sorting.currentPath : currentPrefix + extension;
    };
    std::map<std::string, files::Folder> targets; // by folder name; "" is the current folder itself
    JournalStep step;
    std::vector<std::size_t> moving;
    std::vector<std::string> folderOf; // for each entry moving, its folder's name
    // A FUSE driver that lists other inode numbers than stat gives makes them up (see JournalMove).
    bool trusted = true;
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::string folderName = extensionFolderName(sorting, std::string(splitName(names[i]).extension));
        auto target = targets.find(folderName);
        if (target == targets.end()) {
            // "." is the current folder itself, where entries without an extension go.
            target
                = targets.emplace(folderName, sorting.current.openChild(folderName.empty() ? "." : folderName)).first;
            if (!target->second.isOpen()) {
                step.createdFolders.push_back(currentPrefix + folderName);
            }
        }
        // An entry already where it belongs stays: a move onto itself would
        // take a detour through a temporary name.
        if (!target->second.isOpen() || target->second.identity() != fromIdentity) {
            moving.push_back(i);
            folderOf.push_back(folderName);
            const files::Folder::EntryStamp stamp = from.stampOf(names[i]);
            trusted = trusted && (!fromRules.fuse || stamp.inode == inodes[i]);
            step.moves.push_back(
                {stamp.inode, stamp.birth, fromPrefix + names[i],
                 folderName.empty() ? currentPrefix + names[i] : currentPrefix + folderName + "/" + names[i],
                 stamp.size});
        }
        sorting.progress.processPendingEvents();
    }
    if (!trusted) {
        for (JournalMove& move : step.moves) {
            move.inode = 0;
        }
    }
    if (sorting.journal && !moving.empty()
        && !sorting.journal->writeStep(step, [&sorting] { sorting.progress.processPendingEvents(); })) {
        return false;
    }
    std::map<std::string, SortSkip> unmade; // folders that could not be had, and why
    std::vector<FailedMove> failed;
    std::vector<SortResult::NotSorted>& notSorted = sorting.result.notSorted;
    for (std::size_t done = 0; done < moving.size(); ++done) {
        const std::string& name = names[moving[done]];
        const std::string& folderName = folderOf[done];
        files::Folder& target = targets[folderName];
        if (!target.isOpen() && !unmade.contains(folderName)) {
            if (files::createFolder(sorting.current, folderName)) {
                sorting.madeFolder = true;
                target = sorting.current.openChild(folderName);
            }
            if (!target.isOpen()) {
                unmade.emplace(folderName, whyNoExtensionFolder(sorting, folderName));
            }
        }
        bool moved = false;
        if (!target.isOpen()) {
            notSorted.push_back({fromPrefix + name, unmade.at(folderName)});
        } else {
            switch (files::moveEntry(from, name, target, name)) {
            case files::MoveResult::Moved:
                ++sorting.result.moved;
                moved = true;
                break;
            case files::MoveResult::TargetExists:
                notSorted.push_back({fromPrefix + name, SortSkip::NameTaken});
                break;
            case files::MoveResult::Failed:
                failed.push_back({notSorted.size(), targetPathOf(folderName)});
                notSorted.push_back({fromPrefix + name, SortSkip::Failed});
                break;
            }
        }
        if (sorting.journal) {
            sorting.journal->noteMove(moved);
        }
        progress.showDone(done + 1, moving.size());
    }
    explainFailedMoves(sorting, from, fromPath, failed);
    return true;
}

} // namespace

SortResult sortIntoExtensionFolders(const SortSettings& settings, const StatusTexts& texts,
                                    const std::string& sortedWord, const std::string& notSortedWord,
                                    RunProgress& progress)
{
    SortResult result;
    if (settings.folder.empty()) {
        result.outcome = SortResult::Outcome::NoFolder;
        result.message = "No folder is selected.";
        return result;
    }
    const files::Folder current(settings.folder);
    std::optional<JournalWriter> journal;
    if (!settings.journalFolder.empty()) {
        journal.emplace(settings.journalFolder, JournalKind::Sort, settings.folder);
        if (!journal->isOpen()) {
            result.outcome = SortResult::Outcome::JournalNotWritten;
            return result;
        }
    }
    Sorting sorting{current, settings.folder, journal ? &*journal : nullptr, progress, result, {}, {}, {}, false};
    const auto pause = [&progress] { progress.processPendingEvents(); };
    const auto unreadable = [&] { result.notSorted.push_back({settings.folder, SortSkip::FolderUnreadable}); };
    bool journalWritten = true;
    int folderCount = 0;
    std::vector<files::DirEntry> entries;
    const bool listed = current.list(entries);
    NameBlock names;
    for (const files::DirEntry& entry : entries) {
        names.add(entry.name);
    }
    sorting.rules = files::driveRules(current, names);
    if (sorting.rules.caseInsensitive) {
        for (const files::DirEntry& entry : entries) {
            sorting.folderNames.emplace(text::caseFold(entry.name), entry.name);
        }
    }
    if (!current.isOpen()) {
        unreadable();
    } else if (settings.subfolders) {
        const FileMask mask(settings.mask);
        // Each folder's sub-folders are listed before it is entered, so the
        // extension folders made on the way are not visited.
        WalkResult walk = walkFolders(settings.folder, [&](const files::Folder& folder, const std::string& path) {
            const CollectedEntries collected = collectEntries(folder, settings.applyTo, mask, pause);
            journalWritten = moveToExtensionFolders(sorting, folder, path, collected.selectedNames(), collected.inodes,
                                                    collected.rules);
            return journalWritten;
        });
        folderCount = walk.folderCount;
        result.unreachedFolders = std::move(walk.unreachedFolders);
    } else if (!listed) {
        unreadable();
    } else {
        std::unordered_map<std::string_view, std::uint64_t> inodeOf;
        for (const files::DirEntry& entry : entries) {
            inodeOf.emplace(entry.name, entry.inode);
            pause();
        }
        const std::string prefix = files::withTrailingSeparator(settings.folder);
        std::vector<std::string> taken;
        std::vector<std::uint64_t> inodes;
        for (const std::string& name : settings.listedNames) {
            // A listed name is an entry of the current folder, never a path to elsewhere.
            const auto found = inodeOf.find(name);
            if (found == inodeOf.end()) {
                result.notSorted.push_back({prefix + name, SortSkip::Vanished});
            } else if (appliesTo(settings.applyTo, current.leadsToDirectory(name))) {
                taken.push_back(name);
                inodes.push_back(found->second);
            }
            pause();
        }
        journalWritten = moveToExtensionFolders(sorting, current, settings.folder, taken, inodes, sorting.rules);
    }
    // The status text counts what was done, not what was tried.
    result.message = texts.counted(texts.sortedCount, result.moved,
                                   " " + sortedWord + " " + std::to_string(result.moved) + " " + texts.files);
    if (settings.subfolders) {
        result.message
            += " / " + texts.counted(texts.foldersCount, folderCount, std::to_string(folderCount) + " " + texts.dirs);
    }
    if (const std::size_t notSorted = result.notSorted.size(); notSorted > 0) {
        result.message
            += ", " + texts.counted(texts.notSortedCount, notSorted, std::to_string(notSorted) + " " + notSortedWord);
    }
    // A Sort that changed nothing leaves no journal; one whose journal failed
    // is left without its end mark, so it is offered for recovery.
    if (journal && !(journalWritten && journal->end(sorting.madeFolder))) {
        result.outcome = SortResult::Outcome::JournalNotWritten;
    }
    return result;
}

} // namespace quorbit
