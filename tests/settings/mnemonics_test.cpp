#include "settings/mnemonics.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quorbit::settings {
namespace {

struct MnemonicCase {
    const char* what;
    std::vector<std::string> captions;
    std::vector<std::string> expected;
};

class MnemonicTable : public ::testing::TestWithParam<MnemonicCase> {};

TEST_P(MnemonicTable, MarksTheFirstFreeLetter)
{
    EXPECT_EQ(withMnemonics(GetParam().captions), GetParam().expected) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Captions, MnemonicTable,
    ::testing::Values(
        MnemonicCase{"empty list", {}, {}},
        MnemonicCase{"menu bar", {"File", "Settings", "Help"}, {"&File", "&Settings", "&Help"}},
        MnemonicCase{"taken letters move on", {"Files", "Folders", "Both"}, {"&Files", "F&olders", "&Both"}},
        MnemonicCase{"case does not matter", {"Rename", "rename"}, {"&Rename", "r&ename"}},
        MnemonicCase{"blanks, digits and signs are passed over",
                     {"ID3v1 -> ID3v2", "ID3v2 -> ID3v1", "123 ..."},
                     {"&ID3v1 -> ID3v2", "I&D3v2 -> ID3v1", "123 ..."}},
        MnemonicCase{"a caption already marked keeps its letter", {"Save", "&Sort", "Up"}, {"S&ave", "&Sort", "&Up"}},
        MnemonicCase{"a plain ampersand is kept and marks nothing", {"Tom && Jerry", "Tea"}, {"Tom && Jerry", "&Tea"}},
        MnemonicCase{"no free letter leaves the caption", {"ab", "ba", "a"}, {"&ab", "&ba", "a"}},
        MnemonicCase{"Cyrillic", {"Файл", "Настройки", "Помощь"}, {"&Файл", "&Настройки", "&Помощь"}},
        MnemonicCase{"Cyrillic case-insensitive",
                     {"Переименовать", "первый", "Вверх", "вниз"},
                     {"&Переименовать", "п&ервый", "&Вверх", "в&низ"}},
        MnemonicCase{"Cyrillic and Latin apart", {"Сорт", "Copy"}, {"&Сорт", "&Copy"}},
        MnemonicCase{"a stray byte is passed over",
                     {"\xff"
                      "ab",
                      "a"},
                     {"\xff"
                      "&ab",
                      "a"}}));

} // namespace
} // namespace quorbit::settings
