#include "rename/renameplan.h"

#include "platform/localetext.h"
#include "platform/utf8.h"
#include "rename/nametable.h"
#include "rename/renamerun.h"

#include <algorithm>
#include <string_view>

namespace quorbit {

namespace {

constexpr std::uint32_t none = NameTable::none;

} // namespace

std::string_view FolderPlan::from(const PlannedMove& move) const
{
    return move.kind == PlannedMove::Kind::Back ? std::string_view(asideNames[move.cycle]) : name(move.entry);
}

std::string_view FolderPlan::to(const PlannedMove& move) const
{
    return move.kind == PlannedMove::Kind::Aside ? std::string_view(asideNames[move.cycle]) : newName(move.entry);
}

namespace {

// The names of `names` folded to one case, in the same order.
NameBlock foldedNames(const NameBlock& names)
{
    NameBlock folded;
    std::size_t bytes = 0;
    for (std::size_t index = 0; index < names.size(); ++index) {
        bytes += names[index].size();
    }
    folded.reserve(names.size(), bytes + bytes / 8);
    for (std::size_t index = 0; index < names.size(); ++index) {
        folded.add(text::caseFold(names[index]));
    }
    return folded;
}

Verdict verdictOf(std::string_view name, std::string_view newName, const files::DriveRules& rules)
{
    if (newName.empty()) {
        return Verdict::Unsafe;
    }
    if (newName == name) {
        return Verdict::Unchanged;
    }
    switch (files::nameFault(rules, newName)) {
    case files::NameFault::Character:
        return Verdict::RefusedCharacter;
    case files::NameFault::TooLong:
        return Verdict::TooLong;
    case files::NameFault::None:
        break;
    }
    return Verdict::Renamed;
}

// The temporary name of the entry `name` for a cycle: the name with
// ".quorbit-swap" (and the attempt's number) after it, the name cut short
// where the drive would find the whole too long.
std::string asideName(std::string_view name, int attempt, const files::DriveRules& rules)
{
    const std::string suffix = ".quorbit-swap" + (attempt == 1 ? std::string() : std::to_string(attempt));
    std::string aside = std::string(name) + suffix;
    while (files::nameFault(rules, aside) == files::NameFault::TooLong && !name.empty()) {
        std::size_t cut = name.size() - 1;
        while (cut > 0 && !utf8::isCharBoundary(name, cut)) {
            --cut;
        }
        name = name.substr(0, cut);
        aside = std::string(name) + suffix;
    }
    return aside;
}

} // namespace

FolderPlan planFolder(NameBlock folderNames, std::vector<std::uint32_t> entryNames, NameBlock newNames,
                      const files::DriveRules& rules)
{
    FolderPlan plan;
    plan.folderNames = std::move(folderNames);
    plan.entryNames = std::move(entryNames);
    plan.newNames = std::move(newNames);
    const std::uint32_t count = static_cast<std::uint32_t>(plan.size());
    plan.verdicts.reserve(count);
    for (std::uint32_t entry = 0; entry < count; ++entry) {
        plan.verdicts.push_back(verdictOf(plan.name(entry), plan.newName(entry), rules));
    }
    plan.photoWithoutDate.assign(count, false);

    // Names are found by their keys: on a drive where letter case does not
    // count, their folded forms, so that a name taken in another case is taken.
    NameBlock foldedFolderNames;
    NameBlock foldedNewNames;
    if (rules.caseInsensitive) {
        foldedFolderNames = foldedNames(plan.folderNames);
        foldedNewNames = foldedNames(plan.newNames);
    }
    const NameBlock& folderKeys = rules.caseInsensitive ? foldedFolderNames : plan.folderNames;
    const NameBlock& newKeys = rules.caseInsensitive ? foldedNewNames : plan.newNames;
    const auto keyOf
        = [&rules](const std::string& name) { return rules.caseInsensitive ? text::caseFold(name) : name; };

    const std::uint32_t folderCount = static_cast<std::uint32_t>(plan.folderNames.size());
    const auto folderName = [&folderKeys](std::uint32_t index) { return folderKeys[index]; };
    NameTable named(folderCount);
    for (std::uint32_t index = 0; index < folderCount; ++index) {
        named.add(index, folderName);
    }
    // Which of the run's entries has each name of the folder; none for an entry outside the run.
    std::vector<std::uint32_t> entryNamed(folderCount, none);
    for (std::uint32_t entry = 0; entry < count; ++entry) {
        entryNamed[plan.entryNames[entry]] = entry;
    }
    const auto stays = [&](std::uint32_t index) {
        return entryNamed[index] == none || plan.verdicts[entryNamed[index]] != Verdict::Renamed;
    };
    // New name -> the first entry that wants it.
    const auto newName = [&newKeys](std::uint32_t entry) { return newKeys[entry]; };
    NameTable firstWanting(count);
    std::vector<std::uint32_t> stopped;
    for (std::uint32_t entry = 0; entry < count; ++entry) {
        if (plan.verdicts[entry] == Verdict::Renamed && firstWanting.add(entry, newName) != entry) {
            stopped.push_back(entry);
        }
    }

    // A name that stays stops every entry that wants it; each entry stopped
    // stays in turn, and so its own name may stop others.
    std::vector<std::uint32_t> stayingToCheck; // names of the folder, by index
    for (std::uint32_t index = 0; index < folderCount; ++index) {
        if (stays(index)) {
            stayingToCheck.push_back(index);
        }
    }
    const auto stop = [&](std::uint32_t entry, Verdict verdict) {
        if (plan.verdicts[entry] == Verdict::Renamed) {
            plan.verdicts[entry] = verdict;
            stayingToCheck.push_back(plan.entryNames[entry]);
        }
    };
    for (const std::uint32_t entry : stopped) {
        stop(entry, Verdict::SharedTarget);
    }
    stopped = {};
    while (!stayingToCheck.empty()) {
        const std::uint32_t index = stayingToCheck.back();
        stayingToCheck.pop_back();
        if (const std::uint32_t wanting = firstWanting.find(folderKeys[index], newName); wanting != none) {
            stop(wanting, Verdict::Taken);
        }
    }
    stayingToCheck = {};

    // Each new name is wanted by one entry at most and each old name held by
    // one, so the renames form chains and cycles. A chain is done from its end;
    // a cycle opens by moving one of its entries aside first.
    const auto holderOf = [&](std::string_view name) {
        const std::uint32_t index = named.find(name, folderName);
        return index != none && !stays(index) ? entryNamed[index] : none;
    };
    std::vector<bool> placed(count, false);
    plan.moves.reserve(
        static_cast<std::size_t>(std::count(plan.verdicts.begin(), plan.verdicts.end(), Verdict::Renamed)));
    std::vector<std::uint32_t> path;
    for (std::uint32_t start = 0; start < count; ++start) {
        if (plan.verdicts[start] != Verdict::Renamed || placed[start]) {
            continue;
        }
        path.assign(1, start);
        bool cycle = false;
        for (std::uint32_t next = holderOf(newKeys[start]); next != none && !placed[next];
             next = holderOf(newKeys[next])) {
            if (next == start) {
                cycle = true;
                break;
            }
            path.push_back(next);
        }
        const std::uint32_t cycleIndex = static_cast<std::uint32_t>(plan.asideNames.size());
        if (cycle) {
            std::string aside;
            // Free of every name the folder has and every name the run wants.
            for (int attempt = 1; aside.empty() || named.find(keyOf(aside), folderName) != none
                 || firstWanting.find(keyOf(aside), newName) != none;
                 ++attempt) {
                // A visible name, so that an entry left there by a failure is found.
                aside = asideName(plan.name(start), attempt, rules);
            }
            plan.asideNames.push_back(std::move(aside));
            plan.moves.push_back({start, PlannedMove::Kind::Aside, cycleIndex});
        }
        for (std::size_t position = path.size(); position-- > (cycle ? 1 : 0);) {
            plan.moves.push_back({path[position], PlannedMove::Kind::Direct});
            placed[path[position]] = true;
        }
        if (cycle) {
            plan.moves.push_back({start, PlannedMove::Kind::Back, cycleIndex});
            placed[start] = true;
        }
    }
    return plan;
}

AppliedPlan applyFolderPlan(const files::Folder& folder, const FolderPlan& plan, RunProgress& progress,
                            const std::function<void(bool moved)>& moveTried)
{
    AppliedPlan applied;
    std::string from; // the file calls take whole strings
    std::string to;
    bool asideFailed = false;
    int aside = 0; // an entry moved aside whose cycle is not closed yet; cycles come one after another
    for (std::size_t i = 0; i < plan.moves.size(); ++i) {
        const PlannedMove& move = plan.moves[i];
        from.assign(plan.from(move));
        to.assign(plan.to(move));
        const bool moved = files::moveEntry(folder, from, folder, to) == files::MoveResult::Moved;
        if (moveTried) {
            moveTried(moved);
        }
        switch (move.kind) {
        case PlannedMove::Kind::Aside:
            asideFailed = !moved;
            aside += moved ? 1 : 0;
            break;
        case PlannedMove::Kind::Back:
            if (!moved && !asideFailed) {
                to.assign(plan.name(move.entry));
                files::moveEntry(folder, plan.asideNames[move.cycle], folder, to);
            }
            aside = 0;
            break;
        case PlannedMove::Kind::Direct:
            break;
        }
        if (move.kind != PlannedMove::Kind::Aside) {
            if (moved) {
                ++applied.renamed;
            } else {
                applied.failed.push_back(move.entry);
            }
        }
        progress.setProgressPosition(static_cast<int>(100 * i / plan.moves.size()));
        if (aside == 0 && progress.stopRequested()) {
            applied.completed = false;
            return applied;
        }
    }
    return applied;
}

} // namespace quorbit
