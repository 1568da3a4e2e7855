#include "rename/renameplan.h"

#include "rename/renamerun.h"

#include <unordered_map>
#include <unordered_set>

namespace quorbit {

namespace {

constexpr std::size_t none = static_cast<std::size_t>(-1);

} // namespace

FolderPlan planFolder(const std::vector<std::string>& present,
                      const std::vector<std::pair<std::string, std::optional<std::string>>>& wanted)
{
    FolderPlan plan;
    plan.entries.reserve(wanted.size());
    std::unordered_set<std::string> staying(present.begin(), present.end());
    // Candidates are the entries that want a name of their own.
    std::unordered_map<std::string, std::vector<std::size_t>> wantingName;
    std::unordered_map<std::string, std::size_t> candidateNamed;
    for (const auto& [name, newName] : wanted) {
        PlannedEntry entry{name, newName.value_or(std::string()), Verdict::Unchanged};
        if (!newName) {
            entry.verdict = Verdict::Unsafe;
        } else if (*newName != name) {
            entry.verdict = Verdict::Renamed;
            staying.erase(name);
            wantingName[*newName].push_back(plan.entries.size());
            candidateNamed.emplace(name, plan.entries.size());
        }
        plan.entries.push_back(std::move(entry));
    }

    // A name that stays stops every entry that wants it; each entry stopped
    // stays in turn, and so its own name may stop others.
    std::vector<std::string> stayingToCheck(staying.begin(), staying.end());
    const auto stop = [&](std::size_t index, Verdict verdict) {
        if (plan.entries[index].verdict == Verdict::Renamed) {
            plan.entries[index].verdict = verdict;
            staying.insert(plan.entries[index].name);
            stayingToCheck.push_back(plan.entries[index].name);
        }
    };
    for (auto& [name, wanting] : wantingName) {
        for (std::size_t position = 1; position < wanting.size(); ++position) {
            stop(wanting[position], Verdict::SharedTarget);
        }
    }
    while (!stayingToCheck.empty()) {
        const std::string name = std::move(stayingToCheck.back());
        stayingToCheck.pop_back();
        if (const auto found = wantingName.find(name); found != wantingName.end()) {
            stop(found->second.front(), Verdict::Taken);
        }
    }

    // Each new name is wanted by one entry at most and each old name held by
    // one, so the renames form chains and cycles. A chain is done from its end;
    // a cycle opens by moving one of its entries aside first.
    const auto holderOf = [&](const std::string& name) {
        const auto found = candidateNamed.find(name);
        return found != candidateNamed.end() && plan.entries[found->second].verdict == Verdict::Renamed ? found->second
                                                                                                        : none;
    };
    std::vector<bool> placed(plan.entries.size(), false);
    std::unordered_set<std::string> usedNames(present.begin(), present.end());
    for (const auto& [name, wanting] : wantingName) {
        usedNames.insert(name);
    }
    for (std::size_t start = 0; start < plan.entries.size(); ++start) {
        if (plan.entries[start].verdict != Verdict::Renamed || placed[start]) {
            continue;
        }
        std::vector<std::size_t> path = {start};
        bool cycle = false;
        for (std::size_t next = holderOf(plan.entries[start].newName); next != none && !placed[next];
             next = holderOf(plan.entries[next].newName)) {
            if (next == start) {
                cycle = true;
                break;
            }
            path.push_back(next);
        }
        std::string aside;
        if (cycle) {
            for (int attempt = 1; aside.empty() || usedNames.count(aside) != 0; ++attempt) {
                // A visible name, so that an entry left there by a failure is found.
                aside = plan.entries[start].name + ".quorbit-swap" + (attempt == 1 ? "" : std::to_string(attempt));
            }
            usedNames.insert(aside);
            plan.moves.push_back({plan.entries[start].name, aside, start});
        }
        for (std::size_t position = path.size(); position-- > (cycle ? 1 : 0);) {
            const PlannedEntry& entry = plan.entries[path[position]];
            plan.moves.push_back({entry.name, entry.newName, path[position]});
            placed[path[position]] = true;
        }
        if (cycle) {
            plan.moves.push_back({aside, plan.entries[start].newName, start});
            placed[start] = true;
        }
    }
    return plan;
}

bool applyFolderPlan(const files::Folder& folder, const FolderPlan& plan, RunProgress& progress)
{
    int aside = 0; // an entry moved aside whose cycle is not closed yet; cycles come one after another
    for (std::size_t i = 0; i < plan.moves.size(); ++i) {
        const PlannedMove& move = plan.moves[i];
        const PlannedEntry& entry = plan.entries[move.entry];
        const bool toAside = move.to != entry.newName;
        const bool fromAside = move.from != entry.name;
        const bool moved = files::moveEntry(folder, move.from, folder, move.to) == files::MoveResult::Moved;
        if (fromAside && !moved) {
            files::moveEntry(folder, move.from, folder, entry.name);
        }
        if (toAside && moved) {
            ++aside;
        } else if (fromAside && aside > 0) {
            --aside;
        }
        progress.setProgressPosition(static_cast<int>(100 * i / plan.moves.size()));
        progress.processPendingEvents();
        if (aside <= 0 && progress.stopRequested()) {
            return false;
        }
    }
    return true;
}

} // namespace quorbit
