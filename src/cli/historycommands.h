#pragma once

#include "cli/report.h"

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
// taken; any other number is refused.
ExitCode undoCommand(int number, const OutputStyle& style);

// What becomes of an unfinished run: only listed (Offer), or as the window's
// start-up offer lets choose.
enum class Recovery { Offer, Finish, Undo, Leave };

// Lists the runs that did not finish, or finishes, undoes or leaves them: the
// one whose journal is `journal` (its path or file name), else each in turn,
// oldest first. A damaged journal is set aside, untouched, and refused.
ExitCode recoverCommand(Recovery how, const std::optional<std::string>& journal, const OutputStyle& style);

} // namespace quorbit::cli
