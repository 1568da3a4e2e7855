#include "cli/historycommands.h"

#include "cli/terminalprogress.h"
#include "rename/runhistory.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace quorbit::cli {

namespace {

std::string_view faultName(JournalFault fault)
{
    switch (fault) {
    case JournalFault::Unreadable:
        break;
    case JournalFault::CutShort:
        return "cut short";
    case JournalFault::Corrupt:
        return "corrupt";
    }
    return "unreadable";
}

std::string_view reasonOf(ReplayResult::Reason reason)
{
    switch (reason) {
    case ReplayResult::Reason::RenamedAgain:
        return "renamed since";
    case ReplayResult::Reason::Deleted:
        return "deleted since";
    case ReplayResult::Reason::ChangedSince:
        return "changed since";
    case ReplayResult::Reason::NameTaken:
        return "name taken";
    case ReplayResult::Reason::Failed:
        break;
    }
    return "move failed";
}

// When the journal was last written, in local time.
std::string writtenAt(const std::string& path)
{
    const std::optional<long long> written = files::modifiedTime(path);
    const auto seconds = static_cast<std::time_t>(written.value_or(0));
    std::tm local = {};
    char text[32] = "";
    if (written && localtime_r(&seconds, &local)) {
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    }
    return text;
}

// One line of a list of runs: its number when it has one, and the moves made
// so far for an unfinished one.
void printRun(const OutputStyle& style, const RecordedRun& run, std::optional<std::size_t> number, bool unfinished)
{
    const std::string journalName(files::fileNameOf(run.path));
    const std::string time = writtenAt(run.path);
    const Journal* journal = run.journal ? &*run.journal : nullptr;
    const std::size_t moves = journal ? journal->moveCount() : 0;
    const std::size_t made = journal && unfinished ? movesMadeOnDisk(*journal) : 0;
    const std::string_view kind = !journal ? "damaged" : journal->kind == JournalKind::Rename ? "rename" : "sort";
    if (style.json) {
        nlohmann::ordered_json object = nlohmann::ordered_json::object();
        if (number) {
            object["number"] = *number;
        }
        object["kind"] = kind;
        if (journal) {
            putText(object, "folder", journal->root);
            object["moves"] = moves;
            if (unfinished) {
                object["moves_made"] = made;
            }
        } else {
            object["fault"] = faultName(run.fault);
        }
        object["time"] = time;
        putText(object, "journal", run.path);
        printJson(object);
        return;
    }
    std::string line = number ? std::to_string(*number) + "  " : "";
    line.append(kind).append("  ");
    if (!journal) {
        line.append(faultName(run.fault));
    } else {
        line += style.terminal ? terminalText(journal->root) : journal->root;
        line += "  " + (unfinished ? std::to_string(made) + " of " : "") + std::to_string(moves) + " moves";
    }
    line += "  " + time + "  " + journalName + "\n";
    std::fwrite(line.data(), 1, line.size(), stdout);
}

ExitCode refuseDamaged(const std::string& path, JournalFault fault, bool setAside)
{
    tell("the journal " + path + " is damaged (" + std::string(faultName(fault)) + "); "
         + (setAside ? "it was set aside" : "it could not be set aside") + " and nothing was touched");
    return Refused;
}

// Prints what a replay could not move, then its counts.
ExitCode reportReplay(const OutputStyle& style, std::string_view command, const ReplayResult& result, Count done,
                      std::string_view notDoneVerdict, Count notDone)
{
    std::vector<Row> rows;
    for (const ReplayResult::Skipped& skipped : result.skipped) {
        rows.push_back({skipped.path, "", notDoneVerdict, reasonOf(skipped.reason), Tone::Warning});
    }
    printRows(style, rows);
    done.value = static_cast<long long>(result.moved);
    notDone.value = static_cast<long long>(rows.size());
    printSummary(style, command, false, {done, notDone});
    if (!result.completed) {
        tell("stopped before the end");
    }
    return result.completed && rows.empty() ? Done : NotAllDone;
}

// Words what the history did with a run that was undone, finished or left.
ExitCode reportDone(const OutputStyle& style, const HistoryResult& result, RecoveryChoice choice)
{
    if (!result.recorded) {
        tell("the journal " + result.path + " could not be updated: the run is offered again as it was");
    }
    switch (choice) {
    case RecoveryChoice::Finish:
        return reportReplay(style, "finish", result.replay, {"moved", "moved"}, "not-moved",
                            {"not_moved", "not moved"});
    case RecoveryChoice::Undo:
        return reportReplay(style, "undo", result.replay, {"restored", "put back"}, "not-restored",
                            {"not_restored", "not put back"});
    case RecoveryChoice::Leave:
        break;
    }
    return Done;
}

constexpr const char* kBusy = "this run is being undone by another program";

} // namespace

ExitCode listUndoable(const OutputStyle& style)
{
    std::size_t number = 0;
    for (const RecordedRun& run : RunHistory(journalFolder()).undoable()) {
        printRun(style, run, ++number, false);
    }
    return Done;
}

ExitCode undoCommand(int number, const OutputStyle& style)
{
    if (number != 1) {
        tell("only the newest run (1) can be undone: each older one comes back once the newer ones are undone");
        return Refused;
    }
    TerminalProgress progress("Undoing");
    const HistoryResult undone = RunHistory(journalFolder()).undoNewest(progress);
    switch (undone.outcome) {
    case HistoryResult::Outcome::Done:
        return reportDone(style, undone, RecoveryChoice::Undo);
    case HistoryResult::Outcome::NothingToDo:
        tell("nothing to undo");
        break;
    case HistoryResult::Outcome::Busy:
        tell(kBusy);
        break;
    case HistoryResult::Outcome::Unfinished:
        tell("the newest run did not finish; quorbit-cli recover --undo puts back what it did");
        break;
    case HistoryResult::Outcome::Refused:
        return refuseDamaged(undone.path, undone.fault, undone.recorded);
    }
    return Refused;
}

ExitCode recoverCommand(std::optional<RecoveryChoice> choice, const std::optional<std::string>& journal,
                        const OutputStyle& style)
{
    const RunHistory history(journalFolder());
    std::vector<RecordedRun> runs = history.unfinished();
    if (journal) {
        std::erase_if(runs, [&](const RecordedRun& run) {
            return run.path != *journal && files::fileNameOf(run.path) != *journal;
        });
        if (runs.empty()) {
            tell("no unfinished run has the journal " + *journal);
            return Refused;
        }
    }
    if (!choice) {
        for (const RecordedRun& run : runs) {
            printRun(style, run, std::nullopt, true);
        }
        return Done;
    }
    TerminalProgress progress(*choice == RecoveryChoice::Finish ? "Finishing" : "Undoing");
    ExitCode worst = Done;
    for (const RecordedRun& run : runs) {
        const HistoryResult recovered = history.recover(run.path, *choice, progress);
        switch (recovered.outcome) {
        case HistoryResult::Outcome::Done:
            worst = std::max(worst, reportDone(style, recovered, *choice));
            break;
        case HistoryResult::Outcome::Busy:
            tell(std::string(kBusy) + ": " + run.path);
            worst = std::max(worst, Refused);
            break;
        case HistoryResult::Outcome::Refused:
            worst = std::max(worst, refuseDamaged(recovered.path, recovered.fault, recovered.recorded));
            break;
        case HistoryResult::Outcome::NothingToDo: // another program recovered it since it was listed
        case HistoryResult::Outcome::Unfinished:
            break;
        }
    }
    return worst;
}

} // namespace quorbit::cli
