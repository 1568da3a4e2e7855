#include "cli/renamecommands.h"

#include "cli/terminalprogress.h"
#include "listing/filemask.h"
#include "platform/integertext.h"
#include "rename/journal.h"
#include "rename/runhistory.h"
#include "rename/sortcommand.h"

#include <cerrno>
#include <cstring>

namespace quorbit::cli {

namespace {

// `folder` as a full path without links, so its journal finds it again from
// anywhere; nothing, once told, when it is no folder or cannot be listed: an
// empty plan would pass for a folder with nothing to rename.
std::optional<std::string> existingFolder(const std::string& folder)
{
    std::string resolved = files::resolvedPath(folder);
    if (resolved.empty() || !files::isExistingDirectory(resolved)) {
        tell("no such folder: " + folder);
        return std::nullopt;
    }
    if (!files::Folder(resolved).isOpen()) {
        tell("the folder cannot be read: " + folder + " (" + std::strerror(errno) + ")");
        return std::nullopt;
    }
    return resolved;
}

ExitCode tellInterrupted(std::string_view what)
{
    tell(what);
    return Interrupted;
}

// The window's journal folder, so that each undoes the other's runs.
std::string runJournalFolder()
{
    std::string folder = journalFolder();
    if (folder.empty()) {
        tell("the user's state folder is unknown (no HOME): this run cannot be undone");
    }
    return folder;
}

void tellUnreached(const std::vector<std::string>& folders)
{
    for (const std::string& folder : folders) {
        tell("not entered: " + folder);
    }
}

void tellInvalidPattern(const std::string& detail)
{
    tell("the pattern is not valid (" + detail + ")");
}

// Why the run does not take the --number of `settings`.
void tellNumberRefused(const RunSettings& settings)
{
    if (checkNumber(settings.option, settings.numberText).fault == NumberCheck::Fault::TooSmall) {
        tell("--number must be " + std::to_string(leastNumber(settings.option).value_or(0)) + " or more");
    } else {
        tell(invalidIntegerMessage(settings.numberText));
    }
}

std::string_view reasonOf(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Unchanged:
    case Verdict::Renamed:
        break;
    case Verdict::Taken:
        return "name taken";
    case Verdict::SharedTarget:
        return "wanted twice";
    case Verdict::Unsafe:
        return "not a valid name";
    case Verdict::RefusedCharacter:
        return "a character this drive refuses";
    case Verdict::TooLong:
        return "too long for this drive";
    case Verdict::Failed:
        return "rename failed";
    case Verdict::InvalidPattern:
        return "invalid pattern";
    case Verdict::PatternTooSlow:
        return "pattern too slow";
    }
    return "";
}

std::string_view reasonOf(SortSkip skip)
{
    switch (skip) {
    case SortSkip::FolderReadOnly:
        return "folder read-only";
    case SortSkip::ExtensionNameTaken:
        return "extension name taken";
    case SortSkip::Vanished:
        return "vanished";
    case SortSkip::FolderUnreadable:
        return "folder unreadable";
    case SortSkip::NameTaken:
        return "name taken";
    case SortSkip::Failed:
        break;
    }
    return "move failed";
}

Row planRow(const PlannedEntry& entry)
{
    switch (entry.verdict) {
    case Verdict::Renamed:
        return {std::string(entry.name), std::string(entry.newName), "rename", "", Tone::Good};
    case Verdict::Unchanged:
        return {std::string(entry.name), std::string(entry.newName), "unchanged", "", Tone::Quiet};
    default:
        return {std::string(entry.name), std::string(entry.newName), "keep", reasonOf(entry.verdict), Tone::Warning};
    }
}

Row planRow(const SortPlanEntry& entry)
{
    if (entry.inPlace) {
        return {entry.from, entry.to, "unchanged", "", Tone::Quiet};
    }
    if (entry.skip) {
        return {entry.from, entry.to, "keep", reasonOf(*entry.skip), Tone::Warning};
    }
    return {entry.from, entry.to, "move", "", Tone::Good};
}

// Prints what an applied command left undone, then its counts.
ExitCode reportApplied(const OutputStyle& style, std::string_view command, const std::vector<Row>& leftUndone,
                       const std::vector<std::string>& unreached, Count done, Count notDone, bool ranToEnd)
{
    printRows(style, leftUndone);
    tellUnreached(unreached);
    std::vector<Count> counts{done, notDone};
    if (!unreached.empty()) {
        counts.push_back({"unreached_folders", "sub-folders not entered", static_cast<long long>(unreached.size())});
    }
    printSummary(style, command, false, counts);
    return ranToEnd && leftUndone.empty() && unreached.empty() ? Done : NotAllDone;
}

ExitCode previewRename(const RunSettings& settings, const std::optional<TitleTemplate>& titleTemplate,
                       const OutputStyle& style)
{
    // The settings' generator is where the run would start drawing, so random names come out the same.
    const std::optional<RunPreview> preview = RenameRun::preview(
        settings, titleTemplate ? tagNameSource(*titleTemplate) : TagNameSource(), &interruptRequest());
    if (interrupted()) {
        return tellInterrupted("stopped; nothing was renamed");
    }
    if (!preview) {
        // The folder is there: the number is what the preview did not take.
        tellNumberRefused(settings);
        return Refused;
    }
    if (!preview->patternError.empty()) {
        tellInvalidPattern(preview->patternError);
        return Refused;
    }
    std::vector<Row> rows;
    rows.reserve(preview->shown.size());
    for (const PlannedEntry& entry : preview->shown.entries()) {
        rows.push_back(planRow(entry));
    }
    printRows(style, rows);
    std::vector<Count> counts{{"renamed", "to rename", static_cast<long long>(preview->renamed)},
                              {"not_renamed", "to keep", static_cast<long long>(preview->notRenamed)}};
    if (settings.subfolders) {
        counts.push_back({"folders", "sub-folders", preview->folderCount});
    }
    printSummary(style, "rename", true, counts);
    return preview->notRenamed > 0 ? NotAllDone : Done;
}

} // namespace

ExitCode renameCommand(RunSettings settings, const std::optional<std::string>& fromTags, bool apply,
                       const OutputStyle& style)
{
    const std::optional<std::string> folder = existingFolder(settings.folder);
    if (!folder) {
        return Refused;
    }
    settings.folder = *folder;
    const std::optional<TitleTemplate> titleTemplate
        = fromTags ? std::optional(titleTemplateFor(*fromTags)) : std::nullopt;
    if (!apply) {
        return previewRename(settings, titleTemplate, style);
    }
    settings.journalFolder = runJournalFolder();
    TerminalProgress progress("Renaming");
    const RunResult result
        = titleTemplate ? RenameRun::run(settings, progress, *titleTemplate) : RenameRun::run(settings, progress);
    RunHistory(settings.journalFolder).keep(keptRunCount);
    switch (result.outcome) {
    case RunResult::Outcome::InvalidNumber:
    case RunResult::Outcome::NumberTooSmall:
        tellNumberRefused(settings);
        return Refused;
    case RunResult::Outcome::InvalidPattern:
        tellInvalidPattern(result.patternError);
        return Refused;
    case RunResult::Outcome::JournalNotWritten:
        tell("the journal could not be written in " + settings.journalFolder
             + ": nothing more was renamed; quorbit-cli recover --undo puts back what was");
        if (result.renamed == 0) {
            return Refused;
        }
        break;
    case RunResult::Outcome::Stopped:
        tell("stopped; quorbit-cli undo puts back what was renamed");
        break;
    default:
        break;
    }
    std::vector<Row> rows;
    for (const RunResult::NotRenamed& entry : result.notRenamed) {
        rows.push_back({entry.path, entry.newName, "not-renamed", reasonOf(entry.reason), Tone::Warning});
    }
    const ExitCode status
        = reportApplied(style, "rename", rows, result.unreachedFolders, {"renamed", "renamed", result.renamed},
                        {"not_renamed", "not renamed", static_cast<long long>(rows.size())},
                        result.outcome == RunResult::Outcome::Done);
    return result.outcome == RunResult::Outcome::Stopped ? Interrupted : status;
}

ExitCode sortCommand(Selection selection, bool apply, const OutputStyle& style)
{
    const std::optional<std::string> folder = existingFolder(selection.folder);
    if (!folder) {
        return Refused;
    }
    SortSettings sort;
    sort.folder = *folder;
    sort.applyTo = selection.applyTo;
    sort.subfolders = selection.subfolders;
    sort.mask = selection.mask;
    // Without sub-folders the Sort takes the names the window's list shows: those the mask lets through.
    if (!sort.subfolders) {
        sort.listedNames
            = collectEntries(files::Folder(sort.folder), sort.applyTo, FileMask(sort.mask)).selectedNames();
    }
    if (!apply) {
        const SortPlan plan = planSort(sort);
        if (interrupted()) {
            return tellInterrupted("stopped; nothing was moved");
        }
        std::vector<Row> rows;
        long long moved = 0;
        long long kept = 0;
        for (const SortPlanEntry& entry : plan.entries) {
            rows.push_back(planRow(entry));
            moved += !entry.inPlace && !entry.skip;
            kept += entry.skip.has_value();
        }
        printRows(style, rows);
        tellUnreached(plan.unreachedFolders);
        std::vector<Count> counts{{"moved", "to move", moved}, {"not_moved", "to keep", kept}};
        if (sort.subfolders) {
            counts.push_back({"folders", "sub-folders", plan.folderCount});
        }
        printSummary(style, "sort", true, counts);
        return kept > 0 || !plan.unreachedFolders.empty() ? NotAllDone : Done;
    }
    sort.journalFolder = runJournalFolder();
    TerminalProgress progress("Sorting");
    const SortResult result = sortIntoExtensionFolders(sort, progress);
    RunHistory(sort.journalFolder).keep(keptRunCount);
    if (result.outcome == SortResult::Outcome::JournalNotWritten) {
        tell("the journal could not be written in " + sort.journalFolder
             + ": nothing more was moved; quorbit-cli recover --undo puts back what was");
        if (result.moved == 0) {
            return Refused;
        }
    }
    std::vector<Row> rows;
    for (const SortResult::NotSorted& entry : result.notSorted) {
        rows.push_back({entry.path, entry.to, "not-moved", reasonOf(entry.reason), Tone::Warning});
    }
    return reportApplied(style, "sort", rows, result.unreachedFolders, {"moved", "moved", result.moved},
                         {"not_moved", "not moved", static_cast<long long>(rows.size())},
                         result.outcome == SortResult::Outcome::Done);
}

} // namespace quorbit::cli
