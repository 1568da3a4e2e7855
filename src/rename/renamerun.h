#pragma once

#include "platform/drives.h"
#include "platform/files.h"
#include "platform/result.h"
#include "rename/journal.h"
#include "rename/operations.h"
#include "rename/renameplan.h"

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

namespace quorbit {

class FileMask;
struct RunRecord;
struct TitleTemplate;

enum class ApplyTo { Files = 0, Folders = 1, Both = 2 };
enum class RenamePart { Names = 0, Extensions = 1, Both = 2 };

// Everything a run reads from the window, taken once when it starts.
struct RunSettings {
    std::string folder; // the folder whose contents are renamed; empty when none is chosen
    RenameOption option = RenameOption::AddToLeft;
    ApplyTo applyTo = ApplyTo::Files;
    RenamePart renamePart = RenamePart::Names;
    bool subfolders = false;
    std::string mask = "*.*"; // the file type's mask text
    std::string symbolsText;
    std::string replaceText;
    std::string numberText = "1";
    // Where the run keeps the journal that lets it be undone; none when empty.
    std::string journalFolder;
    // Photos with a date taken are named after this template (%Date%, %Time%, %Camera%,
    // %Original%) instead of by the operation; none are when empty.
    std::string photoTemplate{};
    // Where the random names start: a copy of the program's generator, so the
    // run's thread shares no generator with the window's.
    RandomGenerator random{};
};

// What the window does for a run: the progress strip, and whether to stop.
// The base shows nothing and never stops, for a run without a window.
class RunProgress {
public:
    virtual ~RunProgress() = default;
    virtual void showProgress() {}
    virtual void setProgressPosition(int /*position*/) {} // 0..100
    virtual void hideProgress() {}
    // Asked after every entry: true ends the run there (the window is closing).
    virtual bool stopRequested() { return false; }
};

// The progress strip of one command: shown when the command has more than 100
// steps, and hidden again however the command ends.
class ProgressStrip {
public:
    ProgressStrip(RunProgress& progress, std::size_t stepCount);
    ~ProgressStrip();
    ProgressStrip(const ProgressStrip&) = delete;
    ProgressStrip& operator=(const ProgressStrip&) = delete;

    // `done` of `of` steps are done: the strip follows.
    void showDone(std::size_t done, std::size_t of);

private:
    RunProgress& m_progress;
};

// Gives the name the MP3 file `name` of `folder` gets from its tags, or nothing
// to keep the operation's name.
using TagNameSource = std::function<std::optional<std::string>(const files::Folder& folder, const std::string& name)>;

struct RunResult {
    enum class Outcome {
        Done,
        Stopped, // ended early on request; the counts tell what was done so far
        NoFolder, // no folder chosen; nothing done
        InvalidNumber, // the number box holds no number; nothing renamed
        NumberTooSmall, // the number is below the operation's leastNumber; nothing renamed
        JournalNotWritten, // the journal could not be written; nothing more was renamed
        InvalidPattern, // the regular expression does not compile (patternError); nothing renamed
    };
    Outcome outcome = Outcome::Done;
    // Full paths of sub-folders that were found but could not be entered (gone,
    // swapped for a link, closed to this user); their contents are unchanged.
    std::vector<std::string> unreachedFolders{};
    int renamed = 0; // entries that got their new names
    int folderCount = 0; // sub-folders visited, with sub-folders on
    // The entries that were to get a new name and did not, and why.
    struct NotRenamed {
        std::string path;
        std::string newName; // empty for an unsafe name
        Verdict reason = Verdict::Failed; // any but Unchanged, Renamed and InvalidPattern
    };
    std::vector<NotRenamed> notRenamed{};
    // For InvalidPattern: ICU's error name and where, "U_REGEX_MISMATCHED_PAREN at offset 4".
    std::string patternError{};
    // The generator where the run stopped drawing (as given, when it drew
    // nothing): the program's generator from now on.
    RandomGenerator random{};
};

// What a run would do, counted over every folder it would visit.
struct RunPreview {
    FolderPlan shown; // the plan for the chosen folder itself
    std::size_t renamed = 0; // entries that would get their new names
    std::size_t notRenamed = 0; // entries that would keep theirs: taken, wanted twice, unsafe…
    int folderCount = 0; // sub-folders visited, with sub-folders on
    // When the regular expression does not compile, as RunResult::patternError.
    // Then no folder is planned: `shown` lists the chosen folder's entries, each
    // InvalidPattern with no new name, and they alone count as not renamed.
    std::string patternError{};
};

// Whether Apply to takes an entry of this kind; a file must match the mask as well.
bool appliesTo(ApplyTo applyTo, bool isFolder);

struct CollectedEntries {
    NameBlock present; // the name of every entry of the folder, selected or not
    std::vector<std::uint32_t> selected; // the selected entries in name order, by index into present
    std::vector<std::uint64_t> inodes; // theirs, in the same order
    int fileCount = 0; // the entries that are not plain folders, selected or not
    files::DriveRules rules; // what the folder's drive allows in names

    // The names of the selected entries, in name order.
    std::vector<std::string> selectedNames() const;
};

// The entries of `folder` that `applyTo` and `mask` select, as a run takes
// them. A link counts as a folder when it leads to one.
CollectedEntries collectEntries(const files::Folder& folder, ApplyTo applyTo, const FileMask& mask);

// The rename run: collects a folder's entries (or those of the folder and all
// its plain sub-folders) and renames each with the chosen operation.
class RenameRun {
public:
    // The journal, when the run keeps one, records the settings so that the
    // run can be finished after a crash; a `tagNames` function cannot be
    // recorded, so a run given one is finished only in the folders it planned.
    static RunResult run(const RunSettings& settings, RunProgress& progress, const TagNameSource& tagNames = {});
    // The same, naming MP3 files after their tags as `fromTags` says.
    static RunResult run(const RunSettings& settings, RunProgress& progress, const TitleTemplate& fromTags);

    // Goes on with the run `record` tells, which stopped before its end with
    // `journal` read from its journal: renames, as the run would have, every
    // folder that none of the journal's steps planned, drawing random names
    // where the last step left off, and writes the new steps to `writer`.
    static RunResult goOn(const Journal& journal, const RunRecord& record, JournalWriter& writer,
                          RunProgress& progress);

    // What a run with `settings` would do, worked out without touching
    // anything: the same new names and verdicts, random names included, as
    // both draw from copies of one generator; only where a
    // pattern takes too long is told by the clock, and may differ. Reads only
    // the disk and its arguments, so it may run on any thread. Nothing when the
    // number box holds no number the operation takes, no folder is chosen, or
    // `cancelled` turned true.
    // A pattern that does not compile gives a preview with its patternError.
    static std::optional<RunPreview> preview(const RunSettings& settings, const TagNameSource& tagNames,
                                             const std::atomic<bool>* cancelled = nullptr);

private:
    struct ActiveRun {
        const RunSettings& settings;
        OperationInputs inputs;
        RunProgress& progress;
        const TagNameSource& tagNames;
        RandomGenerator& random;
        JournalWriter* journal; // none when the run keeps no journal
    };

    static RunResult start(const RunSettings& settings, RunProgress& progress, const TagNameSource& tagNames,
                           const TitleTemplate* fromTags);
    // Renames in the run's folder and, with sub-folders on, in every folder
    // below it, deepest first, passing over the folders `planned` holds.
    // Returns the sub-folders entered; `stopped` tells whether the run ended early.
    static int renameFolders(const ActiveRun& active, const PlannedFolders& planned, RunResult& result, bool& stopped);
    // Plans the renames of the folder's collected entries, writes the plan to
    // the journal and makes them. False when a stop was requested or the
    // journal could not be written.
    // What it did goes into `result`, the entries named by `path`.
    static bool renameAll(const ActiveRun& active, const files::Folder& folder, CollectedEntries collected,
                          const std::string& path, RunResult& result);
    // The plan for the folder's entries `entryNames`, in the run's order, each
    // by the index of its name in `folderNames`, the names of all the folder's
    // entries; nothing when a stop was requested.
    static std::optional<FolderPlan> planNames(const ActiveRun& active, const files::Folder& folder,
                                               NameBlock folderNames, std::vector<std::uint32_t> entryNames,
                                               const files::DriveRules& rules);
    enum class NameOrigin {
        Operation,
        PhotoDate, // another photo may want the same name: it takes a free one
        PhotoWithoutDate, // a photo named by the operation, as it tells no date
        PatternTooSlow, // the regular expression takes too long on the name: it gets none
    };
    struct ComputedName {
        std::string name;
        NameOrigin origin = NameOrigin::Operation;
    };
    // The name the operation (or the tags, or the photo's date) give the entry, before it is made fit for the disk.
    static ComputedName newNameFor(const ActiveRun& active, const files::Folder& folder, const std::string& name,
                                   std::size_t index, std::size_t count);
    // What the operation reads from the settings, its pattern compiled once for
    // the whole run; or the refusal to run when the number box holds no number
    // (InvalidNumber) or one the operation does not take (NumberTooSmall), or
    // the pattern does not compile (InvalidPattern).
    static Result<OperationInputs, RunResult> inputsFor(const RunSettings& settings);
};

// A computed name made fit for the disk: trailing dots and blanks dropped.
// Nothing when the result is no safe single name ("", ".", "..", or holding "/" or NUL).
std::optional<std::string> safeFileName(std::string_view name);

// Splits a file name at its last dot into base and extension (without the dot).
struct NameParts {
    std::string_view base;
    std::string_view extension;
};
NameParts splitName(std::string_view name);

} // namespace quorbit
