#include "settings/language.h"

#include "settings/inifile.h"
#include "tempfolder.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>

namespace quorbit::settings {
namespace {

using testing::readFile;
using testing::TempFolder;
using testing::writeFile;

const std::string kLanguageFolder = QUORBIT_LANGUAGE_FOLDER;

// The keys of a language file's lines, in file order, with each line's raw value.
std::vector<std::pair<std::string, std::string>> keyLines(const std::string& path)
{
    std::vector<std::pair<std::string, std::string>> lines;
    std::istringstream in(readFile(path));
    std::string line;
    while (std::getline(in, line)) {
        if (const std::size_t equals = line.find('='); equals != std::string::npos && !line.starts_with(';')) {
            lines.emplace_back(line.substr(0, equals), line.substr(equals + 1));
        }
    }
    return lines;
}

TEST(LanguageFiles, HoldEveryKeyOnceInOrderWithTheBuiltInPlaceholders)
{
    for (const auto& [name, placeholders] :
         {std::pair{"English", EnglishPlaceholders}, std::pair{"Russian", RussianPlaceholders}}) {
        SCOPED_TRACE(name);
        const std::string path = kLanguageFolder + name + ".ini";
        const auto lines = keyLines(path);
        ASSERT_EQ(lines.size(), kLanguageKeyCount);
        for (std::size_t position = 0; position < kLanguageKeyCount; ++position) {
            EXPECT_EQ(lines[position].first, LanguageKeys[position]);
            const std::string& raw = lines[position].second;
            EXPECT_FALSE(raw.empty()) << LanguageKeys[position];
            // A text with a blank at either end is only kept when quoted.
            if (raw.front() == '"') {
                EXPECT_TRUE(raw.size() > 1 && raw.back() == '"') << LanguageKeys[position];
            } else {
                EXPECT_TRUE(raw.front() != ' ' && raw.back() != ' ') << LanguageKeys[position];
            }
        }
        const IniFile file = IniFile::load(path);
        for (std::size_t row = 0; row < kTitleFieldCount; ++row) {
            EXPECT_EQ(file.readString("Interface", LanguageKeys[languageKeyIndex("StringArtist") + row], ""),
                      placeholders[row]);
        }
        for (const char* caption : {"RadioGroupApply->Caption", "GroupBoxMp3->Caption", "GroupBoxID3v2->Caption"}) {
            const std::string text = file.readString("Interface", caption, "");
            EXPECT_TRUE(text.starts_with(' ') && text.ends_with(' ')) << caption;
        }
    }
    const IniFile english = IniFile::load(kLanguageFolder + "English.ini");
    EXPECT_EQ(english.readString("Interface", "RadioGroupApply->Caption", ""), " Apply to: ");
    EXPECT_EQ(english.readString("Interface", "RadioGroupOptions->Items->Strings[15]", ""), "Counter");
    EXPECT_EQ(std::set<std::string_view>(LanguageKeys.begin(), LanguageKeys.end()).size(), kLanguageKeyCount);
}

TEST(ApplyLanguage, ReadsEachKeyWithThePresentTextAsDefault)
{
    TempFolder folder;
    const std::string languages = folder.path() + "/";
    writeFile(languages + "Partial.ini",
              "[interface]\nmfile->caption=Datei\nStringRenamed=Umbenannt\n"
              "RadioGroupApply->Caption=\" Anwenden: \"\nStringFiles=\n");
    InterfaceTexts texts;
    texts[languageKeyIndex("MExit->Caption")] = "Exit";
    texts[languageKeyIndex("StringFiles")] = "files";

    const LanguageMenuChecks checks = ApplyLanguage(languages, "Partial", texts);
    EXPECT_FALSE(checks.english || checks.russian);
    EXPECT_EQ(texts[languageKeyIndex("MFile->Caption")], "Datei");
    EXPECT_EQ(texts[languageKeyIndex("StringRenamed")], "Umbenannt");
    EXPECT_EQ(texts[languageKeyIndex("RadioGroupApply->Caption")], " Anwenden: ");
    EXPECT_EQ(texts[languageKeyIndex("MExit->Caption")], "Exit");
    EXPECT_EQ(texts[languageKeyIndex("StringFiles")], "");

    const InterfaceTexts before = texts;
    EXPECT_TRUE(ApplyLanguage(languages, "English", texts).english); // no such file here
    EXPECT_EQ(texts, before);
    const LanguageMenuChecks lowerCase = ApplyLanguage(languages, "russian", texts);
    EXPECT_FALSE(lowerCase.english || lowerCase.russian);

    const LanguageMenuChecks russian = ApplyLanguage(kLanguageFolder, "Russian", texts);
    EXPECT_TRUE(russian.russian && !russian.english);
    EXPECT_EQ(texts[languageKeyIndex("StringArtist")], "%Артист%");
    EXPECT_EQ(texts[languageKeyIndex("MFile->Caption")], "Файл");
}

TEST(Placeholders, ConvertOnlyExactWordsAndKeepTheOrder)
{
    std::array<std::string, 5> entries{"%Year%", "%ARTIST%", "%Title%", "custom", "%Трэк%"};
    convertPlaceholders(entries, EnglishPlaceholders, RussianPlaceholders);
    EXPECT_EQ(entries, (std::array<std::string, 5>{"%Год%", "%ARTIST%", "%Название%", "custom", "%Трэк%"}));
    convertPlaceholders(entries, RussianPlaceholders, EnglishPlaceholders);
    EXPECT_EQ(entries, (std::array<std::string, 5>{"%Year%", "%ARTIST%", "%Title%", "custom", "%Track%"}));
}

TEST(LanguageKeys, NameTheirTargets)
{
    const LanguageTarget caption = languageTarget("ButtonRename->Caption");
    EXPECT_EQ(caption.control, "ButtonRename");
    EXPECT_EQ(caption.item, -1);
    EXPECT_FALSE(caption.inAboutBox || caption.isMessage);

    const LanguageTarget entry = languageTarget("RadioGroupOptions->Items->Strings[15]");
    EXPECT_EQ(entry.control, "RadioGroupOptions");
    EXPECT_EQ(entry.item, 15);

    const LanguageTarget message = languageTarget("StringSymbolsBefore");
    EXPECT_TRUE(message.isMessage);
    EXPECT_EQ(message.control, "SymbolsBefore");

    const LanguageTarget aboutCaption = languageTarget("AboutBox->Caption");
    EXPECT_TRUE(aboutCaption.inAboutBox);
    EXPECT_EQ(aboutCaption.control, "");
    const LanguageTarget aboutLabel = languageTarget("AboutBox->LabelSite->Caption");
    EXPECT_TRUE(aboutLabel.inAboutBox);
    EXPECT_EQ(aboutLabel.control, "LabelSite");

    for (const std::string_view key : LanguageKeys) {
        const LanguageTarget target = languageTarget(key);
        EXPECT_TRUE(!target.control.empty() || target.inAboutBox) << key;
    }
    EXPECT_EQ(languageKeyIndex("NoSuchKey"), kLanguageKeyCount);
}

TEST(LanguageKeys, FolderIsBesideTheExecutableOrInstalledBesideIt)
{
    TempFolder folder;
    folder.create({"bin/"});
    EXPECT_EQ(languageFolder(folder / "bin/"), folder / "bin/../share/quorbit/language/");
    folder.create({"bin/language/"});
    EXPECT_EQ(languageFolder(folder / "bin/"), folder / "bin/language/");
}

} // namespace
} // namespace quorbit::settings
