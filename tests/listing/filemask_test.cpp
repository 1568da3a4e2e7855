#include "listing/filemask.h"

#include <gtest/gtest.h>

namespace quorbit {
namespace {

struct MaskCase {
    const char* mask;
    const char* name;
    bool matches;
};

TEST(FileMask, MatchesWholeNamesWithoutRegardToCase)
{
    const MaskCase cases[] = {
        {"*.html;*.htm", "index.html", true},
        {"*.html;*.htm", "INDEX.HTM", true},
        {"*.html;*.htm", "a.htm", true},
        {"*.html;*.htm", "a.h", false},
        {"*.html;*.htm", "page.html.bak", false},
        {"*.html;*.htm", "readme.txt", false},
        {"*.txt", ".txt", true},
        {"*.txt", "NOTES.TXT", true},
        {"*.txt", "notes.txt.old", false},
        {"*.txt", "txt", false},
        {"a*.txt", "A1.txt", true},
        {"a*.txt", "abc.TXT", true},
        {"a*.txt", "ba.txt", false},
        {"a?c.txt", "ac.txt", true},
        {"a?c.txt", "abc.txt", true},
        {"a?c.txt", "abbc.txt", false},
        {"?b", "ab", true},
        {"?b", "b", false},
        {"*", "anything at all", true},
        {"*.mp3", "ПЕСНЯ.MP3", true},
        {"песня.*", "ПЕСНЯ.mp3", true},
        {"*.jpg", "photo.jpg\xff", false},
        {"*\xff", "name\xff", true},
        {";;*.bmp;", "x.BMP", true},
        {"*.*", "no-extension", true},
    };
    for (const MaskCase& test : cases) {
        EXPECT_EQ(FileMask(test.mask).matches(test.name), test.matches) << test.mask << " / " << test.name;
    }
}

TEST(FileMask, OnlyStarDotStarSelectsEverything)
{
    EXPECT_TRUE(FileMask("*.*").selectsEverything());
    EXPECT_FALSE(FileMask("*.txt").selectsEverything());
    EXPECT_FALSE(FileMask("*.* ").selectsEverything());
    EXPECT_FALSE(FileMask(";").matches("a")) << "a mask text with no masks matches nothing";
    EXPECT_FALSE(FileMask("").matches("a"));
}

} // namespace
} // namespace quorbit
