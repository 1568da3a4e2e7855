#include "rename/sortcommand.h"

#include "tempfolder.h"

#include <gtest/gtest.h>

#include <memory>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorbit {
namespace {

using testing::TempFolder;
using Tree = std::set<std::string>;

// The entries below `folder`: "path/" for folders, "path@" for links, "path<content" for files.
Tree treeOf(const std::string& folder)
{
    Tree tree;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        const std::string path = entry.path().lexically_relative(folder).string();
        if (entry.is_symlink()) {
            tree.insert(path + "@");
        } else if (entry.is_directory()) {
            tree.insert(path + "/");
        } else {
            std::ifstream in(entry.path());
            tree.insert(path + "<" + std::string(std::istreambuf_iterator<char>(in), {}));
        }
    }
    return tree;
}

std::string reasonText(SortSkip reason)
{
    switch (reason) {
    case SortSkip::FolderReadOnly:
        return "folder read-only";
    case SortSkip::ExtensionNameTaken:
        return "extension name taken";
    case SortSkip::Vanished:
        return "vanished";
    case SortSkip::FolderUnreadable:
        return "folder unreadable";
    case SortSkip::NameTaken:
        return "name taken";
    case SortSkip::Failed:
        break;
    }
    return "failed";
}

std::string describe(const SortPlanEntry& entry)
{
    return entry.inPlace ? entry.from + " stays"
        : entry.skip     ? entry.from + " stays: " + reasonText(*entry.skip)
                         : entry.from + " -> " + entry.to;
}

// Makes a folder read-only until destroyed, for root too where the drive takes the immutable flag.
class ReadOnlyFolder {
public:
    explicit ReadOnlyFolder(const std::string& path)
        : m_handle(open(path.c_str(), O_RDONLY | O_DIRECTORY))
    {
        fchmod(m_handle, 0555);
        setImmutable(true);
    }
    ReadOnlyFolder(const ReadOnlyFolder&) = delete;
    ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;
    ~ReadOnlyFolder()
    {
        setImmutable(false);
        close(m_handle);
    }

private:
    void setImmutable(bool on) const
    {
        int flags = 0;
        if (ioctl(m_handle, FS_IOC_GETFLAGS, &flags) == 0) {
            flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
            ioctl(m_handle, FS_IOC_SETFLAGS, &flags);
        }
    }

    int m_handle;
};

struct SortCase {
    const char* label = "";
    std::vector<std::string> before{}; // made with TempFolder::create
    // Links, by name, and where they lead: "outside/..." is in a folder outside the one sorted.
    std::vector<std::pair<std::string, std::string>> links{};
    ApplyTo applyTo = ApplyTo::Files;
    bool subfolders = false;
    std::vector<std::string> gone{}; // listed, but not in the folder
    bool readOnly = false; // the folder is made read-only
    bool missing = false; // the folder to sort is not there
    std::vector<std::string> plan{}; // as describe() gives each entry, known from the rules
    int folderCount = 0;
};

void PrintTo(const SortCase& test, std::ostream* out)
{
    *out << test.label;
}

class SortAsPlanned : public ::testing::TestWithParam<SortCase> {};

TEST_P(SortAsPlanned, MovesWhatThePlanMovesAndLeavesWhatItLeavesForItsReason)
{
    const SortCase& test = GetParam();
    const TempFolder folder;
    const TempFolder outside;
    outside.create({"keep.txt"});
    for (const std::string& name : test.before) {
        folder.create({name});
    }
    for (const auto& [name, target] : test.links) {
        std::filesystem::create_symlink(outside.path() + target.substr(target.find('/')), folder / name);
    }
    SortSettings settings{
        test.missing ? folder / "missing" : folder.path(), test.applyTo, test.subfolders, "*.*", {}, {}};
    if (!test.subfolders) {
        for (const std::string& name : test.missing ? Tree{} : folder.list()) {
            settings.listedNames.push_back(name);
        }
        settings.listedNames.insert(settings.listedNames.end(), test.gone.begin(), test.gone.end());
    }
    const auto readOnly = test.readOnly ? std::make_unique<ReadOnlyFolder>(folder.path()) : nullptr;
    if (readOnly && access(folder.path().c_str(), W_OK) == 0) {
        GTEST_SKIP() << "this user writes to read-only folders here";
    }
    const Tree before = treeOf(folder.path());
    const SortPlan plan = planSort(settings);
    std::vector<std::string> described;
    for (const SortPlanEntry& entry : plan.entries) {
        described.push_back(describe(entry));
    }
    EXPECT_EQ(described, test.plan);
    EXPECT_EQ(treeOf(folder.path()), before) << "the plan touches nothing";

    RunProgress noWindow;
    const SortResult result = sortIntoExtensionFolders(settings, noWindow);
    const Tree after = treeOf(folder.path());
    int moves = 0;
    std::vector<std::string> plannedSkips;
    for (const SortPlanEntry& entry : plan.entries) {
        if (entry.skip) {
            plannedSkips.push_back(entry.from + " -> " + entry.to + ": " + reasonText(*entry.skip));
        } else if (!entry.inPlace) {
            ++moves;
            EXPECT_TRUE(after.contains(entry.to + "<" + entry.from) || after.contains(entry.to + "@")
                        || after.contains(entry.to + "/"))
                << entry.to << ": the planned move is made";
            EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(folder / entry.from))) << entry.from;
        }
    }
    std::vector<std::string> skipped;
    const std::string prefix = folder.path() + "/";
    const auto relative = [&](const std::string& path) {
        return path == settings.folder ? std::string(".") : path.substr(prefix.size());
    };
    for (const SortResult::NotSorted& entry : result.notSorted) {
        skipped.push_back(relative(entry.path) + " -> " + (entry.to.empty() ? "." : relative(entry.to)) + ": "
                          + reasonText(entry.reason));
    }
    EXPECT_EQ(result.moved, moves);
    EXPECT_EQ(skipped, plannedSkips) << "each planned skip is reported for its reason";
    EXPECT_EQ(result.folderCount, test.folderCount);
    EXPECT_EQ(plan.folderCount, test.folderCount);
    EXPECT_EQ(treeOf(outside.path()), Tree{"keep.txt<keep.txt"}) << "no link is followed";
    for (const SortPlanEntry& entry : planSort(settings).entries) {
        EXPECT_TRUE(entry.inPlace || entry.skip) << entry.from << ": a second sort moves nothing";
    }
}

INSTANTIATE_TEST_SUITE_P(
    SortCommand, SortAsPlanned,
    ::testing::Values(
        SortCase{.label = "ByExtensionAsWritten",
                 .before = {"a.txt", "b.TXT", "noext", ".profile", "d.txt/in"},
                 .plan = {".profile -> profile/.profile", "a.txt -> txt/a.txt", "b.TXT -> TXT/b.TXT", "noext stays"}},
        SortCase{.label = "Folders",
                 .before = {"photos.2012/in", "a.txt"},
                 .applyTo = ApplyTo::Folders,
                 .plan = {"photos.2012 -> 2012/photos.2012"}},
        SortCase{.label = "SubFolders",
                 .before = {"top.txt", "txt/in.txt", "sub/deep/x.txt", "sub/noext", "sub/.hidden/h.txt", "one/a.jpg",
                            "two/a.jpg"},
                 .subfolders = true,
                 .plan = {"one/a.jpg -> jpg/a.jpg", "sub/deep/x.txt -> txt/x.txt", "sub/noext -> noext",
                          "two/a.jpg stays: name taken", "txt/in.txt stays", "top.txt -> txt/top.txt"},
                 .folderCount = 5},
        SortCase{
            .label = "NameTakenInItsFolder", .before = {"a.txt", "txt/a.txt"}, .plan = {"a.txt stays: name taken"}},
        SortCase{.label = "FileOrLinkHoldsTheFolderName",
                 .before = {"a.txt", "txt", "c.jpg"},
                 .links = {{"jpg", "outside/"}, {"l.md", "outside/keep.txt"}},
                 .plan = {"a.txt stays: extension name taken", "c.jpg stays: extension name taken", "l.md -> md/l.md",
                          "txt stays"}},
        SortCase{.label = "ReadOnlyFolder",
                 .before = {"a.txt", "b.jpg", "jpg/", "noext"},
                 .readOnly = true,
                 .plan = {"a.txt stays: folder read-only", "b.jpg stays: folder read-only", "noext stays"}},
        SortCase{.label = "Vanished",
                 .before = {"a.txt"},
                 .gone = {"b.jpg"},
                 .plan = {"b.jpg stays: vanished", "a.txt -> txt/a.txt"}},
        SortCase{.label = "MissingFolder", .gone = {"a.txt"}, .missing = true, .plan = {". stays: folder unreadable"}}),
    [](const ::testing::TestParamInfo<SortCase>& info) { return std::string(info.param.label); });

TEST(SortCommand, ShowsProgressForManyEntriesAndHidesItAtTheEnd)
{
    struct Recording : RunProgress {
        void showProgress() override { ++shown, visible = true; }
        void hideProgress() override { visible = false; }
        void setProgressPosition(int) override { ++positions; }
        int shown = 0;
        bool visible = false;
        int positions = 0;
    } progress;
    const TempFolder folder;
    SortSettings settings{folder.path(), ApplyTo::Files, true, "*.*", {}, {}};
    for (int i = 0; i < 101; ++i) {
        folder.create({std::to_string(i) + ".txt"});
    }
    EXPECT_EQ(sortIntoExtensionFolders(settings, progress).moved, 101);
    EXPECT_EQ(progress.shown, 1);
    EXPECT_FALSE(progress.visible);
    EXPECT_GE(progress.positions, 101) << "the strip follows every entry";
}

TEST(SortCommand, NoFolderDoesNothing)
{
    const TempFolder folder;
    folder.create({"a.txt"});
    const std::filesystem::path workingFolder = std::filesystem::current_path();
    std::filesystem::current_path(folder.path());
    RunProgress noWindow;
    const SortResult result = sortIntoExtensionFolders({"", ApplyTo::Both, true, "*.*", {"a.txt"}, {}}, noWindow);
    std::filesystem::current_path(workingFolder);
    EXPECT_EQ(result.outcome, SortResult::Outcome::NoFolder);
    EXPECT_EQ(folder.list(), Tree{"a.txt"});
}

} // namespace
} // namespace quorbit
