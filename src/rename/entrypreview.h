#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>

namespace quorbit {

// What a look ahead at the rename run says will become of a listed entry.
enum class PreviewMark : std::uint8_t { Unchanged, WillRename, Taken, WantedTwice, Unsafe, InvalidPattern };

struct EntryPreview {
    std::string newName; // empty for an unsafe one
    PreviewMark mark = PreviewMark::Unchanged;
    bool photoWithoutDate = false; // named by the operation, as it tells no date taken
};

// The entries the run would take, by name; the others show no new name.
using ListPreview = std::unordered_map<std::string, EntryPreview>;

} // namespace quorbit
