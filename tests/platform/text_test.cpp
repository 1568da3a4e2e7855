#include "platform/localetext.h"
#include "platform/utf8.h"

#include <gtest/gtest.h>

namespace quorbit {
namespace {

TEST(Utf8, CharactersAndBoundaries)
{
    EXPECT_EQ(utf8::countChars(""), 0u);
    EXPECT_EQ(utf8::countChars("héllo"), 5u);
    EXPECT_EQ(utf8::countChars("😀x"), 2u);
    EXPECT_EQ(utf8::countChars("\xff\xfe"), 2u);
    EXPECT_EQ(utf8::countChars("\xe2\x82"), 2u) << "a cut-off sequence is two stray bytes";
    EXPECT_EQ(utf8::countChars("\xc0\xaf"), 2u) << "overlong forms are not characters";
    EXPECT_EQ(utf8::countChars("\xed\xa0\x80"), 3u) << "nor are surrogates";
    EXPECT_EQ(utf8::countChars("\xf4\x90\x80\x80"), 4u) << "nor values above U+10FFFF";

    EXPECT_EQ(utf8::offsetOfChar("aéb", 2), 3u);
    EXPECT_EQ(utf8::offsetOfChar("ab", 7), 2u);
    EXPECT_FALSE(utf8::isCharBoundary("é", 1));
    EXPECT_TRUE(utf8::isCharBoundary("\xa9\xa9", 1));
    EXPECT_EQ(utf8::find("\xc3\xa9\xa9", "\xa9"), 2u);
    EXPECT_EQ(utf8::find("abc", ""), std::string_view::npos);
}

TEST(NameOrder, NumbersByValueThenLocaleThenBytes)
{
    text::setLocale("en_US");
    std::vector<std::string> names{"file10.txt", "File2.txt", "file2.txt", "b", "a", "_x", "Ápple", "apple", "10", "9"};
    text::sortByName(names, [](const std::string& name) -> const std::string& { return name; });
    const std::vector<std::string> expected{"_x",    "9", "10",        "a",         "apple",
                                            "Ápple", "b", "file2.txt", "File2.txt", "file10.txt"};
    EXPECT_EQ(names, expected);
    EXPECT_TRUE(text::nameLess("file2", "file10"));
    EXPECT_FALSE(text::nameLess("same", "same"));
    EXPECT_NE(text::nameLess("\xff", "\xfe"), text::nameLess("\xfe", "\xff")) << "stray bytes still give a total order";
}

// Enough names for the keys to be made, and the halves sorted, on two threads.
TEST(NameOrder, ALargeFolderSortsAsNameLessOrdersIt)
{
    text::setLocale("en_US");
    std::vector<std::string> names;
    const char* stems[] = {"photo_", "Photo ", "ÄRGER", "ärger", "b", "IMG_", "Привет", "file"};
    for (int i = 0; i < 20'000; ++i) {
        names.push_back(stems[(i * 7) % 8] + std::to_string((i * 7919) % 20'000));
    }
    std::vector<std::string> expected = names;
    std::sort(expected.begin(), expected.end(), text::nameLess);
    text::sortByName(names, [](const std::string& name) -> const std::string& { return name; });
    EXPECT_EQ(names, expected);
}

TEST(NameOrder, FollowsTheLocalesAlphabet)
{
    text::setLocale("sv_SE");
    EXPECT_TRUE(text::nameLess("z", "ö")) << "Swedish sorts ö after z";
    text::setLocale("de_DE");
    EXPECT_TRUE(text::nameLess("ö", "z"));
    text::setLocale("en_US");
}

TEST(CaseFold, IgnoresCaseAcrossScripts)
{
    EXPECT_EQ(text::caseFold("ReadMe.TXT"), "readme.txt");
    EXPECT_EQ(text::caseFold("ПРИВЕТ"), text::caseFold("привет"));
    EXPECT_EQ(text::caseFold("STRASSE"), text::caseFold("straße"));
    EXPECT_EQ(text::caseFold("A\xff"), "a\xff");
}

} // namespace
} // namespace quorbit
