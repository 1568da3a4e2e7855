#include "rename/renameplan.h"

#include "rename/renamerun.h"

#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace quorbit {

namespace {

constexpr std::size_t none = static_cast<std::size_t>(-1);

// Runs `pause` after every few thousand calls.
class Pacer {
public:
    explicit Pacer(const std::function<void()>& pause)
        : m_pause(pause)
    {
    }
    void step()
    {
        if (m_pause && ++m_steps % 4096 == 0) {
            m_pause();
        }
    }

private:
    const std::function<void()>& m_pause;
    std::size_t m_steps = 0;
};

} // namespace

const std::string& FolderPlan::from(const PlannedMove& move) const
{
    return move.kind == PlannedMove::Kind::Back ? asideNames[move.cycle] : entries[move.entry].name;
}

const std::string& FolderPlan::to(const PlannedMove& move) const
{
    return move.kind == PlannedMove::Kind::Aside ? asideNames[move.cycle] : entries[move.entry].newName;
}

FolderPlan planFolder(const std::vector<std::string>& present,
                      std::vector<std::pair<std::string, std::optional<std::string>>> wanted,
                      const std::function<void()>& pause)
{
    Pacer pacer(pause);
    FolderPlan plan;
    plan.entries.reserve(wanted.size());
    for (auto& [name, newName] : wanted) {
        const Verdict verdict = !newName ? Verdict::Unsafe : *newName == name ? Verdict::Unchanged : Verdict::Renamed;
        plan.entries.push_back({std::move(name), newName ? std::move(*newName) : std::string(), verdict});
        pacer.step();
    }
    // The tables below look at the names where they are kept, which no longer move.
    std::unordered_set<std::string_view> staying;
    staying.reserve(present.size());
    for (const std::string& name : present) {
        staying.insert(name);
        pacer.step();
    }
    std::unordered_map<std::string_view, std::size_t> firstWanting; // new name -> the first entry that wants it
    std::unordered_map<std::string_view, std::size_t> candidateNamed; // old name -> the entry that leaves it
    // Sized once: growing a table of 100,000 names rehashes it all in one go.
    firstWanting.reserve(plan.entries.size());
    candidateNamed.reserve(plan.entries.size());
    std::vector<std::size_t> stopped;
    for (std::size_t index = 0; index < plan.entries.size(); ++index) {
        const PlannedEntry& entry = plan.entries[index];
        if (entry.verdict == Verdict::Renamed) {
            staying.erase(entry.name);
            candidateNamed.emplace(entry.name, index);
            if (!firstWanting.emplace(entry.newName, index).second) {
                stopped.push_back(index);
            }
        }
        pacer.step();
    }

    // A name that stays stops every entry that wants it; each entry stopped
    // stays in turn, and so its own name may stop others.
    std::vector<std::string_view> stayingToCheck(staying.begin(), staying.end());
    const auto stop = [&](std::size_t index, Verdict verdict) {
        if (plan.entries[index].verdict == Verdict::Renamed) {
            plan.entries[index].verdict = verdict;
            staying.insert(plan.entries[index].name);
            stayingToCheck.push_back(plan.entries[index].name);
        }
    };
    for (const std::size_t index : stopped) {
        stop(index, Verdict::SharedTarget);
    }
    while (!stayingToCheck.empty()) {
        const std::string_view name = stayingToCheck.back();
        stayingToCheck.pop_back();
        pacer.step();
        if (const auto found = firstWanting.find(name); found != firstWanting.end()) {
            stop(found->second, Verdict::Taken);
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
    plan.moves.reserve(firstWanting.size());
    for (std::size_t start = 0; start < plan.entries.size(); ++start) {
        pacer.step();
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
        if (cycle) {
            std::string aside;
            for (int attempt = 1; aside.empty() || staying.count(aside) != 0 || candidateNamed.count(aside) != 0
                 || firstWanting.count(aside) != 0;
                 ++attempt) {
                // A visible name, so that an entry left there by a failure is found.
                aside = plan.entries[start].name + ".quorbit-swap" + (attempt == 1 ? "" : std::to_string(attempt));
            }
            plan.asideNames.push_back(std::move(aside));
            plan.moves.push_back({start, PlannedMove::Kind::Aside, plan.asideNames.size() - 1});
        }
        for (std::size_t position = path.size(); position-- > (cycle ? 1 : 0);) {
            plan.moves.push_back({path[position], PlannedMove::Kind::Direct});
            placed[path[position]] = true;
        }
        if (cycle) {
            plan.moves.push_back({start, PlannedMove::Kind::Back, plan.asideNames.size() - 1});
            placed[start] = true;
        }
    }
    return plan;
}

AppliedPlan applyFolderPlan(const files::Folder& folder, const FolderPlan& plan, RunProgress& progress,
                            const std::function<void()>& moveTried)
{
    AppliedPlan applied;
    bool asideFailed = false;
    int aside = 0; // an entry moved aside whose cycle is not closed yet; cycles come one after another
    for (std::size_t i = 0; i < plan.moves.size(); ++i) {
        const PlannedMove& move = plan.moves[i];
        const bool moved = files::moveEntry(folder, plan.from(move), folder, plan.to(move)) == files::MoveResult::Moved;
        if (moveTried) {
            moveTried();
        }
        switch (move.kind) {
        case PlannedMove::Kind::Aside:
            asideFailed = !moved;
            aside += moved ? 1 : 0;
            break;
        case PlannedMove::Kind::Back:
            if (!moved && !asideFailed) {
                files::moveEntry(folder, plan.asideNames[move.cycle], folder, plan.entries[move.entry].name);
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
        progress.processPendingEvents();
        if (aside == 0 && progress.stopRequested()) {
            applied.completed = false;
            return applied;
        }
    }
    return applied;
}

} // namespace quorbit
