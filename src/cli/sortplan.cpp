#include "cli/sortplan.h"

#include "listing/filemask.h"
#include "rename/folderwalk.h"

#include <algorithm>
#include <map>
#include <unordered_set>

namespace quorbit::cli {

namespace {

// An extension folder as the plan finds it, and what the plan puts in it.
struct Target {
    files::Folder folder; // not open when missing or no real folder
    files::Folder::Identity identity;
    bool heldByOther = false; // a file or link has the folder's name
    bool writable = false; // it, or the Sort's folder where it would be made, takes new entries
    std::unordered_set<std::string> names;
};

} // namespace

std::string sortedPath(std::string_view name)
{
    const std::string_view extension = splitName(name).extension;
    return extension.empty() ? std::string(name) : std::string(extension) + "/" + std::string(name);
}

SortPlan planSort(const SortSettings& settings)
{
    SortPlan plan;
    const files::Folder current(settings.folder);
    std::vector<files::DirEntry> currentEntries;
    if (!current.list(currentEntries)) {
        plan.entries.push_back({".", ".", false, SortSkip::FolderUnreadable});
        return plan;
    }
    const std::string currentPrefix = files::withTrailingSeparator(settings.folder);
    std::map<std::string, Target> targets; // by extension; "" is the Sort's folder itself
    const auto targetFor = [&](const std::string& extension) -> Target& {
        if (const auto found = targets.find(extension); found != targets.end()) {
            return found->second;
        }
        Target target;
        target.folder = current.openChild(extension.empty() ? "." : extension);
        target.identity = target.folder.identity();
        const auto holder = std::find_if(currentEntries.begin(), currentEntries.end(),
                                         [&](const files::DirEntry& entry) { return entry.name == extension; });
        target.heldByOther = !extension.empty() && holder != currentEntries.end() && !holder->isDirectory;
        target.writable = files::isWritableFolder(
            target.folder.isOpen() && !extension.empty() ? currentPrefix + extension : settings.folder);
        std::vector<files::DirEntry> held;
        target.folder.list(held);
        for (files::DirEntry& entry : held) {
            target.names.insert(std::move(entry.name));
        }
        return targets.emplace(extension, std::move(target)).first->second;
    };
    const FileMask mask(settings.mask);
    const auto planFolder = [&](const files::Folder& folder, const std::string& path) {
        const std::string relative = path == settings.folder ? "" : path.substr(currentPrefix.size()) + "/";
        const files::Folder::Identity identity = folder.identity();
        const bool writable = files::isWritableFolder(path);
        for (const std::string& name : collectEntries(folder, settings.applyTo, mask).selectedNames()) {
            Target& target = targetFor(std::string(splitName(name).extension));
            SortPlanEntry entry{relative + name, sortedPath(name), false, std::nullopt};
            if (target.folder.isOpen() && target.identity == identity) {
                entry.inPlace = true;
            } else if (target.heldByOther) {
                entry.skip = SortSkip::ExtensionNameTaken;
            } else if (!writable || !target.writable) {
                entry.skip = SortSkip::FolderReadOnly;
            } else if (!target.names.insert(name).second) {
                entry.skip = SortSkip::NameTaken;
            }
            plan.entries.push_back(std::move(entry));
        }
        return true;
    };
    if (settings.subfolders) {
        WalkResult walk = walkFolders(settings.folder, planFolder);
        plan.folderCount = walk.folderCount;
        plan.unreachedFolders = std::move(walk.unreachedFolders);
    } else {
        planFolder(current, settings.folder);
    }
    return plan;
}

} // namespace quorbit::cli
