#include "rename/sortcommand.h"

#include "listing/filemask.h"
#include "rename/folderwalk.h"
#include "rename/journal.h"

#include <map>
#include <optional>
#include <unordered_map>

namespace quorbit {

namespace {

// Moves each entry `names` of `from` into the folder its extension names
// under `current`, after writing the plan to `journal` when there is one.
// False when the journal could not be written; nothing is moved then.
bool moveToExtensionFolders(const files::Folder& current, const std::string& currentPath, const files::Folder& from,
                            const std::string& fromPath, const std::vector<std::string>& names,
                            const std::vector<std::uint64_t>& inodes, JournalWriter* journal)
{
    const files::Folder::Identity fromIdentity = from.identity();
    const std::string currentPrefix = files::withTrailingSeparator(currentPath);
    std::map<std::string, files::Folder> targets; // by extension; "" is the current folder itself
    JournalStep step;
    std::vector<std::size_t> moving;
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::string extension(splitName(names[i]).extension);
        auto target = targets.find(extension);
        if (target == targets.end()) {
            // "." is the current folder itself, where entries without an extension go.
            target = targets.emplace(extension, current.openChild(extension.empty() ? "." : extension)).first;
            if (!target->second.isOpen()) {
                step.createdFolders.push_back(currentPrefix + extension);
            }
        }
        // An entry already where it belongs stays: a move onto itself would
        // take a detour through a temporary name.
        if (!target->second.isOpen() || target->second.identity() != fromIdentity) {
            moving.push_back(i);
            step.moves.push_back(
                {inodes[i], files::withTrailingSeparator(fromPath) + names[i],
                 extension.empty() ? currentPrefix + names[i] : currentPrefix + extension + "/" + names[i]});
        }
    }
    if (journal && !moving.empty() && !journal->writeStep(step)) {
        return false;
    }
    for (const std::size_t i : moving) {
        const std::string extension(splitName(names[i]).extension);
        files::Folder& target = targets[extension];
        if (!target.isOpen() && files::createFolder(current, extension)) {
            target = current.openChild(extension); // a name taken by a file or a link leaves it closed
        }
        if (target.isOpen()) {
            files::moveEntry(from, names[i], target, names[i]); // a name taken in the target keeps the entry here
        }
        if (journal) {
            journal->noteMove();
        }
    }
    return true;
}

} // namespace

SortResult sortIntoExtensionFolders(const SortSettings& settings, const StatusTexts& texts,
                                    const std::string& sortedWord)
{
    if (settings.folder.empty()) {
        return {SortResult::Outcome::NoFolder, "No folder is selected.", {}};
    }
    const files::Folder current(settings.folder);
    std::optional<JournalWriter> journal;
    if (!settings.journalFolder.empty()) {
        journal.emplace(settings.journalFolder, JournalKind::Sort, settings.folder);
        if (!journal->isOpen()) {
            return {SortResult::Outcome::JournalNotWritten, {}, {}};
        }
    }
    JournalWriter* const journalWriter = journal ? &*journal : nullptr;
    SortResult result;
    result.message = " " + sortedWord + " ";
    bool journalWritten = true;
    if (settings.subfolders) {
        const FileMask mask(settings.mask);
        int fileCount = 0;
        // Each folder's sub-folders are listed before it is entered, so the
        // extension folders made on the way are not visited.
        WalkResult walk = walkFolders(settings.folder, [&](const files::Folder& folder, const std::string& path) {
            const CollectedEntries collected = collectEntries(folder, settings.applyTo, mask);
            fileCount += collected.fileCount;
            journalWritten = moveToExtensionFolders(current, settings.folder, folder, path, collected.names,
                                                    collected.inodes, journalWriter);
            return journalWritten;
        });
        result.message += std::to_string(fileCount) + " " + texts.files + " / " + std::to_string(walk.folderCount) + " "
            + texts.dirs;
        result.unreachedFolders = std::move(walk.unreachedFolders);
    } else {
        std::vector<files::DirEntry> entries;
        current.list(entries);
        std::unordered_map<std::string_view, std::uint64_t> inodeOf;
        for (const files::DirEntry& entry : entries) {
            inodeOf.emplace(entry.name, entry.inode);
        }
        std::vector<std::string> taken;
        std::vector<std::uint64_t> inodes;
        for (const std::string& name : settings.listedNames) {
            // A listed name is an entry of the current folder, never a path to elsewhere.
            const auto found = inodeOf.find(name);
            if (found != inodeOf.end() && appliesTo(settings.applyTo, current.leadsToDirectory(name))) {
                taken.push_back(name);
                inodes.push_back(found->second);
            }
        }
        journalWritten
            = moveToExtensionFolders(current, settings.folder, current, settings.folder, taken, inodes, journalWriter);
        result.message += std::to_string(taken.size()) + " " + texts.files;
    }
    // A journal that failed is left without its end mark, so it is offered for recovery.
    if (journal && !(journalWritten && journal->end())) {
        result.outcome = SortResult::Outcome::JournalNotWritten;
    }
    return result;
}

} // namespace quorbit
