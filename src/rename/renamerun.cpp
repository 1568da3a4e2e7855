#include "rename/renamerun.h"

#include "listing/filemask.h"
#include "platform/background.h"
#include "rename/folderwalk.h"
#include "rename/regexreplace.h"
#include "rename/renameplan.h"
#include "rename/runrecord.h"
#include "rename/tagname.h"
#include "tags/photodate.h"
#include "tags/photoname.h"

#include <unordered_map>

namespace quorbit {

namespace {

// `wanted`, or the first of "-2", "-3"… put before its extension that is
// neither `claimed` nor taken, where `name` is the photo's own name and free
// for it. `nextSuffix` remembers where each wanted name's search stopped, so
// a folder of a thousand photos of one second is not searched a thousand times.
std::string freePhotoName(std::string wanted, const std::string& name, const std::unordered_set<std::string>& claimed,
                          std::unordered_map<std::string, std::size_t>& nextSuffix)
{
    if (wanted == name || !claimed.contains(wanted)) {
        return wanted;
    }
    const NameParts parts = splitName(wanted);
    const std::string base(parts.base);
    const std::string extension = parts.extension.empty() ? std::string() : "." + std::string(parts.extension);
    std::size_t& suffix = nextSuffix.try_emplace(wanted, 2).first->second;
    for (;; ++suffix) {
        std::string candidate = base + "-" + std::to_string(suffix) + extension;
        if (candidate == name || !claimed.contains(candidate)) {
            return candidate;
        }
    }
}

} // namespace

NameParts splitName(std::string_view name)
{
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos) {
        return {name, {}};
    }
    return {name.substr(0, dot), name.substr(dot + 1)};
}

bool appliesTo(ApplyTo applyTo, bool isFolder)
{
    return isFolder ? applyTo != ApplyTo::Files : applyTo != ApplyTo::Folders;
}

CollectedEntries collectEntries(const files::Folder& folder, ApplyTo applyTo, const FileMask& mask)
{
    CollectedEntries collected;
    {
        std::vector<files::DirEntry> entries;
        folder.list(entries);
        std::size_t bytes = 0;
        for (const files::DirEntry& entry : entries) {
            bytes += entry.name.size();
        }
        // The names go into one block, and the listing, a string for every name, is let go before the sort.
        collected.present.reserve(entries.size(), bytes);
        collected.selected.reserve(entries.size());
        collected.inodes.reserve(entries.size());
        for (const files::DirEntry& entry : entries) {
            // A link counts as a folder when it leads to one; it is still taken as itself.
            const bool isFolder = entry.isDirectory || (entry.isLink && folder.leadsToDirectory(entry.name));
            if (!entry.isPlainFolder()) {
                ++collected.fileCount;
            }
            if (appliesTo(applyTo, isFolder) && (isFolder || mask.matches(entry.name))) {
                collected.selected.push_back(static_cast<std::uint32_t>(collected.present.size()));
                collected.inodes.push_back(entry.inode);
            }
            collected.present.add(entry.name);
        }
    }
    const std::vector<std::uint32_t> order = nameOrder(collected.present, collected.selected);
    std::vector<std::uint32_t> selected;
    std::vector<std::uint64_t> inodes;
    selected.reserve(order.size());
    inodes.reserve(order.size());
    for (const std::uint32_t position : order) {
        selected.push_back(collected.selected[position]);
        inodes.push_back(collected.inodes[position]);
    }
    collected.selected = std::move(selected);
    collected.inodes = std::move(inodes);
    collected.rules = files::driveRules(folder, collected.present);
    return collected;
}

namespace {

// The entry of each of `plan`'s moves as the file system tells it, in their
// order. At a million entries the calls take seconds, so above a few thousand
// they are split between this thread and another.
std::vector<files::Folder::EntryStamp> entryStamps(const files::Folder& folder, const FolderPlan& plan)
{
    std::vector<files::Folder::EntryStamp> stamps(plan.moves.size());
    constexpr std::size_t kMovesForTwoThreads = 4096;
    platform::inTwoHalves(stamps.size(), kMovesForTwoThreads, [&](std::size_t begin, std::size_t end, bool) {
        std::string name; // the file calls take whole strings
        for (std::size_t index = begin; index < end; ++index) {
            name.assign(plan.name(plan.moves[index].entry));
            stamps[index] = folder.stampOf(name);
        }
    });
    return stamps;
}

// Whether the inode numbers of `stamps` tell the entries apart from one mount
// to the next. A FUSE driver that lists other numbers than stat gives (a
// placeholder, the same for every entry) makes them up as it goes; one that
// lists the same numbers passes on the disk's own.
bool inodesTrusted(const files::DriveRules& rules, const std::vector<files::Folder::EntryStamp>& stamps,
                   const FolderPlan& plan, const std::vector<std::uint64_t>& listedInodes)
{
    if (!rules.fuse) {
        return true;
    }
    for (std::size_t index = 0; index < stamps.size(); ++index) {
        if (stamps[index].inode != listedInodes[plan.moves[index].entry]) {
            return false;
        }
    }
    return !stamps.empty();
}

} // namespace

std::vector<std::string> CollectedEntries::selectedNames() const
{
    std::vector<std::string> names;
    names.reserve(selected.size());
    for (const std::uint32_t entry : selected) {
        names.emplace_back(present[entry]);
    }
    return names;
}

std::optional<std::string> safeFileName(std::string_view name)
{
    // Trailing dots and blanks are dropped, as on the platform the program came from.
    const std::size_t end = name.find_last_not_of(". ");
    if (end == std::string_view::npos) {
        return std::nullopt;
    }
    name = name.substr(0, end + 1);
    if (name.find('/') != std::string_view::npos || name.find('\0') != std::string_view::npos) {
        return std::nullopt;
    }
    return std::string(name);
}

RunResult RenameRun::run(const RunSettings& settings, RunProgress& progress, const TagNameSource& tagNames)
{
    return start(settings, progress, tagNames, nullptr);
}

RunResult RenameRun::run(const RunSettings& settings, RunProgress& progress, const TitleTemplate& fromTags)
{
    return start(settings, progress, tagNameSource(fromTags), &fromTags);
}

RunResult RenameRun::start(const RunSettings& settings, RunProgress& progress, const TagNameSource& tagNames,
                           const TitleTemplate* fromTags)
{
    RunResult result;
    result.random = settings.random;
    if (settings.folder.empty()) {
        result.outcome = RunResult::Outcome::NoFolder;
        return result;
    }
    Result<OperationInputs, RunResult> prepared = inputsFor(settings);
    if (!prepared) {
        RunResult refused = prepared.fault();
        refused.random = settings.random;
        return refused;
    }
    OperationInputs& inputs = *prepared;
    std::optional<JournalWriter> journal;
    if (!settings.journalFolder.empty()) {
        // Names from a source of unknown make cannot be drawn again: such a run
        // records no settings, and is finished only as far as it planned.
        const std::string record = tagNames && !fromTags
            ? std::string()
            : encodeRunRecord({settings, fromTags ? std::optional(*fromTags) : std::nullopt});
        journal.emplace(settings.journalFolder, JournalKind::Rename, settings.folder, record);
        if (!journal->isOpen()) {
            result.outcome = RunResult::Outcome::JournalNotWritten;
            return result;
        }
    }
    const ActiveRun active{settings, std::move(inputs), progress,
                           tagNames, result.random,     journal ? &*journal : nullptr};
    bool stopped = false;
    result.folderCount = renameFolders(active, {}, result, stopped);
    // A run that moved nothing leaves no journal; one whose journal failed
    // is left without its end mark, so it is offered for recovery.
    if (journal && !journal->end(false)) {
        result.outcome = RunResult::Outcome::JournalNotWritten;
    } else if (stopped) {
        result.outcome = RunResult::Outcome::Stopped;
    }
    return result;
}

RunResult RenameRun::goOn(const Journal& journal, const RunRecord& record, JournalWriter& writer, RunProgress& progress)
{
    RunSettings settings = record.settings;
    settings.folder = journal.root;
    settings.journalFolder.clear();
    Result<OperationInputs, RunResult> inputs = inputsFor(settings);
    std::optional<RandomGenerator> random
        = journal.steps.empty() ? settings.random : RandomGenerator::fromStateText(journal.steps.back().resume);
    if (!inputs || !random) {
        return {RunResult::Outcome::JournalNotWritten};
    }
    const TagNameSource tagNames = record.fromTags ? tagNameSource(*record.fromTags) : TagNameSource();
    const ActiveRun active{settings, std::move(*inputs), progress, tagNames, *random, &writer};
    // A folder is known by its inode, or where inodes cannot be trusted by its path
    // now: the folders the run renamed have new names.
    const PlannedFolders planned = plannedFolders(journal);
    bool stopped = false;
    RunResult result;
    renameFolders(active, planned, result, stopped);
    if (!writer.isOpen()) {
        result.outcome = RunResult::Outcome::JournalNotWritten;
    } else if (stopped) {
        result.outcome = RunResult::Outcome::Stopped;
    }
    return result;
}

int RenameRun::renameFolders(const ActiveRun& active, const PlannedFolders& planned, RunResult& result, bool& stopped)
{
    const FileMask mask(active.settings.mask);
    const auto renameFolder = [&](const files::Folder& folder, const std::string& path) {
        if (planned.contains(folder, path)) {
            return true;
        }
        CollectedEntries collected = collectEntries(folder, active.settings.applyTo, mask);
        stopped = !renameAll(active, folder, std::move(collected), path, result);
        return !stopped;
    };
    if (!active.settings.subfolders) {
        renameFolder(files::Folder(active.settings.folder), active.settings.folder);
        return 0;
    }
    // Deepest first, so renaming a folder never hides one still to do.
    WalkResult walk = walkFolders(active.settings.folder, renameFolder);
    result.unreachedFolders = std::move(walk.unreachedFolders);
    return walk.folderCount;
}

ProgressStrip::ProgressStrip(RunProgress& progress, std::size_t stepCount)
    : m_progress(progress)
{
    if (stepCount > 100) {
        m_progress.showProgress();
    }
}

ProgressStrip::~ProgressStrip()
{
    m_progress.setProgressPosition(0);
    m_progress.hideProgress();
}

void ProgressStrip::showDone(std::size_t done, std::size_t of)
{
    m_progress.setProgressPosition(of == 0 ? 100 : static_cast<int>(100 * done / of));
}

bool RenameRun::renameAll(const ActiveRun& active, const files::Folder& folder, CollectedEntries collected,
                          const std::string& path, RunResult& result)
{
    const ProgressStrip strip(active.progress, collected.selected.size());
    const std::vector<std::uint64_t> inodes = std::move(collected.inodes);
    const std::optional<FolderPlan> plan
        = planNames(active, folder, std::move(collected.present), std::move(collected.selected), collected.rules);
    if (!plan) {
        return false;
    }
    const std::string prefix = files::withTrailingSeparator(path);
    // Every folder planned has its step, with no moves too, so a finish knows
    // which folders are done and where the random names stood after each.
    if (active.journal) {
        const std::vector<files::Folder::EntryStamp> stamps = entryStamps(folder, *plan);
        const bool trusted = inodesTrusted(collected.rules, stamps, *plan, inodes);
        JournalStep step;
        step.folder = path;
        step.folderInode = trusted ? folder.identity().inode : 0;
        step.resume = active.random.stateText();
        const auto moveAt = [&](std::size_t index) {
            const PlannedMove& move = plan->moves[index];
            const files::Folder::EntryStamp& stamp = stamps[index];
            return JournalMoveView{trusted ? stamp.inode : 0, stamp.birth,    prefix,
                                   plan->from(move),          plan->to(move), stamp.size};
        };
        if (!active.journal->writeStep(step, plan->moves.size(), moveAt)) {
            return false;
        }
    }
    const AppliedPlan applied = applyFolderPlan(folder, *plan, active.progress, [journal = active.journal](bool moved) {
        if (journal) {
            journal->noteMove(moved);
        }
    });
    result.renamed += static_cast<int>(applied.renamed);
    const auto notRenamed = [&](const PlannedEntry& entry, Verdict reason) {
        result.notRenamed.push_back({prefix + std::string(entry.name), std::string(entry.newName), reason});
    };
    for (const PlannedEntry& entry : plan->entries()) {
        if (entry.verdict != Verdict::Renamed && entry.verdict != Verdict::Unchanged) {
            notRenamed(entry, entry.verdict);
        }
    }
    for (const std::size_t entry : applied.failed) {
        notRenamed(plan->entry(entry), Verdict::Failed);
    }
    return applied.completed;
}

std::optional<FolderPlan> RenameRun::planNames(const ActiveRun& active, const files::Folder& folder,
                                               NameBlock folderNames, std::vector<std::uint32_t> entryNames,
                                               const files::DriveRules& rules)
{
    const std::size_t count = entryNames.size();
    NameBlock newNames;
    std::size_t bytes = 0;
    for (const std::uint32_t entry : entryNames) {
        bytes += folderNames[entry].size();
    }
    // Room for names that grow; room left unused is never touched, so it costs
    // no memory, where outgrowing the block would copy it whole.
    newNames.reserve(count, 2 * bytes + 16 * count);
    // Photos taken in one second want one name: each after the first takes a free one of its own,
    // so the names the folder has and those earlier entries want are kept track of.
    const bool photoNames = !active.settings.photoTemplate.empty();
    std::unordered_set<std::string> claimed;
    std::unordered_map<std::string, std::size_t> nextSuffix;
    if (photoNames) {
        for (std::size_t index = 0; index < folderNames.size(); ++index) {
            claimed.emplace(folderNames[index]);
        }
    }
    std::vector<std::size_t> withoutDate;
    std::vector<std::size_t> tooSlow;
    std::string name; // the name sources take whole strings
    for (std::size_t i = 0; i < count; ++i) {
        name.assign(folderNames[entryNames[i]]);
        ComputedName computed = newNameFor(active, folder, name, i, count);
        // An operation that changes nothing leaves the entry alone, even where the
        // old name has trailing dots or blanks that a new name would lose.
        std::optional<std::string> newName
            = computed.name == name ? std::move(computed.name) : safeFileName(computed.name);
        if (computed.origin == NameOrigin::PhotoDate && newName) {
            newName = freePhotoName(std::move(*newName), name, claimed, nextSuffix);
        } else if (computed.origin == NameOrigin::PhotoWithoutDate) {
            withoutDate.push_back(i);
        } else if (computed.origin == NameOrigin::PatternTooSlow) {
            newName.reset(); // planned as a name that is no name, so the entry stays
            tooSlow.push_back(i);
        }
        if (photoNames && newName) {
            claimed.insert(*newName);
        }
        newNames.add(newName ? std::string_view(*newName) : std::string_view());
        if (active.progress.stopRequested()) {
            return std::nullopt;
        }
    }
    FolderPlan plan = planFolder(std::move(folderNames), std::move(entryNames), std::move(newNames), rules);
    for (const std::size_t entry : withoutDate) {
        plan.photoWithoutDate[entry] = true;
    }
    for (const std::size_t entry : tooSlow) {
        plan.verdicts[entry] = Verdict::PatternTooSlow;
    }
    return plan;
}

Result<OperationInputs, RunResult> RenameRun::inputsFor(const RunSettings& settings)
{
    const NumberCheck number = checkNumber(settings.option, settings.numberText);
    switch (number.fault) {
    case NumberCheck::Fault::NotANumber:
        return Failure{RunResult{RunResult::Outcome::InvalidNumber}};
    case NumberCheck::Fault::TooSmall:
        return Failure{RunResult{RunResult::Outcome::NumberTooSmall}};
    case NumberCheck::Fault::None:
        break;
    }
    OperationInputs inputs{settings.symbolsText, settings.replaceText, number.value};
    if (settings.option == RenameOption::RegexReplace) {
        Result<RegexReplacement, std::string> compiled
            = RegexReplacement::compile(settings.symbolsText, settings.replaceText);
        if (!compiled) {
            RunResult refused{RunResult::Outcome::InvalidPattern};
            refused.patternError = compiled.fault();
            return Failure{std::move(refused)};
        }
        inputs.regex = std::make_shared<const RegexReplacement>(std::move(*compiled));
    }
    return inputs;
}

std::optional<RunPreview> RenameRun::preview(const RunSettings& settings, const TagNameSource& tagNames,
                                             const std::atomic<bool>* cancelled)
{
    RandomGenerator random = settings.random;
    Result<OperationInputs, RunResult> prepared = inputsFor(settings);
    if (settings.folder.empty()) {
        return std::nullopt;
    }
    if (!prepared) {
        if (prepared.fault().outcome != RunResult::Outcome::InvalidPattern) {
            return std::nullopt;
        }
        // Nothing would be renamed anywhere; the folder in view shows why.
        RunPreview preview;
        preview.patternError = prepared.fault().patternError;
        CollectedEntries collected
            = collectEntries(files::Folder(settings.folder), settings.applyTo, FileMask(settings.mask));
        FolderPlan& shown = preview.shown;
        shown.folderNames = std::move(collected.present);
        shown.entryNames = std::move(collected.selected);
        for (std::size_t entry = 0; entry < shown.size(); ++entry) {
            shown.newNames.add({});
        }
        shown.verdicts.assign(shown.size(), Verdict::InvalidPattern);
        shown.photoWithoutDate.assign(shown.size(), false);
        preview.notRenamed = shown.size();
        if (cancelled && cancelled->load(std::memory_order_relaxed)) {
            return std::nullopt;
        }
        return preview;
    }
    class Look : public RunProgress {
    public:
        explicit Look(const std::atomic<bool>* cancelled)
            : m_cancelled(cancelled)
        {
        }
        bool stopRequested() override { return m_cancelled && m_cancelled->load(std::memory_order_relaxed); }

    private:
        const std::atomic<bool>* m_cancelled;
    } look(cancelled);
    const ActiveRun active{settings, std::move(*prepared), look, tagNames, random, nullptr};
    const FileMask mask(settings.mask);
    RunPreview preview;
    // The folders are planned in the run's order, so each draws the random names the run will.
    const auto planFolder = [&](const files::Folder& folder, const std::string& path) {
        CollectedEntries collected = collectEntries(folder, settings.applyTo, mask);
        std::optional<FolderPlan> plan
            = planNames(active, folder, std::move(collected.present), std::move(collected.selected), collected.rules);
        if (!plan) {
            return false;
        }
        for (const Verdict verdict : plan->verdicts) {
            if (verdict == Verdict::Renamed) {
                ++preview.renamed;
            } else if (verdict != Verdict::Unchanged) {
                ++preview.notRenamed;
            }
        }
        if (path == settings.folder) {
            preview.shown = std::move(*plan);
        }
        return true;
    };
    if (settings.subfolders) {
        preview.folderCount = walkFolders(settings.folder, planFolder).folderCount;
    } else {
        planFolder(files::Folder(settings.folder), settings.folder);
    }
    if (look.stopRequested()) {
        return std::nullopt;
    }
    return preview;
}

RenameRun::ComputedName RenameRun::newNameFor(const ActiveRun& active, const files::Folder& folder,
                                              const std::string& name, std::size_t index, std::size_t count)
{
    if (active.tagNames) {
        if (std::optional<std::string> tagName = active.tagNames(folder, name)) {
            return {std::move(*tagName)};
        }
    }
    const NameParts parts = splitName(name);
    bool photoWithoutDate = false;
    if (!active.settings.photoTemplate.empty() && hasPhotoExtension(name)) {
        if (std::optional<PhotoMetadata> metadata = readPhotoMetadata(folder, name)) {
            if (std::optional<std::string> photoName
                = PhotoDerivedName(active.settings.photoTemplate, *metadata, parts.base, parts.extension)) {
                return {std::move(*photoName), NameOrigin::PhotoDate};
            }
        } else {
            photoWithoutDate = true;
        }
    }
    const NameOrigin origin = photoWithoutDate ? NameOrigin::PhotoWithoutDate : NameOrigin::Operation;
    const auto apply = [&](std::string_view part) {
        return ApplyOperation(active.settings.option, part, active.inputs, index, count, active.random);
    };
    const bool base = active.settings.renamePart != RenamePart::Extensions;
    const bool extension = active.settings.renamePart != RenamePart::Names;
    // The extension first: renaming both, Random symbols draws for it before the name, as earlier builds did.
    const std::optional<std::string> newExtension = extension ? apply(parts.extension) : std::string(parts.extension);
    const std::optional<std::string> newBase = base ? apply(parts.base) : std::string(parts.base);
    if (!newBase || !newExtension) {
        return {name, NameOrigin::PatternTooSlow};
    }
    return {*newBase + "." + *newExtension, origin};
}

} // namespace quorbit
