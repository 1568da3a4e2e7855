#include "rename/sortcommand.h"

#include "listing/filemask.h"
#include "platform/localetext.h"
#include "rename/folderwalk.h"
#include "rename/journal.h"

#include <map>
#include <unordered_map>
#include <unordered_set>

namespace quorbit {

namespace {

// Whether folders take new entries, by path, each asked once.
class WritableFolders {
public:
    bool operator()(const std::string& path)
    {
        const auto found = m_known.find(path);
        return found != m_known.end() ? found->second
                                      : m_known.emplace(path, files::isWritableFolder(path)).first->second;
    }

private:
    std::map<std::string, bool> m_known;
};

// What a Sort knows of its current folder from the first folder it sorts to the last.
struct SortScope {
    SortScope(const files::Folder& currentFolder, const std::string& path, const std::vector<files::DirEntry>& listing)
        : current(currentFolder)
        , currentPath(path)
        , currentPrefix(files::withTrailingSeparator(path))
    {
        NameBlock names;
        for (const files::DirEntry& entry : listing) {
            names.add(entry.name);
        }
        rules = files::driveRules(current, names);
        if (rules.caseInsensitive) {
            for (const files::DirEntry& entry : listing) {
                folderNames.emplace(text::caseFold(entry.name), entry.name);
            }
        }
    }

    // The name of the folder that entries with `extension` go into. On a drive
    // where letter case does not count, "jpg" and "JPG" go into one folder: the
    // one the current folder holds in either spelling, else the first spelling met.
    std::string extensionFolderName(const std::string& extension)
    {
        if (!rules.caseInsensitive || extension.empty()) {
            return extension;
        }
        return folderNames.try_emplace(text::caseFold(extension), extension).first->second;
    }

    // `name` as the drive tells names apart.
    std::string nameKey(const std::string& name) const { return rules.caseInsensitive ? text::caseFold(name) : name; }

    std::string folderPathOf(const std::string& folderName) const
    {
        return folderName.empty() ? currentPath : currentPrefix + folderName;
    }

    const files::Folder& current;
    const std::string& currentPath;
    const std::string currentPrefix;
    files::DriveRules rules; // of the current folder's drive
    // Where letter case does not count: the current folder's names, and those of
    // the extension folders to be made, by their folded forms.
    std::unordered_map<std::string, std::string> folderNames;
    WritableFolders writable; // as the plans find them
};

// Where `name` goes, relative to the current folder, when its folder is `folderName`.
std::string destination(const std::string& folderName, const std::string& name)
{
    return folderName.empty() ? name : folderName + "/" + name;
}

// An extension folder as the plan of one folder finds it.
struct Target {
    std::string name; // under the current folder; "" is the current folder itself
    files::Folder folder; // not open when missing or no real folder
    files::Folder::Identity identity;
    // Why nothing goes into it: foreseen by the plan, or found when it could not be made.
    std::optional<SortSkip> skip;
};
using Targets = std::map<std::string, Target>; // by name

// Why nothing can go into the extension folder `name`, opened when `open`.
std::optional<SortSkip> whyNothingGoesInto(const SortScope& scope, const std::string& name, bool open,
                                           WritableFolders& writable)
{
    if (!open) {
        const files::Folder::EntryStamp holder = scope.current.stampOf(name);
        if (holder.inode != 0 && holder.size != files::Folder::EntryStamp::folderSize) {
            return SortSkip::ExtensionNameTaken;
        }
    }
    // A missing folder is made in the current folder.
    if (!writable(open ? scope.folderPathOf(name) : scope.currentPath)) {
        return SortSkip::FolderReadOnly;
    }
    return std::nullopt;
}

Target& targetFor(SortScope& scope, Targets& targets, std::string_view extension)
{
    std::string name = scope.extensionFolderName(std::string(extension));
    if (const auto found = targets.find(name); found != targets.end()) {
        return found->second;
    }
    // "." is the current folder itself, where entries without an extension go.
    Target target{name, scope.current.openChild(name.empty() ? "." : name), {}, {}};
    target.identity = target.folder.identity();
    target.skip = whyNothingGoesInto(scope, name, target.folder.isOpen(), scope.writable);
    return targets.emplace(std::move(name), std::move(target)).first->second;
}

// The names that moves planned and not yet made take in each extension
// folder, by the folder's name; names as SortScope::nameKey gives them.
using AssumedMoves = std::map<std::string, std::unordered_set<std::string>>;

struct EntryPlan {
    Target* target; // its extension folder
    bool inPlace = false;
    std::optional<SortSkip> skip;

    bool moves() const { return !inPlace && !skip; }
};

// The plan for the entries `names` of `from`, one entry for each: the one
// place that decides where an entry goes, and why it stays when that can be
// told before anything moves. The earlier folders' moves are taken as made:
// on the disk once the run made them, in `assumed` while only planned.
// `targets` keeps the extension folders the plan opened.
std::vector<EntryPlan> planFolder(SortScope& scope, Targets& targets, const files::Folder& from,
                                  const std::string& fromPath, const std::vector<std::string>& names,
                                  const AssumedMoves& assumed)
{
    const files::Folder::Identity fromIdentity = from.identity();
    // Asked at the first entry that would leave it.
    std::optional<bool> known;
    const auto fromWritable = [&] { return known ? *known : *(known = files::isWritableFolder(fromPath)); };
    const auto plannedThere = [&](const Target& target, const std::string& name) {
        const auto found = assumed.find(target.name);
        return found != assumed.end() && found->second.contains(scope.nameKey(name));
    };
    std::vector<EntryPlan> plan;
    plan.reserve(names.size());
    for (const std::string& name : names) {
        EntryPlan entry{&targetFor(scope, targets, splitName(name).extension), false, std::nullopt};
        const Target& target = *entry.target;
        // An entry already where it belongs stays: a move onto itself would
        // take a detour through a temporary name.
        if (target.folder.isOpen() && target.identity == fromIdentity) {
            entry.inPlace = true;
        } else if (target.skip) {
            entry.skip = target.skip;
        } else if (!fromWritable()) {
            entry.skip = SortSkip::FolderReadOnly;
        } else if ((target.folder.isOpen() && target.folder.stampOf(name).inode != 0) || plannedThere(target, name)) {
            entry.skip = SortSkip::NameTaken;
        }
        plan.push_back(entry);
    }
    return plan;
}

// Calls `visit` for each folder the Sort takes entries from, with the names
// it takes there, their inodes as listed and the rules of their drive: with
// sub-folders, those Apply to and the mask select, in every plain sub-folder
// and then the current folder; without, the listed names that are entries of
// the current folder and that Apply to selects. A listed name that is gone
// goes to `vanished` instead. `listing` is the current folder's.
using SortedFolderVisit
    = std::function<bool(const files::Folder& folder, const std::string& path, const std::vector<std::string>& names,
                         const std::vector<std::uint64_t>& inodes, const files::DriveRules& rules)>;
WalkResult forEachSortedFolder(const SortSettings& settings, const SortScope& scope,
                               const std::vector<files::DirEntry>& listing,
                               const std::function<void(const std::string& name)>& vanished,
                               const SortedFolderVisit& visit)
{
    if (settings.subfolders) {
        const FileMask mask(settings.mask);
        // Each folder's sub-folders are listed before it is entered, so the
        // extension folders made on the way are not visited.
        return walkFolders(settings.folder, [&](const files::Folder& folder, const std::string& path) {
            const CollectedEntries collected = collectEntries(folder, settings.applyTo, mask);
            return visit(folder, path, collected.selectedNames(), collected.inodes, collected.rules);
        });
    }
    std::unordered_map<std::string_view, std::uint64_t> inodeOf;
    for (const files::DirEntry& entry : listing) {
        inodeOf.emplace(entry.name, entry.inode);
    }
    std::vector<std::string> taken;
    std::vector<std::uint64_t> inodes;
    for (const std::string& name : settings.listedNames) {
        // A listed name is an entry of the current folder, never a path to elsewhere.
        const auto found = inodeOf.find(name);
        if (found == inodeOf.end()) {
            vanished(name);
        } else if (appliesTo(settings.applyTo, scope.current.leadsToDirectory(name))) {
            taken.push_back(name);
            inodes.push_back(found->second);
        }
    }
    visit(scope.current, settings.folder, taken, inodes, scope.rules);
    return {};
}

// What one Sort works with from folder to folder.
struct Sorting {
    SortScope& scope;
    JournalWriter* journal; // none when the Sort keeps no journal
    RunProgress& progress;
    SortResult& result;
    // Asked afresh once a move failed: the drive may have turned read-only since the plan.
    WritableFolders writableAfterFailure;
    bool madeFolder = false; // an extension folder was made, and an undo removes it again
};

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
        } else if (!sorting.writableAfterFailure(fromPath) || !sorting.writableAfterFailure(move.targetPath)) {
            entry.reason = SortSkip::FolderReadOnly;
        }
    }
}

// Plans the entries `names` of `from`, writes the plan's moves to the journal
// when there is one, and makes them; `inodes` are the entries' as the listing
// gave them, `fromRules` the rules of their drive. False when the journal could
// not be written; nothing is moved then.
bool sortFolder(Sorting& sorting, const files::Folder& from, const std::string& fromPath,
                const std::vector<std::string>& names, const std::vector<std::uint64_t>& inodes,
                const files::DriveRules& fromRules)
{
    ProgressStrip progress(sorting.progress, names.size());
    SortScope& scope = sorting.scope;
    Targets targets;
    const std::vector<EntryPlan> plan = planFolder(scope, targets, from, fromPath, names, {});
    const std::string fromPrefix = files::withTrailingSeparator(fromPath);
    JournalStep step;
    std::unordered_set<const Target*> toMake;
    // A FUSE driver that lists other inode numbers than stat gives makes them up (see JournalMove).
    bool trusted = true;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (!plan[i].moves()) {
            continue;
        }
        const Target& target = *plan[i].target;
        if (!target.folder.isOpen() && toMake.insert(&target).second) {
            step.createdFolders.push_back(scope.folderPathOf(target.name));
        }
        const files::Folder::EntryStamp stamp = from.stampOf(names[i]);
        trusted = trusted && (!fromRules.fuse || stamp.inode == inodes[i]);
        step.moves.push_back({stamp.inode, stamp.birth, fromPrefix + names[i],
                              scope.currentPrefix + destination(target.name, names[i]), stamp.size});
    }
    if (!trusted) {
        for (JournalMove& move : step.moves) {
            move.inode = 0;
        }
    }
    if (sorting.journal && !step.moves.empty() && !sorting.journal->writeStep(step)) {
        return false;
    }
    std::vector<FailedMove> failed;
    std::vector<SortResult::NotSorted>& notSorted = sorting.result.notSorted;
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::string& name = names[i];
        Target& target = *plan[i].target;
        const auto leave = [&](SortSkip reason) {
            notSorted.push_back({fromPrefix + name, scope.currentPrefix + destination(target.name, name), reason});
        };
        if (plan[i].skip) {
            leave(*plan[i].skip);
        } else if (!plan[i].inPlace) {
            if (!target.folder.isOpen() && !target.skip) {
                if (files::createFolder(scope.current, target.name)) {
                    sorting.madeFolder = true;
                    target.folder = scope.current.openChild(target.name);
                }
                if (!target.folder.isOpen()) {
                    target.skip = whyNothingGoesInto(scope, target.name, false, sorting.writableAfterFailure)
                                      .value_or(SortSkip::Failed);
                }
            }
            bool moved = false;
            if (!target.folder.isOpen()) {
                leave(*target.skip);
            } else {
                switch (files::moveEntry(from, name, target.folder, name)) {
                case files::MoveResult::Moved:
                    ++sorting.result.moved;
                    moved = true;
                    break;
                case files::MoveResult::TargetExists:
                    leave(SortSkip::NameTaken);
                    break;
                case files::MoveResult::Failed:
                    failed.push_back({notSorted.size(), scope.folderPathOf(target.name)});
                    leave(SortSkip::Failed);
                    break;
                }
            }
            if (sorting.journal) {
                sorting.journal->noteMove(moved);
            }
        }
        progress.showDone(i + 1, names.size());
    }
    explainFailedMoves(sorting, from, fromPath, failed);
    return true;
}

} // namespace

SortResult sortIntoExtensionFolders(const SortSettings& settings, RunProgress& progress)
{
    SortResult result;
    if (settings.folder.empty()) {
        result.outcome = SortResult::Outcome::NoFolder;
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
    std::vector<files::DirEntry> listing;
    const bool listed = current.list(listing);
    SortScope scope(current, settings.folder, listing);
    Sorting sorting{scope, journal ? &*journal : nullptr, progress, result, {}, false};
    bool journalWritten = true;
    if (!listed) {
        result.notSorted.push_back({settings.folder, "", SortSkip::FolderUnreadable});
    } else {
        const std::string prefix = files::withTrailingSeparator(settings.folder);
        WalkResult walk = forEachSortedFolder(
            settings, scope, listing,
            [&](const std::string& name) {
                result.notSorted.push_back({prefix + name,
                                            prefix + destination(std::string(splitName(name).extension), name),
                                            SortSkip::Vanished});
            },
            [&](const files::Folder& folder, const std::string& path, const std::vector<std::string>& names,
                const std::vector<std::uint64_t>& inodes, const files::DriveRules& rules) {
                journalWritten = sortFolder(sorting, folder, path, names, inodes, rules);
                return journalWritten;
            });
        result.folderCount = walk.folderCount;
        result.unreachedFolders = std::move(walk.unreachedFolders);
    }
    // A Sort that changed nothing leaves no journal; one whose journal failed
    // is left without its end mark, so it is offered for recovery.
    if (journal && !(journalWritten && journal->end(sorting.madeFolder))) {
        result.outcome = SortResult::Outcome::JournalNotWritten;
    }
    return result;
}

SortPlan planSort(const SortSettings& settings)
{
    SortPlan plan;
    const files::Folder current(settings.folder);
    std::vector<files::DirEntry> listing;
    if (!current.list(listing)) {
        plan.entries.push_back({".", ".", false, SortSkip::FolderUnreadable});
        return plan;
    }
    SortScope scope(current, settings.folder, listing);
    AssumedMoves assumed;
    WalkResult walk = forEachSortedFolder(
        settings, scope, listing,
        [&](const std::string& name) {
            plan.entries.push_back(
                {name, destination(std::string(splitName(name).extension), name), false, SortSkip::Vanished});
        },
        [&](const files::Folder& folder, const std::string& path, const std::vector<std::string>& names,
            const std::vector<std::uint64_t>&, const files::DriveRules&) {
            const std::string relative = path == settings.folder ? "" : path.substr(scope.currentPrefix.size()) + "/";
            Targets targets;
            const std::vector<EntryPlan> planned = planFolder(scope, targets, folder, path, names, assumed);
            for (std::size_t i = 0; i < names.size(); ++i) {
                const std::string& folderName = planned[i].target->name;
                plan.entries.push_back(
                    {relative + names[i], destination(folderName, names[i]), planned[i].inPlace, planned[i].skip});
                if (planned[i].moves()) {
                    assumed[folderName].insert(scope.nameKey(names[i]));
                }
            }
            return true;
        });
    plan.folderCount = walk.folderCount;
    plan.unreachedFolders = std::move(walk.unreachedFolders);
    return plan;
}

} // namespace quorbit
