#pragma once

#include "platform/drives.h"
#include "platform/files.h"
#include "platform/nameblock.h"

#include <cstdint>
#include <functional>
#include <ranges>
#include <string>
#include <string_view>
#include <vector>

namespace quorbit {

// What the plan says will become of an entry.
enum class Verdict : std::uint8_t {
    Unchanged, // its new name is its name
    Renamed, // it will get its new name
    Taken, // the new name belongs to an entry that stays
    SharedTarget, // an entry before it in the run wants the same name
    Unsafe, // the new name is no name a file can have ("", ".", "..", "/" or NUL in it)
    RefusedCharacter, // the folder's drive does not allow a character of the new name
    TooLong, // the new name is longer than the folder's drive allows
    Failed, // after the plan: the move itself failed (taken meanwhile, gone, no access)
    InvalidPattern, // never planned: the operation's pattern does not compile, so no entry is renamed
    PatternTooSlow, // the operation's pattern takes too long on the name, so it gets none and stays
};

// One entry of a plan as it is read; the names are views into the plan.
struct PlannedEntry {
    std::string_view name;
    std::string_view newName; // empty for an unsafe one
    Verdict verdict = Verdict::Unchanged;
    bool photoWithoutDate = false; // a photo named by the operation, as it tells no date taken
};

struct PlannedMove {
    enum class Kind : std::uint8_t {
        Direct, // from the entry's name to its new name
        Aside, // from its name to the cycle's temporary name
        Back, // from the temporary name to its new name
    };
    std::uint32_t entry = 0; // the entry's number in the run's order
    Kind kind = Kind::Direct;
    std::uint32_t cycle = 0; // for Aside and Back: index into FolderPlan::asideNames
};

// The renames of one folder, decided before any of them is made. The names
// are kept in blocks and the entries refer to them by number, so a folder of
// a million entries costs some tens of bytes per entry. A folder's entries
// are numbered in 32 bits: a listing never comes near four billion.
struct FolderPlan {
    NameBlock folderNames; // the name of every entry the folder had, the run's and the others
    // The run's entries in its order: for each, the index of its name in
    // folderNames, its new name (empty for an unsafe one), its verdict, and
    // whether it is a photo named by the operation as it tells no date taken.
    std::vector<std::uint32_t> entryNames;
    NameBlock newNames;
    std::vector<Verdict> verdicts;
    std::vector<bool> photoWithoutDate;
    // The moves in the order that lets each find its name free: an entry whose
    // new name another entry of the run still has waits for it to go, and the
    // entries of a cycle (two names swapped) pass through a temporary name.
    std::vector<PlannedMove> moves;
    std::vector<std::string> asideNames; // the temporary names, one per cycle

    // The number of the run's entries.
    std::size_t size() const { return entryNames.size(); }
    // The name and new name of the run's entry numbered `entry`.
    std::string_view name(std::size_t entry) const { return folderNames[entryNames[entry]]; }
    std::string_view newName(std::size_t entry) const { return newNames[entry]; }
    // The run's entry numbered `entry`, read whole.
    PlannedEntry entry(std::size_t entry) const
    {
        return {name(entry), newName(entry), verdicts[entry], photoWithoutDate[entry]};
    }
    // The run's entries in its order, each read whole.
    auto entries() const
    {
        return std::views::iota(std::size_t{0}, size())
            | std::views::transform([this](std::size_t index) { return entry(index); });
    }

    // The names a move takes the entry from and to.
    std::string_view from(const PlannedMove& move) const;
    std::string_view to(const PlannedMove& move) const;
};

// Plans the renames of one folder. `folderNames` holds the names of every
// entry the folder has, whether the run renames it or not; `entryNames` the
// run's entries in its order, each by the index of its name in `folderNames`;
// `newNames` their new names in the same order, an empty one where the name
// the entry would get is unsafe. An entry gets its new name unless an entry
// that stays has it, or an entry before it wants it too; an entry that does
// not get its name stays and keeps its own, which can in turn stop another.
// `rules` are the folder's drive's: a new name it would refuse stays unmade,
// and where letter case does not count, names that differ only in case are
// one name (an entry that only changes its case passes through a temporary
// name).
FolderPlan planFolder(NameBlock folderNames, std::vector<std::uint32_t> entryNames, NameBlock newNames,
                      const files::DriveRules& rules = {});

class RunProgress;

// What carrying out a plan did.
struct AppliedPlan {
    bool completed = true; // false when a stop was requested
    std::size_t renamed = 0;
    std::vector<std::size_t> failed; // the entries whose move failed, by their number in the run's order
};

// Makes the moves of `plan` in `folder`, in their order, moving the progress
// strip after each and calling `moveTried`, when given, after each too, with whether the move was made. A move that
// fails leaves its entry as it was. An
// entry moved aside to open a cycle ("name.quorbit-swap") goes back to its own name when another program took the name
// that was to close the cycle, and stays aside, never lost, when that name is gone too. A stop that is requested is
// honoured only between whole renames.
AppliedPlan applyFolderPlan(const files::Folder& folder, const FolderPlan& plan, RunProgress& progress,
                            const std::function<void(bool moved)>& moveTried = {});

} // namespace quorbit
