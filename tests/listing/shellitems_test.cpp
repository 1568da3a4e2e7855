#include "listing/shellitems.h"
#include "platform/localetext.h"

#include "tempfolder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace quorbit::listing {
namespace {

ShellItem file(const char* name, long long size = 0, long long modified = 0, std::uint32_t mode = S_IFREG | 0644)
{
    ShellItem item;
    item.name = name;
    item.size = size;
    item.modified = modified;
    item.mode = mode;
    return item;
}

ShellItem folder(const char* name, long long modified = 0)
{
    ShellItem item = file(name, -1, modified, S_IFDIR | 0755);
    item.isFolder = true;
    return item;
}

std::vector<std::string> namesOf(const std::vector<ShellItem>& items)
{
    std::vector<std::string> names;
    for (const ShellItem& item : items) {
        names.push_back(item.name);
    }
    return names;
}

TEST(ShellItems, ColumnTexts)
{
    struct SizeCase {
        long long size;
        const char* text;
    };
    for (const SizeCase& row : {SizeCase{0, "0KB"}, SizeCase{1, "1KB"}, SizeCase{1023, "1KB"}, SizeCase{1024, "1KB"},
                                SizeCase{2047, "1KB"}, SizeCase{999 * 1024, "999KB"}, SizeCase{1000 * 1024, "1,000KB"},
                                SizeCase{1'263'616, "1,234KB"}, SizeCase{5'000'000'000LL, "4,882,812KB"}}) {
        EXPECT_EQ(sizeText(file("a", row.size)), row.text) << row.size;
    }
    EXPECT_EQ(sizeText(folder("f")), "");

    EXPECT_EQ(attributesText(file("a")), "");
    EXPECT_EQ(attributesText(file("a", 0, 0, S_IFREG | 0444)), "R");
    EXPECT_EQ(attributesText(file(".a", 0, 0, S_IFREG | 0444)), "HR");
}

TEST(ShellItems, SortsByEachColumnWithFoldersFirst)
{
    std::vector<ShellItem> items = {file("b.txt", 300, 20), folder("Zeta", 50), file("a.mp3", 100, 30),
                                    file("c.txt", 100, 10, S_IFREG | 0444), folder("alpha", 5)};
    for (std::size_t rank = 0; rank < items.size(); ++rank) {
        items[rank].nameRank = static_cast<std::uint32_t>(rank); // the order above stands for the name order
    }
    // Type texts as the list words them where no type name is registered.
    const auto typeText = [](const ShellItem& item) {
        return item.isFolder ? std::string("File Folder") : "File " + text::toUpper(extensionOf(item.name));
    };
    struct Case {
        int column;
        std::vector<std::string> order;
    };
    const Case cases[] = {
        // Equal sizes by name without regard to case; two folders likewise.
        {SizeColumn, {"alpha", "Zeta", "a.mp3", "c.txt", "b.txt"}},
        {TypeColumn, {"alpha", "Zeta", "a.mp3", "b.txt", "c.txt"}},
        {ModifiedColumn, {"Zeta", "alpha", "a.mp3", "b.txt", "c.txt"}},
        {AttributesColumn, {"Zeta", "alpha", "b.txt", "a.mp3", "c.txt"}},
        {NameColumn, {"b.txt", "Zeta", "a.mp3", "c.txt", "alpha"}},
    };
    for (const Case& row : cases) {
        sortItems(items, row.column, typeText);
        EXPECT_EQ(namesOf(items), row.order) << "column " << row.column;
    }
    sortItems(items, ColumnCount, typeText);
    EXPECT_EQ(namesOf(items), cases[4].order) << "no such column: the order stays";
}

TEST(ShellItems, FindsAndFiltersEntries)
{
    const std::vector<ShellItem> items
        = {folder("old.mp3"), file("song.MP3"), file("song.mp3.part"), file("notes.txt"), file("Song")};
    EXPECT_EQ(findItem(items, "song", 0, false), 1u);
    EXPECT_EQ(findItem(items, "song", 2, false), 2u);
    EXPECT_EQ(findItem(items, "song", 3, false), items.size()) << "the search counts letter case";
    EXPECT_EQ(findItem(items, "song", 0, true), items.size());
    EXPECT_EQ(findItem(items, "Song", 0, true), 4u);

    EXPECT_EQ(namesOf(filterItems(items, "*.wav;*.mp3;*.ogg")), (std::vector<std::string>{"old.mp3", "song.MP3"}));
    EXPECT_EQ(namesOf(filterItems(items, "*.*")), namesOf(items)) << "the rename run's rule: every file";
}

TEST(ShellItems, ListsAFolderInNameOrderWithoutHiddenEntries)
{
    const testing::TempFolder scratch;
    scratch.create({"file10.txt", "file2.txt", "Folder/", "Folder/deeper/", "empty/", ".hidden", ".secret/"});
    ASSERT_EQ(symlink((scratch / "Folder").c_str(), (scratch / "link to folder").c_str()), 0);
    ASSERT_EQ(symlink("nowhere", (scratch / "broken link").c_str()), 0);

    const FolderListing all = listFolder(scratch.path(), false);
    ASSERT_TRUE(all.readable);
    EXPECT_EQ(
        namesOf(all.items),
        (std::vector<std::string>{"broken link", "empty", "file2.txt", "file10.txt", "Folder", "link to folder"}));
    for (std::size_t position = 0; position < all.items.size(); ++position) {
        EXPECT_EQ(all.items[position].nameRank, position);
    }
    EXPECT_EQ(all.items[2].size, static_cast<long long>(std::string("file2.txt").size()));
    EXPECT_EQ(all.items[4].size, -1);
    EXPECT_TRUE(all.items[4].mayHaveSubfolders);
    EXPECT_FALSE(all.items[1].mayHaveSubfolders) << "no sub-folder, as its link count shows";

    const FolderListing folders = listFolder(scratch.path(), true);
    EXPECT_EQ(namesOf(folders.items), (std::vector<std::string>{"empty", "Folder", "link to folder"}));
    EXPECT_TRUE(folders.items[2].isFolder);

    const FolderListing missing = listFolder(scratch / "missing", false);
    EXPECT_FALSE(missing.readable);
    EXPECT_TRUE(missing.items.empty());
}

} // namespace
} // namespace quorbit::listing
