#pragma once

#include "cli/report.h"
#include "rename/runhistory.h"

#include <optional>
#include <string>

// Undo and recovery from the shell, on the journals the window keeps, with the
// window's policy: the engine's run history decides which run an undo takes
// and what becomes of a journal afterwards.
namespace quorbit::cli {

// Lists the undoable runs and Sorts, newest first and numbered from 1.
ExitCode listUndoable(const OutputStyle& style);

// Undoes run `number` of that list, as File ▸ Undo Rename does. Runs are put
// back newest first, each on the names its newer runs gave back, so only 1 is
// taken; any other number is refused. Refused too when another program holds
// the newest run, and when the newest run did not finish: `recover --undo`
// puts that one back.
ExitCode undoCommand(int number, const OutputStyle& style);

// Lists the runs that did not finish, or finishes, undoes or leaves them as
// `choice` says: the one whose journal is `journal` (its path or file name),
// else each in turn, oldest first. A damaged journal is set aside, untouched,
// and refused; a run another program is recovering is refused too.
ExitCode recoverCommand(std::optional<RecoveryChoice> choice, const std::optional<std::string>& journal,
                        const OutputStyle& style);

} // namespace quorbit::cli
