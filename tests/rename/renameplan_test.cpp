#include "rename/renameplan.h"

#include "rename/renamerun.h"
#include "tempfolder.h"

#include <algorithm>
#include <set>

#include <gtest/gtest.h>

namespace quorbit {
namespace {

using Wanted = std::vector<std::pair<std::string, std::optional<std::string>>>;

// The plan for a folder of `present` on a drive of `rules`, whose entries in
// `wanted` want their new names (nothing for an unsafe one), in the run's order.
FolderPlan planned(const std::vector<std::string>& present, const Wanted& wanted, const files::DriveRules& rules = {})
{
    NameBlock folderNames;
    for (const std::string& name : present) {
        folderNames.add(name);
    }
    std::vector<std::uint32_t> entryNames;
    NameBlock newNames;
    for (const auto& [name, newName] : wanted) {
        const auto found = std::find(present.begin(), present.end(), name);
        entryNames.push_back(static_cast<std::uint32_t>(found - present.begin()));
        newNames.add(newName.value_or(""));
    }
    return planFolder(std::move(folderNames), std::move(entryNames), std::move(newNames), rules);
}

struct PlanCase {
    const char* what;
    std::vector<std::string> present;
    Wanted wanted;
    std::vector<Verdict> verdicts;
    std::set<std::string> after; // the folder's names once the plan is carried out
    files::DriveRules rules{};
};

constexpr files::DriveRules caseInsensitive{.caseInsensitive = true};
constexpr files::DriveRules windowsNames{.windowsNames = true, .lengthInUtf16 = true};

TEST(RenamePlan, DecidesEveryCollisionAsTheMovesFindIt)
{
    const PlanCase cases[] = {
        {"a name that stays", {"a", "b"}, {{"a", "b"}}, {Verdict::Taken}, {"a", "b"}},
        {"a name of an entry outside the run", {"a", "b.txt"}, {{"a", "b.txt"}}, {Verdict::Taken}, {"a", "b.txt"}},
        {"two want one", {"a", "b"}, {{"a", "c"}, {"b", "c"}}, {Verdict::Renamed, Verdict::SharedTarget}, {"c", "b"}},
        {"a chain, in the run's order against it",
         {"1.txt", "2.txt", "x.txt"},
         {{"1.txt", "2.txt"}, {"2.txt", "3.txt"}, {"x.txt", "4.txt"}},
         {Verdict::Renamed, Verdict::Renamed, Verdict::Renamed},
         {"2.txt", "3.txt", "4.txt"}},
        {"a chain stopped at its end",
         {"a", "b", "c"},
         {{"a", "b"}, {"b", "c"}},
         {Verdict::Taken, Verdict::Taken},
         {"a", "b", "c"}},
        {"a swap", {"a", "b"}, {{"a", "b"}, {"b", "a"}}, {Verdict::Renamed, Verdict::Renamed}, {"a", "b"}},
        {"a cycle of three and a bystander",
         {"a", "b", "c", "d"},
         {{"a", "b"}, {"b", "c"}, {"c", "a"}, {"d", "e"}},
         {Verdict::Renamed, Verdict::Renamed, Verdict::Renamed, Verdict::Renamed},
         {"a", "b", "c", "e"}},
        {"unsafe and unchanged names stay",
         {"a", "b", "c"},
         {{"a", std::nullopt}, {"b", "b"}, {"c", "a"}},
         {Verdict::Unsafe, Verdict::Unchanged, Verdict::Taken},
         {"a", "b", "c"}},
        {"only the letter case", {"a.txt"}, {{"a.txt", "A.TXT"}}, {Verdict::Renamed}, {"A.TXT"}},
        // Where letter case does not count, a case-only rename passes through a
        // temporary name, and a name in another case is the same name.
        {"only the letter case where it does not count",
         {"DSC.JPG"},
         {{"DSC.JPG", "dsc.jpg"}},
         {Verdict::Renamed},
         {"dsc.jpg"},
         caseInsensitive},
        {"a name that stays, in another case",
         {"x", "ab"},
         {{"x", "AB"}},
         {Verdict::Taken},
         {"ab", "x"},
         caseInsensitive},
        {"two want one, in two cases",
         {"a", "b"},
         {{"a", "N"}, {"b", "n"}},
         {Verdict::Renamed, Verdict::SharedTarget},
         {"N", "b"},
         caseInsensitive},
        {"a chain through another case",
         {"A", "b"},
         {{"A", "B"}, {"b", "c"}},
         {Verdict::Renamed, Verdict::Renamed},
         {"B", "c"},
         caseInsensitive},
        {"a character a camera card refuses",
         {"a", "b", "c"},
         {{"a", "IMG:1"}, {"b", "x\x01"}, {"c", "d\xff"}},
         {Verdict::RefusedCharacter, Verdict::RefusedCharacter, Verdict::RefusedCharacter},
         {"a", "b", "c"},
         windowsNames},
        {"longer than 255 bytes", {"a"}, {{"a", std::string(256, 'n')}}, {Verdict::TooLong}, {"a"}},
        // A character of four bytes in UTF-8 takes two UTF-16 units.
        {"longer than 255 UTF-16 units",
         {"a", "b"},
         {{"a", std::string(254, 'n') + "\xF0\x9F\x93\xB7"}, {"b", std::string(255, 'n')}},
         {Verdict::TooLong, Verdict::Renamed},
         {"a", std::string(255, 'n')},
         windowsNames},
    };
    for (const PlanCase& row : cases) {
        const FolderPlan plan = planned(row.present, row.wanted, row.rules);
        EXPECT_EQ(plan.verdicts, row.verdicts) << row.what;

        const testing::TempFolder folder;
        for (const std::string& name : row.present) {
            folder.create({name});
        }
        RunProgress progress;
        EXPECT_TRUE(applyFolderPlan(files::Folder(folder.path()), plan, progress).completed) << row.what;
        EXPECT_EQ(folder.list(), row.after) << row.what;
        // Every entry has its content under the name the plan gave it: nothing was replaced.
        for (const PlannedEntry& entry : plan.entries()) {
            const std::string now(entry.verdict == Verdict::Renamed ? entry.newName : entry.name);
            EXPECT_EQ(testing::readFile(folder / now), entry.name) << row.what << ": " << now;
        }
    }
}

TEST(RenamePlan, ACycleThatCannotCloseLosesNoEntry)
{
    const testing::TempFolder folder;
    folder.create({"a", "b"});
    const FolderPlan plan = planned({"a", "b"}, {{"a", "b"}, {"b", "a"}});
    ASSERT_EQ(plan.moves.size(), 3u);
    // Another program takes the name the cycle's last move needs.
    class Intruder : public RunProgress {
    public:
        explicit Intruder(const testing::TempFolder& folder)
            : m_folder(folder)
        {
        }
        void setProgressPosition(int) override
        {
            if (++m_movesMade == 2) {
                m_folder.create({"b"});
            }
        }

    private:
        const testing::TempFolder& m_folder;
        int m_movesMade = 0;
    } intruder(folder);
    const AppliedPlan applied = applyFolderPlan(files::Folder(folder.path()), plan, intruder);
    EXPECT_EQ(applied.renamed, 1u);
    EXPECT_EQ(applied.failed, std::vector<std::size_t>{0}) << "the entry whose cycle did not close";
    EXPECT_EQ(folder.list(), (std::set<std::string>{"a", "a.quorbit-swap", "b"}));
    EXPECT_EQ(testing::readFile(folder / "a"), "b") << "the entry that moved before the other program came";
    EXPECT_EQ(testing::readFile(folder / "a.quorbit-swap"), "a");
}

// What the preview shows is what the run then does, random names included,
// and its counts are the run's, sub-folders included.
TEST(RenamePlan, PreviewShowsWhatTheRunDoes)
{
    struct Case {
        RenameOption option;
        const char* symbols;
        const char* number;
        bool subfolders;
    };
    const Case cases[] = {{RenameOption::AddToLeft, "x_", "1", false},  {RenameOption::ReduceTo, "", "1", true},
                          {RenameOption::Counter, "", "2", false},      {RenameOption::UpperCase, "", "1", false},
                          {RenameOption::RandomSymbols, "", "3", true}, {RenameOption::DeleteSymbols, "/", "1", false}};
    for (const Case& row : cases) {
        const testing::TempFolder folder;
        folder.create({"1.txt", "2.txt", "a1.txt", "a2.txt", "B.TXT", "x.txt", "sub/", "sub/s1.txt", "sub/s2.txt"});
        RunSettings settings;
        settings.folder = folder.path();
        settings.option = row.option;
        settings.symbolsText = row.symbols;
        settings.replaceText = "/";
        settings.numberText = row.number;
        settings.subfolders = row.subfolders;
        const std::optional<RunPreview> preview = RenameRun::preview(settings, {});
        ASSERT_TRUE(preview);
        EXPECT_EQ(RenameRun::preview(settings, {})->shown.moves.size(), preview->shown.moves.size())
            << "a second look changes nothing";
        std::set<std::string> expected = {"sub"};
        for (const PlannedEntry& entry : preview->shown.entries()) {
            expected.emplace(entry.verdict == Verdict::Renamed ? entry.newName : entry.name);
        }
        RunProgress progress;
        RenameRun run;
        const RunResult result = run.run(settings, progress);
        EXPECT_EQ(folder.list(), expected) << static_cast<int>(row.option);
        EXPECT_EQ(static_cast<std::size_t>(result.renamed), preview->renamed);
        EXPECT_EQ(result.notRenamed.size(), preview->notRenamed);
        EXPECT_EQ(preview->folderCount, row.subfolders ? 1 : 0);
    }
}

// A preview that is called off returns nothing.
TEST(RenamePlan, CancelledPreviewGivesNothing)
{
    const testing::TempFolder folder;
    folder.create({"a.txt"});
    RunSettings settings;
    settings.folder = folder.path();
    const std::atomic<bool> cancelled = true;
    EXPECT_FALSE(RenameRun::preview(settings, {}, &cancelled));
}

} // namespace
} // namespace quorbit
