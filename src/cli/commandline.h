#pragma once

#include "platform/result.h"
#include "rename/renamerun.h"
#include "rename/tagname.h"

#include <map>
#include <optional>
#include <string>

// The command line's words for the engine's choices, and the run settings a
// command line asks for.
namespace quorbit::cli {

// The stable English names of the operations, Apply to and the part renamed.
const std::map<std::string, RenameOption>& operationNames();
const std::map<std::string, ApplyTo>& applyToNames();
const std::map<std::string, RenamePart>& partNames();

// What selects the entries of a rename or a sort.
struct Selection {
    std::string folder;
    ApplyTo applyTo = ApplyTo::Files;
    bool subfolders = false;
    std::string mask = "*.*";
};

// A rename as the command line asked for it; the texts not given are empty.
struct RenameRequest {
    Selection selection;
    std::optional<RenameOption> option;
    std::optional<std::string> text;
    std::optional<std::string> replace;
    std::optional<std::string> number;
    RenamePart part = RenamePart::Names;
    std::optional<std::string> fromTags;
};

// The settings of the run `request` asks for, its folder as given; or why the
// command line cannot ask for it (an operation missing, an option the
// operation does not read, a number it needs and lacks). --text goes where
// the window's panel has its text box for the operation, into the box beside
// the number for Counter (the text before the number); the number defaults
// as the panel sets it.
Result<RunSettings, std::string> runSettingsFor(const RenameRequest& request);

// The title template `text` with the English placeholders (%Artist%, %Title%,
// %Album%, %Year%, %Track%).
TitleTemplate titleTemplateFor(std::string text);

} // namespace quorbit::cli
