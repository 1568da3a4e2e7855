#include "rename/entrypreview.h"

#include <gtest/gtest.h>

#include <string>

namespace quorbit {
namespace {

// Thousands of names make the table grow several times and its searches pass
// over taken slots; every entry must still be found with its own preview.
TEST(ListPreview, FindsEveryEntryAddedAfterTheTableGrewAndNoOther)
{
    ListPreview preview;
    EXPECT_FALSE(preview.find("a"));
    constexpr int count = 5000;
    for (int number = 0; number < count; ++number) {
        const std::string name = "IMG_" + std::to_string(number) + ".jpg";
        preview.add(name, number % 7 == 0 ? std::string() : "photo " + std::to_string(number),
                    static_cast<PreviewMark>(number % 6), number % 2 == 0);
    }
    ASSERT_EQ(preview.size(), static_cast<std::size_t>(count));
    for (int number = 0; number < count; ++number) {
        const std::string name = "IMG_" + std::to_string(number) + ".jpg";
        const std::optional<EntryPreview> found = preview.find(name);
        ASSERT_TRUE(found) << name;
        EXPECT_EQ(found->newName, number % 7 == 0 ? std::string() : "photo " + std::to_string(number));
        EXPECT_EQ(found->mark, static_cast<PreviewMark>(number % 6));
        EXPECT_EQ(found->photoWithoutDate, number % 2 == 0);
        EXPECT_EQ(preview.entry(static_cast<std::size_t>(number)).name, name);
    }
    EXPECT_FALSE(preview.find("IMG_5000.jpg"));
    EXPECT_FALSE(preview.find(""));
    EXPECT_FALSE(preview.find("IMG_1.jp"));
}

} // namespace
} // namespace quorbit
