#include "app/statuswording.h"

#include "app/utf8text.h"

#include "browser/bytepaths.h"
#include "platform/plural.h"

#include <QStringList>

namespace quorbit {

namespace {

std::string_view renameReasonKey(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Taken:
        return "StringNameTaken";
    case Verdict::SharedTarget:
        return "StringNameWantedTwice";
    case Verdict::Unsafe:
        return "StringNameUnsafe";
    case Verdict::RefusedCharacter:
        return "StringNameRefusedCharacter";
    case Verdict::TooLong:
        return "StringNameTooLong";
    case Verdict::PatternTooSlow:
        return "StringPatternTooSlow";
    default:
        return "StringRenameFailed";
    }
}

std::string_view replayReasonKey(ReplayResult::Reason reason)
{
    switch (reason) {
    case ReplayResult::Reason::RenamedAgain:
        return "StringRenamedSince";
    case ReplayResult::Reason::Deleted:
        return "StringDeletedSince";
    case ReplayResult::Reason::ChangedSince:
        return "StringChangedSince";
    case ReplayResult::Reason::NameTaken:
        return "StringOldNameTaken";
    case ReplayResult::Reason::Failed:
        break;
    }
    return "StringRenameFailed";
}

std::string_view sortReasonKey(SortSkip reason)
{
    switch (reason) {
    case SortSkip::FolderReadOnly:
        return "StringFolderReadOnly";
    case SortSkip::ExtensionNameTaken:
        return "StringExtensionNameTaken";
    case SortSkip::Vanished:
        return "StringEntryVanished";
    case SortSkip::FolderUnreadable:
        return "StringFolderUnreadable";
    case SortSkip::NameTaken:
        return "StringAlreadyInFolder";
    case SortSkip::Failed:
        break;
    }
    return "StringMoveFailed";
}

} // namespace

QString StatusWording::text(std::string_view key) const
{
    return fromUtf8(raw(key));
}

std::string_view StatusWording::raw(std::string_view key) const
{
    const std::size_t position = settings::languageKeyIndex(key);
    return position < m_texts.size() ? std::string_view(m_texts[position]) : std::string_view();
}

std::string StatusWording::counted(std::string_view patternKey, long long count, std::string words) const
{
    std::optional<std::string> text = text::formatCount(raw(patternKey), raw("StringLocale"), count);
    return text ? std::move(*text) : std::move(words);
}

std::string StatusWording::files(std::string_view patternKey, std::string_view wordKey, long long count) const
{
    return counted(patternKey, count,
                   std::string(raw(wordKey)) + " " + std::to_string(count) + " " + std::string(raw("StringFiles")));
}

std::string StatusWording::folders(long long count) const
{
    return " / " + counted("StringFoldersCount", count, std::to_string(count) + " " + std::string(raw("StringDirs")));
}

std::string StatusWording::notDone(std::string_view patternKey, std::string_view wordKey, std::size_t count) const
{
    if (count == 0) {
        return {};
    }
    const auto number = static_cast<long long>(count);
    return ", " + counted(patternKey, number, std::to_string(number) + " " + std::string(raw(wordKey)));
}

QString StatusWording::renamed(long long renamed, std::optional<long long> folders, std::size_t notRenamed) const
{
    return fromUtf8(files("StringRenamedCount", "StringRenamed", renamed) + (folders ? this->folders(*folders) : "")
                    + notDone("StringNotRenamedCount", "StringNotRenamed", notRenamed));
}

QString StatusWording::wouldRename(long long renamed, long long folders, std::size_t notRenamed) const
{
    return fromUtf8(files("StringWouldRenameCount", "StringWouldRename", renamed) + this->folders(folders)
                    + notDone("StringNotRenamedCount", "StringNotRenamed", notRenamed));
}

QString StatusWording::sorted(long long moved, std::optional<long long> folders, std::size_t notSorted) const
{
    return fromUtf8(files("StringSortedCount", "StringSorted", moved) + (folders ? this->folders(*folders) : "")
                    + notDone("StringNotSortedCount", "StringNotSorted", notSorted));
}

QString StatusWording::restored(const ReplayResult& result) const
{
    return fromUtf8(files("StringRestoredCount", "StringRestored", static_cast<long long>(result.moved))
                    + notDone("StringNotRestoredCount", "StringNotRestored", result.skipped.size()));
}

QString StatusWording::leftUndone(const LeftUndone& left) const
{
    constexpr qsizetype shownAtMost = 40;
    QStringList lines;
    for (const RunResult::NotRenamed& entry : left.notRenamed) {
        lines << QStringLiteral("%1 → %2: %3")
                     .arg(displayText(entry.path), displayText(entry.newName), text(renameReasonKey(entry.reason)));
    }
    for (const SortResult::NotSorted& entry : left.notSorted) {
        lines << QStringLiteral("%1: %2").arg(displayText(entry.path), text(sortReasonKey(entry.reason)));
    }
    for (const ReplayResult::Skipped& entry : left.notRestored) {
        lines << QStringLiteral("%1: %2").arg(displayText(entry.path), text(replayReasonKey(entry.reason)));
    }
    const qsizetype count = lines.size();
    if (count > shownAtMost) {
        lines.resize(shownAtMost);
        lines << QStringLiteral("… (%1)").arg(count - shownAtMost);
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace quorbit
