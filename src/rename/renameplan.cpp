#include "rename/renameplan.h"

#include "rename/nametable.h"
#include "rename/renamerun.h"

#include <algorithm>
#include <string_view>

namespace quorbit {

namespace {

constexpr std::uint32_t none = NameTable::none;

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

std::string_view FolderPlan::from(const PlannedMove& move) const
{
    return move.kind == PlannedMove::Kind::Back ? std::string_view(asideNames[move.cycle]) : name(move.entry);
}

std::string_view FolderPlan::to(const PlannedMove& move) const
{
    return move.kind == PlannedMove::Kind::Aside ? std::string_view(asideNames[move.cycle]) : newName(move.entry);
}

FolderPlan planFolder(NameBlock folderNames, std::vector<std::uint32_t> entryNames, NameBlock newNames,
                      const std::function<void()>& pause)
{
    Pacer pacer(pause);
    FolderPlan plan;
    plan.folderNames = std::move(folderNames);
    plan.entryNames = std::move(entryNames);
    plan.newNames = std::move(newNames);
    const std::uint32_t count = static_cast<std::uint32_t>(plan.size());
    plan.verdicts.reserve(count);
    for (std::uint32_t entry = 0; entry < count; ++entry) {
        const std::string_view newName = plan.newName(entry);
        plan.verdicts.push_back(newName.empty()                   ? Verdict::Unsafe
                                    : newName == plan.name(entry) ? Verdict::Unchanged
                                                                  : Verdict::Renamed);
        pacer.step();
    }
    plan.photoWithoutDate.assign(count, false);

    const std::uint32_t folderCount = static_cast<std::uint32_t>(plan.folderNames.size());
    const auto folderName = [&names = plan.folderNames](std::uint32_t index) { return names[index]; };
    NameTable named(folderCount);
    for (std::uint32_t index = 0; index < folderCount; ++index) {
        named.add(index, folderName);
        pacer.step();
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
    const auto newName = [&plan](std::uint32_t entry) { return plan.newName(entry); };
    NameTable firstWanting(count);
    std::vector<std::uint32_t> stopped;
    for (std::uint32_t entry = 0; entry < count; ++entry) {
        if (plan.verdicts[entry] == Verdict::Renamed && firstWanting.add(entry, newName) != entry) {
            stopped.push_back(entry);
        }
        pacer.step();
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
        pacer.step();
        if (const std::uint32_t wanting = firstWanting.find(plan.folderNames[index], newName); wanting != none) {
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
        pacer.step();
        if (plan.verdicts[start] != Verdict::Renamed || placed[start]) {
            continue;
        }
        path.assign(1, start);
        bool cycle = false;
        for (std::uint32_t next = holderOf(plan.newName(start)); next != none && !placed[next];
             next = holderOf(plan.newName(next))) {
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
            for (int attempt = 1;
                 aside.empty() || named.find(aside, folderName) != none || firstWanting.find(aside, newName) != none;
                 ++attempt) {
                // A visible name, so that an entry left there by a failure is found.
                aside = std::string(plan.name(start)) + ".quorbit-swap" + (attempt == 1 ? "" : std::to_string(attempt));
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
                            const std::function<void()>& moveTried)
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
            moveTried();
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
        progress.processPendingEvents();
        if (aside == 0 && progress.stopRequested()) {
            applied.completed = false;
            return applied;
        }
    }
    return applied;
}

} // namespace quorbit
