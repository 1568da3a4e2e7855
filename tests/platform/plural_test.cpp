#include "platform/plural.h"
#include "settings/language.h"
#include "tempfolder.h"

#include <gtest/gtest.h>

namespace quorbit {
namespace {

using settings::languageKeyIndex;

std::string renamedCount(const settings::InterfaceTexts& texts, long long count)
{
    return text::formatCount(texts[languageKeyIndex("StringRenamedCount")], texts[languageKeyIndex("StringLocale")],
                             count)
        .value_or("(none)");
}

TEST(FormatCount, RenamedFilesAgreeWithTheCountInBothLanguages)
{
    settings::InterfaceTexts english;
    settings::InterfaceTexts russian;
    settings::ApplyLanguage(QUORBIT_LANGUAGE_FOLDER, "English", english);
    settings::ApplyLanguage(QUORBIT_LANGUAGE_FOLDER, "Russian", russian);
    const struct {
        long long count;
        const char* english;
        const char* russian;
    } rows[] = {
        {0, "Renamed 0 files", "Переименовано 0 файлов"},    {1, "Renamed 1 file", "Переименован 1 файл"},
        {2, "Renamed 2 files", "Переименовано 2 файла"},     {5, "Renamed 5 files", "Переименовано 5 файлов"},
        {11, "Renamed 11 files", "Переименовано 11 файлов"}, {21, "Renamed 21 files", "Переименован 21 файл"},
        {22, "Renamed 22 files", "Переименовано 22 файла"},  {25, "Renamed 25 files", "Переименовано 25 файлов"},
        {101, "Renamed 101 files", "Переименован 101 файл"}, {111, "Renamed 111 files", "Переименовано 111 файлов"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(renamedCount(english, row.count), row.english);
        EXPECT_EQ(renamedCount(russian, row.count), row.russian);
    }
}

TEST(FormatCount, NoPatternOrABrokenOneGivesNothing)
{
    EXPECT_EQ(text::formatCount("", "en", 2), std::nullopt);
    EXPECT_EQ(text::formatCount("{count, plural, one {# file}", "en", 2), std::nullopt);
}

// A language file from before the patterns has its sentences built from its
// own words, not from the patterns of the language shown before it.
TEST(FormatCount, AFileWithoutALocaleDropsTheEarlierPatterns)
{
    testing::TempFolder folder;
    testing::writeFile(folder.path() + "/Old.ini", "[Interface]\nStringRenamed=Переименовано\n");
    settings::InterfaceTexts texts;
    settings::ApplyLanguage(QUORBIT_LANGUAGE_FOLDER, "English", texts);
    settings::ApplyLanguage(folder.path() + "/", "Old", texts);
    EXPECT_EQ(renamedCount(texts, 2), "(none)");
    EXPECT_EQ(texts[languageKeyIndex("StringRenamed")], "Переименовано");
}

} // namespace
} // namespace quorbit
