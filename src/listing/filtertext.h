#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quorbit::listing {

// One choice of the file-type drop-down: what the user reads and the masks it
// stands for, e.g. "Text (*.txt)" and "*.txt".
struct FilterEntry {
    std::string description;
    std::string maskText;

    bool operator==(const FilterEntry&) const = default;
};

// The entries of a filter text "description|masks|description|masks...", in
// order and untrimmed. A description with no "|" after it is dropped; one
// followed by "|" alone gets an empty mask text.
std::vector<FilterEntry> parseFilter(std::string_view filter);

} // namespace quorbit::listing
