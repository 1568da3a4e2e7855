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
    // Its folder and journal folder are not kept: the journal has the one
    // and is the other. Its generator is as it was when the run started.
    RunSettings settings;
    std::optional<TitleTemplate> fromTags; // the template, when names come from tags
};

// The record as bytes: a version line, then every field as "<length>:<bytes>\n",
// so any byte may be in a text.
std::string encodeRunRecord(const RunRecord& record);

// The record `bytes` hold; nothing when they are not one encodeRunRecord made.
std::optional<RunRecord> decodeRunRecord(std::string_view bytes);

} // namespace quorbit
