#include "rename/sortcommand.h"

#include "browser/filemask.h"
#include "rename/folderwalk.h"

namespace quorbit {

namespace {

// Moves each entry `names` of `from` into the folder its extension names under `current`.
void moveToExtensionFolders(const files::Folder& current, const files::Folder& from,
                            const std::vector<std::string>& names)
{
    const files::Folder::Identity fromIdentity = from.identity();
    for (const std::string& name : names) {
        const std::string extension(splitName(name).extension);
        if (!extension.empty()) {
            files::createFolder(current, extension); // when it exists, or cannot be made, the open below tells
        }
        // "." is the current folder itself, where entries without an extension go.
        const files::Folder target = current.openChild(extension.empty() ? "." : extension);
        // An entry already where it belongs stays: a move onto itself would
        // take a detour through a temporary name.
        if (target.isOpen() && target.identity() != fromIdentity) {
            files::moveEntry(from, name, target, name); // a name taken in the target keeps the entry here
        }
    }
}

} // namespace

SortResult sortIntoExtensionFolders(const SortSettings& settings, const StatusTexts& texts,
                                    const std::string& sortedWord)
{
    if (settings.folder.empty()) {
        return {SortResult::Outcome::NoFolder, "No folder is selected.", {}};
    }
    const files::Folder current(settings.folder);
    SortResult result;
    result.message = " " + sortedWord + " ";
    if (settings.subfolders) {
        const FileMask mask(settings.mask);
        int fileCount = 0;
        // Each folder's sub-folders are listed before it is entered, so the
        // extension folders made on the way are not visited.
        WalkResult walk = walkFolders(settings.folder, [&](const files::Folder& folder, const std::string&) {
            const CollectedEntries collected = collectEntries(folder, settings.applyTo, mask);
            fileCount += collected.fileCount;
            moveToExtensionFolders(current, folder, collected.names);
            return true;
        });
        result.message += std::to_string(fileCount) + " " + texts.files + " / " + std::to_string(walk.folderCount) + " "
            + texts.dirs;
        result.unreachedFolders = std::move(walk.unreachedFolders);
    } else {
        std::vector<std::string> taken;
        for (const std::string& name : settings.listedNames) {
            // A listed name is an entry of the current folder, never a path to elsewhere.
            if (name.find('/') == std::string::npos && appliesTo(settings.applyTo, current.leadsToDirectory(name))) {
                taken.push_back(name);
            }
        }
        moveToExtensionFolders(current, current, taken);
        result.message += std::to_string(taken.size()) + " " + texts.files;
    }
    return result;
}

} // namespace quorbit
