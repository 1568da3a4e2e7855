#pragma once

#include "platform/files.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quorbit {

// What the plan says will become of an entry.
enum class Verdict {
    Unchanged, // its new name is its name
    Renamed, // it will get its new name
    Taken, // the new name belongs to an entry that stays
    SharedTarget, // an entry before it in the run wants the same name
    Unsafe, // the new name is no name a file can have ("", ".", "..", "/" or NUL in it)
    Failed, // after the plan: the move itself failed (taken meanwhile, gone, no access)
    InvalidPattern, // never planned: the operation's pattern does not compile, so no entry is renamed
};

struct PlannedEntry {
    std::string name;
    std::string newName; // empty for an unsafe one
    Verdict verdict = Verdict::Unchanged;
    bool photoWithoutDate = false; // a photo named by the operation, as it tells no date taken
};

struct PlannedMove {
    enum class Kind {
        Direct, // from the entry's name to its new name
        Aside, // from its name to the cycle's temporary name
        Back, // from the temporary name to its new name
    };
    std::size_t entry = 0; // index into FolderPlan::entries
    Kind kind = Kind::Direct;
    std::size_t cycle = 0; // for Aside and Back: index into FolderPlan::asideNames
};

// The renames of one folder, decided before any of them is made.
struct FolderPlan {
    std::vector<PlannedEntry> entries; // in the run's order
    // The moves in the order that lets each find its name free: an entry whose
    // new name another entry of the run still has waits for it to go, and the
    // entries of a cycle (two names swapped) pass through a temporary name.
    std::vector<PlannedMove> moves;
    std::vector<std::string> asideNames; // the temporary names, one per cycle

    // The names a move takes the entry from and to.
    const std::string& from(const PlannedMove& move) const;
    const std::string& to(const PlannedMove& move) const;
};

// Plans the renames of one folder. `present` holds the names of every entry
// the folder has, whether the run renames it or not; `wanted` the run's
// entries in its order, each with its new name, or nothing when that name is
// unsafe. An entry gets its new name unless an entry that stays has it, or an
// entry before it wants it too; an entry that does not get its name stays and
// keeps its own, which can in turn stop another. `pause`, when given, runs
// every few thousand entries, so a window can take its turn.
FolderPlan planFolder(const std::vector<std::string>& present,
                      std::vector<std::pair<std::string, std::optional<std::string>>> wanted,
                      const std::function<void()>& pause = {});

class RunProgress;

// What carrying out a plan did.
struct AppliedPlan {
    bool completed = true; // false when a stop was requested
    std::size_t renamed = 0;
    std::vector<std::size_t> failed; // the entries whose move failed, by index into FolderPlan::entries
};

// Makes the moves of `plan` in `folder`, in their order, giving the window its
// turn after each and calling `moveTried`, when given, after each too. A move that fails leaves its entry as it was. An
// entry moved aside to open a cycle ("name.quorbit-swap") goes back to its own name when another program took the name
// that was to close the cycle, and stays aside, never lost, when that name is gone too. A stop that is requested is
// honoured only between whole renames.
AppliedPlan applyFolderPlan(const files::Folder& folder, const FolderPlan& plan, RunProgress& progress,
                            const std::function<void()>& moveTried = {});

} // namespace quorbit
