#pragma once

#include "cli/commandline.h"
#include "cli/report.h"

#include <optional>
#include <string>

// The rename and the Sort from the shell: a dry run that prints the plan, or,
// with --apply, the run itself, journaled where the window keeps its journals.
namespace quorbit::cli {

// Renames as `settings` say (their folder as the user gave it), names of MP3
// files from `fromTags` when given; prints the plan when `apply` is false.
ExitCode renameCommand(RunSettings settings, const std::optional<std::string>& fromTags, bool apply,
                       const OutputStyle& style);

// Sorts the entries `selection` picks into folders named after their
// extensions; prints the plan when `apply` is false.
ExitCode sortCommand(Selection selection, bool apply, const OutputStyle& style);

} // namespace quorbit::cli
