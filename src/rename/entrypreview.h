#pragma once

#include "platform/nameblock.h"
#include "rename/nametable.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace quorbit {

// What a look ahead at the rename run says will become of a listed entry.
enum class PreviewMark : std::uint8_t {
    Unchanged,
    WillRename,
    Taken,
    WantedTwice,
    Unsafe,
    RefusedCharacter, // the folder's drive does not allow a character of the new name
    TooLong, // the new name is longer than the folder's drive allows
    InvalidPattern,
    PatternTooSlow, // the pattern takes too long on the name
};

// One entry's preview; the new name is a view into its ListPreview.
struct EntryPreview {
    std::string_view newName; // empty for an unsafe one
    PreviewMark mark = PreviewMark::Unchanged;
    bool photoWithoutDate = false; // named by the operation, as it tells no date taken
};

// The entries the run would take, found by name; the others show no new name.
// The names and new names sit in two blocks and a table of entry numbers
// finds them, so the preview of a folder of a million entries
// costs tens of bytes per entry instead of two strings and a node.
class ListPreview {
    struct NameOf {
        const NameBlock& names;
        std::string_view operator()(std::uint32_t index) const { return names[index]; }
    };

public:
    struct Entry {
        std::string_view name;
        EntryPreview preview;
    };

    // Room for `count` entries whose names and new names take the given bytes in all.
    void reserve(std::size_t count, std::size_t nameBytes, std::size_t newNameBytes)
    {
        m_names.reserve(count, nameBytes);
        m_newNames.reserve(count, newNameBytes);
        m_marks.reserve(count);
        m_table = NameTable(count);
    }

    // Adds the entry named `name`, whose name no entry added before has.
    void add(std::string_view name, std::string_view newName, PreviewMark mark, bool photoWithoutDate)
    {
        m_names.add(name);
        m_newNames.add(newName);
        m_marks.push_back(
            static_cast<std::uint8_t>(static_cast<std::uint8_t>(mark) | (photoWithoutDate ? photoBit : 0)));
        m_table.add(static_cast<std::uint32_t>(size() - 1), NameOf{m_names});
    }

    std::size_t size() const { return m_names.size(); }
    bool empty() const { return size() == 0; }

    // The entry added `index`-th.
    Entry entry(std::size_t index) const
    {
        const std::uint8_t mark = m_marks[index];
        return {m_names[index],
                {m_newNames[index], static_cast<PreviewMark>(mark & ~photoBit), (mark & photoBit) != 0}};
    }

    // The preview of the entry named `name`; nothing when the run does not take it.
    std::optional<EntryPreview> find(std::string_view name) const
    {
        const std::uint32_t index = m_table.find(name, NameOf{m_names});
        return index == NameTable::none ? std::nullopt : std::optional(entry(index).preview);
    }

private:
    static constexpr std::uint8_t photoBit = 0x80;

    NameBlock m_names;
    NameBlock m_newNames;
    std::vector<std::uint8_t> m_marks; // the mark, with photoBit for a photo without a date
    NameTable m_table; // the entries' numbers, by name
};

} // namespace quorbit
