#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>

// Interface languages: language files that replace the window's captions and
// supply the message texts, and the title-field placeholder words.
namespace quorbit::settings {

inline constexpr std::size_t kTitleFieldCount = 5;
using Placeholders = std::array<std::string_view, kTitleFieldCount>;

// The title-field words for the artist, title, album, year and track, in this
// order. They are built in, not read from the language files.
inline constexpr Placeholders EnglishPlaceholders{"%Artist%", "%Title%", "%Album%", "%Year%", "%Track%"};
inline constexpr Placeholders RussianPlaceholders{"%Артист%", "%Название%", "%Альбом%", "%Год%", "%Трэк%"};

// Every key a language file may supply, in the order they are read.
inline constexpr std::size_t kLanguageKeyCount = 182;
extern const std::array<std::string_view, kLanguageKeyCount> LanguageKeys;

// The texts a language file sets, one per entry of LanguageKeys at the same position.
using InterfaceTexts = std::array<std::string, kLanguageKeyCount>;

// Position of `key` in LanguageKeys; kLanguageKeyCount when it is not there.
std::size_t languageKeyIndex(std::string_view key);

// What a key names: a caption ("ButtonRename->Caption"), an entry of a radio
// group ("RadioGroupOptions->Items->Strings[15]"), a message text
// ("StringRenamed") or a text of the about box ("AboutBox->LabelSite->Caption",
// "AboutBox->Caption" for its window caption).
struct LanguageTarget {
    bool inAboutBox = false;
    bool isMessage = false;
    // The control's name; empty for the about box's own caption; the message's
    // name ("Renamed") for a message text.
    std::string_view control;
    int item = -1; // the entry's position, for an entry of a radio group
};
LanguageTarget languageTarget(std::string_view key);

// The folder that holds the language files: "language/" beside the
// executable, else "../share/quorbit/language/" from it, as installed.
// `programFolder` ends with a separator, and so does the result.
std::string languageFolder(const std::string& programFolder);

// Which of the two language menu items are checked for a language name.
struct LanguageMenuChecks {
    bool english = false;
    bool russian = false;
};

// Reads the language file `name`.ini from `folder` into `texts`, each key with
// its present text as the default: a missing file or key leaves the text as it
// was. Returns the menu checks for `name`, which are exact and case-sensitive.
LanguageMenuChecks ApplyLanguage(const std::string& folder, const std::string& name, InterfaceTexts& texts);

// Replaces each entry that is exactly a word of `from` by the word of `to` at
// the same position; other entries are kept.
void convertPlaceholders(std::span<std::string> entries, const Placeholders& from, const Placeholders& to);

} // namespace quorbit::settings
