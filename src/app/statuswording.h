#pragma once

#include "rename/journalreplay.h"
#include "rename/renamerun.h"
#include "rename/sortcommand.h"
#include "settings/language.h"

#include <QString>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The window's words for what a command did, in the language shown: the
// status line's counts and the list of the entries a command left undone.
// The engine hands back counts and reasons; only this says them.
namespace quorbit {

// What the last command left undone, and why; only the list of the command
// that ran last holds anything.
struct LeftUndone {
    std::vector<RunResult::NotRenamed> notRenamed;
    std::vector<SortResult::NotSorted> notSorted;
    std::vector<ReplayResult::Skipped> notRestored;
};

class StatusWording {
public:
    // Reads `texts` on each call, so it words in the language shown then.
    explicit StatusWording(const settings::InterfaceTexts& texts)
        : m_texts(texts)
    {
    }

    // The text of the language key `key`; empty for a key that is none.
    QString text(std::string_view key) const;

    // "Renamed 3 files / 2 folders, 1 not renamed": the folders with sub-folders only.
    QString renamed(long long renamed, std::optional<long long> folders, std::size_t notRenamed) const;
    // "Would rename 3 files / 2 folders, 1 not renamed", for the preview of a run with sub-folders.
    QString wouldRename(long long renamed, long long folders, std::size_t notRenamed) const;
    // "Sorted 3 files / 2 folders, 1 not sorted": the folders with sub-folders only.
    QString sorted(long long moved, std::optional<long long> folders, std::size_t notSorted) const;
    // "Restored 3 files, 1 not restored".
    QString restored(const ReplayResult& result) const;

    // One line per entry left undone, "path → new name: why" or "path: why";
    // at most 40, then how many more. Empty when nothing was left undone.
    QString leftUndone(const LeftUndone& left) const;

private:
    std::string_view raw(std::string_view key) const;
    // `count` in the plural pattern `patternKey`, or `words` when the language has no usable pattern.
    std::string counted(std::string_view patternKey, long long count, std::string words) const;
    // "Renamed 3 files": `wordKey`'s word, the count and the word for files.
    std::string files(std::string_view patternKey, std::string_view wordKey, long long count) const;
    // " / 2 folders".
    std::string folders(long long count) const;
    // ", 1 not renamed"; nothing when `count` is 0.
    std::string notDone(std::string_view patternKey, std::string_view wordKey, std::size_t count) const;

    const settings::InterfaceTexts& m_texts;
};

} // namespace quorbit
