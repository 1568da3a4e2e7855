#include "settings/language.h"

#include <algorithm>
#include <charconv>

#include "platform/files.h"
#include "settings/inifile.h"

namespace quorbit::settings {

const std::array<std::string_view, kLanguageKeyCount> LanguageKeys{
    // Menu
    "MFile->Caption", "MUndo->Caption", "MExit->Caption", "MSettings->Caption", "MLanguage->Caption",
    "MLangEnglish->Caption", "MLangRussian->Caption", "MHelp->Caption", "MAbout->Caption",
    // Options
    "LabelSymbols->Caption", "LabelReplace->Caption", "RadioGroupApply->Caption", "RadioGroupApply->Items->Strings[0]",
    "RadioGroupApply->Items->Strings[1]", "RadioGroupApply->Items->Strings[2]", "RadioGroupRename->Caption",
    "RadioGroupRename->Items->Strings[0]", "RadioGroupRename->Items->Strings[1]", "RadioGroupRename->Items->Strings[2]",
    "RadioGroupOptions->Caption", "RadioGroupOptions->Items->Strings[0]", "RadioGroupOptions->Items->Strings[1]",
    "RadioGroupOptions->Items->Strings[2]", "RadioGroupOptions->Items->Strings[3]",
    "RadioGroupOptions->Items->Strings[4]", "RadioGroupOptions->Items->Strings[5]",
    "RadioGroupOptions->Items->Strings[6]", "RadioGroupOptions->Items->Strings[7]",
    "RadioGroupOptions->Items->Strings[8]", "RadioGroupOptions->Items->Strings[9]",
    "RadioGroupOptions->Items->Strings[10]", "RadioGroupOptions->Items->Strings[11]",
    "RadioGroupOptions->Items->Strings[12]", "RadioGroupOptions->Items->Strings[13]",
    "RadioGroupOptions->Items->Strings[14]", "RadioGroupOptions->Items->Strings[15]",
    "RadioGroupOptions->Items->Strings[16]", "CheckBoxSubDirs->Caption", "CheckBoxID3->Caption",
    "CheckBoxShowTags->Caption", "GroupBoxMp3->Caption", "LabelSeparator->Caption", "LabelNewTitle->Caption",
    "ButtonUp->Caption", "ButtonDown->Caption", "ButtonRename->Caption", "ButtonSort->Caption",
    "GroupBoxPhotos->Caption", "CheckBoxPhotoDate->Caption", "LabelPhotoTemplate->Caption",
    // Tag panel
    "GroupBoxID3v1->Caption", "LabelTitle1->Caption", "LabelArtist1->Caption", "LabelAlbum1->Caption",
    "LabelYear1->Caption", "LabelTrack1->Caption", "LabelGenre1->Caption", "LabelComment1->Caption",
    "GroupBoxID3v2->Caption", "LabelTitle2->Caption", "LabelArtist2->Caption", "LabelAlbum2->Caption",
    "LabelYear2->Caption", "LabelTrack2->Caption", "LabelGenre2->Caption", "LabelComment2->Caption",
    "ButtonSaveTags->Caption",
    // Message texts
    "StringArtist", "StringTitle", "StringAlbum", "StringYear", "StringTrack", "StringAddSymbols",
    "StringDeleteSymbols", "StringFindSymbols", "StringReplaceBy", "StringSymbols", "StringStartValue",
    "StringSymbolsBefore", "StringRenamed", "StringFiles", "StringDirs", "StringSorted", "StringNoFolder",
    "StringTagsNotSaved", "StringNotRenamed", "StringNameTaken", "StringNameWantedTwice", "StringNameUnsafe",
    "StringNameRefusedCharacter", "StringNameTooLong", "StringRenameFailed", "StringNewName", "StringUnchanged",
    "StringWillRename", "StringWillNotRename", "StringWouldRename", "StringNothingToUndo", "StringRestored",
    "StringNotRestored", "StringRenamedSince", "StringDeletedSince", "StringOldNameTaken", "StringUnfinishedRun",
    "StringFinishRun", "StringUndoRun", "StringLeaveRun", "StringJournalUnreadable", "StringJournalNotWritten",
    "StringNotSorted", "StringFolderReadOnly", "StringExtensionNameTaken", "StringEntryVanished",
    "StringFolderUnreadable", "StringAlreadyInFolder", "StringMoveFailed", "StringFolderGone", "StringChangedSince",
    "StringLocale", "StringRenamedCount", "StringFoldersCount", "StringNotRenamedCount", "StringSortedCount",
    "StringNotSortedCount", "StringWouldRenameCount", "StringRestoredCount", "StringNotRestoredCount",
    // Browser and window texts
    "StringColumnName", "StringColumnSize", "StringColumnType", "StringColumnModified", "StringColumnAttributes",
    "StringTypeAllFiles", "StringTypeText", "StringTypeHtml", "StringTypeImages", "StringTypeAudio", "StringTypeVideo",
    "StringMenuOpen", "StringMenuRename", "StringMenuCopyPath", "StringMenuTrash", "StringMenuLargeIcons",
    "StringMenuSmallIcons", "StringMenuList", "StringMenuDetails", "StringAlreadyExists", "StringNotMoved",
    "StringFolderNotCopied", "StringNotCopied", "StringInvalidName", "StringNotTrashed", "StringFoldersNotEntered",
    "StringFileList", "StringFolderTree", "StringFolderPath", "StringFileType", "StringProgress", "StringTitleFields",
    "StringAboutPanel", "StringProgramIcon", "StringOk", "StringTypeFolder", "StringTypeFileOf", "StringTypeFile",
    "StringInvalidFolder", "StringSiteDescription", "StringOkDescription", "StringPattern", "StringInvalidPattern",
    "StringPatternNotValid", "StringPhotoFields", "StringNoPhotoDate", "StringNotAnswering", "StringRunBeingUndone",
    "StringPatternTooSlow", "StringNumberTooSmall", "StringJournalNotUpdated",
    // About box
    "AboutBox->Caption", "AboutBox->LabelAbout->Caption", "AboutBox->LabelAuthor->Caption",
    "AboutBox->LabelSite->Caption"};

std::size_t languageKeyIndex(std::string_view key)
{
    return static_cast<std::size_t>(std::find(LanguageKeys.begin(), LanguageKeys.end(), key) - LanguageKeys.begin());
}

LanguageTarget languageTarget(std::string_view key)
{
    constexpr std::string_view kAboutBox = "AboutBox->";
    constexpr std::string_view kCaption = "->Caption";
    constexpr std::string_view kItem = "->Items->Strings[";
    LanguageTarget target;
    if (key.starts_with("String")) {
        target.isMessage = true;
        target.control = key.substr(6);
        return target;
    }
    if (key.starts_with(kAboutBox)) {
        target.inAboutBox = true;
        key.remove_prefix(kAboutBox.size());
        if (key == "Caption") {
            return target;
        }
    }
    if (const std::size_t item = key.find(kItem); item != std::string_view::npos && key.ends_with(']')) {
        const std::string_view digits = key.substr(item + kItem.size(), key.size() - item - kItem.size() - 1);
        std::from_chars(digits.data(), digits.data() + digits.size(), target.item);
        target.control = key.substr(0, item);
    } else if (key.ends_with(kCaption)) {
        target.control = key.substr(0, key.size() - kCaption.size());
    }
    return target;
}

std::string languageFolder(const std::string& programFolder)
{
    const std::string besideExecutable = programFolder + "language/";
    if (files::isExistingDirectory(besideExecutable)) {
        return besideExecutable;
    }
    return programFolder + "../share/quorbit/language/";
}

LanguageMenuChecks ApplyLanguage(const std::string& folder, const std::string& name, InterfaceTexts& texts)
{
    const IniFile file = IniFile::load(folder + name + ".ini");
    // A file that names no locale predates the plural patterns: those of the
    // language shown before would mix into its texts, so they are dropped and
    // its sentences are built from its own words. A missing file changes nothing.
    const bool dropPatterns = !file.bytes().empty() && file.readString("Interface", "StringLocale", "").empty();
    const std::size_t firstPattern = languageKeyIndex("StringLocale");
    const std::size_t lastPattern = languageKeyIndex("StringNotRestoredCount");
    for (std::size_t position = 0; position < kLanguageKeyCount; ++position) {
        const bool pattern = position >= firstPattern && position <= lastPattern;
        texts[position]
            = file.readString("Interface", LanguageKeys[position], dropPatterns && pattern ? "" : texts[position]);
    }
    return LanguageMenuChecks{name == "English", name == "Russian"};
}

void convertPlaceholders(std::span<std::string> entries, const Placeholders& from, const Placeholders& to)
{
    for (std::string& entry : entries) {
        for (std::size_t row = 0; row < from.size(); ++row) {
            if (entry == from[row]) {
                entry = to[row];
            }
        }
    }
}

} // namespace quorbit::settings
