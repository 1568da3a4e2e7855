#pragma once

#include "rename/operations.h"
#include "rename/renamerun.h"
#include "rename/tagname.h"

#include <optional>
#include <string>
#include <string_view>

namespace quorbit {

// What a rename run was asked to do, kept in its journal so that a run that
// stopped can be finished as it would have gone on.
struct RunRecord {
    RenameOption option = RenameOption::AddToLeft;
    ApplyTo applyTo = ApplyTo::Files;
    RenamePart renamePart = RenamePart::Names;
    bool subfolders = false;
    std::string mask;
    std::string symbolsText;
    std::string replaceText;
    std::string numberText;
    RandomGenerator random; // as it was when the run started
    std::optional<TitleTemplate> fromTags; // the template, when names come from tags
};

// The record of a run with `settings` (its folders aside, which the journal
// has) drawing from `random`, naming MP3 files after `fromTags` when given.
RunRecord recordOf(const RunSettings& settings, const RandomGenerator& random, const TitleTemplate* fromTags);

// The settings of the recorded run in `folder`, keeping no journal of its own.
RunSettings settingsOf(const RunRecord& record, const std::string& folder);

// The record as bytes: a version line, then every field as "<length>:<bytes>\n",
// so any byte may be in a text.
std::string encodeRunRecord(const RunRecord& record);

// The record `bytes` hold; nothing when they are not one encodeRunRecord made.
std::optional<RunRecord> decodeRunRecord(std::string_view bytes);

} // namespace quorbit
